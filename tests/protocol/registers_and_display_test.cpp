#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "comma_locale.h"
#include "hex.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"

using namespace protocol;

namespace {

const char* kGoldenReply =
    "01 03 48 00 00 41 08 00 00 41 CA 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 3F 80 00 02 00 00 00 01 00 0A 99 9A 42 CA 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 01 00 00 00 00 00 00 01 D5";

}  // namespace

TEST(PollReply, TheGoldenReplyDecodesAndShowsEveryField) {
  const auto reply = Hex(kGoldenReply);
  ASSERT_EQ(reply.size(), kPollReplyLength);
  ASSERT_TRUE(HasValidCrc(reply.data(), reply.size()));

  const SensorReading r = DecodePollReply(reply.data());
  EXPECT_EQ(r.doValue, 8.5f);
  EXPECT_EQ(r.temperature, 25.25f);
  EXPECT_EQ(r.softwareVersion, 1.0f);
  EXPECT_EQ(r.deviceType, 2);
  EXPECT_EQ(r.unit, 1);
  EXPECT_EQ(r.filter, 10);
  EXPECT_EQ(r.pressure, 101.3f);
  EXPECT_EQ(r.deviceAddress, 1);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.serialNumber, 0u);

  const ShownReading s = ShowReading(r);
  EXPECT_EQ(s.doValue, "8.5");
  EXPECT_EQ(s.unit, "mg/L");
  EXPECT_EQ(s.temperature, "25.25");
  EXPECT_EQ(s.status, "正常");
  EXPECT_EQ(s.filter, "10");
  EXPECT_EQ(s.pressure, "101.3");
  EXPECT_EQ(s.deviceAddress, "1");
  EXPECT_EQ(s.softwareVersion, "1.01");
  EXPECT_EQ(s.serialNumber, "0");
  EXPECT_EQ(s.airCalValue, "0");
}

TEST(PollReply, RegisterBlockBuildsTheSameBytesAndKeepsTheWordOrder) {
  RegisterBlock block;
  block.SetFloat(DoValue, 8.5f);
  block.SetFloat(Temperature, 25.25f);
  block.SetFloat(SoftwareVersion, 1.0f);
  block.regs[DeviceType] = 2;
  block.regs[Unit] = 1;
  block.regs[Filter] = 10;
  block.SetFloat(Pressure, 101.3f);
  block.regs[DeviceAddress] = 1;
  EXPECT_EQ(ToHex(block.PollReply(1)), kGoldenReply);

  block.SetU32(SerialNumber, 12345678u);
  EXPECT_EQ(block.regs[30], 0x614E);
  EXPECT_EQ(block.regs[31], 0x00BC);
  EXPECT_EQ(block.GetU32(SerialNumber), 12345678u);
}

TEST(DisplayRules, ValuesAreCutNotRoundedInDoublePrecision) {
  EXPECT_EQ(FormatG6(DoValueShown(0.009f)), "0");
  EXPECT_EQ(FormatG6(DoValueShown(0.005f)), "0");
  EXPECT_EQ(FormatG6(DoValueShown(8.276f)), "8.27");
  EXPECT_EQ(FormatG6(CutTo2Decimals(-3.456f)), "-3.45");
  EXPECT_EQ(FormatG6(CutTo2Decimals(-1.237f)), "-1.23");
  EXPECT_EQ(FormatG6(CutTo2Decimals(-0.019f)), "-0.01");
  EXPECT_EQ(FormatG6(CutTo2Decimals(-0.001f)), "0");  // no "-0"
  EXPECT_EQ(FormatG6(CutTo2Decimals(12.34567f)), "12.34");
  EXPECT_EQ(FormatG6(CutTo3Decimals(12.34567f)), "12.345");
  EXPECT_EQ(FormatG6(CutTo3Decimals(123.4567f)), "123.456");
  EXPECT_EQ(FormatG6(CutTo3Decimals(2.34567f)), "2.345");
  EXPECT_EQ(FormatG6(CutTo3Decimals(1234.5678f)), "1234.57");  // 1234.567 at six digits
  EXPECT_EQ(FormatG6(CutTo2Decimals(12345.67f)), "12345.7");
  EXPECT_EQ(FormatG6(CutTo2Decimals(123.456f)), "123.45");
  // 0.29f is 0.28999999...; scaled in float it would round up to 29.
  EXPECT_EQ(FormatG6(CutTo2Decimals(0.29f)), "0.28");
  EXPECT_EQ(FormatG6(VersionShown(1.0f)), "1.01");
  EXPECT_EQ(FormatG6(VersionShown(1.23f)), "1.24");
  EXPECT_EQ(FormatG6(VersionShown(2.5f)), "2.51");
}

TEST(DisplayRules, NonFiniteAndHugeValuesNeverInvokeUndefinedConversions) {
  const auto nanBytes = Hex("FF FF FF FF");
  const float nan = FloatFromBits(DecodeWord32(nanBytes.data()));
  ASSERT_TRUE(std::isnan(nan));
  EXPECT_EQ(FormatG6(CutTo2Decimals(nan)), "0");
  EXPECT_EQ(FormatG6(CutTo3Decimals(nan)), "0");
  EXPECT_EQ(FormatG6(DoValueShown(nan)), "0");
  EXPECT_EQ(FormatG6(VersionShown(nan)), "0");
  EXPECT_EQ(FormatG6(CutTo2Decimals(std::numeric_limits<float>::infinity())), "0");
  EXPECT_EQ(FormatG6(CutTo2Decimals(-std::numeric_limits<float>::infinity())), "0");
  EXPECT_EQ(TruncateScaled(1e30), 0);    // beyond 64 bits
  EXPECT_EQ(TruncateScaled(-1e19), 0);
  EXPECT_EQ(TruncateScaled(9.3e18), 0);  // just past 2^63
  EXPECT_EQ(TruncateScaled(1099511627783.9), 7);  // 2^40 + 7: only the low 32 bits stay
  // Beyond 32 bits the low half wraps: 3e9 -> 3e9 - 2^32.
  EXPECT_EQ(TruncateScaled(3.0e9), -1294967296);
  EXPECT_EQ(TruncateScaled(4294967296.0 + 5.7), 5);
  EXPECT_EQ(TruncateScaled(-2147483649.0), 2147483647);
  EXPECT_EQ(FormatG6(CutTo2Decimals(3.0e7f)), "-1.29497e+07");
}

TEST(DisplayRules, IntegersUnitsAndStatus) {
  EXPECT_EQ(FormatUnsigned(200), "200");
  EXPECT_EQ(FormatUnsigned(65535), "65535");
  EXPECT_EQ(FormatSigned(SerialShown(65536u)), "65536");
  EXPECT_EQ(FormatSigned(SerialShown(0xFFFFFFFFu)), "-1");
  EXPECT_EQ(FormatSigned(SerialShown(2147483648u)), "-2147483648");

  EXPECT_STREQ(UnitText(0), "%");
  EXPECT_STREQ(UnitText(1), "mg/L");
  EXPECT_STREQ(UnitText(0x0100), "mg/L");
  EXPECT_STREQ(StatusText(1), "异常");
  EXPECT_STREQ(StatusText(0), "正常");
  EXPECT_STREQ(StatusText(2), "正常");
  EXPECT_EQ(ToggledUnit(0), 1);
  EXPECT_EQ(ToggledUnit(1), 0);
  EXPECT_EQ(ToggledUnit(0x0100), 0);

  // Unsigned registers never show negative.
  RegisterBlock block;
  block.regs[RedAmplitude] = 0xFFFF;
  block.regs[DeviceAddress] = 200;
  block.SetU32(SerialNumber, 0x00010000u);
  const auto reply = block.PollReply(1);
  const ShownReading s = ShowReading(DecodePollReply(reply.data()));
  EXPECT_EQ(s.redAmplitude, "65535");
  EXPECT_EQ(s.deviceAddress, "200");
  EXPECT_EQ(s.serialNumber, "65536");
}

TEST(DisplayRules, FormattingIgnoresACommaLocale) {
  // The locale is compiled into the build tree by the test set-up.
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  ASSERT_TRUE(SetCommaLocale()) << "German locale missing (LOCPATH)";
  char printed[32];
  std::snprintf(printed, sizeof printed, "%.*g", 6, 8.27);
  EXPECT_STREQ(printed, "8,27") << "the locale should really use a decimal comma";

  EXPECT_EQ(FormatG6(CutTo2Decimals(8.276f)), "8.27");
  EXPECT_EQ(FormatG6(CutTo3Decimals(1234.5678f)), "1234.57");
  EXPECT_EQ(FormatG6(1.5e-7), "1.5e-07");
  EXPECT_EQ(FormatUnsigned(4294967295u), "4294967295");
  std::setlocale(LC_ALL, saved.c_str());
}
