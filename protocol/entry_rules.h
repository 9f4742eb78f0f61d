#pragma once
#include <cstdint>
#include <optional>

#include "protocol/rtu_frame.h"
#include "protocol/translatable_text.h"

// What the value entries accept and what they queue, shared by the entry
// windows and the command-line client so both refuse the same values with the
// same words and build the same writes.
namespace protocol {

namespace entry_texts {
inline constexpr const char* kIntegerParse = SENSOR_TEXT("SensorTexts", "“请填入一个正整数。”");
inline constexpr const char* kNumberParse = SENSOR_TEXT("SensorTexts", "请键入一个数。");
inline constexpr const char* kFilterRange = SENSOR_TEXT("SensorTexts", "只能输入1到99之间的数值。");
inline constexpr const char* kAddressRange = SENSOR_TEXT("SensorTexts", "只能输入1到254之间的数值。");
inline constexpr const char* kPressureRange = SENSOR_TEXT("SensorTexts", "只能输入50到200之间的数值。");
inline constexpr const char* kCalibrationRange = SENSOR_TEXT("SensorTexts", "只能输入0到20000之间的数值。");
}  // namespace entry_texts

// A write ready for the pending slot: the frame and the register it targets.
struct EntryWrite {
  RtuFrame frame;
  std::uint8_t reg = 0;
};

// Whole-number entry, kind 0 filter (1..99), 2 device address (1..254),
// 3 serial number (any value). Returns the range message when `value` is
// refused, nullptr when it is accepted or the kind has no range.
const char* IntegerEntryRangeError(int kind, std::uint32_t value);

// Decimal entry, kind 1 pressure (50..200), 2..5 the zero and air calibration
// values and their factory values (0..20000). Same result convention.
const char* NumberEntryRangeError(int kind, float value);

// What the entry shows under its box before anything is typed: the accepted
// range ("1 – 99"), so the operator need not learn it from a refusal. The
// serial number shows the whole 32-bit range. nullptr for a kind the entry
// never edits.
const char* IntegerEntryRangeText(int kind);
const char* NumberEntryRangeText(int kind);

// The write an accepted value queues, addressed to `address`; nullopt for a
// kind that entry never edits.
std::optional<EntryWrite> IntegerEntryWrite(int kind, std::uint8_t address, std::uint32_t value);
std::optional<EntryWrite> NumberEntryWrite(int kind, std::uint8_t address, float value);

}  // namespace protocol
