#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace protocol {

// One MODBUS-RTU request or reply, CRC included.
using RtuFrame = std::vector<std::uint8_t>;

constexpr std::uint8_t kFunctionReadHolding = 3;
constexpr std::uint8_t kFunctionWriteMultiple = 16;

// Read of holding registers (function 3): 8 bytes.
RtuFrame BuildReadRequest(std::uint8_t address, std::uint16_t firstRegister,
                          std::uint16_t count);

// Write of one register (function 16, count 1): 11 bytes.
RtuFrame BuildWrite16(std::uint8_t address, std::uint8_t reg, std::uint16_t value);

// Write of a 32-bit value to a register pair (function 16, count 2): 13 bytes,
// in the sensor's word order (lower register = low 16 bits).
RtuFrame BuildWrite32(std::uint8_t address, std::uint8_t reg, std::uint32_t value);

// A float written as its IEEE-754 single-precision bit pattern.
RtuFrame BuildWriteFloat(std::uint8_t address, std::uint8_t reg, float value);

// 32-bit values travel as b1 b0 b3 b2 (b3 the most significant byte): the
// lower-addressed register carries the low half, each register big-endian.
void EncodeWord32(std::uint32_t value, std::uint8_t out[4]);
std::uint32_t DecodeWord32(const std::uint8_t in[4]);

std::uint32_t FloatBits(float value);
float FloatFromBits(std::uint32_t bits);

// Slave side: a function-3 reply carrying `count` registers, and the 8-byte
// echo of a function-16 write.
RtuFrame BuildReadReply(std::uint8_t address, const std::uint16_t* registers, std::size_t count);
RtuFrame BuildWriteEcho(std::uint8_t address, std::uint16_t firstRegister, std::uint16_t count);

// Stores the CRC of all but the last two bytes into the last two, low byte first.
void SealFrame(RtuFrame& frame);

// True when the last two bytes of data[0..length) are the CRC of the rest.
bool HasValidCrc(const std::uint8_t* data, std::size_t length);

}  // namespace protocol
