#include "link/bus_scan.h"

#include "link/sensor_link.h"

namespace sensorlink {

BusScan::BusScan(SensorLink& link, std::function<QString()> timeText, QObject* parent)
    : QObject(parent), m_link(link), m_timeText(std::move(timeText)) {
  m_wait.setSingleShot(true);
  connect(&m_wait, &QTimer::timeout, this, &BusScan::Next);
  connect(&m_link, &SensorLink::ReplyAccepted, this, [this](const QByteArray& reply) {
    if (m_running) OnReply(reply);
  });
}

bool BusScan::Start(std::uint8_t first, std::uint8_t last, int waitMs) {
  if (m_running || m_link.HasPendingWrite() || first == 0 || first > last) return false;
  m_walk = protocol::ScanWalk(first, last);
  m_found.clear();
  m_wait.setInterval(waitMs);
  m_running = true;
  AskCurrent();
  return true;
}

void BusScan::Cancel() {
  if (m_running) Stop(true);
}

void BusScan::AskCurrent() {
  emit Progress(m_walk.Asked(), m_walk.Total(), m_walk.Current());
  m_wait.start();
  m_link.Probe(m_walk.Current());
}

void BusScan::Next() {
  m_walk.Advance();
  if (m_walk.Done()) {
    emit Progress(m_walk.Total(), m_walk.Total(), 0);
    Stop(false);
    return;
  }
  AskCurrent();
}

void BusScan::OnReply(const QByteArray& reply) {
  // The link accepts only the probed address, so this is the sensor asked now.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength) || bytes[0] != m_walk.Current()) return;
  m_found.push_back(protocol::DescribeSensor(bytes, m_walk.Current(), m_timeText().toStdString()));
  emit SensorFound(m_found.back());
  m_wait.stop();
  // On to the next address from the event loop, not from inside the receive path.
  QTimer::singleShot(0, this, [this] {
    if (m_running) Next();
  });
}

void BusScan::Stop(bool cancelled) {
  m_running = false;
  m_wait.stop();
  m_link.Idle();
  emit Finished(cancelled);
}

}  // namespace sensorlink
