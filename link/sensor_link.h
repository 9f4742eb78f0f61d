#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "link/transport.h"
#include "protocol/link_events.h"
#include "protocol/link_state.h"
#include "protocol/receive_path.h"

namespace sensorlink {

// What a window that shows the link does inside the link's own steps. The
// core calls these synchronously in the middle of a tick or a received batch,
// so they run exactly where the window's own code used to run. Every hook is
// optional.
class WindowHooks {
 public:
  virtual ~WindowHooks() = default;
  // Before each tick of the poll and write timers: take in what the operator typed.
  virtual void BeforeTick() {}
  virtual void PullControls() {}  // control contents into the window's members
  virtual void PushControls() {}  // the window's members into its controls
  // Values 0, "未连接", an empty second status and "无连接", shown at once.
  virtual void ShowNotConnected() {}
  // Before each try to reopen after a port reset: bind the transport anew. A
  // non-empty text refuses this try; it comes back through ReopenFailed.
  virtual QString BeforeReopen() { return {}; }
};

// One sensor link: the transport, the search/poll timer, the write timer and
// the port reset with its automatic reopen, around the protocol core. Front
// ends (window, CLI, views) listen to its signals and show what they need.
// Its timers are named children ("searchPollTimer", "writeTimer",
// "portResetWait") so tools and tests can look at their periods.
class SensorLink : public QObject, private protocol::LinkWindow {
  Q_OBJECT

 public:
  struct Periods {
    int searchMs = protocol::kSearchPeriodMs;
    int pollMs = protocol::kPollPeriodMs;
    int writeMs = protocol::kWritePeriodMs;
    int resetWaitMs = protocol::kPortResetWaitMs;
    int reopenRetryMs = 2000;
  };

  SensorLink(Transport& transport, protocol::LinkState& state, QObject* parent = nullptr);
  void SetPeriods(const Periods& periods) { m_periods = periods; }
  void SetWindowHooks(WindowHooks* hooks) { m_hooks = hooks ? hooks : &m_noHooks; }

  bool Open();
  // Stops every timer, the reset and its reopen included, and closes the transport.
  void Close();
  // After Close: forgets the sensor, so the next Open starts as the first
  // did. The traffic counters run on, and so does the listener of writes.
  void ForgetSensor();
  // Walks the addresses from 0 until a sensor answers.
  void StartSearch();
  // Polls `address` only; replies from any other address are refused.
  void ConnectTo(std::uint8_t address);
  // Asks `address` once, for a bus scan: the poll timer stops and no poll
  // goes out on the link's behalf until ConnectTo, StartSearch or Idle. A
  // reply from `address` is accepted as from a held address.
  void Probe(std::uint8_t address);
  // Stops polling and probing; the port stays open and writes still repeat.
  void Idle();
  bool Probing() const { return m_probing; }
  // Queues a write (replacing any pending one) and starts its repetition.
  void QueueWrite(protocol::RtuFrame frame, std::uint8_t reg);
  // Starts the write cycle and keeps it running until Close, for writes
  // placed straight on the shared state (the sensor windows place theirs there).
  void StartWriteCycle();
  bool HasPendingWrite() const { return m_state.pendingWriteReg != 0; }
  bool PortResetRunning() const { return m_resetRunning; }
  const protocol::LinkState& State() const { return m_state; }
  // The clock of every time stamp the signals carry.
  qint64 ClockMs() const { return m_clock.elapsed(); }

 signals:
  void Event(const protocol::LinkEvent& event);
  void FrameSent(const QByteArray& frame, qint64 ms);
  void BytesArrived(const QByteArray& bytes, qint64 ms);
  void ReplyAccepted(const QByteArray& reply, qint64 ms);
  void BytesHandled();  // after every pass of the receive path
  void AddressPolled(std::uint8_t address);
  void Disconnected();  // the sensor moved to a new address: search again
  void PortResetStarted();
  void PortReopened();
  // The transport closed by itself; the reset that reopens it is already running.
  void PortLost(const QString& reason);
  // A try to reopen failed; the next one is already set.
  void ReopenFailed(const QString& reason);

 private:
  void OnBytes(const QByteArray& bytes);
  void OnPollTick();
  void OnWriteTick();
  void StartReset(int waitMs);
  void FinishPortReset();

  // protocol::LinkWindow
  void PullControls() override { m_hooks->PullControls(); }
  void PushControls() override { m_hooks->PushControls(); }
  void RestartPollTimer(int periodMs) override;
  void StopPollAndDisplayTimers() override;
  void BeginPortReset() override { StartReset(m_periods.resetWaitMs); }
  void ShowNotConnected() override { m_hooks->ShowNotConnected(); }
  void SetAddressShown(std::uint8_t address) override { emit AddressPolled(address); }
  void Report(const protocol::LinkEvent& event) override { emit Event(event); }
  void SendFrame(const protocol::RtuFrame& frame) override;

  Transport& m_transport;
  protocol::LinkState& m_state;
  Periods m_periods;
  WindowHooks m_noHooks;
  WindowHooks* m_hooks = &m_noHooks;
  QElapsedTimer m_clock;
  QTimer m_pollTimer;
  QTimer m_writeTimer;
  QTimer m_resetWait;
  bool m_resetRunning = false;
  bool m_writeCycleKept = false;
  bool m_probing = false;  // a scan asks addresses itself: the core may not restart polling
};

}  // namespace sensorlink
