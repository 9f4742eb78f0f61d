#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "protocol/entry_parse.h"
#include "protocol/rtu_frame.h"

using namespace protocol;

TEST(EntryInteger, AcceptsDigitsWithBlanksAndTabsAround) {
  EXPECT_EQ(ParseEntryInteger("0"), std::optional<std::uint32_t>(0u));
  EXPECT_EQ(ParseEntryInteger("12"), std::optional<std::uint32_t>(12u));
  EXPECT_EQ(ParseEntryInteger(" 12 "), std::optional<std::uint32_t>(12u));
  EXPECT_EQ(ParseEntryInteger("\t 99\t"), std::optional<std::uint32_t>(99u));
  EXPECT_EQ(ParseEntryInteger("007"), std::optional<std::uint32_t>(7u));
  EXPECT_EQ(ParseEntryInteger("4294967295"), std::optional<std::uint32_t>(4294967295u));
  EXPECT_EQ(ParseEntryInteger("0004294967295"), std::optional<std::uint32_t>(4294967295u));
}

TEST(EntryInteger, RefusesSignsOtherCharactersAndValuesBeyond32Bits) {
  for (const char* text : {"", " ", "\t\t", "-5", "-0", "+5", "abc", "12a", "1 2", "1.0", "1e2",
                           "0x10", "１２", "12\n", "\n12", "4294967296", "4294967300",
                           "99999999999999999999", "18446744073709551616"}) {
    EXPECT_EQ(ParseEntryInteger(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(EntryNumber, AcceptsTheUsualDecimalSyntax) {
  struct Case {
    const char* text;
    float value;
  };
  const Case cases[] = {
      {"0", 0.0f},        {"0.0", 0.0f},       {"00", 0.0f},       {"0e5", 0.0f},
      {" 50 ", 50.0f},    {"\t200\t", 200.0f}, {"1e2", 100.0f},    {"1E2", 100.0f},
      {"+12.5", 12.5f},   {"-0.5", -0.5f},     {".5", 0.5f},       {"5.", 5.0f},
      {"2.5e-1", 0.25f},  {"1e+3", 1000.0f},   {"20000", 20000.0f}, {"-20000.5", -20000.5f},
      {"49.99", 49.99f},  {"200.01", 200.01f}, {"101.3", 101.3f},
  };
  for (const Case& c : cases) {
    const auto parsed = ParseEntryNumber(c.text);
    ASSERT_TRUE(parsed.has_value()) << '"' << c.text << '"';
    EXPECT_EQ(FloatBits(*parsed), FloatBits(c.value)) << '"' << c.text << '"';
  }
}

TEST(EntryNumber, RefusesZeroNotStartingWithTheDigitZeroAndEverythingOutsideTheSyntax) {
  for (const char* text : {".0", "-0", "+0", "-0.0", ".0e3", " -0 ", "", " ", "abc", "1a", "1.2.3",
                           ".", "-", "+", "e5", "1e", "1e+", "--1", "+-1", "1 2", "1,5", "0x1p3",
                           "0x10", "nan", "NaN", "-nan", "inf", "-inf", "Infinity", "12\n",
                           "５", "1e400", "-1e400", "1e-400", "1e-50", "-1e-50", "-7e-46", "0.1e-45"}) {
    EXPECT_EQ(ParseEntryNumber(text), std::nullopt) << '"' << text << '"';
  }
}

TEST(EntryNumber, RefusesWhatOverflowsAFloatAndKeepsTheLargestThatFits) {
  EXPECT_EQ(ParseEntryNumber("1e39"), std::nullopt);
  EXPECT_EQ(ParseEntryNumber("-1e39"), std::nullopt);
  EXPECT_EQ(ParseEntryNumber("3.5e38"), std::nullopt);
  // FLT_MAX + 2^103 is exactly half an ulp above the largest float: rounds to infinity.
  char halfway[64];
  std::snprintf(halfway, sizeof halfway, "%.17g", static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103));
  EXPECT_EQ(ParseEntryNumber(halfway), std::nullopt) << halfway;

  const auto largest = ParseEntryNumber("3.4028234e38");
  ASSERT_TRUE(largest.has_value());
  EXPECT_EQ(*largest, FLT_MAX);
  const auto justAbove = ParseEntryNumber("3.40282350000000000001e38");
  ASSERT_TRUE(justAbove.has_value());
  EXPECT_EQ(*justAbove, FLT_MAX);
  const auto negative = ParseEntryNumber("-3.4028235e38");
  ASSERT_TRUE(negative.has_value());
  EXPECT_EQ(*negative, -FLT_MAX);
  for (const char* text : {"1e38", "-1e38", "1e-30", "20000"}) {
    const auto v = ParseEntryNumber(text);
    ASSERT_TRUE(v.has_value()) << text;
    EXPECT_TRUE(std::isfinite(*v)) << text;
  }
}

TEST(EntryNumber, ValueIsRoundedToTheFloatTheMemberStores) {
  // 200.000001 is not 200 as a double but is 200 as a float, so a range check
  // on the stored value lets it through; 200.00002 stays above 200.
  const auto nearTop = ParseEntryNumber("200.000001");
  ASSERT_TRUE(nearTop.has_value());
  EXPECT_EQ(*nearTop, 200.0f);
  const auto above = ParseEntryNumber("200.00002");
  ASSERT_TRUE(above.has_value());
  EXPECT_GT(*above, 200.0f);
  const auto tenth = ParseEntryNumber("0.1");
  ASSERT_TRUE(tenth.has_value());
  EXPECT_EQ(FloatBits(*tenth), 0x3DCCCCCDu);
}

TEST(EntryParse, IgnoresACommaLocale) {
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "German locale missing (LOCPATH)";
  EXPECT_EQ(ParseEntryNumber("1.5"), std::optional<float>(1.5f));
  EXPECT_EQ(ParseEntryNumber("1,5"), std::nullopt);
  EXPECT_EQ(ParseEntryInteger(" 42 "), std::optional<std::uint32_t>(42u));
  std::setlocale(LC_ALL, saved.c_str());
}
