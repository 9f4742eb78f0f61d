#pragma once
#include "transports/tcp_transport.h"

namespace transports {

// A serial device server: the RTU frames travel unchanged through the TCP
// connection. Bytes go to the link as they come, however TCP cut them; the
// link's receive path frames them by expected length and CRC as on a line.
class RtuOverTcpTransport : public TcpTransport {
  Q_OBJECT

 public:
  using TcpTransport::TcpTransport;

  void Send(const protocol::RtuFrame& frame) override;

 protected:
  void OnData(const QByteArray& bytes) override { emit BytesArrived(bytes); }
};

}  // namespace transports
