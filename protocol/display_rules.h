#pragma once
#include <cstdint>
#include <string>

#include "protocol/registers.h"

// What a box shows for each decoded field. Every formatter here prints with
// '.' as decimal point whatever the process locale is.
namespace protocol {

// Truncates value * scale toward zero through a 64-bit integer whose low 32
// bits are kept as a signed number. The product is taken in double precision.
// NaN, infinities and products beyond the 64-bit range give 0; products beyond
// 32 bits wrap.
std::int32_t TruncateScaled(double scaled);

// trunc(value * 100) * 0.01 as the single-precision member a window keeps.
float CutTo2Decimals(float value);
// trunc(value * 1000) * 0.001, for the air calibration values.
float CutTo3Decimals(float value);
// The software version: trunc(value * 100 + 1) * 0.01, so 1.0 shows 1.01.
float VersionShown(float value);
// The oxygen value: 0 below 0.01, else two decimals cut off.
float DoValueShown(float value);
// The serial number as a signed 32-bit value.
std::int32_t SerialShown(std::uint32_t serial);

// "%.*g" at precision 6, C locale: 12345.67 -> "12345.7", 8.5 -> "8.5".
std::string FormatG6(double value);
// "%u" and "%ld".
std::string FormatUnsigned(std::uint32_t value);
std::string FormatSigned(std::int64_t value);

// "%" when 0, "mg/L" otherwise.
const char* UnitText(std::uint16_t unit);
// "异常" when 1, "正常" otherwise.
const char* StatusText(std::uint16_t status);

// The shown text of each field of a poll reply.
struct ShownReading {
  std::string doValue, temperature, phaseDiff, redPhase, greenPhase;
  std::string redAmplitude, redGain, greenAmplitude, greenGain;
  std::string softwareVersion, unit, status, filter, pressure;
  std::string zeroCalValue, airCalValue, factoryZeroCal, factoryAirCal;
  std::string serialNumber, deviceAddress;
};
ShownReading ShowReading(const SensorReading& reading);

}  // namespace protocol
