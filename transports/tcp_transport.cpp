#include "transports/tcp_transport.h"

namespace transports {

TcpTransport::TcpTransport(const QString& host, quint16 port, QObject* parent)
    : sensorlink::Transport(parent), m_host(host), m_port(port) {
  connect(&m_socket, &QTcpSocket::readyRead, this, [this] { OnData(m_socket.readAll()); });
  connect(&m_socket, &QTcpSocket::disconnected, this, &TcpTransport::OnDisconnected);
}

TcpTransport::~TcpTransport() {
  // The socket outlives this part of the object: its last signals must not
  // reach a transport half taken down (OnData is the subclass's).
  QObject::disconnect(&m_socket, nullptr, this, nullptr);
  m_socket.abort();
}

QString TcpTransport::Endpoint() const {
  const QString host = m_host.contains(QLatin1Char(':')) ? QLatin1Char('[') + m_host + QLatin1Char(']') : m_host;
  return host + QLatin1Char(':') + QString::number(m_port);
}

bool TcpTransport::Open() {
  if (m_open) return true;
  m_socket.abort();
  m_socket.connectToHost(m_host, m_port);
  if (!m_socket.waitForConnected(kConnectWaitMs)) {
    m_error = tr("无法连接 %1：%2").arg(Endpoint(), ConnectFailure());
    m_socket.abort();
    return false;
  }
  // Frames are a few bytes each and wait for their answer: send them at once.
  m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
  m_error.clear();
  m_open = true;
  OnConnected();
  return true;
}

QString TcpTransport::ConnectFailure() const {
  switch (m_socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
      return tr("连接被拒绝");
    case QAbstractSocket::HostNotFoundError:
      return tr("找不到该主机");
    case QAbstractSocket::SocketTimeoutError:
      return tr("%1 秒内未连通").arg(kConnectWaitMs / 1000);
    default:
      return m_socket.errorString();
  }
}

void TcpTransport::Close() {
  m_open = false;
  m_socket.abort();
}

void TcpTransport::Write(const QByteArray& bytes) {
  if (m_open) m_socket.write(bytes);
}

void TcpTransport::OnDisconnected() {
  // Only a connection we did not end ourselves is lost.
  if (!m_open) return;
  m_open = false;
  emit Lost(tr("与 %1 的连接已断开").arg(Endpoint()));
}

}  // namespace transports
