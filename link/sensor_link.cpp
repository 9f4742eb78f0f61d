#include "link/sensor_link.h"

namespace sensorlink {

SensorLink::SensorLink(Transport& transport, protocol::LinkState& state, QObject* parent)
    : QObject(parent), m_transport(transport), m_state(state) {
  m_clock.start();
  const std::pair<QTimer*, const char*> timers[] = {
      {&m_pollTimer, "searchPollTimer"}, {&m_writeTimer, "writeTimer"}, {&m_resetWait, "portResetWait"}};
  for (const auto& [timer, name] : timers) {
    timer->setParent(this);
    timer->setObjectName(QLatin1String(name));
  }
  m_resetWait.setSingleShot(true);
  connect(&m_transport, &Transport::BytesArrived, this, &SensorLink::OnBytes);
  connect(&m_transport, &Transport::Lost, this, [this](const QString& reason) {
    // The device is gone rather than silent: the first reopen waits as long
    // as every later try would. The reset runs before anyone is told, since
    // telling may wait for an operator who is not there.
    StartReset(m_periods.reopenRetryMs);
    emit PortLost(reason);
  });
  connect(&m_pollTimer, &QTimer::timeout, this, &SensorLink::OnPollTick);
  connect(&m_writeTimer, &QTimer::timeout, this, &SensorLink::OnWriteTick);
  connect(&m_resetWait, &QTimer::timeout, this, &SensorLink::FinishPortReset);
}

bool SensorLink::Open() {
  m_state.portOpen = m_transport.IsOpen() || m_transport.Open();
  return m_state.portOpen;
}

void SensorLink::Close() {
  m_pollTimer.stop();
  m_writeTimer.stop();
  m_resetWait.stop();
  m_resetRunning = false;
  m_writeCycleKept = false;
  m_transport.Close();
  m_state.portOpen = false;
}

void SensorLink::ForgetSensor() {
  protocol::LinkState fresh;
  fresh.repliesAccepted = m_state.repliesAccepted;
  fresh.repliesRejected = m_state.repliesRejected;
  fresh.writeQueued = std::move(m_state.writeQueued);
  fresh.portOpen = m_state.portOpen;
  m_state = std::move(fresh);
}

void SensorLink::StartSearch() {
  m_probing = false;
  m_state.addressHeld = false;
  m_state.deviceFound = m_state.sensorConnected = false;
  m_state.manualAddressing = false;
  m_state.currentAddress = 0;
  m_pollTimer.start(m_periods.searchMs);
}

void SensorLink::ConnectTo(std::uint8_t address) {
  m_probing = false;
  m_state.addressHeld = true;
  m_state.manualAddressing = true;
  m_state.currentAddress = address;
  OnPollTick();
  m_pollTimer.start(m_periods.searchMs);
}

void SensorLink::Probe(std::uint8_t address) {
  m_probing = true;
  m_pollTimer.stop();
  m_state.addressHeld = true;
  m_state.manualAddressing = true;
  // Not "found": an accepted reply must not count the silence of the
  // addresses asked before it, nor start a poll of its own.
  m_state.deviceFound = m_state.sensorConnected = false;
  m_state.currentAddress = address;
  SendFrame(protocol::PollBlock(address));
}

void SensorLink::Idle() {
  m_probing = false;
  m_pollTimer.stop();
  m_state.deviceFound = m_state.sensorConnected = false;
}

void SensorLink::QueueWrite(protocol::RtuFrame frame, std::uint8_t reg) {
  protocol::QueueWrite(m_state, std::move(frame), reg);
  if (!m_writeTimer.isActive()) m_writeTimer.start(m_periods.writeMs);
}

void SensorLink::StartWriteCycle() {
  m_writeCycleKept = true;
  m_writeTimer.start(m_periods.writeMs);
}

void SensorLink::OnBytes(const QByteArray& bytes) {
  const qint64 now = m_clock.elapsed();
  emit BytesArrived(bytes, now);
  const std::uint64_t acceptedBefore = m_state.repliesAccepted;
  protocol::OnCommEvent(m_state, *this, protocol::kCommEventReceive,
                        reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size()), now);
  if (m_state.repliesAccepted != acceptedBefore)
    emit ReplyAccepted(QByteArray(reinterpret_cast<const char*>(m_state.rxBuf.data()),
                                  static_cast<int>(protocol::kPollReplyLength)),
                       now);
  emit BytesHandled();
}

void SensorLink::OnPollTick() {
  // Polls go on through a port reset: nothing is sent while the transport is
  // closed, but the silence is still counted and reported.
  m_hooks->BeforeTick();
  protocol::SearchPollTick(m_state, *this);
}

void SensorLink::OnWriteTick() {
  m_hooks->BeforeTick();
  protocol::WriteCycleTick(m_state, *this);
  if (!m_writeCycleKept && m_state.pendingWriteReg == 0 && m_state.writeRefusal == 0) m_writeTimer.stop();
}

void SensorLink::RestartPollTimer(int periodMs) {
  if (m_probing) return;
  // The core asks for its own periods; a link may run shorter ones (tests, soak).
  m_pollTimer.start(periodMs == protocol::kPollPeriodMs ? m_periods.pollMs : periodMs);
}

void SensorLink::StopPollAndDisplayTimers() {
  m_pollTimer.stop();
  emit Disconnected();
}

void SensorLink::StartReset(int waitMs) {
  if (m_resetRunning) return;
  m_resetRunning = true;
  m_transport.Close();
  emit PortResetStarted();
  // The pause before reopening runs on a timer so nothing waits for it.
  m_resetWait.start(waitMs);
}

void SensorLink::FinishPortReset() {
  const QString refused = m_hooks->BeforeReopen();
  if (!refused.isEmpty() || !m_transport.Open()) {
    // Keep trying quietly: the link comes back by itself with the device.
    // The next try is set before the failure is told.
    m_resetWait.start(m_periods.reopenRetryMs);
    emit ReopenFailed(refused.isEmpty() ? m_transport.LastError() : refused);
    return;
  }
  m_state.missedPolls = 0;
  m_resetRunning = false;
  emit PortReopened();
}

void SensorLink::SendFrame(const protocol::RtuFrame& frame) {
  if (!m_transport.IsOpen()) return;
  m_transport.Send(frame);
  emit FrameSent(QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size())),
                 m_clock.elapsed());
}

}  // namespace sensorlink
