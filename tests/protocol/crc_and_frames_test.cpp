#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "hex.h"
#include "protocol/crc16.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

using namespace protocol;

TEST(Crc16Modbus, MatchesTheCheckValueAndTheEmptyRange) {
  const std::string digits = "123456789";
  EXPECT_EQ(Crc16Modbus(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0x4B37);
  // A count of zero must not read the data at all.
  EXPECT_EQ(Crc16Modbus(nullptr, 0), 0xFFFF);
}

TEST(Crc16Modbus, AgreesWithTheBitwiseFormOnEveryPrefixOfAPollReply) {
  const auto reply = Hex(
      "01 03 48 00 00 41 08 00 00 41 CA 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
      "00 00 3F 80 00 02 00 00 00 01 00 0A 99 9A 42 CA 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
      "00 00 00 00 00 01 00 00 00 00 00 00 01 D5");
  for (std::size_t n = 1; n <= reply.size(); ++n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
      crc ^= reply[i];
      for (int b = 0; b < 8; ++b) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    ASSERT_EQ(Crc16Modbus(reply.data(), n), crc) << "prefix of " << n << " bytes";
  }
  EXPECT_TRUE(HasValidCrc(reply.data(), reply.size()));
}

struct GoldenFrame {
  const char* what;
  RtuFrame frame;
  const char* bytes;
};

TEST(RequestFrames, MatchTheGoldenByteVectors) {
  const GoldenFrame cases[] = {
      {"poll address 1", PollBlock(1), "01 03 00 00 00 24 45 D1"},
      {"poll address 5", PollBlock(5), "05 03 00 00 00 24 44 55"},
      {"poll address 0", PollBlock(0), "00 03 00 00 00 24 44 00"},
      {"filter 10 to register 19", WriteFilter(1, 10), "01 10 00 13 00 01 02 00 0A 24 F4"},
      {"pressure 101.3 to registers 20-21", WritePressure(1, 101.3f),
       "01 10 00 14 00 02 04 99 9A 42 CA 4D 14"},
      {"serial 12345678 to registers 30-31", WriteSerialNumber(1, 12345678u),
       "01 10 00 1E 00 02 04 61 4E 00 BC 0D 75"},
      {"restore factory calibration", RestoreFactoryCal(1), "01 10 00 22 00 01 02 00 03 E0 D3"},
  };
  for (const auto& c : cases) EXPECT_EQ(ToHex(c.frame), c.bytes) << c.what;
}

TEST(RequestFrames, EveryWriteHasItsRegisterLengthAndAValidCrc) {
  struct Case {
    RtuFrame frame;
    std::uint8_t reg;
    std::size_t length;
  };
  const std::uint8_t a = 0xF7;  // any address, above 0x7F on purpose
  const Case cases[] = {
      {WriteUnit(a, 1), Unit, 11},
      {WriteFilter(a, 99), Filter, 11},
      {WritePressure(a, 50.0f), Pressure, 13},
      {WriteZeroCalValue(a, 0.0f), ZeroCalValue, 13},
      {WriteAirCalValue(a, 20000.0f), AirCalValue, 13},
      {WriteFactoryZeroCal(a, 1.5f), FactoryZeroCal, 13},
      {WriteFactoryAirCal(a, 2.5f), FactoryAirCal, 13},
      {WriteSerialNumber(a, 0xFFFFFFFFu), SerialNumber, 13},
      {WriteDeviceAddress(a, 254), DeviceAddress, 11},
      {StartZeroCal(a), Command, 11},
      {StartAirCal(a), Command, 11},
      {RestoreFactoryCal(a), Command, 11},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(ToHex(c.frame));
    ASSERT_EQ(c.frame.size(), c.length);
    EXPECT_EQ(c.frame[0], a);
    EXPECT_EQ(c.frame[1], 0x10);
    EXPECT_EQ(c.frame[2], 0);
    EXPECT_EQ(c.frame[3], c.reg);
    EXPECT_EQ(c.frame[5], c.length == 11 ? 1 : 2);
    EXPECT_EQ(c.frame[6], c.length == 11 ? 2 : 4);
    EXPECT_TRUE(HasValidCrc(c.frame.data(), c.frame.size()));
  }
  EXPECT_EQ(ToHex(StartZeroCal(1)).substr(21, 5), "00 01");
  EXPECT_EQ(ToHex(StartAirCal(1)).substr(21, 5), "00 02");
}

TEST(WordOrder, ThirtyTwoBitValuesTravelAsB1B0B3B2AndDecodeBack) {
  std::uint8_t wire[4];
  EncodeWord32(FloatBits(10.0f), wire);
  EXPECT_EQ(ToHex({wire, wire + 4}), "00 00 41 20");
  EncodeWord32(FloatBits(101.3f), wire);
  EXPECT_EQ(ToHex({wire, wire + 4}), "99 9A 42 CA");
  EncodeWord32(0x12345678u, wire);
  EXPECT_EQ(DecodeWord32(wire), 0x12345678u);

  const auto ten = Hex("00 00 41 20");
  EXPECT_EQ(FloatFromBits(DecodeWord32(ten.data())), 10.0f);
  // The registers swapped give a denormal (about 2.3e-41), not 10.
  const auto swapped = Hex("41 20 00 00");
  const float wrong = FloatFromBits(DecodeWord32(swapped.data()));
  EXPECT_NE(wrong, 10.0f);
  EXPECT_EQ(FloatBits(wrong), 0x00004120u);
  EXPECT_LT(wrong, 1e-40f);
}

TEST(HasValidCrc, RejectsAnyOneWrongCrcByteAndTooShortInput) {
  auto echo = Hex("01 10 00 22 00 01 A1 C3");
  EXPECT_TRUE(HasValidCrc(echo.data(), echo.size()));
  echo[6] ^= 0x01;
  EXPECT_FALSE(HasValidCrc(echo.data(), echo.size()));
  echo[6] ^= 0x01;
  echo[7] ^= 0x80;
  EXPECT_FALSE(HasValidCrc(echo.data(), echo.size()));
  EXPECT_FALSE(HasValidCrc(echo.data(), 2));
}
