#include "cli/cli_session.h"

#include <QDateTime>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "cli/bus_scan_command.h"
#include "cli/cli_output.h"
#include "cli/cli_texts.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "records/database_url.h"
#include "records/link_recording.h"
#include "records/record_store.h"
#include "records/recorder.h"
#include "transports/transport_factory.h"
#include "uitexts/link_texts.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace cli {

namespace {

constexpr int kDefaultTimeoutMs = 10000;
// Without --timeout a write ends by the link's own limit of sends, which
// names the failure; the deadline only backs it up.
constexpr int kDefaultWriteTimeoutMs = (protocol::kMaxWriteSends + 2) * protocol::kWritePeriodMs;
// The reading after a calibration comes once the sensor has settled; one
// poll period more gives the first poll after that time its chance, and a
// little margin its reply.
constexpr int kSettleWaitMs = static_cast<int>(records::Recorder::kDefaultSettleMs) + protocol::kPollPeriodMs + 500;
// How long the end of a run may wait for the records to be written.
constexpr int kRecordFlushMs = 3000;

QString SecondsText(int ms) {
  // Whole seconds or one decimal, independent of the locale.
  if (ms % 1000 == 0) return QString::number(ms / 1000);
  return QString::number(ms / 1000) + QLatin1Char('.') + QString::number((ms % 1000) / 100);
}

QString Now() {
  const QDateTime now = QDateTime::currentDateTime();
  return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

protocol::SensorReading Decode(const QByteArray& reply) {
  return protocol::DecodePollReply(reinterpret_cast<const std::uint8_t*>(reply.constData()));
}

std::uint8_t ReplyAddress(const QByteArray& reply) { return static_cast<std::uint8_t>(reply.at(0)); }

}  // namespace

CliSession::CliSession(const Options& options, std::optional<SetValue> setValue, QObject* parent)
    : QObject(parent),
      options_(options),
      setValue_(std::move(setValue)),
      transport_(MakeSessionTransport(options_.port, comm_)),
      link_(*transport_, state_) {
  // Joined before the session's own connections: a reply is recorded before
  // the session acts on it (a calibration takes its "before" from it).
  StartRecording();
  deadline_.setSingleShot(true);
  deadline_.setTimerType(Qt::PreciseTimer);
  connect(&deadline_, &QTimer::timeout, this, &CliSession::OnDeadline);
  connect(&link_, &sensorlink::SensorLink::Event, this, &CliSession::OnEvent);
  connect(&link_, &sensorlink::SensorLink::AddressPolled, this, &CliSession::OnAddressPolled);
  connect(&link_, &sensorlink::SensorLink::ReplyAccepted, this,
          [this](const QByteArray& reply) { OnReplyAccepted(reply); });
  connect(&link_, &sensorlink::SensorLink::FrameSent, this, [this](const QByteArray& frame) {
    if (phase_ == Phase::Writing &&
        frame == QByteArray(reinterpret_cast<const char*>(write_.frame.data()), static_cast<int>(write_.frame.size())))
      ++writesSent_;
  });
  connect(&link_, &sensorlink::SensorLink::PortResetStarted, this, [this] {
    // A lost line starts its reset too, and says so itself right after.
    QTimer::singleShot(0, this, [this] {
      if (phase_ == Phase::Done || lineLost_) return;
      EndProgressLine();
      Say(CliTexts::tr("%1 次轮询无应答：重新打开 %2")
              .arg(protocol::kMissedPollsBeforeReset + 1)
              .arg(QString::fromStdString(options_.port.Shown())));
    });
  });
  connect(&link_, &sensorlink::SensorLink::PortLost, this, &CliSession::OnPortLost);
  // While watching, the link reopens a lost line by itself; the operator sees each step.
  // A failed try is told once per reason, not every 2 s of a long outage.
  connect(&link_, &sensorlink::SensorLink::ReopenFailed, this, [this](const QString& reason) {
    if (phase_ == Phase::Watching && reason != lastReopenFailure_) Say(Now() + QStringLiteral("  ") + reason);
    lastReopenFailure_ = reason;
  });
  connect(&link_, &sensorlink::SensorLink::PortReopened, this, [this] {
    lineLost_ = false;
    lastReopenFailure_.clear();
    if (phase_ == Phase::Watching)
      Say(Now() + QStringLiteral("  ") + CliTexts::tr("已重新打开 %1").arg(QString::fromStdString(options_.port.Shown())));
  });
#ifndef _WIN32
  progressOnTty_ = ::isatty(2) == 1;
#endif
}

CliSession::~CliSession() { StopRecording(); }

void CliSession::StartRecording() {
  if (!options_.record || options_.command == Command::Search) return;
  records::DatabaseTarget target;
  QString error;
  if (!records::ChosenDatabase(options_.recordDb, &target, &error)) {
    Say(QStringLiteral("sensortool-cli: ") + CliTexts::tr("不记录本次运行：%1").arg(error));
    return;
  }
  store_ = std::make_unique<records::RecordStore>(target);
  recorder_ = std::make_unique<records::Recorder>(store_.get());
  recording_ = std::make_unique<records::LinkRecording>(link_, state_, *recorder_);
  // Told from the writer thread; the measurement goes on regardless.
  const QString where = target.Describe();
  connect(store_.get(), &records::RecordStore::Unavailable, this, [this, where](const QString& reason) {
    if (storeUnavailable_) return;
    storeUnavailable_ = true;
    EndProgressLine();
    Say(QStringLiteral("sensortool-cli: ") +
        CliTexts::tr("警告：记录数据库 %1 无法使用（%2）；测量照常进行").arg(where, reason));
  });
}

void CliSession::StopRecording() {
  if (!store_) return;
  recording_.reset();  // a write without an outcome is recorded as failed
  recorder_.reset();   // a calibration without its "after" is recorded with it unknown
  store_->disconnect(this);
  // A database that already failed gets one more attempt, not the whole wait.
  const bool failing = storeUnavailable_ || !store_->CurrentStats().lastError.isEmpty();
  if (!store_->WaitUntilWritten(failing ? 0 : kRecordFlushMs) && !storeUnavailable_) {
    const records::RecordStore::Stats stats = store_->CurrentStats();
    Say(QStringLiteral("sensortool-cli: ") + CliTexts::tr("警告：%1 条记录未能写入 %2（%3）")
                                                .arg(stats.pending)
                                                .arg(store_->Target().Describe(), stats.lastError));
  }
  store_.reset();
}

std::unique_ptr<sensorlink::Transport> CliSession::MakeSessionTransport(const PortChoice& port, CMSComm& comm) {
  if (port.network) return transports::MakeTransport(*port.network);
  transports::PortSpec serial;
  if (port.devicePath.empty()) {
    serial.comNumber = port.comNumber;
  } else {
    // A device path is opened as itself, under port number 1, so the open,
    // the lock and the error texts are exactly those of a numbered port;
    // nothing is left behind in the file system however the run ends.
    const QFileInfo device(QString::fromStdString(port.devicePath));
    const QString canonical = device.canonicalFilePath();
    serial.device = (canonical.isEmpty() ? device.absoluteFilePath() : canonical).toStdString();
    comm.SetCommPort(1);
  }
  return transports::MakeTransport(serial, &comm);
}

bool CliSession::CheckPortExists() {
  if (options_.port.network || options_.port.devicePath.empty()) return true;
  const QString device = QString::fromStdString(options_.port.devicePath);
  if (QFileInfo::exists(device)) return true;
  Say(QStringLiteral("sensortool-cli: ") + CliTexts::tr("%1 不存在").arg(device));
  return false;
}

void CliSession::Start() {
  if (!CheckPortExists()) {
    Finish(kExitFailed);
    return;
  }
  if (!link_.Open()) {
    Say(transport_->LastError());
    Finish(kExitFailed);
    return;
  }
  if (options_.command == Command::Search && options_.all) {
    StartScan();
    return;
  }
  phase_ = Phase::Connecting;
  searching_ = !options_.address.has_value();
  // The walk ends by itself after address 254; a given address needs a limit.
  StartDeadline(searching_ ? 0 : kDefaultTimeoutMs);
  if (searching_)
    link_.StartSearch();
  else
    link_.ConnectTo(static_cast<std::uint8_t>(*options_.address));
}

void CliSession::StartScan() {
  phase_ = Phase::Scanning;
  scan_ = std::make_unique<BusScanCommand>(link_, options_.lastAddress, options_.json, progressOnTty_);
  connect(scan_.get(), &BusScanCommand::Finished, this, &CliSession::Finish);
  if (!scan_->Start()) Finish(kExitFailed);  // nothing is written before a scan: not reached in practice
}

// ------------------------------------------------------------ link events

// The line went away (unplugged adapter, dropped connection). A watch goes
// on, the link reopening the line by itself; any other command does not wait
// for it, and a write is never sent again on the reopened line.
void CliSession::OnPortLost(const QString& reason) {
  lineLost_ = true;
  switch (phase_) {
    case Phase::Done:
      return;
    case Phase::Scanning:
      scan_->Abandon(reason);
      return;
    case Phase::Watching:
      Say(Now() + QStringLiteral("  ") + reason);
      return;
    default:
      EndProgressLine();
      Say(reason);
      Finish(kExitFailed);
  }
}

void CliSession::OnEvent(const protocol::LinkEvent& event) {
  using Kind = protocol::LinkEventKind;
  // A missing reply is what the messages say already: the state keeps the
  // fault that may have caused it (a check error, an exception reply).
  const char* state = ui_texts::CommStateText(event);
  if (state && event.kind != Kind::NoReply) {
    commState_ = SensorText(state);
    commStateIsTrouble_ = event.kind != Kind::ReplyAccepted;
  }
  switch (event.kind) {
    case Kind::WriteConfirmed:
      if (phase_ == Phase::Writing) OnWriteConfirmed();
      break;
    case Kind::SearchExhausted:
      // The walk passed address 254; the answer of 254 gets one more step.
      if (phase_ != Phase::Connecting || !searching_) break;
      QTimer::singleShot(protocol::kSearchPeriodMs, this, [this] {
        if (phase_ != Phase::Connecting) return;
        EndProgressLine();
        Say(SensorText(ui_texts::kNoDeviceFound));
        Finish(kExitFailed);
      });
      break;
    case Kind::WriteRefused:
    case Kind::WriteUnanswered:
      if (phase_ != Phase::Writing) break;
      EndProgressLine();
      Say(QString::fromStdString(ui_texts::MessageText(event, SensorTextUtf8)));
      Finish(kExitFailed);
      break;
    case Kind::CrcError:
    case Kind::UnknownDevice:
    case Kind::ForeignAddress:
      if (phase_ == Phase::Watching) Say(Now() + QStringLiteral("  ") + commState_);
      break;
    default:
      break;
  }
}

void CliSession::OnAddressPolled(std::uint8_t address) {
  if (phase_ == Phase::Connecting && searching_) {
    const QString text = CliTexts::tr("搜索中：正在轮询地址 %1").arg(address);
    if (progressOnTty_) {
      Err(QLatin1Char('\r') + text + QStringLiteral("   "));
      progressOpen_ = true;
    } else {
      Say(text);
    }
    return;
  }
  if (phase_ != Phase::Watching) return;
  if (awaitingReply_) {
    // The poll before this one went unanswered: a mark in the output, not a
    // reading (--count counts readings).
    const QDateTime when = QDateTime::currentDateTime();
    const QString time = Now();
    Say(time + QStringLiteral("  ") + CliTexts::tr("地址 %1 的轮询没有有效应答").arg(address) + Why());
    Out(options_.csv ? CsvStaleRow(when, address) : WatchStaleLine(time.toStdString(), address));
  }
  awaitingReply_ = true;
}

void CliSession::OnReplyAccepted(const QByteArray& reply) {
  switch (phase_) {
    case Phase::Connecting:
      OnConnected(reply);
      break;
    case Phase::ReadingBack: {
      Out(SetFieldShown(setValue_->field, Decode(reply)) + "\n");
      if (!ReadBackMatches(*setValue_, write_, Decode(reply))) {
        Say(CliTexts::tr("回读的值不同：传感器没有接受写入"));
        Finish(kExitFailed);
        return;
      }
      Finish(kExitOk);
      break;
    }
    case Phase::Watching:
      awaitingReply_ = false;
      PrintWatchLine(reply);
      break;
    case Phase::Settling:
      // The joiner has taken this reply already: the recorder's "after".
      // (A little margin: the recorder measures from its own clock reading.)
      if (sinceCalibration_.elapsed() >= records::Recorder::kDefaultSettleMs + 100) Finish(kExitOk);
      break;
    default:
      break;
  }
}

void CliSession::OnConnected(const QByteArray& reply) {
  EndProgressLine();
  deadline_.stop();
  const std::uint8_t address = state_.currentAddress;
  if (searching_) Say(CliTexts::tr("在地址 %1 找到传感器").arg(address));
  const protocol::SensorReading reading = Decode(reply);

  switch (options_.command) {
    case Command::Search:
      Out(std::to_string(address) + "\n");
      Finish(kExitOk);
      return;
    case Command::Read:
      Out(options_.json ? ReadingJson(ReplyAddress(reply), reading) : ReadingText(ReplyAddress(reply), reading));
      Finish(kExitOk);
      return;
    case Command::Watch:
      // The link polls every 2 s from the first reply on.
      phase_ = Phase::Watching;
      awaitingReply_ = false;
      if (options_.csv) Out(CsvHeader());
      PrintWatchLine(reply);
      return;
    case Command::Set:
      BeginWrite(BuildSetWrite(*setValue_, address, reading));
      return;
    case Command::Calibrate: {
      if (!options_.yes && !Confirm(address)) {
        Say(CliTexts::tr("已取消：什么也没有发送"));
        Finish(kExitFailed);
        return;
      }
      protocol::RtuFrame frame = options_.calibration == Calibration::Zero  ? protocol::StartZeroCal(address)
                                 : options_.calibration == Calibration::Air ? protocol::StartAirCal(address)
                                                                            : protocol::RestoreFactoryCal(address);
      sinceCalibration_.start();
      BeginWrite({std::move(frame), protocol::Command});
      return;
    }
    case Command::History:  // answered from the database in main(); never opens a session
    case Command::None:
      break;
  }
  Finish(kExitFailed);
}

bool CliSession::Confirm(std::uint8_t address) {
  QString prompt;
  switch (options_.calibration) {
    case Calibration::Zero:
      prompt = CliTexts::tr("零点标定，地址 %1 的传感器\n确保仪表工作在无氧水中\n等待标定测量数值稳定\n开始零点标定吗？[y/N] ");
      break;
    case Calibration::Air:
      prompt = CliTexts::tr("空气标定，地址 %1 的传感器\n请确认已放入空气中\n等待标定测量数值稳定\n开始空气标定吗？[y/N] ");
      break;
    case Calibration::Restore:
      prompt = CliTexts::tr("恢复出厂标定，地址 %1 的传感器\n确定要恢复出厂设置吗？[y/N] ");
      break;
  }
  Err(prompt.arg(address));
  char line[64] = {};
  const bool answered = std::fgets(line, sizeof line, stdin) != nullptr;
#ifndef _WIN32
  // A piped answer is not echoed: end the prompt's line ourselves.
  if (::isatty(0) != 1) Err(QStringLiteral("\n"));
#endif
  return answered && IsConfirmation(line);
}

// ------------------------------------------------------------------ writes

void CliSession::BeginWrite(protocol::EntryWrite write) {
  write_ = write;
  phase_ = Phase::Writing;
  writesSent_ = 0;
  StartDeadline(kDefaultWriteTimeoutMs);
  link_.QueueWrite(std::move(write.frame), write.reg);
}

void CliSession::OnWriteConfirmed() {
  deadline_.stop();
  Out(SensorText(ui_texts::kOperationSucceeded).toStdString() + "\n");
  if (phase_ == Phase::Done) return;
  if (options_.command == Command::Calibrate) {
    BeginSettling();
    return;
  }
  if (options_.command != Command::Set) {
    Finish(kExitOk);
    return;
  }
  // Read the register block back, from that one address; a new bus address
  // is read at the new address.
  phase_ = Phase::ReadingBack;
  StartDeadline(kDefaultTimeoutMs);
  link_.ConnectTo(setValue_->field == SetField::Address ? static_cast<std::uint8_t>(setValue_->integer)
                                                        : state_.currentAddress);
}

void CliSession::BeginSettling() {
  // Nothing to wait for when nothing is recorded.
  if (!recording_ || storeUnavailable_) {
    Finish(kExitOk);
    return;
  }
  const int waitMs = std::max(0, kSettleWaitMs - static_cast<int>(sinceCalibration_.elapsed()));
  Say(CliTexts::tr("等待传感器稳定，以记录标定后的读数（最多 %1 秒）…").arg(SecondsText(waitMs)));
  phase_ = Phase::Settling;
  deadline_.start(waitMs);
}

void CliSession::PrintWatchLine(const QByteArray& reply) {
  const protocol::SensorReading reading = Decode(reply);
  Out(options_.csv ? CsvRow(QDateTime::currentDateTime(), ReplyAddress(reply), reading)
                   : WatchLine(Now().toStdString(), ReplyAddress(reply), reading));
  ++linesPrinted_;
  if (options_.count && linesPrinted_ >= *options_.count) Finish(kExitOk);
}

// ---------------------------------------------------------------- deadline

void CliSession::StartDeadline(int defaultMs) {
  if (options_.timeoutSeconds)
    deadline_.start(static_cast<int>(*options_.timeoutSeconds * 1000.0 + 0.5));
  else if (defaultMs > 0)
    deadline_.start(defaultMs);
  else
    deadline_.stop();
}

void CliSession::OnDeadline() {
  if (phase_ == Phase::Done) return;
  EndProgressLine();
  const QString waited = SecondsText(deadline_.interval());
  switch (phase_) {
    case Phase::Connecting:
      if (searching_)
        Say(SensorText(ui_texts::kNoDeviceFound) + QLatin1Char(' ') + CliTexts::tr("（已搜索 %1 秒）").arg(waited) +
            Why());
      else
        Say(CliTexts::tr("%1 上地址 %2 的传感器在 %3 秒内没有应答")
                .arg(QString::fromStdString(options_.port.Shown()), QString::number(*options_.address), waited) +
            Why());
      break;
    case Phase::Writing:
      Say(CliTexts::tr("传感器在 %1 秒内没有回显写入（已发送 %2 次）；写入未确认").arg(waited).arg(writesSent_));
      break;
    case Phase::ReadingBack:
      Say(CliTexts::tr("写入已回显，但回读时 %1 秒内没有应答").arg(waited) + Why());
      break;
    case Phase::Settling:
      // The calibration itself was echoed: only its record lacks a side.
      Say(CliTexts::tr("标定后没有读数：记录中标定后的值为未知") + Why());
      Finish(kExitOk);
      return;
    default:
      break;
  }
  Finish(kExitFailed);
}

// ------------------------------------------------------------------ output

QString CliSession::Why() const {
  return commStateIsTrouble_ ? QStringLiteral(" (") + commState_ + QLatin1Char(')') : QString();
}

void CliSession::Finish(int exitCode) {
  if (phase_ == Phase::Done) return;
  phase_ = Phase::Done;
  EndProgressLine();
  deadline_.stop();
  link_.Close();
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
      Say(QStringLiteral("sensortool-cli: ") +
          CliTexts::tr("无法写入标准输出：%1").arg(QString::fromStdString(reason)));
      Finish(kExitFailed);
      return;
  }
}

void CliSession::Say(const QString& line) { Err(line + QLatin1Char('\n')); }

void CliSession::Err(const QString& text) {
  std::fputs(text.toUtf8().constData(), stderr);
  std::fflush(stderr);
}

void CliSession::EndProgressLine() {
  if (!progressOpen_) return;
  progressOpen_ = false;
  std::fputs("\n", stderr);
}

}  // namespace cli
