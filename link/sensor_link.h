#pragma once
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>

#include "link/transport.h"
#include "protocol/link_events.h"
#include "protocol/link_state.h"
#include "protocol/receive_path.h"

namespace sensorlink {

// One sensor link: the transport, the search/poll timer, the write timer and
// the port reset with its automatic reopen, around the protocol core. Front
// ends (window, CLI, views) listen to its signals and show what they need.
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

  bool Open();
  void Close();
  // Walks the addresses from 0 until a sensor answers.
  void StartSearch();
  // Polls `address` only; replies from any other address are refused.
  void ConnectTo(std::uint8_t address);
  // Queues a write (replacing any pending one) and starts its repetition.
  void QueueWrite(protocol::RtuFrame frame, std::uint8_t reg);
  bool HasPendingWrite() const { return m_state.pendingWriteReg != 0; }
  const protocol::LinkState& State() const { return m_state; }

 signals:
  void Event(const protocol::LinkEvent& event);
  void FrameSent(const QByteArray& frame, qint64 ms);
  void BytesArrived(const QByteArray& bytes, qint64 ms);
  void ReplyAccepted(const QByteArray& reply, qint64 ms);
  void AddressPolled(std::uint8_t address);
  void Disconnected();  // the sensor moved to a new address: search again
  void PortResetStarted();
  void PortReopened();
  void PortLost(const QString& reason);

 private:
  void OnBytes(const QByteArray& bytes);
  void OnPollTick();
  void OnWriteTick();
  void FinishPortReset();

  // protocol::LinkWindow
  void PullControls() override {}
  void PushControls() override {}
  void RestartPollTimer(int periodMs) override;
  void StopPollAndDisplayTimers() override;
  void BeginPortReset() override;
  void ShowNotConnected() override {}
  void SetAddressShown(std::uint8_t address) override { emit AddressPolled(address); }
  void Report(const protocol::LinkEvent& event) override { emit Event(event); }
  void SendFrame(const protocol::RtuFrame& frame) override;

  Transport& m_transport;
  protocol::LinkState& m_state;
  Periods m_periods;
  QElapsedTimer m_clock;
  QTimer m_pollTimer;
  QTimer m_writeTimer;
  QTimer m_resetWait;
  bool m_resetRunning = false;
};

}  // namespace sensorlink
