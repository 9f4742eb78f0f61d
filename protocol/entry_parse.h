#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

// Reading what the operator typed into the value entry boxes. Both parsers are
// pure and locale-independent: '.' is the only decimal point whatever the
// process locale says, and only ASCII blanks and tabs count as white space.
namespace protocol {

// An unsigned decimal integer with optional blanks or tabs before and after it.
// Refused (nullopt): an empty box, a sign of either kind, any other character,
// and any value above 4294967295 (never saturated, never wrapped).
std::optional<std::uint32_t> ParseEntryInteger(std::string_view text);

// A decimal number: optional blanks/tabs, optional sign, digits with an
// optional point and fraction (at least one digit in all), an optional
// exponent (e or E, optional sign, digits), optional blanks/tabs.
// Refused (nullopt): anything else (so "nan", "inf", hexadecimal floats and
// trailing characters), a value that is zero while its first non-blank
// character is not the digit 0 (".0", "-0" and "+0.0" are refused, "0" and
// "0e5" pass), a value whose magnitude does not fit a float, and a non-zero
// value so small that it would be stored as zero (of either sign).
// The result is the value as a float member stores it (rounded to nearest).
std::optional<float> ParseEntryNumber(std::string_view text);

}  // namespace protocol
