#include "app/sensor_windows.h"

#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Stands in for a sensor window until the real one is built: it hands the
// main window back like the real ones do.
void RunPlaceholder(protocol::AppState& state, QWidget* parent, const QString& title) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(title, &dialog));
  QObject::connect(&dialog, &QDialog::finished, [&state] {
    state.childDialogState = protocol::kChildDialogEnded;
  });
  dialog.exec();
}

}  // namespace

void RunSensorConfigWindow(protocol::AppState& state, QWidget* parent) {
  RunPlaceholder(state, parent, QStringLiteral("传感器标定"));
}

void RunFactoryInfoWindow(protocol::AppState& state, QWidget* parent,
                          const std::function<bool(const QUrl&)>&) {
  RunPlaceholder(state, parent, QStringLiteral("传感器出厂信息"));
}

void RunSensorSignalWindow(protocol::AppState& state, QWidget* parent) {
  RunPlaceholder(state, parent, QStringLiteral("传感器信号"));
}
