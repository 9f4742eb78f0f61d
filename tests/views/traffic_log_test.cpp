// The traffic classifier fed with byte vectors, as the main window's signals
// would deliver them.
#include <gtest/gtest.h>

#include <vector>

#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "views/traffic_log.h"

namespace {

using protocol::RtuFrame;
using views::Verdict;

RtuFrame GoodReply(std::uint8_t address, std::uint16_t deviceType = 2) {
  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, 8.25f);
  block.SetFloat(protocol::Temperature, 21.5f);
  block.regs[protocol::DeviceType] = deviceType;
  block.regs[protocol::Unit] = 1;
  return block.PollReply(address);
}

RtuFrame Flipped(RtuFrame frame, std::size_t at, int bit) {
  frame[at] ^= static_cast<std::uint8_t>(1u << bit);
  return frame;
}

RtuFrame Exception(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
  RtuFrame f{address, static_cast<std::uint8_t>(function | 0x80), code, 0, 0};
  protocol::SealFrame(f);
  return f;
}

struct Feeder {
  views::TrafficLog& log;
  void Sent(const RtuFrame& f, std::int64_t ms) { log.OnSent(f.data(), f.size(), ms); }
  void Received(const RtuFrame& f, std::int64_t ms) { log.OnReceived(f.data(), f.size(), ms); }
};

std::vector<Verdict> Verdicts(const views::TrafficLog& log) {
  std::vector<Verdict> v;
  for (const auto& e : log.Entries()) v.push_back(e.verdict);
  return v;
}

}  // namespace

TEST(TrafficLog, ClassifiesAScriptedSequenceOfGoodCorruptForeignAndEchoFrames) {
  views::TrafficLog log;
  Feeder f{log};
  const RtuFrame poll = protocol::PollBlock(5);
  const RtuFrame write = protocol::WriteFilter(5, 10);
  const RtuFrame echo = protocol::BuildWriteEcho(5, protocol::Filter, 1);
  std::int64_t t = 1000;

  f.Sent(poll, t);
  f.Received(GoodReply(5), t += 80);                          // accepted
  f.Sent(poll, t += 2000);
  f.Received(Flipped(GoodReply(5), 40, 3), t += 80);          // a data bit flipped
  f.Sent(poll, t += 2000);
  f.Received(Flipped(GoodReply(5), 76, 7), t += 80);          // a CRC bit flipped
  f.Sent(poll, t += 2000);
  f.Received(Flipped(GoodReply(5), 2, 0), t += 80);           // the byte count hit: no header left
  f.Sent(poll, t += 2000);
  f.Received(GoodReply(5, 7), t += 80);                       // another kind of device
  f.Sent(write, t += 300);
  f.Received(echo, t += 30);                                  // write echo
  f.Sent(write, t += 300);
  f.Received(Exception(5, 16, 3), t += 30);                   // refused write
  f.Received({0x00, 0xFF, 0x13}, t += 500);                   // line noise
  f.Sent(poll, t += 2000);                                    // no reply to this one
  f.Sent(poll, t += 2000);
  const RtuFrame whole = GoodReply(5);
  f.Received(RtuFrame(whole.begin(), whole.begin() + 40), t += 80);  // cut short
  log.Flush(t + 101);
  log.OnPortReset(t += 200);

  const std::vector<Verdict> expected{
      Verdict::PollSent,  Verdict::ReplyAccepted, Verdict::PollSent,  Verdict::CrcError,
      Verdict::PollSent,  Verdict::CrcError,      Verdict::PollSent,  Verdict::CrcError,
      Verdict::PollSent,  Verdict::UnknownDevice, Verdict::WriteSent, Verdict::WriteEcho,
      Verdict::WriteSent, Verdict::ExceptionReply, Verdict::Noise,    Verdict::PollSent,
      Verdict::PollSent,  Verdict::Incomplete,    Verdict::PortReset};
  EXPECT_EQ(Verdicts(log), expected);

  const views::TrafficCounters& c = log.Counters();
  EXPECT_EQ(c.polls, 7u);
  EXPECT_EQ(c.replies, 1u);
  EXPECT_EQ(c.crcErrors, 3u);
  EXPECT_EQ(c.unknownDevices, 1u);
  EXPECT_EQ(c.writes, 2u);
  EXPECT_EQ(c.echoes, 1u);
  EXPECT_EQ(c.exceptions, 1u);
  EXPECT_EQ(c.noise, 2u);      // the three stray bytes and the cut-short reply
  EXPECT_EQ(c.timeouts, 1u);   // the sixth poll, followed by the seventh without a reply
  EXPECT_EQ(c.resets, 1u);

  // Directions, time stamps and bytes as they were on the line.
  const auto& e = log.Entries();
  EXPECT_EQ(e[0].direction, views::Direction::Sent);
  EXPECT_EQ(e[0].bytes, poll);
  EXPECT_EQ(e[0].ms, 1000);
  EXPECT_EQ(e[1].direction, views::Direction::Received);
  EXPECT_EQ(e[1].ms, 1080);
  EXPECT_EQ(e[1].bytes, GoodReply(5));
  EXPECT_EQ(e[11].bytes, echo);
  EXPECT_EQ(e.back().direction, views::Direction::Event);
  for (std::size_t i = 0; i < e.size(); ++i) EXPECT_EQ(e[i].seq, i);
  EXPECT_EQ(views::HexBytes(e[0].bytes), "05 03 00 00 00 24 44 55");
  EXPECT_STREQ(views::VerdictText(Verdict::ReplyAccepted), "应答已接受");
  EXPECT_STREQ(views::VerdictText(Verdict::CrcError), "校验错误");
  EXPECT_STREQ(views::VerdictText(Verdict::UnknownDevice), "未知设备");
  EXPECT_STREQ(views::VerdictText(Verdict::WriteEcho), "写入回显");
  EXPECT_STREQ(views::VerdictText(Verdict::Noise), "噪声");

  // Following a link that holds address 5, another slave's checked reply is
  // refused as the receive path refuses it, and is no answer to the poll.
  protocol::LinkState link;
  link.currentAddress = 5;
  link.deviceFound = true;
  views::TrafficLog held;
  held.FollowLink(&link);
  Feeder h{held};
  h.Sent(poll, 0);
  h.Received(GoodReply(6), 80);
  h.Received(GoodReply(5), 200);
  EXPECT_EQ(Verdicts(held), (std::vector<Verdict>{Verdict::PollSent, Verdict::ForeignAddress, Verdict::ReplyAccepted}));
  EXPECT_EQ(held.Counters().foreignAddresses, 1u);
  EXPECT_EQ(held.Counters().replies, 1u);
}

TEST(TrafficLog, FramesByLineSilenceLikeTheReceivePath) {
  const RtuFrame reply = GoodReply(1);

  // One byte per batch, 10 ms apart: still one reply, entered with the time
  // of its first byte as soon as the 77th byte is in.
  {
    views::TrafficLog log;
    for (std::size_t i = 0; i < reply.size(); ++i) {
      log.OnReceived(&reply[i], 1, 100 + static_cast<std::int64_t>(i) * 10);
      EXPECT_EQ(log.Entries().size(), i + 1 == reply.size() ? 1u : 0u) << i;
    }
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].verdict, Verdict::ReplyAccepted);
    EXPECT_EQ(log.Entries()[0].ms, 100);
    EXPECT_EQ(log.PendingBytes(), 0u);
  }
  // A silence of more than 100 ms inside it splits it: the first part is an
  // incomplete reply, the rest noise.
  {
    views::TrafficLog log;
    log.OnReceived(reply.data(), 30, 0);
    log.OnReceived(reply.data() + 30, reply.size() - 30, 101);
    EXPECT_EQ(log.Entries().size(), 1u);  // the tail waits for the line to fall silent
    log.Flush(150);
    EXPECT_EQ(log.Entries().size(), 1u);  // 49 ms of silence is not yet the end
    log.Flush(202);
    EXPECT_EQ(Verdicts(log), (std::vector<Verdict>{Verdict::Incomplete, Verdict::Noise}));
    EXPECT_EQ(log.Entries()[0].bytes.size(), 30u);
    EXPECT_EQ(log.Entries()[1].bytes.size(), 47u);
  }
  // Exactly 100 ms of silence is still inside one frame.
  {
    views::TrafficLog log;
    log.OnReceived(reply.data(), 30, 0);
    log.OnReceived(reply.data() + 30, reply.size() - 30, 100);
    EXPECT_EQ(Verdicts(log), std::vector<Verdict>{Verdict::ReplyAccepted});
  }
  // Noise bytes in front of a reply in the same batch come apart from it,
  // and an echo right behind a reply is its own entry.
  {
    views::TrafficLog log;
    RtuFrame batch{0xA5, 0x5A};
    batch.insert(batch.end(), reply.begin(), reply.end());
    const RtuFrame echo = protocol::BuildWriteEcho(1, protocol::Command, 1);
    batch.insert(batch.end(), echo.begin(), echo.end());
    log.OnReceived(batch.data(), batch.size(), 0);
    EXPECT_EQ(Verdicts(log), (std::vector<Verdict>{Verdict::Noise, Verdict::ReplyAccepted, Verdict::WriteEcho}));
    EXPECT_EQ(log.Entries()[0].bytes, (RtuFrame{0xA5, 0x5A}));
  }
  // An echo whose CRC was hit is a check error, not an echo.
  {
    views::TrafficLog log;
    const RtuFrame bad = Flipped(protocol::BuildWriteEcho(1, protocol::Filter, 1), 4, 1);
    log.OnReceived(bad.data(), bad.size(), 0);
    EXPECT_TRUE(log.Entries().empty());
    log.Flush(500);
    EXPECT_EQ(Verdicts(log), std::vector<Verdict>{Verdict::CrcError});
    EXPECT_EQ(log.Counters().echoes, 0u);
  }
  // A partial reply that is still open when the next poll goes out is closed
  // first, so the entries stay in line order.
  {
    views::TrafficLog log;
    log.OnReceived(reply.data(), 10, 0);
    const RtuFrame poll = protocol::PollBlock(1);
    log.OnSent(poll.data(), poll.size(), 2000);
    EXPECT_EQ(Verdicts(log), (std::vector<Verdict>{Verdict::Incomplete, Verdict::PollSent}));
  }
}

TEST(TrafficLog, RingStaysBoundedWhileCountersKeepCounting) {
  views::TrafficLog log(50);
  const RtuFrame poll = protocol::PollBlock(9);
  const RtuFrame reply = GoodReply(9);
  for (int i = 0; i < 1000; ++i) {
    log.OnSent(poll.data(), poll.size(), i * 2000);
    if (i % 2 == 0) log.OnReceived(reply.data(), reply.size(), i * 2000 + 80);
    ASSERT_LE(log.Entries().size(), 50u);
  }
  EXPECT_EQ(log.Entries().size(), 50u);
  EXPECT_EQ(log.TotalEntries(), 1500u);
  EXPECT_EQ(log.Entries().front().seq, 1450u);
  EXPECT_EQ(log.Entries().back().seq, 1499u);
  EXPECT_EQ(log.Counters().polls, 1000u);
  EXPECT_EQ(log.Counters().replies, 500u);
  // Every odd poll went unanswered and was followed by another poll, except
  // the very last one, which has no successor yet.
  EXPECT_EQ(log.Counters().timeouts, 499u);

  views::TrafficLog defaults;
  EXPECT_EQ(defaults.Capacity(), 5000u);
  for (int i = 0; i < 12000; ++i) defaults.OnSent(poll.data(), poll.size(), i);
  EXPECT_EQ(defaults.Entries().size(), 5000u);
}
