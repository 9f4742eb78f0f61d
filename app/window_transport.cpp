#include "app/window_transport.h"

#include "transports/transport_factory.h"

WindowTransport::WindowTransport(CMSComm& comm, QObject* parent) : Transport(parent), m_serial(comm) {
  // The serial side speaks only while no network binding is in use.
  connect(&m_serial, &Transport::BytesArrived, this, [this](const QByteArray& bytes) {
    if (!m_network) emit BytesArrived(bytes);
  });
  connect(&m_serial, &Transport::Lost, this, [this](const QString& reason) {
    if (!m_network) emit Lost(reason);
  });
}

WindowTransport::~WindowTransport() = default;

void WindowTransport::UseSerial() {
  if (IsOpen()) return;
  m_network.reset();
  m_networkText.clear();
}

void WindowTransport::UseNetwork(const transports::PortSpec& spec) {
  const std::string text = transports::PortSpecText(spec);
  if (IsOpen() || (m_network && text == m_networkText)) return;
  m_networkText = text;
  m_network = transports::MakeTransport(spec);
  connect(m_network.get(), &Transport::BytesArrived, this, &Transport::BytesArrived);
  connect(m_network.get(), &Transport::Lost, this, &Transport::Lost);
}

sensorlink::Transport& WindowTransport::Active() const {
  return m_network ? *m_network : static_cast<Transport&>(m_serial);
}

bool WindowTransport::Open() { return Active().Open(); }
void WindowTransport::Close() { Active().Close(); }
bool WindowTransport::IsOpen() const { return Active().IsOpen(); }
QString WindowTransport::LastError() const { return Active().LastError(); }
void WindowTransport::Send(const protocol::RtuFrame& frame) { Active().Send(frame); }
