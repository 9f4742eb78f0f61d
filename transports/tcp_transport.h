#pragma once
#include <QString>
#include <QTcpSocket>

#include "link/transport.h"

namespace transports {

// What both TCP transports share: the connection, its errors in the
// operator's words, and Lost when the peer goes away. The Transport seam
// opens synchronously, so Open waits for the connection, at most
// kConnectWaitMs; a refused connection or an unknown host returns at once.
class TcpTransport : public sensorlink::Transport {
  Q_OBJECT

 public:
  static constexpr int kConnectWaitMs = 3000;

  TcpTransport(const QString& host, quint16 port, QObject* parent = nullptr);
  ~TcpTransport() override;

  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return m_open; }
  QString LastError() const override { return m_error; }

  // "HOST:PORT", an IPv6 host in brackets.
  QString Endpoint() const;

 protected:
  void Write(const QByteArray& bytes);
  // A new connection begins: whatever framing state the last one left goes.
  virtual void OnConnected() {}
  virtual void OnData(const QByteArray& bytes) = 0;

 private:
  void OnDisconnected();
  QString ConnectFailure() const;

  QTcpSocket m_socket;
  QString m_host;
  quint16 m_port;
  QString m_error;
  bool m_open = false;
};

}  // namespace transports
