#include "protocol/rtu_frame.h"

#include <cstring>

#include "protocol/crc16.h"

namespace protocol {

void SealFrame(RtuFrame& frame) {
  const std::size_t n = frame.size();
  if (n < 2) return;
  const std::uint16_t crc = Crc16Modbus(frame.data(), n - 2);
  frame[n - 2] = static_cast<std::uint8_t>(crc & 0xFF);
  frame[n - 1] = static_cast<std::uint8_t>(crc >> 8);
}

bool HasValidCrc(const std::uint8_t* data, std::size_t length) {
  if (length < 3) return false;
  const std::uint16_t crc = Crc16Modbus(data, length - 2);
  return data[length - 2] == (crc & 0xFF) && data[length - 1] == (crc >> 8);
}

RtuFrame BuildReadRequest(std::uint8_t address, std::uint16_t firstRegister,
                          std::uint16_t count) {
  RtuFrame frame(8);
  frame[0] = address;
  frame[1] = kFunctionReadHolding;
  frame[2] = static_cast<std::uint8_t>(firstRegister >> 8);
  frame[3] = static_cast<std::uint8_t>(firstRegister & 0xFF);
  frame[4] = static_cast<std::uint8_t>(count >> 8);
  frame[5] = static_cast<std::uint8_t>(count & 0xFF);
  SealFrame(frame);
  return frame;
}

namespace {

RtuFrame WriteHeader(std::uint8_t address, std::uint8_t reg, std::uint8_t registers) {
  RtuFrame frame(9 + 2 * registers);
  frame[0] = address;
  frame[1] = kFunctionWriteMultiple;
  frame[2] = 0;  // every register of the sensor's block is below 256
  frame[3] = reg;
  frame[4] = 0;
  frame[5] = registers;
  frame[6] = static_cast<std::uint8_t>(2 * registers);
  return frame;
}

}  // namespace

RtuFrame BuildWrite16(std::uint8_t address, std::uint8_t reg, std::uint16_t value) {
  RtuFrame frame = WriteHeader(address, reg, 1);
  frame[7] = static_cast<std::uint8_t>(value >> 8);
  frame[8] = static_cast<std::uint8_t>(value & 0xFF);
  SealFrame(frame);
  return frame;
}

RtuFrame BuildWrite32(std::uint8_t address, std::uint8_t reg, std::uint32_t value) {
  RtuFrame frame = WriteHeader(address, reg, 2);
  EncodeWord32(value, &frame[7]);
  SealFrame(frame);
  return frame;
}

RtuFrame BuildWriteFloat(std::uint8_t address, std::uint8_t reg, float value) {
  return BuildWrite32(address, reg, FloatBits(value));
}

RtuFrame BuildReadReply(std::uint8_t address, const std::uint16_t* registers, std::size_t count) {
  RtuFrame frame(5 + 2 * count);
  frame[0] = address;
  frame[1] = kFunctionReadHolding;
  frame[2] = static_cast<std::uint8_t>(2 * count);
  for (std::size_t k = 0; k < count; ++k) {
    frame[3 + 2 * k] = static_cast<std::uint8_t>(registers[k] >> 8);
    frame[4 + 2 * k] = static_cast<std::uint8_t>(registers[k] & 0xFF);
  }
  SealFrame(frame);
  return frame;
}

RtuFrame BuildWriteEcho(std::uint8_t address, std::uint16_t firstRegister, std::uint16_t count) {
  RtuFrame frame = BuildReadRequest(address, firstRegister, count);
  frame[1] = kFunctionWriteMultiple;
  SealFrame(frame);
  return frame;
}

void EncodeWord32(std::uint32_t value, std::uint8_t out[4]) {
  out[0] = static_cast<std::uint8_t>(value >> 8);   // b1
  out[1] = static_cast<std::uint8_t>(value);        // b0
  out[2] = static_cast<std::uint8_t>(value >> 24);  // b3
  out[3] = static_cast<std::uint8_t>(value >> 16);  // b2
}

std::uint32_t DecodeWord32(const std::uint8_t in[4]) {
  const std::uint32_t lowRegister = (std::uint32_t{in[0]} << 8) | in[1];
  const std::uint32_t highRegister = (std::uint32_t{in[2]} << 8) | in[3];
  return (highRegister << 16) | lowRegister;
}

std::uint32_t FloatBits(float value) {
  std::uint32_t bits;
  static_assert(sizeof bits == sizeof value, "IEEE-754 single precision expected");
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

float FloatFromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace protocol
