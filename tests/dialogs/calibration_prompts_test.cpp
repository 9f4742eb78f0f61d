#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

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

// One way through a sequence: the prompt it starts with, the operator's steps
// and what comes of it.
struct Walk {
  const char* name;
  std::function<std::unique_ptr<CCalibrationPrompt>(protocol::AppState&)> open;
  std::function<void(ModalScript&)> steps;
  int result;            // of the first prompt
  std::uint8_t command;  // 0: nothing may be queued
};

template <typename Prompt>
std::unique_ptr<CCalibrationPrompt> Open(protocol::AppState& state) {
  return std::make_unique<Prompt>(state);
}

void Escape(QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); }

std::vector<Walk> Walks() {
  return {
      {"zero: OK, OK", Open<CZeroCalDlg>,
       [](ModalScript& s) { s.On<CZeroCalDlg>(Press(1)).On<CZeroCalWaitDlg>(Press(1)); }, QDialog::Accepted, 1},
      {"air: OK, OK", Open<CAirCalDlg>,
       [](ModalScript& s) { s.On<CAirCalDlg>(Press(1)).On<CAirCalWaitDlg>(Press(1)); }, QDialog::Accepted, 2},
      {"factory: OK", Open<CFactoryResetDlg>, [](ModalScript& s) { s.On<CFactoryResetDlg>(Press(1)); },
       QDialog::Accepted, 3},
      {"zero: cancel", Open<CZeroCalDlg>, [](ModalScript& s) { s.On<CZeroCalDlg>(Press(2)); }, QDialog::Rejected, 0},
      {"air: Esc", Open<CAirCalDlg>, [](ModalScript& s) { s.On<CAirCalDlg>(Escape); }, QDialog::Rejected, 0},
      {"zero: OK, cancel", Open<CZeroCalDlg>,
       [](ModalScript& s) { s.On<CZeroCalDlg>(Press(1)).On<CZeroCalWaitDlg>(Press(2)); }, QDialog::Accepted, 0},
      {"air: OK, Esc", Open<CAirCalDlg>,
       [](ModalScript& s) { s.On<CAirCalDlg>(Press(1)).On<CAirCalWaitDlg>(Escape); }, QDialog::Accepted, 0},
      {"factory: cancel", Open<CFactoryResetDlg>, [](ModalScript& s) { s.On<CFactoryResetDlg>(Press(2)); },
       QDialog::Rejected, 0},
  };
}

// Runs the walk to its end; the first prompt's result.
int RunWalk(const Walk& walk, protocol::AppState& state) {
  const std::unique_ptr<CCalibrationPrompt> prompt = walk.open(state);
  ModalScript script;
  walk.steps(script);
  script.Start();
  const int result = prompt->exec();
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(script.TimedOut());
  return result;
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
    bool showsStability;
  };
  CZeroCalDlg zero(state);
  CAirCalDlg air(state);
  CZeroCalWaitDlg zeroWait(state);
  CAirCalWaitDlg airWait(state);
  CFactoryResetDlg reset(state);
  const Expected all[] = {
      {&zero, "零点标定", "确保仪表工作在无氧水中", "下一步", true, false},
      {&air, "空气标定", "请确认已放入空气中", "下一步", true, false},
      {&zeroWait, "", "等待标定测量数值稳定", "确定", true, true},
      {&airWait, "", "等待标定测量数值稳定", "确定", true, true},
      {&reset, "恢复出厂", "确定要恢复出厂设置吗？", "确定", false, false},
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
    EXPECT_EQ(p->StabilityLabel() != nullptr, e.showsStability);
    ExpectPromptColours(p->OkButton());
    ExpectPromptColours(p->CancelButton());
    for (QWidget* w : p->findChildren<QWidget*>()) {
      EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
    }
    p->close();
  }
}

TEST(CalibrationPrompts, TheZeroWaitPromptReplacesTheFirstAndNothingIsQueuedBeforeItsOk) {
  protocol::AppState state = FreshState();
  CZeroCalDlg prompt(state);
  bool promptHiddenDuringWait = false;
  ModalScript script;
  script.On<CZeroCalDlg>(Press(1));
  script.On<CZeroCalWaitDlg>([&](QWidget* w) {
    promptHiddenDuringWait = !prompt.isVisible();
    EXPECT_EQ(state.link.pendingWrite, kEarlierWrite);
    EXPECT_EQ(PromptText(static_cast<QDialog*>(w)), QString::fromUtf8("等待标定测量数值稳定"));
    ClickControl(w, 1);
  });
  script.Start();
  EXPECT_EQ(prompt.exec(), QDialog::Accepted);
  EXPECT_TRUE(script.Finished());
  EXPECT_FALSE(script.TimedOut());
  EXPECT_TRUE(promptHiddenDuringWait);
}

// Every way through every sequence: only the last OK queues the sequence's
// command (replacing whatever was pending); cancel or Esc at any step leaves
// the earlier write pending and opens nothing further.
TEST(CalibrationPrompts, OnlyTheLastOkQueuesTheCommandAndCancelOrEscapeQueueNothing) {
  for (const Walk& walk : Walks()) {
    SCOPED_TRACE(walk.name);
    protocol::AppState state = FreshState();
    state.link.writeAcked = true;
    EXPECT_EQ(RunWalk(walk, state), walk.result);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "a further prompt stayed open";
    if (walk.command) {
      EXPECT_EQ(state.link.pendingWrite, CommandFrame(walk.command));
      EXPECT_EQ(state.link.pendingWriteReg, 34);
      EXPECT_FALSE(state.link.writeAcked);
    } else {
      ExpectNothingQueued(state);
      EXPECT_TRUE(state.link.writeAcked);
    }
  }
}

TEST(CalibrationPrompts, QuickSequencesLeaveOnlyTheLastPending) {
  protocol::AppState state = FreshState();
  for (const Walk& walk : Walks()) {
    if (!walk.command) continue;
    SCOPED_TRACE(walk.name);
    RunWalk(walk, state);
    EXPECT_EQ(state.link.pendingWrite, CommandFrame(walk.command));
    EXPECT_EQ(state.link.pendingWriteReg, 34);
  }
}
