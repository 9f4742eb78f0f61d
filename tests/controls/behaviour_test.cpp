// Behaviour of the button in a window: hover tracking and what cancels it,
// clicks, focus, the default button and creation from a Designer form.
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include "controls/image_button.h"
#include "pixels.h"
#include "ui_promoted_form.h"

namespace {

using pixels::Move;

class Behaviour : public ::testing::Test {
 protected:
  void SetUp() override {
    window.resize(400, 100);
    button = new CImageButton(&window);
    button->setGeometry(10, 10, 120, 40);
    button->setText(QStringLiteral("自动连接"));
    next = new QLineEdit(&window);
    next->setGeometry(140, 10, 100, 30);
    label = new QLabel(QStringLiteral("状态"), &window);
    label->setGeometry(260, 10, 100, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    next->setFocus();
  }
  QPoint Centre() const { return QPoint(60, 20); }
  // A point of the button's coordinates that lies over the label.
  QPoint OverLabel() const { return button->mapFrom(&window, label->geometry().center()); }

  QWidget window;
  CImageButton* button = nullptr;
  QLineEdit* next = nullptr;
  QLabel* label = nullptr;
};

TEST_F(Behaviour, HoverStartsOnlyWithoutTheLeftButtonAndEndsWhenThePointerLeaves) {
  // A move with the left button held does not start hover.
  Move(button, Centre(), Qt::LeftButton);
  EXPECT_FALSE(button->IsHovered());
  // Other buttons do not stop it.
  Move(button, Centre(), Qt::RightButton);
  EXPECT_TRUE(button->IsHovered());
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(button, &leave);
  EXPECT_FALSE(button->IsHovered());

  Move(button, Centre());
  EXPECT_TRUE(button->IsHovered());
  // Once hovered, a move with the left button held keeps it.
  Move(button, Centre() + QPoint(5, 2), Qt::LeftButton);
  EXPECT_TRUE(button->IsHovered());
  // A held move whose point lies over another widget ends it.
  Move(button, OverLabel(), Qt::LeftButton);
  EXPECT_FALSE(button->IsHovered());
  // ... and so does a point outside the window.
  Move(button, Centre());
  ASSERT_TRUE(button->IsHovered());
  Move(button, QPoint(-50, -50), Qt::LeftButton);
  EXPECT_FALSE(button->IsHovered());

  // Entering without the left button starts hover, with it does not.
  QEnterEvent enter(QPointF(Centre()), QPointF(button->mapTo(&window, Centre())),
                    QPointF(button->mapToGlobal(Centre())));
  QCoreApplication::sendEvent(button, &enter);
  EXPECT_TRUE(button->IsHovered());

  // Real pointer traffic through the window system.
  QCoreApplication::sendEvent(button, &leave);
  QTest::mouseMove(&window, QPoint(70, 30));
  EXPECT_TRUE(pixels::WaitFor([this] { return button->IsHovered(); }));
  QTest::mouseMove(&window, label->geometry().center());
  EXPECT_TRUE(pixels::WaitFor([this] { return !button->IsHovered(); }));
}

TEST_F(Behaviour, FocusLossDeactivationAndDisablingCancelHover) {
  button->setFocus();
  ASSERT_TRUE(button->hasFocus());
  Move(button, Centre());
  ASSERT_TRUE(button->IsHovered());
  next->setFocus();
  EXPECT_FALSE(button->IsHovered());

  Move(button, Centre());
  ASSERT_TRUE(button->IsHovered());
  QWidget otherWindow;
  otherWindow.resize(100, 60);
  otherWindow.show();
  otherWindow.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&otherWindow));
  EXPECT_FALSE(button->IsHovered());
  otherWindow.hide();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  // Disabling moves the focus to the next tab stop after the button.
  button->setFocus();
  Move(button, Centre());
  ASSERT_TRUE(button->IsHovered());
  button->setEnabled(false);
  EXPECT_FALSE(button->IsHovered());
  EXPECT_TRUE(next->hasFocus());
  // ... also when another control had it.
  button->setEnabled(true);
  label->setFocusPolicy(Qt::StrongFocus);
  label->setFocus();
  ASSERT_TRUE(label->hasFocus());
  button->setEnabled(false);
  EXPECT_TRUE(next->hasFocus());
  // A disabled button does not hover.
  Move(button, Centre());
  EXPECT_FALSE(button->IsHovered());

  // Disabled through its parent, the button leaves the focus alone.
  button->setEnabled(true);
  QWidget group(&window);
  group.setGeometry(0, 60, 400, 40);
  auto* inner = new CImageButton(&group);
  inner->setGeometry(0, 0, 80, 30);
  auto* innerNext = new QLineEdit(&group);
  innerNext->setGeometry(100, 0, 80, 30);
  group.show();
  button->setFocus();
  group.setEnabled(false);
  EXPECT_TRUE(button->hasFocus());
}

TEST_F(Behaviour, ClicksTakeTheFocusFirstAndADoubleClickCountsTwice) {
  next->setFocus();
  QSignalSpy clicks(button, &QAbstractButton::clicked);
  bool focusedInHandler = false;
  QObject::connect(button, &QAbstractButton::clicked,
                   [this, &focusedInHandler] { focusedInHandler = button->hasFocus(); });
  button->click();  // a click that does not move the focus by itself
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_TRUE(focusedInHandler);
  EXPECT_TRUE(button->hasFocus());

  // The event sequence of a double click: press, release, double click, release.
  clicks.clear();
  using pixels::SendMouse;
  SendMouse(button, QEvent::MouseButtonPress, Centre(), Qt::LeftButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseButtonRelease, Centre(), Qt::LeftButton, Qt::NoButton);
  SendMouse(button, QEvent::MouseButtonDblClick, Centre(), Qt::LeftButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseButtonRelease, Centre(), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(clicks.count(), 2);

  // The same through the window system, which turns the second press into
  // a double-click event.
  clicks.clear();
  QWindow* handle = window.windowHandle();
  ASSERT_NE(handle, nullptr);
  const QPoint at = button->mapTo(&window, Centre());
  QTest::mouseDClick(handle, Qt::LeftButton, Qt::NoModifier, at);
  EXPECT_TRUE(pixels::WaitFor([&clicks] { return clicks.count() >= 2; }));
  QCoreApplication::processEvents();
  EXPECT_EQ(clicks.count(), 2);
}

TEST_F(Behaviour, KeyboardFocusShowsADottedCueThatAMousePressRemoves) {
  // The cue's first dot sits 3 pixels in from the top left corner.
  const QPoint dot(3, 3);
  auto look = [this] { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); };
  const QRgb face = look().pixel(dot);

  next->setFocus();
  QTest::keyClick(next, Qt::Key_Backtab);
  ASSERT_TRUE(button->hasFocus());
  const QImage byKeyboard = look();
  EXPECT_NE(byKeyboard.pixel(dot), face);
  EXPECT_EQ(QColor(byKeyboard.pixel(dot)), ToQColor(button->StateColour(ColourFocusText)));

  // Focus given by the mouse: the focus colours only.
  next->setFocus();
  button->setFocus(Qt::MouseFocusReason);
  EXPECT_EQ(look().pixel(dot), face);

  // Back by Tab, then a mouse press on the focused button drops the cue.
  next->setFocus();
  QTest::keyClick(next, Qt::Key_Backtab);
  ASSERT_TRUE(button->hasFocus());
  EXPECT_NE(look().pixel(dot), face);
  using pixels::SendMouse;
  SendMouse(button, QEvent::MouseButtonPress, Centre(), Qt::LeftButton, Qt::LeftButton);
  SendMouse(button, QEvent::MouseButtonRelease, Centre(), Qt::LeftButton, Qt::NoButton);
  ASSERT_TRUE(button->hasFocus());
  EXPECT_EQ(look().pixel(dot), face);
}

TEST(ButtonInDialog, DesignerFormCreatesButtonsAndEnterPressesTheDefault) {
  QDialog dialog;
  Ui::PromotedForm ui;
  ui.setupUi(&dialog);
  CImageButton* ok = ui.okButton;
  ASSERT_NE(qobject_cast<CImageButton*>(ui.cancelButton), nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("确定"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_TRUE(ok->m_useDisabledImage);
  EXPECT_EQ(ok->m_pressShift, QPoint(1, 1));
  EXPECT_EQ(ok->m_imageMargin, QPoint(3, 3));
  EXPECT_EQ(ok->StateColour(ColourIdleBack), FromQColor(dialog.palette().color(QPalette::Button)));

  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  pixels::Grab(*ok);
  EXPECT_TRUE(ok->isDefault());
  pixels::Grab(*ui.cancelButton);
  EXPECT_FALSE(ui.cancelButton->isDefault());

  QSignalSpy okClicks(ok, &QAbstractButton::clicked);
  QSignalSpy cancelClicks(ui.cancelButton, &QAbstractButton::clicked);
  ui.entry->setFocus();
  QTest::keyClick(ui.entry, Qt::Key_Return);
  EXPECT_EQ(okClicks.count(), 1);
  EXPECT_EQ(cancelClicks.count(), 0);
}

// Renders the look of every state into one picture for the documentation,
// checking each tile's face on the way.
TEST(ButtonScreenshot, EveryStateSideBySide) {
  QWidget window;
  QPalette pal = window.palette();
  pal.setColor(QPalette::Window, QColor(157, 195, 252));
  window.setPalette(pal);
  window.resize(760, 260);
  const ColourRef idle = Rgb(170, 205, 250);
  const ColourRef focus = Rgb(205, 225, 255);
  const ColourRef text = Rgb(102, 68, 75);
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setPixelSize(15);

  const QStringList states = {QStringLiteral("idle"), QStringLiteral("focused"),
                              QStringLiteral("hovered"), QStringLiteral("pressed"),
                              QStringLiteral("disabled")};
  struct Row {
    QString caption;
    int icon;
    bool logo;
  };
  const std::vector<Row> rows = {{QStringLiteral("打开"), 129, false},
                                 {QStringLiteral("传感器配置"), 0, false},
                                 {QString(), 128, false},
                                 {QString(), 0, true}};
  std::vector<std::vector<CImageButton*>> buttons;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    buttons.emplace_back();
    for (int s = 0; s < states.size(); ++s) {
      auto* b = new CImageButton(&window);
      const bool logo = rows[r].logo;
      b->setGeometry(10 + s * (logo ? 0 : 150), 10 + static_cast<int>(r) * 50, logo ? 645 : 140,
                     logo ? 96 : 44);
      b->setFont(font);
      b->setText(rows[r].caption);
      b->SetStateColour(ColourIdleBack, idle);
      b->SetStateColour(ColourFocusBack, focus);
      b->SetStateColour(ColourHotBack, idle);
      b->ShiftStateColour(ColourHotBack, 30);
      for (int t : {ColourIdleText, ColourFocusText, ColourHotText}) b->SetStateColour(t, text);
      if (rows[r].icon != 0) {
        EXPECT_EQ(b->LoadIcons(static_cast<unsigned>(rows[r].icon), 0), ButtonResult::Done);
      }
      if (logo) {
        EXPECT_EQ(b->LoadBitmaps(1056, Rgb(0, 255, 0), 1056, Rgb(0, 255, 0)), ButtonResult::Done);
        b->m_useDisabledImage = false;
      }
      buttons.back().push_back(b);
    }
  }
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  const int tileW = 150;
  const int tileH = 50;
  QImage sheet(90 + states.size() * tileW, 30 + 3 * tileH + 5 * 106, QImage::Format_RGB32);
  sheet.fill(QColor(157, 195, 252));
  QPainter painter(&sheet);
  painter.setFont(font);
  painter.setPen(QColor(102, 68, 75));
  for (int s = 0; s < states.size(); ++s)
    painter.drawText(QRect(90 + s * tileW, 0, tileW, 28), Qt::AlignCenter, states[s]);

  // The hot face is the idle one lightened by 30, as far as blue allows.
  const ColourRef hot = Rgb(175, 210, 255);
  const ColourRef expectedFace[] = {idle, focus, hot, hot, idle};
  int y = 30;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const bool logo = rows[r].logo;
    for (int s = 0; s < states.size(); ++s) {
      CImageButton* b = buttons[r][static_cast<std::size_t>(s)];
      b->raise();
      if (s == 1)
        b->setFocus();
      else if (b->hasFocus())
        b->clearFocus();
      if (s == 2) Move(b, QPoint(b->width() / 2, 2));
      if (s == 3) b->setDown(true);
      if (s == 4) b->setEnabled(false);
      const QImage shot = pixels::Grab(*b);
      EXPECT_EQ(pixels::At(shot, 2, 2), pixels::Opaque(expectedFace[s]))
          << "row " << r << " " << states[s].toStdString();
      if (logo) {
        painter.drawText(QRect(0, y, 85, 96), Qt::AlignCenter, states[s]);
        painter.drawImage(90, y, shot);
        y += 106;
      } else {
        painter.drawImage(90 + s * tileW, y, shot);
      }
      if (s == 2) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(b, &leave);
      }
      if (s == 3) b->setDown(false);
    }
    if (!logo) y += tileH;
  }
  painter.end();
  sheet = sheet.copy(0, 0, sheet.width(), y);
  EXPECT_TRUE(sheet.save(QStringLiteral(SCREENSHOT_PATH)));
}

}  // namespace
