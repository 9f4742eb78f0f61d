#pragma once
#include <cstdint>
#include <optional>

#include "protocol/mbap_frame.h"
#include "transports/tcp_transport.h"

namespace transports {

// A MODBUS TCP gateway. Each RTU frame goes out as MBAP + PDU with the next
// transaction id and the frame's address as unit id; the reply to the latest
// request comes back as the RTU frame a line would have carried (address,
// PDU, CRC), so the link's state machine needs no second protocol. A reply
// to an earlier request arrives after the link moved on and is dropped.
class ModbusTcpTransport : public TcpTransport {
  Q_OBJECT

 public:
  using TcpTransport::TcpTransport;

  void Send(const protocol::RtuFrame& frame) override;

  // Replies dropped for an old transaction id, and streams dropped for a
  // malformed header, since the transport was made.
  int StaleReplies() const { return m_staleReplies; }
  int MalformedStreams() const { return m_malformedStreams; }

 protected:
  void OnConnected() override;
  void OnData(const QByteArray& bytes) override;

 private:
  protocol::MbapReader m_reader;
  std::uint16_t m_lastTransaction = 0;
  std::optional<std::uint16_t> m_awaited;
  int m_staleReplies = 0;
  int m_malformedStreams = 0;
};

}  // namespace transports
