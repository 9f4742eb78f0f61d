#include "transports/modbus_tcp_transport.h"

namespace transports {

void ModbusTcpTransport::Send(const protocol::RtuFrame& frame) {
  const std::uint16_t transaction = ++m_lastTransaction;
  const std::vector<std::uint8_t> adu = protocol::MbapFromRtu(frame, transaction);
  if (adu.empty()) return;  // not a frame: a line would not have carried it either
  m_awaited = transaction;
  Write(QByteArray(reinterpret_cast<const char*>(adu.data()), static_cast<int>(adu.size())));
}

void ModbusTcpTransport::OnConnected() {
  m_reader.Clear();
  m_awaited.reset();
}

void ModbusTcpTransport::OnData(const QByteArray& bytes) {
  m_reader.Append(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
  protocol::MbapAdu adu;
  for (;;) {
    const protocol::MbapReader::Status status = m_reader.Next(&adu);
    if (status == protocol::MbapReader::Status::NeedMore) return;
    if (status == protocol::MbapReader::Status::Malformed) {
      ++m_malformedStreams;
      return;
    }
    if (!m_awaited || adu.transactionId != *m_awaited) {
      ++m_staleReplies;
      continue;
    }
    m_awaited.reset();
    const protocol::RtuFrame frame = protocol::RtuFromMbap(adu);
    emit BytesArrived(QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<int>(frame.size())));
  }
}

}  // namespace transports
