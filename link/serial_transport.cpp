#include "link/serial_transport.h"

#include "serial/comm.h"

namespace sensorlink {

SerialTransport::SerialTransport(CMSComm& comm, QObject* parent) : Transport(parent), m_comm(comm) {
  connect(&m_comm, &CMSComm::OnComm, this, &SerialTransport::OnComm);
  connect(&m_comm, &CMSComm::PortFailed, this, &Transport::Lost);
}

bool SerialTransport::Open() {
  m_comm.SetInputMode(1);
  m_comm.SetInBufferSize(1024);
  m_comm.SetOutBufferSize(512);
  m_comm.SetSettings(QStringLiteral("9600,n,8,1"));
  if (!m_comm.PortOpen() && !m_comm.SetPortOpen(true)) return false;
  m_comm.SetRThreshold(1);
  m_comm.SetInputLen(0);
  (void)m_comm.Input();  // bytes from before this link began are nobody's reply
  return true;
}

void SerialTransport::Close() { m_comm.SetPortOpen(false); }

bool SerialTransport::IsOpen() const { return m_comm.PortOpen(); }

QString SerialTransport::LastError() const { return m_comm.LastError(); }

void SerialTransport::Send(const protocol::RtuFrame& frame) { m_comm.SetOutput(frame); }

void SerialTransport::OnComm() {
  if (m_comm.CommEvent() != CMSComm::kCommEventReceive) return;
  const std::vector<std::uint8_t> bytes = m_comm.Input();
  if (bytes.empty()) return;
  emit BytesArrived(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size())));
}

}  // namespace sensorlink
