// Widget tests need a QApplication; they run on the offscreen platform with
// the Fusion style so palettes do not depend on the desktop.
#include <QApplication>
#include <QFont>
#include <QStyleFactory>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(13);
  QApplication::setFont(font);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
