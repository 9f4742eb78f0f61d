// A checked reply from another slave while the sensor is connected: the soak
// found that following its address leaves every later poll unanswered.
#include <gtest/gtest.h>

#include "protocol/registers.h"
#include "recording_window.h"

namespace {

using protocol::LinkState;
using protocol::RegisterBlock;

RegisterBlock Block(float doValue) {
  RegisterBlock b;
  b.SetFloat(protocol::DoValue, doValue);
  b.regs[protocol::DeviceType] = 2;
  return b;
}

void Deliver(LinkState& s, RecordingWindow& w, const protocol::RtuFrame& bytes, std::int64_t ms) {
  protocol::OnCommEvent(s, w, protocol::kCommEventReceive, bytes.data(), bytes.size(), ms);
}

}  // namespace

TEST(ForeignReply, ConnectedLinkKeepsItsSensor) {
  LinkState s;
  RecordingWindow w;
  s.currentAddress = 4;  // the search has moved past the sensor at 3
  Deliver(s, w, Block(7.0f).PollReply(3), 0);
  ASSERT_TRUE(s.deviceFound);
  ASSERT_EQ(s.currentAddress, 3);
  const auto accepted = s.repliesAccepted;
  const auto rejected = s.repliesRejected;

  // Slave 4 answers with a good CRC and the same device type.
  const protocol::RtuFrame foreign = Block(9.0f).PollReply(4);
  Deliver(s, w, foreign, 2000);
  EXPECT_EQ(s.currentAddress, 3);
  EXPECT_EQ(protocol::DecodeFloat(s.rxBuf.data(), protocol::DoValue), 7.0f) << "its data stays out of rxBuf";
  EXPECT_EQ(s.repliesAccepted, accepted);
  EXPECT_EQ(s.repliesRejected, rejected + 1);

  // The next poll still goes to the sensor, whose reply is taken.
  protocol::SearchPollTick(s, w);
  EXPECT_EQ(w.sent.back(), protocol::PollBlock(3));
  Deliver(s, w, Block(7.5f).PollReply(3), 4000);
  EXPECT_EQ(protocol::DecodeFloat(s.rxBuf.data(), protocol::DoValue), 7.5f);
  EXPECT_EQ(s.repliesAccepted, accepted + 1);
  EXPECT_FALSE(s.crcError);
}
