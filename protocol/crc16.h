#pragma once
#include <cstddef>
#include <cstdint>

namespace protocol {

// CRC-16/MODBUS (reflected polynomial 0xA001, initial 0xFFFF, no final XOR)
// over the first `count` bytes. The low byte of the result is sent first.
// A count of 0 returns 0xFFFF without touching `data`.
std::uint16_t Crc16Modbus(const std::uint8_t* data, std::size_t count);

}  // namespace protocol
