// Fuzz target: decoding a 77-byte poll reply and the texts shown for it.
//
// The input, cut or padded with zeros to 77 bytes, is taken as a reply. Every
// decoded field is compared with the register bytes read directly, and every
// shown text with the display rule worked out here on its own: scale, cut
// toward zero through 64 bits keeping the low 32 as signed, scale back, print
// "%.*g" at precision 6 in the "C" locale. UBSan (float-cast-overflow in
// clang's set) catches a conversion of an out-of-range float to an integer.
#include <locale.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

using namespace protocol;

namespace {

locale_t CLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

// printf in the "C" locale, whatever the process locale is.
template <typename... Args>
std::string CFormat(const char* format, Args... args) {
  const locale_t previous = uselocale(CLocale());
  char buf[64];
  std::snprintf(buf, sizeof buf, format, args...);
  uselocale(previous);
  return buf;
}

// The cut of the display rule, by exact double arithmetic: trunc() and fmod()
// of an integral double are exact, so the low 32 bits come out without any
// integer conversion that could overflow.
std::int32_t CutLow32(double scaled) {
  const double two63 = std::ldexp(1.0, 63);
  if (!std::isfinite(scaled) || scaled >= two63 || scaled < -two63) return 0;
  const double two32 = std::ldexp(1.0, 32);
  double low = std::fmod(std::trunc(scaled), two32);
  if (low < 0) low += two32;
  if (low >= std::ldexp(1.0, 31)) low -= two32;
  return static_cast<std::int32_t>(low);
}

std::string ShownCut(float value, double scale) {
  // The rule multiplies by the reciprocal (0.01, 0.001) rather than dividing.
  const double back = scale == 100.0 ? 0.01 : 0.001;
  return CFormat("%.*g", 6, static_cast<double>(static_cast<float>(CutLow32(static_cast<double>(value) * scale) * back)));
}

void CheckNumberText(const std::string& text, const char* field) {
  FUZZ_CHECK(!text.empty() && text.size() <= 12, field);
  FUZZ_CHECK(text.find_first_not_of("0123456789.-+e") == std::string::npos, field);
}

std::uint16_t Be16(const std::uint8_t* reply, int reg) {
  return static_cast<std::uint16_t>(reply[RegisterOffset(reg)] << 8 | reply[RegisterOffset(reg) + 1]);
}

std::uint32_t Pair(const std::uint8_t* reply, int reg) {
  return static_cast<std::uint32_t>(Be16(reply, reg + 1)) << 16 | Be16(reply, reg);
}

void CheckFloatField(float decoded, const std::uint8_t* reply, int reg, const char* field) {
  const std::uint32_t bits = Pair(reply, reg);
  if (std::isnan(decoded)) {
    FUZZ_CHECK((bits & 0x7F800000u) == 0x7F800000u && (bits & 0x007FFFFFu) != 0, field);
  } else {
    std::uint32_t got;
    std::memcpy(&got, &decoded, sizeof got);
    FUZZ_CHECK(got == bits, field);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "");
  std::fprintf(stderr, "numeric locale %s, decimal point '%s'\n", std::setlocale(LC_NUMERIC, nullptr),
               std::localeconv()->decimal_point);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Exactly one reply's worth of bytes on the heap: a read past it is an ASan report.
  std::unique_ptr<std::uint8_t[]> reply(new std::uint8_t[kPollReplyLength]());
  std::memcpy(reply.get(), data, size < kPollReplyLength ? size : kPollReplyLength);
  const std::uint8_t* p = reply.get();

  // The word order of 32-bit values, on every 4-byte window of the reply.
  for (std::size_t i = 0; i + 4 <= kPollReplyLength; ++i) {
    const std::uint32_t v = DecodeWord32(p + i);
    const std::uint32_t expected = static_cast<std::uint32_t>(p[i + 2]) << 24 |
                                   static_cast<std::uint32_t>(p[i + 3]) << 16 |
                                   static_cast<std::uint32_t>(p[i]) << 8 | p[i + 1];
    FUZZ_CHECK(v == expected, "DecodeWord32: wrong word or byte order");
    std::uint8_t again[4];
    EncodeWord32(v, again);
    FUZZ_CHECK(std::memcmp(again, p + i, 4) == 0, "EncodeWord32 does not undo DecodeWord32");
  }

  const SensorReading r = DecodePollReply(p);
  CheckFloatField(r.doValue, p, DoValue, "decoded oxygen value");
  CheckFloatField(r.temperature, p, Temperature, "decoded temperature");
  CheckFloatField(r.phaseDiff, p, PhaseDiff, "decoded phase difference");
  CheckFloatField(r.redPhase, p, RedPhase, "decoded red phase");
  CheckFloatField(r.greenPhase, p, GreenPhase, "decoded green phase");
  CheckFloatField(r.softwareVersion, p, SoftwareVersion, "decoded software version");
  CheckFloatField(r.pressure, p, Pressure, "decoded pressure");
  CheckFloatField(r.zeroCalValue, p, ZeroCalValue, "decoded zero calibration");
  CheckFloatField(r.airCalValue, p, AirCalValue, "decoded air calibration");
  CheckFloatField(r.factoryZeroCal, p, FactoryZeroCal, "decoded factory zero calibration");
  CheckFloatField(r.factoryAirCal, p, FactoryAirCal, "decoded factory air calibration");
  FUZZ_CHECK(r.redAmplitude == Be16(p, RedAmplitude) && r.redGain == Be16(p, RedGain) &&
                 r.greenAmplitude == Be16(p, GreenAmplitude) && r.greenGain == Be16(p, GreenGain) &&
                 r.deviceType == Be16(p, DeviceType) && r.status == Be16(p, Status) &&
                 r.unit == Be16(p, Unit) && r.filter == Be16(p, Filter) &&
                 r.deviceAddress == Be16(p, DeviceAddress) && r.command == Be16(p, Command),
             "a 16-bit register decoded wrongly");
  FUZZ_CHECK(r.serialNumber == Pair(p, SerialNumber), "serial number decoded wrongly");

  const ShownReading s = ShowReading(r);
  const std::string* numbers[] = {&s.doValue,        &s.temperature,   &s.phaseDiff,      &s.redPhase,
                                  &s.greenPhase,     &s.redAmplitude,  &s.redGain,        &s.greenAmplitude,
                                  &s.greenGain,      &s.softwareVersion, &s.filter,       &s.pressure,
                                  &s.zeroCalValue,   &s.airCalValue,   &s.factoryZeroCal, &s.factoryAirCal,
                                  &s.serialNumber,   &s.deviceAddress};
  for (const std::string* text : numbers) CheckNumberText(*text, "a shown number is long or not plain '.' notation");

  const std::string doExpected = (r.doValue < 0.01f) ? std::string("0") : ShownCut(r.doValue, 100.0);
  FUZZ_CHECK(s.doValue == doExpected, "shown oxygen value");
  FUZZ_CHECK(s.temperature == ShownCut(r.temperature, 100.0), "shown temperature");
  FUZZ_CHECK(s.phaseDiff == ShownCut(r.phaseDiff, 100.0), "shown phase difference");
  FUZZ_CHECK(s.redPhase == ShownCut(r.redPhase, 100.0), "shown red phase");
  FUZZ_CHECK(s.greenPhase == ShownCut(r.greenPhase, 100.0), "shown green phase");
  FUZZ_CHECK(s.pressure == ShownCut(r.pressure, 100.0), "shown pressure");
  FUZZ_CHECK(s.zeroCalValue == ShownCut(r.zeroCalValue, 100.0), "shown zero calibration");
  FUZZ_CHECK(s.factoryZeroCal == ShownCut(r.factoryZeroCal, 100.0), "shown factory zero calibration");
  FUZZ_CHECK(s.airCalValue == ShownCut(r.airCalValue, 1000.0), "shown air calibration");
  FUZZ_CHECK(s.factoryAirCal == ShownCut(r.factoryAirCal, 1000.0), "shown factory air calibration");
  FUZZ_CHECK(s.softwareVersion ==
                 CFormat("%.*g", 6, static_cast<double>(static_cast<float>(
                                        CutLow32(static_cast<double>(r.softwareVersion) * 100.0 + 1.0) * 0.01))),
             "shown software version");
  const std::int64_t serial = static_cast<std::int64_t>(r.serialNumber) - (r.serialNumber > 0x7FFFFFFFu ? (1LL << 32) : 0);
  FUZZ_CHECK(s.serialNumber == CFormat("%lld", static_cast<long long>(serial)), "shown serial number");
  FUZZ_CHECK(s.filter == CFormat("%u", static_cast<unsigned>(r.filter)) &&
                 s.redAmplitude == CFormat("%u", static_cast<unsigned>(r.redAmplitude)) &&
                 s.greenGain == CFormat("%u", static_cast<unsigned>(r.greenGain)) &&
                 s.deviceAddress == CFormat("%u", static_cast<unsigned>(r.deviceAddress)),
             "shown 16-bit register");
  FUZZ_CHECK(s.unit == (r.unit == 0 ? "%" : "mg/L"), "shown unit");
  FUZZ_CHECK(s.status == (r.status == 1 ? "异常" : "正常"), "shown status");
  return 0;
}
