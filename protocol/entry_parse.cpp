#include "protocol/entry_parse.h"

#include <charconv>
#include <cfloat>
#include <cmath>
#include <string>
#include <system_error>

namespace protocol {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text without its leading and trailing blanks and tabs.
std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// True when the whole of `s` is one number in the decimal syntax above.
bool IsDecimalNumber(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponentDigits;
    if (exponentDigits == 0) return false;
  }
  return i == s.size();
}

}  // namespace

std::optional<std::uint32_t> ParseEntryInteger(std::string_view text) {
  const std::string_view s = TrimBlanks(text);
  if (s.empty()) return std::nullopt;
  for (char c : s) {
    if (!IsDigit(c)) return std::nullopt;
  }
  std::uint32_t value = 0;
  const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 10);
  // result_out_of_range: more than 32 bits; refused rather than clamped.
  if (ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
  return value;
}

std::optional<float> ParseEntryNumber(std::string_view text) {
  const std::string_view s = TrimBlanks(text);
  if (!IsDecimalNumber(s)) return std::nullopt;

  // from_chars takes no leading '+'; the syntax is already checked.
  const std::string_view body = s.front() == '+' ? s.substr(1) : s;
  double value = 0;
  const auto [ptr, ec] =
      std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  // Out of range is an overflow or a non-zero value too small for a double:
  // neither is a number the sensor can take.
  if (ec != std::errc() || ptr != body.data() + body.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  // A zero must be typed starting with the digit 0: ".0" and "-0" are refused.
  if (value == 0.0 && s.front() != '0') return std::nullopt;

  // Above FLT_MAX + half an ulp the value rounds to infinity as a float.
  const double kFloatOverflow = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
  const double magnitude = std::fabs(value);
  if (magnitude >= kFloatOverflow) return std::nullopt;
  // Between FLT_MAX and that bound the nearest float is FLT_MAX itself.
  if (magnitude > static_cast<double>(FLT_MAX)) return value < 0 ? -FLT_MAX : FLT_MAX;
  // A value too small for a float would reach the sensor as 0, or as -0.0
  // when negative: a value nobody typed, and one that passes the range
  // checks of fields that refuse negatives.
  const float stored = static_cast<float>(value);
  if (stored == 0.0f && value != 0.0) return std::nullopt;
  return stored;
}

}  // namespace protocol
