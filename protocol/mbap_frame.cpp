#include "protocol/mbap_frame.h"

#include "protocol/crc16.h"

namespace protocol {

std::vector<std::uint8_t> MbapFromRtu(const RtuFrame& frame, std::uint16_t transactionId) {
  // Address and function, then the CRC.
  if (frame.size() < 4 || frame.size() - 3 > kMaxPduLength || !HasValidCrc(frame.data(), frame.size())) return {};
  const std::size_t pduLength = frame.size() - 3;
  const std::size_t length = pduLength + 1;  // the unit id counts
  std::vector<std::uint8_t> adu = {
      static_cast<std::uint8_t>(transactionId >> 8), static_cast<std::uint8_t>(transactionId & 0xFF),
      0, 0,
      static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF),
      frame[0]};
  adu.insert(adu.end(), frame.begin() + 1, frame.end() - 2);
  return adu;
}

RtuFrame RtuFromMbap(const MbapAdu& adu) {
  RtuFrame frame;
  frame.reserve(adu.pdu.size() + 3);
  frame.push_back(adu.unit);
  frame.insert(frame.end(), adu.pdu.begin(), adu.pdu.end());
  const std::uint16_t crc = Crc16Modbus(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

void MbapReader::Append(const std::uint8_t* data, std::size_t size) {
  buffer_.insert(buffer_.end(), data, data + size);
}

MbapReader::Status MbapReader::Next(MbapAdu* adu) {
  // The length field ends at byte 6: a wrong one is told before the unit id.
  constexpr std::size_t kLengthEnd = kMbapHeaderLength - 1;
  if (buffer_.size() < kLengthEnd) return Status::NeedMore;
  const std::uint16_t protocolId = static_cast<std::uint16_t>(buffer_[2] << 8 | buffer_[3]);
  const std::size_t length = static_cast<std::size_t>(buffer_[4] << 8 | buffer_[5]);
  if (protocolId != 0 || length < 2 || length > kMaxPduLength + 1) {
    buffer_.clear();
    return Status::Malformed;
  }
  const std::size_t total = kLengthEnd + length;
  if (buffer_.size() < total) return Status::NeedMore;
  adu->transactionId = static_cast<std::uint16_t>(buffer_[0] << 8 | buffer_[1]);
  adu->unit = buffer_[6];
  adu->pdu.assign(buffer_.begin() + kMbapHeaderLength, buffer_.begin() + static_cast<std::ptrdiff_t>(total));
  buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
  return Status::Frame;
}

}  // namespace protocol
