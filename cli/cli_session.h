#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QElapsedTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "link/sensor_link.h"
#include "link/transport.h"
#include "protocol/entry_rules.h"
#include "protocol/link_state.h"
#include "serial/comm.h"

namespace records {
class LinkRecording;
class RecordStore;
class Recorder;
}  // namespace records

namespace cli {

class BusScanCommand;

// One run of a command on the line. The link (search walk, poll, write
// repetition, port reset) is the desktop tool's own SensorLink; the session
// only decides what the command does with what the link reports. Results go
// to stdout, progress and failures to stderr, in the operator's language.
// What happens on the line is recorded like the window records it, unless
// --no-record; the records are written before the session is gone.
class CliSession : public QObject {
  Q_OBJECT

 public:
  // `setValue` is the checked value of a `set` command.
  CliSession(const Options& options, std::optional<SetValue> setValue, QObject* parent = nullptr);
  // Writes what was recorded, waiting a few seconds at most.
  ~CliSession() override;

  // Opens the port and begins; the end is reported by Finished.
  void Start();

 signals:
  void Finished(int exitCode);

 private:
  enum class Phase { Idle, Connecting, Scanning, Writing, ReadingBack, Settling, Watching, Done };

  // The transport the port option names: the serial line on comm_ (a device
  // path opened as itself) or a TCP connection.
  static std::unique_ptr<sensorlink::Transport> MakeSessionTransport(const PortChoice& port, CMSComm& comm);
  bool CheckPortExists();
  void StartScan();
  void OnPortLost(const QString& reason);
  void StartRecording();
  void StopRecording();
  // calibrate: polls on until the reading after the calibration came.
  void BeginSettling();
  void OnEvent(const protocol::LinkEvent& event);
  void OnAddressPolled(std::uint8_t address);
  void OnReplyAccepted(const QByteArray& reply);
  void OnConnected(const QByteArray& reply);
  void OnDeadline();
  void BeginWrite(protocol::EntryWrite write);
  void OnWriteConfirmed();
  void PrintWatchLine(const QByteArray& reply);
  bool Confirm(std::uint8_t address);
  void StartDeadline(int defaultMs);
  void Finish(int exitCode);
  void Out(const std::string& text);
  QString Why() const;  // " (校验错误)" when the line's state names a fault
  void Say(const QString& line);  // one line on stderr
  void Err(const QString& text);
  void EndProgressLine();

  Options options_;
  std::optional<SetValue> setValue_;
  protocol::EntryWrite write_;
  // Declared in the order they are built: the link uses the transport, the
  // transport the port.
  CMSComm comm_;
  protocol::LinkState state_;
  std::unique_ptr<sensorlink::Transport> transport_;
  sensorlink::SensorLink link_;
  std::unique_ptr<BusScanCommand> scan_;  // search --all
  QTimer deadline_;
  Phase phase_ = Phase::Idle;
  bool searching_ = false;
  bool progressOpen_ = false;  // a progress line without its newline is on stderr
  bool progressOnTty_ = false;
  QString commState_;
  bool commStateIsTrouble_ = false;  // commState_ names a fault worth adding to a message
  int writesSent_ = 0;
  std::uint32_t linesPrinted_ = 0;
  bool lineLost_ = false;  // the line went away; the link is reopening it
  QString lastReopenFailure_;
  bool awaitingReply_ = false;  // watch: the last poll has no accepted reply yet
  // The records; built after the link, so they go before it.
  std::unique_ptr<records::RecordStore> store_;
  std::unique_ptr<records::Recorder> recorder_;
  std::unique_ptr<records::LinkRecording> recording_;
  bool storeUnavailable_ = false;  // told once on stderr
  QElapsedTimer sinceCalibration_;  // calibrate: since the command was queued
};

}  // namespace cli
