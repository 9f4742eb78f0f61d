#include "protocol/crc16.h"

#include <array>

namespace protocol {
namespace {

// The two byte tables of the MODBUS serial-line table-driven form, generated
// once from the polynomial. kHigh begins 00 C1 81 40, kLow begins 00 C0 C1 01.
struct CrcTables {
  std::array<std::uint8_t, 256> high{};
  std::array<std::uint8_t, 256> low{};
  CrcTables() {
    for (unsigned i = 0; i < 256; ++i) {
      std::uint16_t crc = static_cast<std::uint16_t>(i);
      for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u)
                         : static_cast<std::uint16_t>(crc >> 1);
      // The table form keeps the register split in two bytes: `hi` is the byte
      // that leaves first, so the low byte of the bitwise table goes there.
      high[i] = static_cast<std::uint8_t>(crc & 0xFF);
      low[i] = static_cast<std::uint8_t>(crc >> 8);
    }
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

}  // namespace

std::uint16_t Crc16Modbus(const std::uint8_t* data, std::size_t count) {
  const CrcTables& t = Tables();
  std::uint8_t hi = 0xFF;
  std::uint8_t lo = 0xFF;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t index = static_cast<std::uint8_t>(data[i] ^ hi);
    hi = static_cast<std::uint8_t>(lo ^ t.high[index]);
    lo = t.low[index];
  }
  return static_cast<std::uint16_t>((lo << 8) | hi);
}

}  // namespace protocol
