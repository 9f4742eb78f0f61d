#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <limits>

#include "dialogs/calibration_prompts.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/value_entry_dialogs.h"
#include "modal_script.h"
#include "test_support.h"

using protocol::RegisterBlock;

namespace {

constexpr std::uint8_t kPolled = 5;  // the address the tool polls

RegisterBlock TypicalBlock() {
  RegisterBlock block;
  block.SetFloat(protocol::DoValue, 8.5f);
  block.SetFloat(protocol::Temperature, -1.237f);
  block.SetFloat(protocol::PhaseDiff, 45.678f);
  block.regs[protocol::DeviceType] = 2;
  block.regs[protocol::Unit] = 0;
  block.regs[protocol::Filter] = 10;
  block.SetFloat(protocol::Pressure, 0.29f);
  block.SetFloat(protocol::ZeroCalValue, 12.349f);
  block.SetFloat(protocol::AirCalValue, 123.4567f);
  block.regs[protocol::DeviceAddress] = 200;
  return block;
}

protocol::AppState StateWith(const RegisterBlock& block) {
  protocol::AppState state;
  state.link.currentAddress = kPolled;
  state.link.sensorConnected = true;
  PutReply(state, block, kPolled);
  return state;
}

QString BoxText(CSensorConfigDlg& dialog, int id) {
  QLineEdit* box = dialog.Box(id);
  return box ? box->text() : QStringLiteral("<no box %1>").arg(id);
}

// Waits for `ticks` more ticks of the window's refresh timer.
bool WaitForRefreshes(CSensorWindow& window, int ticks) {
  QSignalSpy spy(&window.RefreshTimer(), &QTimer::timeout);
  return WaitUntil([&] { return spy.count() >= ticks; }, 3000 * ticks);
}

}  // namespace

TEST(SensorConfig, FirstDisplayShowsTheDecodedReplyWithTheDisplayRules) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  // Before any timer tick: the construction already decoded the reply.
  EXPECT_EQ(BoxText(dialog, 1029), "%");
  EXPECT_EQ(BoxText(dialog, 1030), "10");
  EXPECT_EQ(BoxText(dialog, 1031), "0.28") << "0.29 is held as 0.2899999917 and cut, not rounded";
  EXPECT_EQ(BoxText(dialog, 1032), "12.34");
  EXPECT_EQ(BoxText(dialog, 1033), "123.456");
  EXPECT_EQ(BoxText(dialog, 1034), "45.67");
  EXPECT_EQ(BoxText(dialog, 1035), "-1.23");
  EXPECT_EQ(BoxText(dialog, 1036), "200");
  EXPECT_EQ(BoxText(dialog, 1037), "");

  RegisterBlock other = TypicalBlock();
  other.regs[protocol::Unit] = 1;
  other.SetFloat(protocol::AirCalValue, 1234.5678f);
  other.SetU32(protocol::ZeroCalValue, 0xFFFFFFFFu);  // a NaN
  other.SetFloat(protocol::Pressure, std::numeric_limits<float>::infinity());
  other.regs[protocol::Filter] = 65535;
  protocol::AppState second = StateWith(other);
  CSensorConfigDlg again(second);
  EXPECT_EQ(BoxText(again, 1029), "mg/L");
  EXPECT_EQ(BoxText(again, 1033), "1234.57");
  EXPECT_EQ(BoxText(again, 1032), "0");
  EXPECT_EQ(BoxText(again, 1031), "0");
  EXPECT_EQ(BoxText(again, 1030), "65535");
  other.regs[protocol::Unit] = 2;
  PutReply(second, other, kPolled);
  CSensorConfigDlg third(second);
  EXPECT_EQ(BoxText(third, 1029), "mg/L");
}

TEST(SensorConfig, RefreshesEvery900MsAndFreezesWhileTheCrcIsBad) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.show();
  EXPECT_TRUE(dialog.RefreshTimer().isActive());
  EXPECT_EQ(dialog.RefreshTimer().interval(), 900);

  RegisterBlock next = TypicalBlock();
  next.regs[protocol::Filter] = 33;
  next.SetFloat(protocol::Temperature, 25.256f);
  next.regs[protocol::Unit] = 1;
  PutReply(state, next, kPolled);
  EXPECT_EQ(BoxText(dialog, 1030), "10") << "nothing changes between ticks";
  EXPECT_TRUE(WaitUntil([&] { return BoxText(dialog, 1030) == "33"; }));
  EXPECT_EQ(BoxText(dialog, 1035), "25.25");
  EXPECT_EQ(BoxText(dialog, 1029), "mg/L");

  // A bad CRC freezes every box, however many ticks pass.
  next.regs[protocol::Filter] = 44;
  next.SetFloat(protocol::Temperature, 30.0f);
  next.regs[protocol::DeviceAddress] = 7;
  PutReply(state, next, kPolled);
  state.link.crcError = true;
  ASSERT_TRUE(WaitForRefreshes(dialog, 2));
  EXPECT_EQ(BoxText(dialog, 1030), "33");
  EXPECT_EQ(BoxText(dialog, 1035), "25.25");
  EXPECT_EQ(BoxText(dialog, 1036), "200");

  state.link.crcError = false;
  EXPECT_TRUE(WaitUntil([&] { return BoxText(dialog, 1030) == "44"; }));
  EXPECT_EQ(BoxText(dialog, 1035), "30");
  EXPECT_EQ(BoxText(dialog, 1036), "7");
  EXPECT_EQ(BoxText(dialog, 1037), "") << "the status box is never written";
}

TEST(SensorConfig, RefreshParksTheFocusOnTheTitle) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  auto* title = dialog.findChild<QLabel*>(QStringLiteral("titleLabel"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), QString::fromUtf8("传感器标定"));
  dialog.Box(1030)->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), dialog.Box(1030));
  EXPECT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == title; }));
}

TEST(SensorConfig, ControlsFontsAndColours) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.show();
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);

  struct ButtonCase {
    int id;
    const char* text;
  };
  for (const ButtonCase& b : {ButtonCase{1026, "更改"}, {1027, "配置"}, {1028, "配置"},
                              {1042, "配置"}, {1043, "更改"}, {1045, "更改"}, {1044, "零点标定"},
                              {1047, "空气标定"}, {1048, "恢复出厂标定"}, {58112, "返回"},
                              {1025, "刷新"}}) {
    CImageButton* button = dialog.Button(b.id);
    ASSERT_NE(button, nullptr) << b.id;
    EXPECT_EQ(button->text(), QString::fromUtf8(b.text)) << b.id;
    EXPECT_EQ(button->isVisible(), b.id != 1025) << b.id;
    ExpectPromptColours(button);
  }

  const QColor back(65, 206, 241);
  for (int id : {1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036}) {
    QLineEdit* box = dialog.Box(id);
    ASSERT_NE(box, nullptr) << id;
    EXPECT_TRUE(box->isReadOnly()) << id;
    EXPECT_EQ(box->font(), dialog.BoxFont()) << id;
    EXPECT_EQ(box->palette().color(QPalette::Base), back) << id;
    const QColor text = (id == 1034 || id == 1035) ? QColor(177, 87, 27) : QColor(87, 67, 75);
    EXPECT_EQ(box->palette().color(QPalette::Text), text) << id;
  }
  // The value font: a 55-pixel cell, far above the window's own font.
  EXPECT_GE(QFontMetrics(dialog.BoxFont()).height(), 50);
  EXPECT_LE(QFontMetrics(dialog.BoxFont()).height(), 60);
  EXPECT_NE(dialog.Box(1037)->font(), dialog.BoxFont());
  EXPECT_TRUE(dialog.Box(1037)->isReadOnly());

  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->parentWidget() != &dialog) continue;  // the boxes' own inner widgets
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
}

TEST(SensorConfig, UnitButtonTogglesAndAddressesTheShownDeviceAddress) {
  struct Case {
    std::uint16_t unit;
    std::uint8_t written;
  };
  for (const Case& c : {Case{0, 1}, Case{1, 0}, Case{2, 0}, Case{0x0100, 0}}) {
    RegisterBlock block = TypicalBlock();
    block.regs[protocol::Unit] = c.unit;
    protocol::AppState state = StateWith(block);
    CSensorConfigDlg dialog(state);
    dialog.show();
    ASSERT_TRUE(ClickControl(&dialog, 1026));
    // Register 32 shows 200: the write goes to 200, not to the polled 5.
    const protocol::RtuFrame expected =
        Sealed({200, 0x10, 0x00, 18, 0x00, 0x01, 0x02, 0x00, c.written});
    EXPECT_EQ(state.link.pendingWrite, expected) << c.unit;
    EXPECT_EQ(state.link.pendingWriteReg, 18);
    // A second press before the next reply queues the very same bytes.
    ASSERT_TRUE(ClickControl(&dialog, 1026));
    EXPECT_EQ(state.link.pendingWrite, expected) << c.unit;
    EXPECT_TRUE(dialog.isVisible()) << "the window stays open";
  }
}

TEST(SensorConfig, UnitButtonUsesTheAddressTheBoxShowsWhileFrozen) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.show();
  RegisterBlock changed = TypicalBlock();
  changed.regs[protocol::DeviceAddress] = 77;
  PutReply(state, changed, kPolled);
  state.link.crcError = true;
  ASSERT_TRUE(WaitForRefreshes(dialog, 1));
  ASSERT_EQ(BoxText(dialog, 1036), "200");
  ASSERT_TRUE(ClickControl(&dialog, 1026));
  EXPECT_EQ(state.link.pendingWrite.at(0), 200);
}

TEST(SensorConfig, ChangeButtonsOpenTheRightEntryWithTheRightKind) {
  struct Case {
    int button;
    bool integer;
    int kind;
    const char* typed;
    protocol::RtuFrame frame;
    std::uint8_t reg;
  };
  const Case cases[] = {
      {1027, true, 0, "10", Sealed({kPolled, 0x10, 0, 19, 0, 1, 2, 0, 10}), 19},
      {1042, true, 2, "7", Sealed({kPolled, 0x10, 0, 32, 0, 1, 2, 0, 7}), 32},
      {1028, false, 1, "100", Sealed({kPolled, 0x10, 0, 20, 0, 2, 4, 0x00, 0x00, 0x42, 0xC8}), 20},
      {1043, false, 2, "10", Sealed({kPolled, 0x10, 0, 22, 0, 2, 4, 0x00, 0x00, 0x41, 0x20}), 22},
      {1045, false, 3, "10", Sealed({kPolled, 0x10, 0, 24, 0, 2, 4, 0x00, 0x00, 0x41, 0x20}), 24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    protocol::AppState state = StateWith(TypicalBlock());
    state.entryKind = -1;
    CSensorConfigDlg dialog(state);
    dialog.show();
    QString opened;
    int kindSeen = -2;
    QString boxOnOpen;
    ModalScript script;
    script.On<QDialog>([&](QWidget* w) {
      opened = QString::fromLatin1(w->metaObject()->className());
      kindSeen = state.entryKind;
      auto* box = ui::Control<QLineEdit>(w, 1029);
      if (!box) return;
      boxOnOpen = box->text();
      box->setText(QString::fromLatin1(c.typed));
      ClickControl(w, 1);
    }, &dialog);
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, c.button));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(opened, c.integer ? "CIntInputDlg" : "CValueInputDlg");
    EXPECT_EQ(kindSeen, c.kind);
    EXPECT_EQ(boxOnOpen, "0") << "the entry opens showing 0, not the current value";
    EXPECT_EQ(state.link.pendingWrite, c.frame);
    EXPECT_EQ(state.link.pendingWriteReg, c.reg);
    EXPECT_TRUE(dialog.isVisible());
  }
}

TEST(SensorConfig, CalibrationButtonsRunTheirPromptsWhileTheWindowKeepsRefreshing) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.show();

  // Zero calibration; the temperature keeps updating under the prompt.
  bool refreshedUnderPrompt = false;
  {
    ModalScript script;
    script.On<CZeroCalDlg>([&](QWidget* w) {
      RegisterBlock warmer = TypicalBlock();
      warmer.SetFloat(protocol::Temperature, 21.5f);
      PutReply(state, warmer, kPolled);
      refreshedUnderPrompt = WaitUntil([&] { return BoxText(dialog, 1035) == "21.5"; });
      ClickControl(w, 1);
    });
    script.On<CZeroCalWaitDlg>([](QWidget* w) { ClickControl(w, 1); });
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, 1044));
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_TRUE(refreshedUnderPrompt);
  EXPECT_EQ(state.link.pendingWrite, Sealed({kPolled, 0x10, 0, 0x22, 0, 1, 2, 0, 1}));
  EXPECT_EQ(state.link.pendingWriteReg, 34);

  {
    ModalScript script;
    script.On<CAirCalDlg>([](QWidget* w) { ClickControl(w, 1); });
    script.On<CAirCalWaitDlg>([](QWidget* w) { ClickControl(w, 1); });
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, 1047));
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(state.link.pendingWrite, Sealed({kPolled, 0x10, 0, 0x22, 0, 1, 2, 0, 2}));

  {
    ModalScript script;
    script.On<CFactoryResetDlg>([](QWidget* w) { ClickControl(w, 1); });
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, 1048));
    EXPECT_TRUE(script.Finished());
  }
  EXPECT_EQ(state.link.pendingWrite, Sealed({kPolled, 0x10, 0, 0x22, 0, 1, 2, 0, 3}));

  // Cancelled sequences leave the last command as it was.
  {
    ModalScript script;
    script.On<CZeroCalDlg>([](QWidget* w) { ClickControl(w, 2); });
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, 1044));
    ModalScript second;
    second.On<CFactoryResetDlg>([](QWidget* w) { ClickControl(w, 2); });
    second.Start();
    ASSERT_TRUE(ClickControl(&dialog, 1048));
    EXPECT_TRUE(second.Finished());
  }
  EXPECT_EQ(state.link.pendingWrite, Sealed({kPolled, 0x10, 0, 0x22, 0, 1, 2, 0, 3}));
  EXPECT_TRUE(dialog.isVisible());
}

TEST(SensorConfig, ReturnAndEscapeEndTheWindowForTheMainWindow) {
  {
    protocol::AppState state = StateWith(TypicalBlock());
    CSensorConfigDlg dialog(state);
    ModalScript script;
    script.On<CSensorConfigDlg>([](QWidget* w) { ClickControl(w, 58112); });
    script.Start();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(state.childDialogState, 9);
    EXPECT_FALSE(dialog.RefreshTimer().isActive());
  }
  {
    protocol::AppState state = StateWith(TypicalBlock());
    CSensorConfigDlg dialog(state);
    ModalScript script;
    script.On<CSensorConfigDlg>([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    script.Start();
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(state.childDialogState, 9);
  }
}

TEST(SensorConfig, WindowIsDraggedByItsBackground) {
  protocol::AppState state = StateWith(TypicalBlock());
  CSensorConfigDlg dialog(state);
  dialog.move(100, 100);
  dialog.show();
  const QPoint start = dialog.pos();
  const QPoint local(5, dialog.height() / 2);  // left margin, no control there
  ASSERT_EQ(dialog.childAt(local), nullptr);
  const QPoint global = dialog.mapToGlobal(local);
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&dialog, &press);
  QMouseEvent move(QEvent::MouseMove, local + QPoint(40, 25), global + QPoint(40, 25),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &move);
  QMouseEvent release(QEvent::MouseButtonRelease, local + QPoint(40, 25), global + QPoint(40, 25),
                      Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &release);
  EXPECT_EQ(dialog.pos(), start + QPoint(40, 25));
  // After the release, moving the mouse no longer moves the window.
  QMouseEvent after(QEvent::MouseMove, local + QPoint(90, 90), global + QPoint(90, 90),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dialog, &after);
  EXPECT_EQ(dialog.pos(), start + QPoint(40, 25));
}
