#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include "dialogs/calibration_prompts.h"
#include "modal_script.h"
#include "test_support.h"

namespace {

constexpr std::uint8_t kAddress = 9;
const protocol::RtuFrame kEarlierWrite = Sealed({kAddress, 0x10, 0x00, 19, 0x00, 0x01, 0x02, 0x00, 3});

protocol::AppState FreshState() {
  protocol::AppState state;
  state.link.currentAddress = kAddress;
  protocol::QueueWrite(state.link, kEarlierWrite, protocol::Filter);
  return state;
}

protocol::RtuFrame CommandFrame(std::uint8_t command) {
  return Sealed({kAddress, 0x10, 0x00, 0x22, 0x00, 0x01, 0x02, 0x00, command});
}

QString PromptText(QDialog* prompt) {
  auto* label = prompt->findChild<QLabel*>(QStringLiteral("promptLabel"));
  return label ? label->text() : QString();
}

void ExpectNothingQueued(const protocol::AppState& state) {
  EXPECT_EQ(state.link.pendingWrite, kEarlierWrite);
  EXPECT_EQ(state.link.pendingWriteReg, protocol::Filter);
}

// Presses a prompt's button (1 = OK, 2 = cancel) from a script step.
ModalScript::Action Press(int id) {
  return [id](QWidget* w) { ClickControl(w, id); };
}

}  // namespace

TEST(CalibrationPrompts, CaptionsTextsButtonsAndColours) {
  protocol::AppState state;
  struct Expected {
    CCalibrationPrompt* prompt;
    const char* caption;
    const char* text;
    const char* ok;
    bool okIsDefault;
  };
  CZeroCalDlg zero(state);
  CAirCalDlg air(state);
  CZeroCalWaitDlg zeroWait(state);
  CAirCalWaitDlg airWait(state);
  CFactoryResetDlg reset(state);
  const Expected all[] = {
      {&zero, "零点标定", "确保仪表工作在无氧水中", "下一步", true},
      {&air, "空气标定", "请确认已放入空气中", "下一步", true},
      {&zeroWait, "", "等待标定测量数值稳定", "确定", true},
      {&airWait, "", "等待标定测量数值稳定", "确定", true},
      {&reset, "恢复出厂", "确定要恢复出厂设置吗？", "确定", false},
  };
  for (const Expected& e : all) {
    CCalibrationPrompt* p = e.prompt;
    SCOPED_TRACE(e.text);
    // The template's mark; once shown, a focused button is the default anyway.
    EXPECT_EQ(p->OkButton()->isDefault(), e.okIsDefault);
    p->show();
    EXPECT_EQ(p->windowTitle(), QString::fromUtf8(e.caption));
    EXPECT_EQ(PromptText(p), QString::fromUtf8(e.text));
    EXPECT_FALSE(p->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(p->OkButton(), ui::FindControl(p, 1));
    EXPECT_EQ(p->CancelButton(), ui::FindControl(p, 2));
    EXPECT_EQ(p->OkButton()->text(), QString::fromUtf8(e.ok));
    EXPECT_EQ(p->CancelButton()->text(), QString::fromUtf8("取消"));
    ExpectPromptColours(p->OkButton());
    ExpectPromptColours(p->CancelButton());
    for (QWidget* w : p->findChildren<QWidget*>()) {
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
    p->close();
  }
}

TEST(CalibrationPrompts, ZeroAndAirCalibrationQueueTheirCommandOnlyAtTheLastOk) {
  {
    protocol::AppState state = FreshState();
    CZeroCalDlg prompt(state);
    bool promptHiddenDuringWait = false;
    ModalScript script;
    script.On<CZeroCalDlg>([&](QWidget* w) {
      ClickControl(w, 1);
    });
    script.On<CZeroCalWaitDlg>([&](QWidget* w) {
      promptHiddenDuringWait = !prompt.isVisible();
      // Nothing is queued before the wait prompt's OK.
      EXPECT_EQ(state.link.pendingWrite, kEarlierWrite);
      EXPECT_EQ(PromptText(static_cast<QDialog*>(w)), QString::fromUtf8("等待标定测量数值稳定"));
      ClickControl(w, 1);
    });
    script.Start();
    EXPECT_EQ(prompt.exec(), QDialog::Accepted);
    EXPECT_TRUE(script.Finished());
    EXPECT_FALSE(script.TimedOut());
    EXPECT_TRUE(promptHiddenDuringWait);
    EXPECT_EQ(state.link.pendingWrite, CommandFrame(1));
    EXPECT_EQ(state.link.pendingWriteReg, 34);
  }
  {
    protocol::AppState state = FreshState();
    state.link.writeAcked = true;
    CAirCalDlg prompt(state);
    ModalScript script;
    script.On<CAirCalDlg>(Press(1)).On<CAirCalWaitDlg>(Press(1));
    script.Start();
    prompt.exec();
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(state.link.pendingWrite, CommandFrame(2));
    EXPECT_EQ(state.link.pendingWriteReg, 34);
    EXPECT_FALSE(state.link.writeAcked);
  }
}

TEST(CalibrationPrompts, CancelOrEscapeAtEveryStepQueuesNothing) {
  // Cancel in the first prompt: no wait prompt opens.
  {
    protocol::AppState state = FreshState();
    CZeroCalDlg prompt(state);
    ModalScript script;
    script.On<CZeroCalDlg>(Press(2));
    script.Start();
    EXPECT_EQ(prompt.exec(), QDialog::Rejected);
    EXPECT_TRUE(script.Finished());
    EXPECT_TRUE(prompt.findChildren<CZeroCalWaitDlg*>().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a wait prompt opened after cancel";
    ExpectNothingQueued(state);
  }
  {
    protocol::AppState state = FreshState();
    CAirCalDlg prompt(state);
    ModalScript script;
    script.On<CAirCalDlg>([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    script.Start();
    EXPECT_EQ(prompt.exec(), QDialog::Rejected);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ExpectNothingQueued(state);
  }
  // Cancel and Esc in the wait prompts.
  {
    protocol::AppState state = FreshState();
    CZeroCalDlg prompt(state);
    ModalScript script;
    script.On<CZeroCalDlg>(Press(1)).On<CZeroCalWaitDlg>(Press(2));
    script.Start();
    prompt.exec();
    EXPECT_TRUE(script.Finished());
    ExpectNothingQueued(state);
  }
  {
    protocol::AppState state = FreshState();
    CAirCalDlg prompt(state);
    ModalScript script;
    script.On<CAirCalDlg>(Press(1)).On<CAirCalWaitDlg>(
        [](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
    script.Start();
    prompt.exec();
    EXPECT_TRUE(script.Finished());
    ExpectNothingQueued(state);
  }
  {
    protocol::AppState state = FreshState();
    CFactoryResetDlg prompt(state);
    ModalScript script;
    script.On<CFactoryResetDlg>(Press(2));
    script.Start();
    EXPECT_EQ(prompt.exec(), QDialog::Rejected);
    ExpectNothingQueued(state);
  }
}

TEST(CalibrationPrompts, FactoryRestoreQueuesCommandThree) {
  protocol::AppState state = FreshState();
  CFactoryResetDlg prompt(state);
  ModalScript script;
  script.On<CFactoryResetDlg>(Press(1));
  script.Start();
  EXPECT_EQ(prompt.exec(), QDialog::Accepted);
  EXPECT_EQ(state.link.pendingWrite, CommandFrame(3));
  EXPECT_EQ(state.link.pendingWriteReg, 34);
}

TEST(CalibrationPrompts, TwoQuickSequencesLeaveOnlyTheSecondPending) {
  protocol::AppState state = FreshState();
  {
    CZeroCalDlg prompt(state);
    ModalScript script;
    script.On<CZeroCalDlg>(Press(1)).On<CZeroCalWaitDlg>(Press(1));
    script.Start();
    prompt.exec();
  }
  EXPECT_EQ(state.link.pendingWrite, CommandFrame(1));
  {
    CAirCalDlg prompt(state);
    ModalScript script;
    script.On<CAirCalDlg>(Press(1)).On<CAirCalWaitDlg>(Press(1));
    script.Start();
    prompt.exec();
  }
  EXPECT_EQ(state.link.pendingWrite, CommandFrame(2));
  {
    CFactoryResetDlg prompt(state);
    ModalScript script;
    script.On<CFactoryResetDlg>(Press(1));
    script.Start();
    prompt.exec();
  }
  EXPECT_EQ(state.link.pendingWrite, CommandFrame(3));
  EXPECT_EQ(state.link.pendingWriteReg, 34);
}
