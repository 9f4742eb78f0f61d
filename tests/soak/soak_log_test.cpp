// The checks the soak rests on: reading the simulator's log back, finding
// the replies that left it intact, and telling shown values and writes that
// no intact reply or queued write accounts for.
#include <gtest/gtest.h>

#include "protocol/registers.h"
#include "soak_log.h"

namespace {

using protocol::RegisterBlock;
using soak::Bytes;

RegisterBlock Block(float doValue, float temperature, std::uint16_t deviceType = 2) {
  RegisterBlock b;
  b.SetFloat(protocol::DoValue, doValue);
  b.SetFloat(protocol::Temperature, temperature);
  b.regs[protocol::DeviceType] = deviceType;
  b.regs[protocol::Unit] = 1;
  return b;
}

std::string LogLine(const char* tag, const Bytes& bytes) { return std::string(tag) + " " + soak::ToHex(bytes) + "\n"; }

}  // namespace

TEST(SoakLog, HexRoundTripAndMalformedText) {
  Bytes bytes;
  ASSERT_TRUE(soak::ParseHex("05 03 00 00 00 24 44 55", &bytes));
  EXPECT_EQ(bytes, (Bytes{0x05, 0x03, 0x00, 0x00, 0x00, 0x24, 0x44, 0x55}));
  EXPECT_EQ(soak::ToHex(bytes), "05 03 00 00 00 24 44 55");
  ASSERT_TRUE(soak::ParseHex("ab Cd", &bytes));
  EXPECT_EQ(bytes, (Bytes{0xAB, 0xCD}));
  Bytes untouched{1};
  EXPECT_FALSE(soak::ParseHex("0G", &untouched));
  EXPECT_FALSE(soak::ParseHex("123", &untouched));
  EXPECT_EQ(untouched, Bytes{1});
}

TEST(SoakLog, OnlyIntactRepliesOfTheSensorTypeCount) {
  const Bytes good = Block(8.276f, -3.456f).PollReply(3);
  ASSERT_EQ(soak::CheckedPollReplies(good), std::vector<Bytes>{good});
  EXPECT_EQ(soak::ShownFor(good), (soak::ShownPair{"8.27", "-3.45"}));

  // Noise bytes before the reply are skipped.
  Bytes noisy = good;
  for (std::uint8_t b : {0x48, 0x03, 0x03}) noisy.insert(noisy.begin(), b);
  EXPECT_EQ(soak::CheckedPollReplies(noisy), std::vector<Bytes>{good});
  EXPECT_TRUE(soak::LooksLikePollReply(noisy));

  // Every single flipped bit, and every dropped byte, leaves nothing.
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      Bytes flipped = good;
      flipped[at] ^= static_cast<std::uint8_t>(1u << bit);
      ASSERT_TRUE(soak::CheckedPollReplies(flipped).empty()) << at << " " << bit;
    }
    Bytes dropped = good;
    dropped.erase(dropped.begin() + static_cast<std::ptrdiff_t>(at));
    ASSERT_TRUE(soak::CheckedPollReplies(dropped).empty()) << at;
    EXPECT_TRUE(soak::LooksLikePollReply(dropped));
  }

  // Another device type with a good CRC is no reply of this sensor; another
  // address of the same type still is (the window may take it while searching).
  EXPECT_TRUE(soak::CheckedPollReplies(Block(8.0f, 20.0f, 7).PollReply(3)).empty());
  EXPECT_EQ(soak::CheckedPollReplies(Block(8.0f, 20.0f).PollReply(4)).size(), 1u);
  // A write echo is not a poll reply.
  EXPECT_FALSE(soak::LooksLikePollReply(Bytes(8, 0)));
}

TEST(SoakLog, AnalysisTellsUnexplainedValuesAndWrites) {
  const Bytes first = Block(7.5f, 21.25f).PollReply(1);
  const Bytes second = Block(7.61f, 21.5f).PollReply(1);
  Bytes corrupted = Block(9.99f, 30.0f).PollReply(1);
  corrupted[5] ^= 0x10;
  const Bytes queued = protocol::WriteFilter(1, 10);
  const Bytes other = protocol::WriteFilter(1, 11);

  std::string text = "garbage line\n";
  text += LogLine("RX", protocol::PollBlock(1));
  text += LogLine("TX", first);
  text += LogLine("RX", queued);
  text += LogLine("TX", protocol::BuildWriteEcho(1, protocol::Filter, 1));
  text += LogLine("RX", other);
  text += LogLine("RX-BADCRC", Bytes{0x01, 0x03, 0x00});
  text += LogLine("TX", corrupted);
  const soak::SimLog log = soak::ParseSimLog(text);
  EXPECT_EQ(log.received.size(), 3u);
  EXPECT_EQ(log.receivedBadCrc.size(), 1u);
  EXPECT_EQ(log.sent.size(), 3u);

  soak::SimLog secondRun;
  secondRun.sent.push_back(second);
  const soak::LogVerdict v = soak::Analyse({log, secondRun}, {queued});
  EXPECT_EQ(v.pollRepliesSent, 3);
  EXPECT_EQ(v.checkedReplies, 2);
  EXPECT_EQ(v.checkedFrames, (std::set<Bytes>{first, second}));
  EXPECT_EQ(v.writesReceived, 2);
  EXPECT_EQ(v.writesNotQueued, 1);
  EXPECT_EQ(v.requestsBadCrc, 1);

  // What the window showed: the two good replies are accounted for, the
  // corrupted one's values and a value from nowhere are not.
  const std::set<soak::ShownPair> allGood{{"7.5", "21.25"}, {"7.61", "21.5"}};
  EXPECT_EQ(v.allowedShown, allGood);
  EXPECT_EQ(soak::CountUnexplained(allGood, v.allowedShown), 0);
  EXPECT_EQ(soak::CountUnexplained({{"7.5", "21.25"}, {"9.99", "30"}}, v.allowedShown), 1);
  // A pair mixing the oxygen of one reply with the temperature of another is no reply's.
  EXPECT_EQ(soak::CountUnexplained({{"7.5", "21.5"}}, v.allowedShown), 1);
}
