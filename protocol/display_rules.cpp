#include "protocol/display_rules.h"

#include "protocol/translatable_text.h"

#include <charconv>
#include <cmath>

namespace protocol {

std::int32_t TruncateScaled(double scaled) {
  // 2^63: the first double the signed 64-bit range cannot hold.
  constexpr double kInt64Limit = 9223372036854775808.0;
  if (!std::isfinite(scaled) || scaled >= kInt64Limit || scaled < -kInt64Limit) return 0;
  const std::int64_t wide = static_cast<std::int64_t>(scaled);  // truncates toward zero
  const std::uint32_t low = static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide));
  // Reinterpret the low 32 bits as signed without relying on implementation-defined casts.
  return low <= 0x7FFFFFFFu ? static_cast<std::int32_t>(low)
                            : static_cast<std::int32_t>(static_cast<std::int64_t>(low) - 4294967296LL);
}

float CutTo2Decimals(float value) {
  return static_cast<float>(TruncateScaled(static_cast<double>(value) * 100.0) * 0.01);
}

float CutTo3Decimals(float value) {
  return static_cast<float>(TruncateScaled(static_cast<double>(value) * 1000.0) * 0.001);
}

float VersionShown(float value) {
  return static_cast<float>(TruncateScaled(static_cast<double>(value) * 100.0 + 1.0) * 0.01);
}

float DoValueShown(float value) {
  // NaN fails this comparison and is cut to 0 by the truncation instead.
  if (value < 0.01f) return 0.0f;
  return CutTo2Decimals(value);
}

std::int32_t SerialShown(std::uint32_t serial) {
  return serial <= 0x7FFFFFFFu
             ? static_cast<std::int32_t>(serial)
             : static_cast<std::int32_t>(static_cast<std::int64_t>(serial) - 4294967296LL);
}

std::string FormatG6(double value) {
  // to_chars with a precision is printf's %g in the C locale.
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
  return std::string(buf, result.ptr);
}

std::string FormatUnsigned(std::uint32_t value) {
  char buf[16];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

std::string FormatSigned(std::int64_t value) {
  char buf[24];
  const auto result = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, result.ptr);
}

const char* UnitText(std::uint16_t unit) { return unit == 0 ? "%" : "mg/L"; }

const char* StatusText(std::uint16_t status) { return status == 1 ? SENSOR_TEXT("SensorTexts", "异常") : SENSOR_TEXT("SensorTexts", "正常"); }

ShownReading ShowReading(const SensorReading& r) {
  ShownReading s;
  s.doValue = FormatG6(DoValueShown(r.doValue));
  s.temperature = FormatG6(CutTo2Decimals(r.temperature));
  s.phaseDiff = FormatG6(CutTo2Decimals(r.phaseDiff));
  s.redPhase = FormatG6(CutTo2Decimals(r.redPhase));
  s.greenPhase = FormatG6(CutTo2Decimals(r.greenPhase));
  s.redAmplitude = FormatUnsigned(r.redAmplitude);
  s.redGain = FormatUnsigned(r.redGain);
  s.greenAmplitude = FormatUnsigned(r.greenAmplitude);
  s.greenGain = FormatUnsigned(r.greenGain);
  s.softwareVersion = FormatG6(VersionShown(r.softwareVersion));
  s.unit = UnitText(r.unit);
  s.status = StatusText(r.status);
  s.filter = FormatUnsigned(r.filter);
  s.pressure = FormatG6(CutTo2Decimals(r.pressure));
  s.zeroCalValue = FormatG6(CutTo2Decimals(r.zeroCalValue));
  s.airCalValue = FormatG6(CutTo3Decimals(r.airCalValue));
  s.factoryZeroCal = FormatG6(CutTo2Decimals(r.factoryZeroCal));
  s.factoryAirCal = FormatG6(CutTo3Decimals(r.factoryAirCal));
  s.serialNumber = FormatSigned(SerialShown(r.serialNumber));
  s.deviceAddress = FormatUnsigned(r.deviceAddress);
  return s;
}

}  // namespace protocol
