#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "hex.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "recording_window.h"

using namespace protocol;
using Bytes = std::vector<std::uint8_t>;

namespace {

RegisterBlock SampleBlock() {
  RegisterBlock block;
  block.SetFloat(DoValue, 8.5f);
  block.SetFloat(Temperature, 25.25f);
  block.SetFloat(SoftwareVersion, 1.0f);
  block.regs[DeviceType] = kSensorDeviceType;
  block.regs[Unit] = 1;
  block.regs[Filter] = 10;
  block.SetFloat(Pressure, 101.3f);
  block.regs[DeviceAddress] = 1;
  return block;
}

// Feeds bytes as one event of the serial component at time `ms`.
void Deliver(LinkState& s, RecordingWindow& w, const Bytes& bytes, std::int64_t ms) {
  OnCommEvent(s, w, kCommEventReceive, bytes.data(), bytes.size(), ms);
}

// Feeds bytes one per event, 1 ms apart as at 9600 baud; returns the time after.
std::int64_t DeliverByteByByte(LinkState& s, RecordingWindow& w, const Bytes& bytes, std::int64_t ms) {
  for (std::uint8_t b : bytes) Deliver(s, w, Bytes{b}, ms++);
  return ms;
}

Bytes Reply(const RegisterBlock& block, std::uint8_t address) { return block.PollReply(address); }

Bytes FirstBytes(const LinkState& s, std::size_t n) { return Bytes(s.rxBuf.begin(), s.rxBuf.begin() + n); }

}  // namespace

TEST(ReceivePath, AReplySplitAnyWayGivesTheSameResultAsOneEvent) {
  const Bytes reply = Reply(SampleBlock(), 1);

  LinkState whole;
  RecordingWindow wholeWindow;
  Deliver(whole, wholeWindow, reply, 0);
  ASSERT_FALSE(whole.crcError);
  ASSERT_TRUE(whole.deviceFound);
  ASSERT_TRUE(whole.sensorConnected);
  EXPECT_EQ(whole.currentAddress, 1);
  EXPECT_EQ(whole.rxCount, 0);
  EXPECT_EQ(wholeWindow.commStateText, "通信中");
  EXPECT_EQ(wholeWindow.pollTimerRestarts, std::vector<int>{2000});
  EXPECT_EQ(FirstBytes(whole, reply.size()), reply);

  auto sameAsWhole = [&](const LinkState& s, const RecordingWindow& w) {
    EXPECT_EQ(FirstBytes(s, reply.size()), reply);
    EXPECT_EQ(s.rxCount, 0);
    EXPECT_FALSE(s.crcError);
    EXPECT_TRUE(s.deviceFound);
    EXPECT_EQ(s.currentAddress, 1);
    EXPECT_EQ(w.commStateText, "通信中");
    EXPECT_EQ(w.pollTimerRestarts, std::vector<int>{2000});
  };

  for (std::size_t cut = 1; cut < reply.size(); ++cut) {
    SCOPED_TRACE("split after byte " + std::to_string(cut));
    LinkState s;
    RecordingWindow w;
    Deliver(s, w, Bytes(reply.begin(), reply.begin() + cut), 0);
    Deliver(s, w, Bytes(reply.begin() + cut, reply.end()), 20);
    sameAsWhole(s, w);
  }

  LinkState single;
  RecordingWindow singleWindow;
  DeliverByteByByte(single, singleWindow, reply, 5);
  sameAsWhole(single, singleWindow);

  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    LinkState s;
    RecordingWindow w;
    std::size_t at = 0;
    std::int64_t ms = 1000;
    while (at < reply.size()) {
      const std::size_t n = std::min<std::size_t>(reply.size() - at, 1 + rng() % 20);
      Deliver(s, w, Bytes(reply.begin() + at, reply.begin() + at + n), ms);
      at += n;
      ms += rng() % 40;
    }
    sameAsWhole(s, w);
  }
}

TEST(ReceivePath, CrcIsComparedAsUnsignedBytesAndFailuresFreezeTheDisplay) {
  // Search the filter value for a reply whose two CRC bytes are both >= 0x80.
  RegisterBlock block = SampleBlock();
  Bytes reply;
  for (std::uint16_t f = 0; f < 5000; ++f) {
    block.regs[Filter] = f;
    reply = Reply(block, 1);
    if (reply[75] >= 0x80 && reply[76] >= 0x80) break;
  }
  ASSERT_GE(reply[75], 0x80);
  ASSERT_GE(reply[76], 0x80);

  LinkState s;
  RecordingWindow w;
  Deliver(s, w, reply, 0);
  EXPECT_FALSE(s.crcError);
  EXPECT_EQ(w.pushes, 1);

  for (int crcByte : {75, 76}) {
    Bytes bad = reply;
    bad[crcByte] ^= 0x01;
    const int pushesBefore = w.pushes;
    Deliver(s, w, bad, 2000 * (crcByte - 74));
    EXPECT_TRUE(s.crcError) << "CRC byte " << crcByte;
    EXPECT_EQ(w.commStateText, "校验错误");
    EXPECT_EQ(w.pushes, pushesBefore) << "a failed reply must not reach the controls";
  }

  // The next clean reply clears the error.
  Deliver(s, w, reply, 10000);
  EXPECT_FALSE(s.crcError);
  EXPECT_EQ(w.commStateText, "通信中");
}

TEST(ReceivePath, WindowsOnlyEverSeeCompleteRepliesThatPassedTheirCheck) {
  RegisterBlock block = SampleBlock();
  const Bytes good = Reply(block, 1);
  LinkState s;
  RecordingWindow w;
  Deliver(s, w, good, 0);
  ASSERT_EQ(FirstBytes(s, good.size()), good);

  // Half of a newer reply: what the windows decode is still the whole old one.
  block.SetFloat(DoValue, 3.25f);
  const Bytes newer = Reply(block, 1);
  Deliver(s, w, Bytes(newer.begin(), newer.begin() + 20), 2000);
  EXPECT_EQ(FirstBytes(s, good.size()), good);
  Deliver(s, w, Bytes(newer.begin() + 20, newer.end()), 2010);
  EXPECT_EQ(FirstBytes(s, newer.size()), newer);

  // A corrupted reply and another device's reply never reach the windows.
  Bytes corrupted = good;
  corrupted[5] ^= 0x10;
  Deliver(s, w, corrupted, 4000);
  EXPECT_TRUE(s.crcError);
  EXPECT_EQ(FirstBytes(s, newer.size()), newer);
  RegisterBlock foreign = block;
  foreign.regs[DeviceType] = 7;
  Deliver(s, w, Reply(foreign, 1), 6000);
  EXPECT_EQ(w.commStateText, "未知设备");
  EXPECT_EQ(FirstBytes(s, newer.size()), newer);

  EXPECT_EQ(s.repliesAccepted, 2u);
  EXPECT_EQ(s.repliesRejected, 2u);

  // A flipped address byte must not move the link to an address nobody answers.
  Bytes wrongAddress = newer;
  wrongAddress[0] = 0x41;
  Deliver(s, w, wrongAddress, 8000);
  EXPECT_EQ(s.currentAddress, 1);

  // Noise shaped like an echo but with a wrong CRC confirms nothing.
  Bytes badEcho = Hex("01 10 00 22 00 01 A1 C3");
  badEcho[7] ^= 0x01;
  Deliver(s, w, badEcho, 10000);
  EXPECT_FALSE(s.writeAcked);
}

TEST(ReceivePath, RecognitionFollowsTheReplyingAddressAndIgnoresOtherDevices) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 3;  // the search has moved on past the sensor
  Deliver(s, w, Reply(SampleBlock(), 7), 0);
  EXPECT_EQ(s.currentAddress, 7);
  EXPECT_TRUE(s.deviceFound);
  Deliver(s, w, Reply(SampleBlock(), 7), 2000);
  EXPECT_EQ(w.pollTimerRestarts, std::vector<int>{2000}) << "timer restarted only on the first reply";

  // Another kind of device: shown as unknown, the flags and address stay.
  LinkState other;
  RecordingWindow ow;
  other.currentAddress = 4;
  RegisterBlock foreign = SampleBlock();
  foreign.regs[DeviceType] = 3;
  Deliver(other, ow, Reply(foreign, 9), 0);
  EXPECT_EQ(ow.commStateText, "未知设备");
  EXPECT_FALSE(other.deviceFound);
  EXPECT_FALSE(other.sensorConnected);
  EXPECT_EQ(other.currentAddress, 4);
  EXPECT_TRUE(ow.pollTimerRestarts.empty());
}

TEST(ReceivePath, WriteEchoesAreRecordedAndTakenOutOfTheBuffer) {
  const Bytes echo = Hex("01 10 00 22 00 01 A1 C3");

  // Between two polls.
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  Deliver(s, w, echo, 0);
  EXPECT_TRUE(s.writeAcked);
  EXPECT_EQ(Bytes(s.writeEcho.begin(), s.writeEcho.end()), Hex("01 10 00 22 00"));
  EXPECT_EQ(s.rxCount, 0);

  // In the middle of a reply, without a pause: the reply continues where it was.
  LinkState mid;
  RecordingWindow mw;
  mid.currentAddress = 1;
  const Bytes reply = Reply(SampleBlock(), 1);
  Deliver(mid, mw, Bytes(reply.begin(), reply.begin() + 10), 0);
  Deliver(mid, mw, echo, 1);
  EXPECT_EQ(mid.rxCount, 10);
  EXPECT_TRUE(mid.writeAcked);
  Deliver(mid, mw, Bytes(reply.begin() + 10, reply.end()), 2);
  EXPECT_FALSE(mid.crcError);
  EXPECT_EQ(FirstBytes(mid, reply.size()), reply);

  // An echo addressed elsewhere is not ours.
  LinkState foreign;
  RecordingWindow fw;
  foreign.currentAddress = 2;
  Deliver(foreign, fw, echo, 0);
  EXPECT_FALSE(foreign.writeAcked);
}

TEST(ReceivePath, AMisplacedHeaderRestartsOnlyWhatCannotBecomeAReply) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  const Bytes reply = Reply(SampleBlock(), 1);
  // Noise, then a reply without a pause: the header restarts the reply.
  Deliver(s, w, Hex("55 AA 01 02 10 99"), 0);
  Deliver(s, w, Hex("01 03 48"), 1);
  EXPECT_EQ(s.rxCount, 3);
  EXPECT_EQ(Bytes(s.rxFrame.begin(), s.rxFrame.begin() + 3), Hex("01 03 48"));
  Deliver(s, w, Bytes(reply.begin() + 3, reply.end()), 2);
  EXPECT_FALSE(s.crcError);
  EXPECT_TRUE(s.deviceFound);
  EXPECT_EQ(s.rxCount, 0);
  EXPECT_EQ(s.repliesAccepted, 1u);

  // Twenty bytes of a reply cut short, then a whole reply without a pause:
  // the fresh reply is taken all the same.
  LinkState cut;
  RecordingWindow cw;
  cut.currentAddress = 1;
  Deliver(cut, cw, Bytes(reply.begin(), reply.begin() + 20), 0);
  Deliver(cut, cw, reply, 1);
  EXPECT_EQ(cut.repliesAccepted, 1u);
  EXPECT_EQ(FirstBytes(cut, reply.size()), reply);
  EXPECT_EQ(cw.commStateText, "通信中");

  // The header at offsets 0..2 is not "misplaced", and one or two bytes at the
  // start never look back before the buffer.
  LinkState fresh;
  RecordingWindow fw;
  fresh.currentAddress = 0;
  Deliver(fresh, fw, Hex("03"), 0);
  EXPECT_EQ(fresh.rxCount, 1);
  Deliver(fresh, fw, Hex("48"), 1);
  EXPECT_EQ(fresh.rxCount, 2);
  LinkState header;
  RecordingWindow hw;
  header.currentAddress = 1;
  Deliver(header, hw, Hex("01 03 48"), 0);
  EXPECT_EQ(header.rxCount, 3);
}

TEST(ReceivePath, EveryCheckedReplyIsTakenWhateverItsDataContain) {
  // Random register blocks with the reply header planted in their data, in
  // random splits, some after noise: every one must reach rxBuf.
  std::mt19937 rng(20251464);
  const int blocks = 10000;
  int accepted = 0;
  for (int round = 0; round < blocks; ++round) {
    const auto address = static_cast<std::uint8_t>(1 + rng() % 247);
    RegisterBlock block;
    for (auto& r : block.regs) r = static_cast<std::uint16_t>(rng());
    block.regs[DeviceType] = kSensorDeviceType;
    Bytes reply = Reply(block, address);
    // Plant [address, 03, 48] one to three times in the data, away from the
    // device type byte, and mend the CRC so the reply stays valid.
    for (int n = 1 + static_cast<int>(rng() % 3); n > 0; --n) {
      std::size_t at = 3 + rng() % (kPollReplyLength - 2 - 3 - 2);
      if (at + 2 >= kDeviceTypeOffset && at <= kDeviceTypeOffset) at = kDeviceTypeOffset + 1;
      reply[at] = address;
      reply[at + 1] = kFunctionReadHolding;
      reply[at + 2] = kPollByteCount;
    }
    SealFrame(reply);

    LinkState s;
    RecordingWindow w;
    s.currentAddress = address;
    s.deviceFound = s.sensorConnected = rng() % 2 == 0;  // connected, or found by this reply
    Bytes stream;
    if (rng() % 3 == 0) {
      // Noise ahead of the reply, without a pause, sometimes holding the header.
      for (std::size_t k = rng() % 90; k > 0; --k) stream.push_back(static_cast<std::uint8_t>(rng()));
      if (rng() % 2 && stream.size() > 3) {
        stream[stream.size() / 2] = address;
        stream[stream.size() / 2 + 1] = kFunctionReadHolding;
      }
    }
    stream.insert(stream.end(), reply.begin(), reply.end());
    std::size_t at = 0;
    std::int64_t ms = 0;
    while (at < stream.size()) {
      const std::size_t n = std::min<std::size_t>(stream.size() - at, 1 + rng() % 40);
      Deliver(s, w, Bytes(stream.begin() + at, stream.begin() + at + n), ms);
      at += n;
      ms += rng() % 30;
    }
    if (FirstBytes(s, reply.size()) == reply && s.currentAddress == address) ++accepted;
  }
  EXPECT_EQ(accepted, blocks);
}

TEST(ReceivePath, AHeldAddressRefusesRepliesFromAnyOtherSlave) {
  struct Case {
    const char* name;
    bool held;
    bool found;
    std::uint8_t from;
    bool accepted;
    std::uint8_t addressAfter;
  };
  const Case cases[] = {
      {"given address, another slave answers", true, false, 6, false, 5},
      {"given address, the sensor answers", true, false, 5, true, 5},
      {"connected, another slave answers", false, true, 6, false, 5},
      {"searching, any slave is followed", false, false, 6, true, 6},
      {"given address, nobody answers", true, false, 0, false, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkState s;
    RecordingWindow w;
    s.currentAddress = 5;
    s.addressHeld = c.held;
    s.deviceFound = s.sensorConnected = c.found;
    if (c.from != 0) Deliver(s, w, Reply(SampleBlock(), c.from), 0);  // 0: silence
    EXPECT_EQ(s.repliesAccepted, c.accepted ? 1u : 0u);
    EXPECT_EQ(s.repliesRejected, c.accepted || c.from == 0 ? 0u : 1u);
    EXPECT_EQ(s.currentAddress, c.addressAfter);
    // Whatever came in, requests still go to the address held.
    QueueWrite(s, WriteFilter(s.currentAddress, 33), Filter);
    WriteCycleTick(s, w);
    SearchPollTick(s, w);
    SearchPollTick(s, w);
    for (const RtuFrame& f : w.sent) EXPECT_EQ(f[0], c.addressAfter);
  }
}

TEST(ReceivePath, ExceptionRepliesEndTheWriteOrCountAsAnEmptyAnswer) {
  // [address, function | 0x80, code] and the CRC.
  auto exception = [](std::uint8_t address, std::uint8_t function, std::uint8_t code) {
    Bytes frame{address, function, code, 0, 0};
    SealFrame(frame);
    return frame;
  };
  struct Case {
    const char* name;
    Bytes reply;
    bool writeDropped;
    std::string message;    // after the next write tick
    std::string commState;  // after the reply
  };
  const Case cases[] = {
      {"write refused, illegal data value", exception(1, 0x90, 3), true,
       "写入失败：传感器拒绝写入（异常码 03：非法数据值）", "通信中"},
      {"write refused, device busy", exception(1, 0x90, 6), true, "写入失败：传感器拒绝写入（异常码 06：从站设备忙）",
       "通信中"},
      {"poll refused", exception(1, 0x83, 2), false, "", "异常应答"},
      {"another slave's exception", exception(2, 0x90, 3), false, "", "通信中"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkState s;
    RecordingWindow w;
    Deliver(s, w, Reply(SampleBlock(), 1), 0);
    QueueWrite(s, WriteFilter(1, 33), Filter);
    WriteCycleTick(s, w);
    SearchPollTick(s, w);
    Deliver(s, w, c.reply, 2000);
    EXPECT_EQ(w.commStateText, c.commState);
    EXPECT_EQ(s.rxCount, c.reply[0] == 1 ? 0 : 5) << "only our sensor's exception leaves the buffer";
    const std::size_t sentBefore = w.sent.size();
    WriteCycleTick(s, w);
    EXPECT_EQ(s.pendingWriteReg == 0, c.writeDropped);
    EXPECT_EQ(w.sent.size(), sentBefore + (c.writeDropped ? 0 : 1));
    EXPECT_EQ(w.messages, c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
    WriteCycleTick(s, w);
    EXPECT_EQ(w.messages.size(), c.message.empty() ? 0u : 1u) << "reported once";
    // An answer, even an empty one, is not silence.
    SearchPollTick(s, w);
    if (c.commState == "异常应答") {
      EXPECT_FALSE(s.replyOverdue);
    }
  }

  // A corrupted exception reply refuses nothing.
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  QueueWrite(s, WriteFilter(1, 33), Filter);
  Bytes bad = exception(1, 0x90, 3);
  bad[4] ^= 0x01;
  Deliver(s, w, bad, 0);
  WriteCycleTick(s, w);
  EXPECT_EQ(s.pendingWriteReg, Filter);
  EXPECT_TRUE(w.messages.empty());
}

TEST(ReceivePath, SilenceWhileConnectedMarksTheValuesOld) {
  LinkState s;
  RecordingWindow w;
  Deliver(s, w, Reply(SampleBlock(), 1), 0);
  SearchPollTick(s, w);  // the reply that connected counts for this period
  EXPECT_FALSE(s.replyOverdue);
  Deliver(s, w, Reply(SampleBlock(), 1), 2100);
  SearchPollTick(s, w);
  EXPECT_FALSE(s.replyOverdue);
  EXPECT_EQ(w.commStateText, "通信中");

  SearchPollTick(s, w);  // a whole period without a reply
  EXPECT_TRUE(s.replyOverdue);
  EXPECT_EQ(w.commStateText, "无应答");
  SearchPollTick(s, w);
  EXPECT_EQ(std::count(w.events.begin(), w.events.end(), LinkEventKind::NoReply), 1) << "reported once";

  Deliver(s, w, Reply(SampleBlock(), 1), 9000);
  EXPECT_FALSE(s.replyOverdue);
  EXPECT_EQ(w.commStateText, "通信中");

  // While searching there is nothing to be old.
  LinkState searching;
  RecordingWindow sw;
  for (int i = 0; i < 3; ++i) SearchPollTick(searching, sw);
  EXPECT_FALSE(searching.replyOverdue);
  EXPECT_TRUE(sw.events.empty());
}

TEST(ReceivePath, SilenceResetsThePortAndDropsThePendingWrite) {
  LinkState s;
  RecordingWindow w;
  Deliver(s, w, Reply(SampleBlock(), 1), 0);
  QueueWrite(s, WriteFilter(1, 10), Filter);
  for (int i = 0; i < 4; ++i) SearchPollTick(s, w);
  EXPECT_EQ(s.missedPolls, 4);

  const int rxCountBefore = s.rxCount;
  Deliver(s, w, Hex("5A"), 9000);  // one byte of noise
  EXPECT_EQ(w.portResets, 1);
  EXPECT_EQ(s.missedPolls, 0);
  EXPECT_EQ(s.pendingWriteReg, 0);
  EXPECT_EQ(s.rxCount, rxCountBefore) << "the byte is lost with the closed port";

  const std::size_t sentBefore = w.sent.size();
  WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), sentBefore) << "a dropped write is not sent again";
  EXPECT_TRUE(w.messages.empty());

  // Three missed polls are not yet silence.
  LinkState three;
  RecordingWindow tw;
  three.deviceFound = true;
  for (int i = 0; i < 3; ++i) SearchPollTick(three, tw);
  Deliver(three, tw, Hex("5A"), 0);
  EXPECT_EQ(tw.portResets, 0);
  EXPECT_EQ(three.missedPolls, 0);
}

TEST(WriteCycle, SendsRepeatsAndConfirmsTheWriteByItsEcho) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  s.deviceFound = s.sensorConnected = true;

  WriteCycleTick(s, w);
  EXPECT_TRUE(w.sent.empty()) << "nothing pending, nothing sent";

  const RtuFrame frame = WriteFilter(1, 10);
  QueueWrite(s, frame, Filter);
  WriteCycleTick(s, w);
  WriteCycleTick(s, w);
  ASSERT_EQ(w.sent.size(), 2u);
  EXPECT_EQ(w.sent[0], frame);
  EXPECT_EQ(w.sent[1], frame);

  // An echo for another register: our frame goes out again.
  Deliver(s, w, BuildWriteEcho(1, Pressure, 2), 0);
  WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), 3u);
  EXPECT_FALSE(s.writeAcked);

  Deliver(s, w, BuildWriteEcho(1, Filter, 1), 1000);
  WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), 3u);
  EXPECT_EQ(w.messages, std::vector<std::string>{"操作成功"});
  EXPECT_EQ(s.pendingWriteReg, 0);
  EXPECT_FALSE(s.writeAcked);
  EXPECT_EQ(w.timerStops, 0);
  EXPECT_TRUE(s.sensorConnected);

  WriteCycleTick(s, w);
  EXPECT_EQ(w.messages.size(), 1u);
}

TEST(WriteCycle, AWriteNeverEchoedIsGivenUpAfterTenSends) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  s.deviceFound = s.sensorConnected = true;
  QueueWrite(s, WriteFilter(1, 10), Filter);
  for (int tick = 0; tick < 10; ++tick) WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), 10u);
  EXPECT_TRUE(w.messages.empty());
  WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), 10u);
  EXPECT_EQ(w.messages, std::vector<std::string>{"写入失败：传感器无应答"});
  EXPECT_EQ(s.pendingWriteReg, 0);
  WriteCycleTick(s, w);
  EXPECT_EQ(w.sent.size(), 10u);
  EXPECT_EQ(w.messages.size(), 1u);

  // An echo of another register is no answer to ours: still ten sends in all.
  LinkState o;
  RecordingWindow ow;
  o.currentAddress = 1;
  QueueWrite(o, WriteFilter(1, 10), Filter);
  for (int tick = 0; tick < 12; ++tick) {
    Deliver(o, ow, BuildWriteEcho(1, Pressure, 2), 1000 * tick);
    WriteCycleTick(o, ow);
  }
  EXPECT_EQ(ow.sent.size(), 10u);
  EXPECT_EQ(ow.messages, std::vector<std::string>{"写入失败：传感器无应答"});
}

TEST(WriteCycle, AUnitChangeGoesToTheConnectedAddress) {
  struct Case {
    bool connected;
    std::uint16_t shown;
    std::uint8_t expected;
  };
  const Case cases[] = {{true, 0, 7}, {true, 9, 7}, {true, 7, 7}, {false, 9, 9}};
  for (const Case& c : cases) {
    LinkState s;
    s.currentAddress = 7;
    s.deviceFound = s.sensorConnected = c.connected;
    EXPECT_EQ(UnitChangeAddress(s, c.shown), c.expected) << "shown " << c.shown;
  }
}

TEST(WriteCycle, AConfirmedAddressChangeDropsTheConnection) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  s.manualAddressing = false;
  QueueWrite(s, WriteDeviceAddress(1, 7), DeviceAddress);
  WriteCycleTick(s, w);
  Deliver(s, w, BuildWriteEcho(1, DeviceAddress, 1), 0);
  WriteCycleTick(s, w);
  EXPECT_EQ(w.timerStops, 1);
  EXPECT_EQ(w.notConnectedShown, 1);
  EXPECT_FALSE(s.sensorConnected);
  EXPECT_FALSE(s.deviceFound);
  EXPECT_TRUE(s.manualAddressing);
  EXPECT_EQ(s.currentAddress, 0);
  EXPECT_EQ(w.messages, std::vector<std::string>{"操作成功"});
}

TEST(WriteCycle, StrayAndStaleEchoesConfirmNothing) {
  // A stray echo with nothing pending: noted, nothing sent or shown.
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 1;
  Deliver(s, w, Hex("01 10 00 22 00 01 A1 C3"), 0);
  EXPECT_TRUE(s.writeAcked);
  WriteCycleTick(s, w);
  EXPECT_TRUE(w.sent.empty());
  EXPECT_TRUE(w.messages.empty());

  // A late echo of an earlier write to the same register must not confirm a
  // new write to that register that was never sent.
  QueueWrite(s, RestoreFactoryCal(1), Command);
  WriteCycleTick(s, w);
  ASSERT_EQ(w.sent.size(), 1u);
  EXPECT_EQ(w.sent[0], RestoreFactoryCal(1));
  EXPECT_TRUE(w.messages.empty());
}

TEST(SearchPoll, WalksTheAddressesThenPollsTheFoundOne) {
  LinkState s;
  RecordingWindow w;
  for (int i = 0; i < 3; ++i) SearchPollTick(s, w);
  ASSERT_EQ(w.sent.size(), 3u);
  EXPECT_EQ(w.sent[0], PollBlock(0));
  EXPECT_EQ(w.sent[2], PollBlock(2));
  EXPECT_EQ(w.addressesShown, (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(s.currentAddress, 3);

  // Past 254 the operator is told, and the walk goes on through 255 and 0.
  s.currentAddress = 254;
  SearchPollTick(s, w);
  EXPECT_EQ(w.messages, std::vector<std::string>{"未搜索到设备。"});
  SearchPollTick(s, w);
  EXPECT_EQ(s.currentAddress, 0);
  SearchPollTick(s, w);
  EXPECT_EQ(w.messages.size(), 1u);
  EXPECT_EQ(w.sent.back(), PollBlock(0));

  Deliver(s, w, Reply(SampleBlock(), 5), 0);
  SearchPollTick(s, w);
  SearchPollTick(s, w);
  EXPECT_EQ(w.sent.back(), PollBlock(5));
  EXPECT_EQ(s.currentAddress, 5);
  EXPECT_EQ(s.missedPolls, 2);
}

TEST(LineFaults, ALostOrExtraByteSpoilsOnlyItsOwnReply) {
  const RegisterBlock block = SampleBlock();
  const Bytes clean = Reply(block, 1);

  // One byte dropped: that reply is rejected, the next one two seconds later is accepted.
  LinkState s;
  RecordingWindow w;
  std::int64_t ms = 0;
  ms = DeliverByteByByte(s, w, clean, ms);
  Bytes dropped = clean;
  dropped.erase(dropped.begin() + 40);
  ms = DeliverByteByByte(s, w, dropped, ms + 2000);
  RegisterBlock changed = block;
  changed.SetFloat(DoValue, 7.25f);
  const Bytes next = Reply(changed, 1);
  ms = DeliverByteByByte(s, w, next, ms + 2000);
  EXPECT_FALSE(s.crcError);
  EXPECT_EQ(FirstBytes(s, next.size()), next);
  EXPECT_EQ(s.rxCount, 0);

  // One byte added: the verdict fails on that reply only.
  LinkState t;
  RecordingWindow tw;
  Bytes extra = clean;
  extra.insert(extra.begin() + 30, 0x00);
  ms = DeliverByteByByte(t, tw, extra, 0);
  EXPECT_TRUE(t.crcError);
  ms = DeliverByteByByte(t, tw, next, ms + 2000);
  EXPECT_FALSE(t.crcError);
  EXPECT_EQ(FirstBytes(t, next.size()), next);
  EXPECT_EQ(tw.commStateText, "通信中");
}

TEST(LineFaults, NoByteSequenceLeavesTheBuffer) {
  std::mt19937 rng(12345);
  const Bytes reply = Reply(SampleBlock(), 1);
  for (int round = 0; round < 50; ++round) {
    LinkState s;
    RecordingWindow w;
    s.currentAddress = static_cast<std::uint8_t>(rng() % 3);
    std::int64_t ms = 0;
    for (int event = 0; event < 40; ++event) {
      Bytes bytes(rng() % 3000);  // events far beyond 1000 bytes too
      for (auto& b : bytes) {
        // Bias towards bytes that match headers, echoes and the device type.
        const std::uint8_t pick[] = {0x00, 0x01, 0x02, 0x03, 0x10, 0x48, static_cast<std::uint8_t>(rng())};
        b = pick[rng() % 7];
      }
      if (rng() % 4 == 0) bytes.insert(bytes.end(), reply.begin(), reply.end());
      const RtuFrame pending = s.pendingWrite;
      Deliver(s, w, bytes, ms);
      ASSERT_GE(s.rxCount, 0);
      ASSERT_LT(s.rxCount, 77);
      ASSERT_EQ(s.pendingWrite, pending) << "received bytes never change the pending write";
      ms += rng() % 300;
    }
  }
}
