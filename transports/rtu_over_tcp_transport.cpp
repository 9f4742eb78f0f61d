#include "transports/rtu_over_tcp_transport.h"

namespace transports {

void RtuOverTcpTransport::Send(const protocol::RtuFrame& frame) {
  Write(QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size())));
}

}  // namespace transports
