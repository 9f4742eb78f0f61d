#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/rtu_frame.h"

namespace protocol {

// MODBUS TCP wraps the same PDU as a serial line in a 7-byte header (MBAP:
// transaction id, protocol id 0, length of unit id + PDU, unit id) instead of
// an address byte and a CRC. A gateway in front of the sensor speaks it; the
// link's state machine keeps seeing the RTU frames it knows, converted here.
constexpr std::size_t kMbapHeaderLength = 7;
// The longest PDU a MODBUS frame of either kind can carry.
constexpr std::size_t kMaxPduLength = 253;

struct MbapAdu {
  std::uint16_t transactionId = 0;
  std::uint8_t unit = 0;
  std::vector<std::uint8_t> pdu;
};

// The RTU frame (address, PDU, CRC) as a MODBUS TCP request with the frame's
// address as unit id. Empty when the frame is no frame: shorter than address,
// function and CRC, longer than a PDU allows, or its CRC fails.
std::vector<std::uint8_t> MbapFromRtu(const RtuFrame& frame, std::uint16_t transactionId);

// The reply as the serial line would have carried it: unit id as address,
// the PDU, and the CRC over both.
RtuFrame RtuFromMbap(const MbapAdu& adu);

// Reassembles MBAP frames from a byte stream cut at arbitrary places.
class MbapReader {
 public:
  enum class Status { Frame, NeedMore, Malformed };

  void Append(const std::uint8_t* data, std::size_t size);
  // Takes the next whole frame off the front into `adu`. A header whose
  // protocol id is not 0 or whose length cannot hold a function code or
  // exceeds a PDU gives Malformed: the stream has lost its frame boundaries,
  // so everything buffered is dropped rather than searched for a new start.
  Status Next(MbapAdu* adu);
  std::size_t Buffered() const { return buffer_.size(); }
  void Clear() { buffer_.clear(); }

 private:
  std::vector<std::uint8_t> buffer_;
};

}  // namespace protocol
