#include "protocol/entry_rules.h"

#include "protocol/app_state.h"
#include "protocol/registers.h"

namespace protocol {

const char* IntegerEntryRangeError(int kind, std::uint32_t value) {
  switch (kind) {
    case EntryFilter:
      return value < 1 || value > 99 ? entry_texts::kFilterRange : nullptr;
    case EntryDeviceAddress:
      return value < 1 || value > 254 ? entry_texts::kAddressRange : nullptr;
    default:
      return nullptr;  // the serial number takes any value
  }
}

const char* NumberEntryRangeError(int kind, float value) {
  if (kind == EntryPressure)
    return value < 50.0f || value > 200.0f ? entry_texts::kPressureRange : nullptr;
  if (kind >= EntryZeroCalValue && kind <= EntryFactoryAirCal)
    return value < 0.0f || value > 20000.0f ? entry_texts::kCalibrationRange : nullptr;
  return nullptr;
}

const char* IntegerEntryRangeText(int kind) {
  switch (kind) {
    case EntryFilter: return "1 – 99";
    case EntryDeviceAddress: return "1 – 254";
    case EntrySerialNumber: return "0 – 4294967295";
    default: return nullptr;
  }
}

const char* NumberEntryRangeText(int kind) {
  if (kind == EntryPressure) return "50 – 200";
  if (kind >= EntryZeroCalValue && kind <= EntryFactoryAirCal) return "0 – 20000";
  return nullptr;
}

std::optional<EntryWrite> IntegerEntryWrite(int kind, std::uint8_t address, std::uint32_t value) {
  switch (kind) {
    case EntryFilter:
      return EntryWrite{WriteFilter(address, static_cast<std::uint16_t>(value)), Filter};
    case EntryDeviceAddress:
      return EntryWrite{WriteDeviceAddress(address, static_cast<std::uint16_t>(value)), DeviceAddress};
    case EntrySerialNumber:
      return EntryWrite{WriteSerialNumber(address, value), SerialNumber};
    default:
      return std::nullopt;
  }
}

std::optional<EntryWrite> NumberEntryWrite(int kind, std::uint8_t address, float value) {
  switch (kind) {
    case EntryPressure:
      return EntryWrite{WritePressure(address, value), Pressure};
    case EntryZeroCalValue:
      return EntryWrite{WriteZeroCalValue(address, value), ZeroCalValue};
    case EntryAirCalValue:
      return EntryWrite{WriteAirCalValue(address, value), AirCalValue};
    case EntryFactoryZeroCal:
      return EntryWrite{WriteFactoryZeroCal(address, value), FactoryZeroCal};
    case EntryFactoryAirCal:
      return EntryWrite{WriteFactoryAirCal(address, value), FactoryAirCal};
    default:
      return std::nullopt;
  }
}

}  // namespace protocol
