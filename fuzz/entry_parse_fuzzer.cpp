// Fuzz target: the parsers behind the integer and number entry boxes.
//
// The whole input is the text of the box, given to both parsers. Each verdict
// is compared with an independent reading of the same text: the integer by
// its digits as a string, the number by the C library's strtod in the "C"
// locale whatever locale the process runs in (the runner starts this target
// under a decimal-comma locale when one can be built).
#include <locale.h>

#include <cerrno>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "protocol/entry_parse.h"

using protocol::ParseEntryInteger;
using protocol::ParseEntryNumber;

namespace {

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

std::string_view TrimBlanks(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

bool AllOf(std::string_view t, std::string_view allowed) {
  return t.find_first_not_of(allowed) == std::string_view::npos;
}

void CheckInteger(std::string_view text) {
  const std::optional<std::uint32_t> parsed = ParseEntryInteger(text);

  const std::string_view t = TrimBlanks(text);
  const bool digitsOnly = !t.empty() && AllOf(t, "0123456789");
  std::string_view significant = t;
  while (significant.size() > 1 && significant.front() == '0') significant.remove_prefix(1);
  // Ten digits compare as strings in the same order as their values.
  const bool fits = digitsOnly && (significant.size() < 10 ||
                                   (significant.size() == 10 && significant <= "4294967295"));

  FUZZ_CHECK(parsed.has_value() == fits, "integer entry: accepted text that is not a 32-bit unsigned "
                                         "number, or refused one that is");
  if (parsed) {
    FUZZ_CHECK(std::to_string(*parsed) == std::string(significant),
               "integer entry: the value does not match the digits typed");
  }
}

void CheckNumber(std::string_view text) {
  const std::optional<float> parsed = ParseEntryNumber(text);
  if (parsed) {
    FUZZ_CHECK(std::isfinite(*parsed), "number entry: accepted NaN or infinity");
    FUZZ_CHECK(AllOf(text, " \t+-.0123456789eE"), "number entry: accepted a character outside a decimal number");
  }

  const std::string t(TrimBlanks(text));
  if (t.empty() || !AllOf(t, "+-.0123456789eE")) {
    FUZZ_CHECK(!parsed, "number entry: accepted text that is not a decimal number");
    return;
  }

  errno = 0;
  char* end = nullptr;
  const double d = strtod_l(t.c_str(), &end, CLocale());
  const bool range = errno == ERANGE;
  if (end != t.c_str() + t.size()) {
    FUZZ_CHECK(!parsed, "number entry: accepted text with something after the number");
    return;
  }
  if (range) {
    if (std::fabs(d) > 1.0) {
      FUZZ_CHECK(!parsed, "number entry: accepted a value beyond the double range");
    } else {
      // Below the normal double range, far below any float: it would be stored as 0.
      FUZZ_CHECK(!parsed, "number entry: accepted a value that a float stores as zero");
    }
    return;
  }

  if (d == 0.0) {
    const bool startsWithZero = t.front() == '0';
    FUZZ_CHECK(parsed.has_value() == startsWithZero,
               "number entry: a zero not typed with a leading 0 was accepted, or \"0...\" refused");
    if (parsed) FUZZ_CHECK(*parsed == 0.0f, "number entry: zero text gave a non-zero value");
    return;
  }

  // The float nearest to d: FLT_MAX up to half a step above it, infinity
  // (refused) from there on. The largest float's mantissa is odd, so the
  // halfway point itself rounds up.
  const double maxFloat = FLT_MAX;
  const double halfStep = (maxFloat - static_cast<double>(std::nextafter(FLT_MAX, 0.0f))) / 2;
  const bool overflows = std::fabs(d) >= maxFloat + halfStep;
  const bool vanishes = static_cast<float>(d) == 0.0f;  // non-zero, yet stored as +0 or -0
  FUZZ_CHECK(parsed.has_value() == (!overflows && !vanishes),
             "number entry: refused a number that fits a float, or accepted one that does not");
  if (parsed) {
    const float expected = std::fabs(d) > maxFloat ? (d < 0 ? -FLT_MAX : FLT_MAX) : static_cast<float>(d);
    FUZZ_CHECK(*parsed == expected, "number entry: the value is not the typed number rounded to a float");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Take the locale from the environment, as the program does at start-up.
  std::setlocale(LC_ALL, "");
  std::fprintf(stderr, "numeric locale %s, decimal point '%s'\n", std::setlocale(LC_NUMERIC, nullptr),
               std::localeconv()->decimal_point);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The view covers exactly the input buffer: a read past it is an ASan report.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckInteger(text);
  CheckNumber(text);
  return 0;
}
