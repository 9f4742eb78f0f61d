#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/rtu_frame.h"

namespace protocol {

// The sensor's block of 36 holding registers. 32-bit fields take two
// registers, the lower one holding the low 16 bits.
enum Register : std::uint8_t {
  DoValue = 0,          // float, dissolved oxygen in the unit of `Unit`
  Temperature = 2,      // float, degrees Celsius
  PhaseDiff = 4,        // float, deg
  RedPhase = 6,         // float, deg
  GreenPhase = 8,       // float, deg
  RedAmplitude = 10,    // u16, mV
  RedGain = 11,         // u16
  GreenAmplitude = 12,  // u16, mV
  GreenGain = 13,       // u16
  SoftwareVersion = 14, // float
  DeviceType = 16,      // u16, low byte 2 for this sensor
  Status = 17,          // u16, 1 = abnormal
  Unit = 18,            // u16, 0 = % saturation, otherwise mg/L
  Filter = 19,          // u16, 1..99
  Pressure = 20,        // float, 50..200
  ZeroCalValue = 22,    // float, 0..20000
  AirCalValue = 24,     // float, 0..20000
  FactoryZeroCal = 26,  // float, 0..20000
  FactoryAirCal = 28,   // float, 0..20000
  SerialNumber = 30,    // u32
  DeviceAddress = 32,   // u16, 1..254
  Command = 34,         // u16, 1 zero cal, 2 air cal, 3 restore factory cal
};

constexpr int kRegisterCount = 36;
constexpr std::size_t kPollReplyLength = 3 + 2 * kRegisterCount + 2;  // 77
constexpr std::uint8_t kPollByteCount = 2 * kRegisterCount;           // 72
constexpr std::uint8_t kSensorDeviceType = 2;
constexpr std::size_t kDeviceTypeOffset = 3 + 2 * DeviceType + 1;     // 36

enum CommandValue : std::uint16_t {
  CommandZeroCal = 1,
  CommandAirCal = 2,
  CommandRestoreFactoryCal = 3,
};

// Offset in a poll reply of register k's high byte.
constexpr std::size_t RegisterOffset(int reg) { return 3 + 2 * static_cast<std::size_t>(reg); }

// ---- Requests: one builder per request of the sensor's command set ----
RtuFrame PollBlock(std::uint8_t address);
RtuFrame WriteUnit(std::uint8_t address, std::uint16_t unit);
RtuFrame WriteFilter(std::uint8_t address, std::uint16_t filter);
RtuFrame WritePressure(std::uint8_t address, float pressure);
RtuFrame WriteZeroCalValue(std::uint8_t address, float value);
RtuFrame WriteAirCalValue(std::uint8_t address, float value);
RtuFrame WriteFactoryZeroCal(std::uint8_t address, float value);
RtuFrame WriteFactoryAirCal(std::uint8_t address, float value);
RtuFrame WriteSerialNumber(std::uint8_t address, std::uint32_t serial);
RtuFrame WriteDeviceAddress(std::uint8_t address, std::uint16_t newAddress);
RtuFrame StartZeroCal(std::uint8_t address);
RtuFrame StartAirCal(std::uint8_t address);
RtuFrame RestoreFactoryCal(std::uint8_t address);

// The unit toggle: 0 becomes 1, any other value becomes 0.
std::uint16_t ToggledUnit(std::uint16_t currentUnit);

// ---- Field decoders over a poll reply (at least kPollReplyLength bytes) ----
std::uint16_t DecodeU16(const std::uint8_t* reply, Register reg);
std::uint32_t DecodeU32(const std::uint8_t* reply, Register reg);
float DecodeFloat(const std::uint8_t* reply, Register reg);

// Every field of a poll reply, decoded but not yet put through display rules.
struct SensorReading {
  float doValue = 0;
  float temperature = 0;
  float phaseDiff = 0;
  float redPhase = 0;
  float greenPhase = 0;
  std::uint16_t redAmplitude = 0;
  std::uint16_t redGain = 0;
  std::uint16_t greenAmplitude = 0;
  std::uint16_t greenGain = 0;
  float softwareVersion = 0;
  std::uint16_t deviceType = 0;
  std::uint16_t status = 0;
  std::uint16_t unit = 0;
  std::uint16_t filter = 0;
  float pressure = 0;
  float zeroCalValue = 0;
  float airCalValue = 0;
  float factoryZeroCal = 0;
  float factoryAirCal = 0;
  std::uint32_t serialNumber = 0;
  std::uint16_t deviceAddress = 0;
  std::uint16_t command = 0;
};

SensorReading DecodePollReply(const std::uint8_t* reply);

// The register block as a slave holds it, with 32-bit fields in the sensor's
// word order. Used by the simulated sensor and by tests.
struct RegisterBlock {
  std::array<std::uint16_t, kRegisterCount> regs{};

  void SetU32(Register reg, std::uint32_t value);
  void SetFloat(Register reg, float value);
  std::uint32_t GetU32(Register reg) const;
  float GetFloat(Register reg) const;
  // The 77-byte reply to PollBlock.
  RtuFrame PollReply(std::uint8_t address) const;
};

}  // namespace protocol
