#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "protocol/entry_rules.h"
#include "protocol/link_state.h"
#include "protocol/receive_path.h"
#include "serial/comm.h"

namespace cli {

// One run of a command on the line. It plays the desktop tool's main window
// towards the receive path: the search walk, the poll, the write repetition
// and the echo recognition are the protocol core's own, driven by timers of
// the same periods. Results go to stdout, progress and failures to stderr.
class CliSession : public QObject, public protocol::LinkWindow {
  Q_OBJECT

 public:
  // `setValue` is the checked value of a `set` command.
  CliSession(const Options& options, std::optional<SetValue> setValue, QObject* parent = nullptr);
  ~CliSession() override;

  // Opens the port and begins; the end is reported by Finished.
  void Start();

 signals:
  void Finished(int exitCode);

 private:
  enum class Phase { Idle, Connecting, Writing, ReadingBack, Watching, Done };

  // protocol::LinkWindow
  void PullControls() override {}
  void PushControls() override {}
  void RestartPollTimer(int periodMs) override;
  void StopPollAndDisplayTimers() override;
  void BeginPortReset() override;
  void ShowNotConnected() override {}
  void SetAddressShown(std::uint8_t address) override;
  void Report(const protocol::LinkEvent& event) override;
  void SendFrame(const protocol::RtuFrame& frame) override;

  bool BindPort();
  bool RunOpeningSequence();
  void OnComm();
  void OnPollTick();
  void OnWriteTick();
  void OnDeadline();
  void OnReplyAccepted();
  void OnConnected();
  void BeginWrite(protocol::EntryWrite write);
  void OnWriteConfirmed();
  void PrintWatchLine();
  bool Confirm();
  void StartDeadline(bool always);
  void Finish(int exitCode);
  void Out(const std::string& text);
  void Err(const std::string& text);
  void EndProgressLine();

  Options options_;
  std::optional<SetValue> setValue_;
  protocol::EntryWrite write_;
  CMSComm comm_;
  protocol::LinkState state_;
  QElapsedTimer clock_;
  QTimer pollTimer_;
  QTimer writeTimer_;
  QTimer deadline_;
  Phase phase_ = Phase::Idle;
  bool searching_ = false;
  bool searchExhausted_ = false;
  bool progressOpen_ = false;   // a progress line without its newline is on stderr
  bool progressOnTty_ = false;
  bool resetRunning_ = false;
  std::string commState_;
  bool commStateIsTrouble_ = false;  // commState_ tells of a fault, worth naming in a message
  int writesSent_ = 0;
  std::uint32_t linesPrinted_ = 0;
  bool awaitingReply_ = false;  // watch: the last poll has no accepted reply yet
};

}  // namespace cli
