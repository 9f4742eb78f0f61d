#include "cli/cli_session.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <utility>

#include "cli/cli_output.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "serial/port_naming.h"
#include "uitexts/link_texts.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace cli {

namespace {

constexpr int kDefaultTimeoutMs = 10000;

std::string SecondsText(int ms) {
  // Whole seconds or one decimal, independent of the locale.
  if (ms % 1000 == 0) return std::to_string(ms / 1000);
  return std::to_string(ms / 1000) + "." + std::to_string((ms % 1000) / 100);
}

std::string Now() {
  const QDateTime now = QDateTime::currentDateTime();
  return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

}  // namespace

CliSession::CliSession(const Options& options, std::optional<SetValue> setValue, QObject* parent)
    : QObject(parent), options_(options), setValue_(std::move(setValue)) {
  pollTimer_.setTimerType(Qt::PreciseTimer);
  writeTimer_.setTimerType(Qt::PreciseTimer);
  deadline_.setSingleShot(true);
  connect(&pollTimer_, &QTimer::timeout, this, &CliSession::OnPollTick);
  connect(&writeTimer_, &QTimer::timeout, this, &CliSession::OnWriteTick);
  connect(&deadline_, &QTimer::timeout, this, &CliSession::OnDeadline);
  connect(&comm_, &CMSComm::OnComm, this, &CliSession::OnComm);
  connect(&comm_, &CMSComm::PortFailed, this, [this](const QString& text) {
    Err(text.toStdString() + "\n");
    Finish(kExitFailed);
  });
#ifndef _WIN32
  progressOnTty_ = ::isatty(2) == 1;
#endif
}

CliSession::~CliSession() = default;

// ---------------------------------------------------------------- the port

bool CliSession::BindPort() {
  if (options_.port.devicePath.empty()) {
    comm_.SetCommPort(static_cast<short>(options_.port.comNumber));
    return true;
  }
  // A device path is opened as itself, under port number 1, so the open, the
  // lock and the error texts are exactly those of a numbered port; nothing is
  // left behind in the file system however the run ends.
  const QString device = QString::fromStdString(options_.port.devicePath);
  if (!QFileInfo::exists(device)) {
    Err("sensortool-cli: " + options_.port.devicePath + " does not exist\n");
    return false;
  }
  const QString canonical = QFileInfo(device).canonicalFilePath();
  comm_.SetCommPort(1);
  comm_.SetDevice(canonical.isEmpty() ? QFileInfo(device).absoluteFilePath() : canonical);
  return true;
}

// The desktop tool's opening sequence.
bool CliSession::RunOpeningSequence() {
  comm_.SetInputMode(1);
  comm_.SetInBufferSize(1024);
  comm_.SetOutBufferSize(512);
  comm_.SetSettings(QStringLiteral("9600,n,8,1"));
  if (!comm_.PortOpen() && !comm_.SetPortOpen(true)) return false;
  state_.portOpen = true;
  comm_.SetRThreshold(1);
  comm_.SetInputLen(0);
  (void)comm_.Input();  // stale bytes
  return true;
}

void CliSession::Start() {
  clock_.start();
  if (!BindPort()) {
    Finish(kExitFailed);
    return;
  }
  if (!RunOpeningSequence()) {
    Err(comm_.LastError().toStdString() + "\n");
    Finish(kExitFailed);
    return;
  }

  phase_ = Phase::Connecting;
  if (options_.address) {
    // A given address: poll it, no walk.
    searching_ = false;
    state_.manualAddressing = true;
    state_.addressHeld = true;
    state_.currentAddress = static_cast<std::uint8_t>(*options_.address);
  } else {
    // The automatic connection: walk from address 0.
    searching_ = true;
    state_.manualAddressing = false;
    state_.currentAddress = 0;
  }
  StartDeadline(!searching_);
  OnPollTick();
  pollTimer_.start(protocol::kSearchPeriodMs);
}

// ------------------------------------------------------------ link window

void CliSession::RestartPollTimer(int periodMs) {
  if (phase_ == Phase::Done) return;
  pollTimer_.start(periodMs);
}

void CliSession::StopPollAndDisplayTimers() { pollTimer_.stop(); }

void CliSession::BeginPortReset() {
  // More than three polls went unanswered: close the port and reopen it after
  // the same pause as the desktop tool, dropping any outstanding write.
  if (resetRunning_) return;
  resetRunning_ = true;
  EndProgressLine();
  Err("no reply to " + std::to_string(protocol::kMissedPollsBeforeReset + 1) +
      " polls: reopening " + options_.port.Shown() + "\n");
  comm_.SetPortOpen(false);
  QTimer::singleShot(protocol::kPortResetWaitMs, this, [this] {
    resetRunning_ = false;
    if (phase_ == Phase::Done) return;
    if (!RunOpeningSequence()) {
      Err(comm_.LastError().toStdString() + "\n");
      Finish(kExitFailed);
      return;
    }
    state_.missedPolls = 0;
  });
}


void CliSession::SetAddressShown(std::uint8_t address) {
  if (!searching_ || phase_ != Phase::Connecting) return;
  const std::string text = "searching: polling address " + std::to_string(address);
  if (progressOnTty_) {
    Err("\r" + text + "   ");
    progressOpen_ = true;
  } else {
    Err(text + "\n");
  }
}

void CliSession::Report(const protocol::LinkEvent& event) {
  using Kind = protocol::LinkEventKind;
  if (const char* state = ui_texts::CommStateText(event)) {
    commState_ = state;
    commStateIsTrouble_ = event.kind != Kind::ReplyAccepted;
  }
  switch (event.kind) {
    case Kind::WriteConfirmed:
      OnWriteConfirmed();
      break;
    case Kind::SearchExhausted:
      // The walk passed address 254; the answer of 254 gets one more step.
      searchExhausted_ = true;
      break;
    case Kind::WriteRefused:
    case Kind::WriteUnanswered:
      if (phase_ != Phase::Writing) break;
      writeTimer_.stop();
      deadline_.stop();
      EndProgressLine();
      Err(ui_texts::MessageText(event) + "\n");
      Finish(kExitFailed);
      break;
    default:
      break;
  }
}

void CliSession::SendFrame(const protocol::RtuFrame& frame) {
  if (!comm_.PortOpen()) return;
  if (phase_ == Phase::Writing) ++writesSent_;
  comm_.SetOutput(frame);
}

// -------------------------------------------------------------- the events

void CliSession::OnComm() {
  if (phase_ == Phase::Done) return;
  const short event = comm_.CommEvent();
  const std::vector<std::uint8_t> bytes = comm_.Input();
  const std::uint64_t acceptedBefore = state_.repliesAccepted;
  const std::uint64_t rejectedBefore = state_.repliesRejected;
  protocol::OnCommEvent(state_, *this, event, bytes.data(), bytes.size(), clock_.elapsed());
  if (phase_ == Phase::Watching && state_.repliesRejected != rejectedBefore)
    Err(Now() + "  " + commState_ + "\n");
  if (state_.repliesAccepted != acceptedBefore) OnReplyAccepted();
}

void CliSession::OnPollTick() {
  if (phase_ == Phase::Done) return;
  if (phase_ == Phase::Connecting && searching_) {
    if (searchExhausted_) {
      EndProgressLine();
      Err(std::string(ui_texts::kNoDeviceFound) + "\n");
      Finish(kExitFailed);
      return;
    }
    protocol::SearchPollTick(state_, *this);
    return;
  }
  if (phase_ == Phase::Watching) {
    if (awaitingReply_) {
      const QDateTime when = QDateTime::currentDateTime();
      const std::string time = Now();
      Err(time + "  no valid reply to the poll of address " + std::to_string(state_.currentAddress) +
          (commStateIsTrouble_ ? " (" + commState_ + ")" : std::string()) + "\n");
      // A mark in the output, not a reading: --count counts readings.
      Out(options_.csv ? CsvStaleRow(when, state_.currentAddress) : WatchStaleLine(time, state_.currentAddress));
    }
    awaitingReply_ = true;
    protocol::SearchPollTick(state_, *this);
    return;
  }
  // A given address, or the read-back: poll the one address.
  SendFrame(protocol::PollBlock(state_.currentAddress));
}

void CliSession::OnWriteTick() {
  if (phase_ != Phase::Writing) return;
  protocol::WriteCycleTick(state_, *this);
}

void CliSession::StartDeadline(bool always) {
  if (options_.timeoutSeconds)
    deadline_.start(static_cast<int>(*options_.timeoutSeconds * 1000.0 + 0.5));
  else if (always)
    deadline_.start(kDefaultTimeoutMs);
  else
    deadline_.stop();
}

void CliSession::OnDeadline() {
  if (phase_ == Phase::Done) return;
  EndProgressLine();
  const std::string waited = SecondsText(deadline_.interval()) + " s";
  const std::string why =
      commStateIsTrouble_ ? " (" + commState_ + ")" : std::string();
  switch (phase_) {
    case Phase::Connecting:
      if (searching_)
        Err(std::string(ui_texts::kNoDeviceFound) + " (searched for " + waited + why + ")\n");
      else
        Err("no reply from the sensor at address " + std::to_string(*options_.address) + " on " +
            options_.port.Shown() + " within " + waited + why + "\n");
      break;
    case Phase::Writing:
      Err("the sensor did not echo the write within " + waited + " (sent " + std::to_string(writesSent_) +
          " times); the write is not confirmed\n");
      break;
    case Phase::ReadingBack:
      Err("the write was echoed but no reply came when reading it back within " + waited + why + "\n");
      break;
    default:
      break;
  }
  Finish(kExitFailed);
}

void CliSession::OnReplyAccepted() {
  switch (phase_) {
    case Phase::Connecting:
      OnConnected();
      break;
    case Phase::ReadingBack: {
      pollTimer_.stop();
      deadline_.stop();
      const protocol::SensorReading reading = protocol::DecodePollReply(state_.rxBuf.data());
      Out(SetFieldShown(setValue_->field, reading) + "\n");
      if (!ReadBackMatches(*setValue_, write_, reading)) {
        Err("read back a different value: the sensor did not take the write\n");
        Finish(kExitFailed);
        return;
      }
      Finish(kExitOk);
      break;
    }
    case Phase::Watching:
      awaitingReply_ = false;
      PrintWatchLine();
      break;
    default:
      break;
  }
}

void CliSession::OnConnected() {
  EndProgressLine();
  deadline_.stop();
  const std::uint8_t address = state_.currentAddress;
  if (searching_) Err("found the sensor at address " + std::to_string(address) + "\n");
  const protocol::SensorReading reading = protocol::DecodePollReply(state_.rxBuf.data());

  switch (options_.command) {
    case Command::Search:
      pollTimer_.stop();
      Out(std::to_string(address) + "\n");
      Finish(kExitOk);
      return;
    case Command::Read:
      pollTimer_.stop();
      Out(options_.json ? ReadingJson(state_.rxBuf[0], reading) : ReadingText(state_.rxBuf[0], reading));
      Finish(kExitOk);
      return;
    case Command::Watch:
      // The receive path has put the poll timer at 2000 ms on recognition;
      // a given address is polled at that period from here on as well.
      phase_ = Phase::Watching;
      state_.deviceFound = true;
      state_.missedPolls = 0;
      awaitingReply_ = false;
      pollTimer_.start(protocol::kPollPeriodMs);
      if (options_.csv) Out(CsvHeader());
      PrintWatchLine();
      return;
    case Command::Set:
      pollTimer_.stop();
      BeginWrite(BuildSetWrite(*setValue_, address, reading));
      return;
    case Command::Calibrate: {
      pollTimer_.stop();
      if (!options_.yes && !Confirm()) {
        Err("cancelled: nothing was sent\n");
        Finish(kExitFailed);
        return;
      }
      protocol::RtuFrame frame = options_.calibration == Calibration::Zero  ? protocol::StartZeroCal(address)
                                 : options_.calibration == Calibration::Air ? protocol::StartAirCal(address)
                                                                            : protocol::RestoreFactoryCal(address);
      BeginWrite({std::move(frame), protocol::Command});
      return;
    }
    case Command::History:  // answered from the database in main(); never opens a session
    case Command::None:
      break;
  }
  Finish(kExitFailed);
}

bool CliSession::Confirm() {
  std::string prompt;
  switch (options_.calibration) {
    case Calibration::Zero:
      prompt = "零点标定 (zero calibration), sensor at address " + std::to_string(state_.currentAddress) +
               "\n确保仪表工作在无氧水中\n等待标定测量数值稳定\nStart the zero calibration? [y/N] ";
      break;
    case Calibration::Air:
      prompt = "空气标定 (air calibration), sensor at address " + std::to_string(state_.currentAddress) +
               "\n请确认已放入空气中\n等待标定测量数值稳定\nStart the air calibration? [y/N] ";
      break;
    case Calibration::Restore:
      prompt = "恢复出厂 (restore factory calibration), sensor at address " +
               std::to_string(state_.currentAddress) + "\n确定要恢复出厂设置吗？ [y/N] ";
      break;
  }
  Err(prompt);
  char line[64] = {};
  const bool answered = std::fgets(line, sizeof line, stdin) != nullptr;
#ifndef _WIN32
  // A piped answer is not echoed: end the prompt's line ourselves.
  if (::isatty(0) != 1) Err("\n");
#endif
  return answered && IsConfirmation(line);
}

void CliSession::BeginWrite(protocol::EntryWrite write) {
  write_ = write;
  protocol::QueueWrite(state_, std::move(write.frame), write.reg);
  phase_ = Phase::Writing;
  writesSent_ = 0;
  StartDeadline(true);
  // First transmission at once, then the tool's 900 ms repetition.
  OnWriteTick();
  if (phase_ == Phase::Writing) writeTimer_.start(protocol::kWritePeriodMs);
}

void CliSession::OnWriteConfirmed() {
  writeTimer_.stop();
  deadline_.stop();
  Out(std::string(ui_texts::kOperationSucceeded) + "\n");
  if (phase_ == Phase::Done) return;
  if (options_.command != Command::Set) {
    Finish(kExitOk);
    return;
  }
  // Read the register block back; a new bus address is read at that address.
  // The read-back hears only that one address.
  if (setValue_->field == SetField::Address) state_.currentAddress = static_cast<std::uint8_t>(setValue_->integer);
  state_.addressHeld = true;
  phase_ = Phase::ReadingBack;
  StartDeadline(true);
  OnPollTick();
  pollTimer_.start(protocol::kSearchPeriodMs);
}

void CliSession::PrintWatchLine() {
  const protocol::SensorReading reading = protocol::DecodePollReply(state_.rxBuf.data());
  Out(options_.csv ? CsvRow(QDateTime::currentDateTime(), state_.rxBuf[0], reading)
                   : WatchLine(Now(), state_.rxBuf[0], reading));
  ++linesPrinted_;
  if (options_.count && linesPrinted_ >= *options_.count) Finish(kExitOk);
}

// ------------------------------------------------------------------ output

void CliSession::Finish(int exitCode) {
  if (phase_ == Phase::Done) return;
  phase_ = Phase::Done;
  EndProgressLine();
  pollTimer_.stop();
  writeTimer_.stop();
  deadline_.stop();
  comm_.SetPortOpen(false);
  std::fflush(stdout);
  std::fflush(stderr);
  emit Finished(exitCode);
}

void CliSession::Out(const std::string& text) {
  if (phase_ == Phase::Done) return;
  // A result that did not reach its reader is a failure, never a success:
  // a full disk says why, a reader that has gone (`watch | head -1`) ends
  // the run quietly.
  std::string reason;
  switch (WriteAll(1, text, &reason)) {
    case WriteOutcome::Written:
      return;
    case WriteOutcome::ReaderGone:
      Finish(kExitFailed);
      return;
    case WriteOutcome::Failed:
      Err("sensortool-cli: cannot write to standard output: " + reason + "\n");
      Finish(kExitFailed);
      return;
  }
}

void CliSession::Err(const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

void CliSession::EndProgressLine() {
  if (!progressOpen_) return;
  progressOpen_ = false;
  std::fputs("\n", stderr);
}

}  // namespace cli
