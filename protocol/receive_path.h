#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/link_events.h"
#include "protocol/link_state.h"

namespace protocol {

constexpr int kCommEventReceive = 2;
constexpr int kSearchPeriodMs = 600;
constexpr int kPollPeriodMs = 2000;
constexpr int kDisplayPeriodMs = 1000;
constexpr int kWritePeriodMs = 900;
constexpr int kPortResetWaitMs = 900;
constexpr int kMissedPollsBeforeReset = 3;
// A write still unanswered after this many sends is given up and reported:
// a sensor that stays silent for 9 s will not answer the tenth repeat either.
constexpr int kMaxWriteSends = 10;
// Bytes that arrive after the line was silent this long start a new reply.
// Replies come about 2 s apart; the gaps inside one stay far below this even
// through USB adapters that deliver in 16 ms chunks.
constexpr std::int64_t kFrameGapMs = 100;

// MODBUS function codes with the exception bit, as a slave answers a request
// it refuses: [address, function | 0x80, code, CRC].
constexpr std::uint8_t kExceptionBit = 0x80;
constexpr std::size_t kExceptionReplyLength = 5;

// What the receive path and the timers do to the window that owns the link.
class LinkWindow {
 public:
  virtual ~LinkWindow() = default;
  virtual void PullControls() = 0;   // control contents into the members
  virtual void PushControls() = 0;   // members into the controls
  virtual void RestartPollTimer(int periodMs) = 0;
  virtual void StopPollAndDisplayTimers() = 0;
  // Close the port now and reopen it after kPortResetWaitMs without blocking.
  virtual void BeginPortReset() = 0;
  // Values 0, "未连接", an empty second status and "无连接", pushed to the controls.
  virtual void ShowNotConnected() = 0;
  virtual void SetAddressShown(std::uint8_t address) = 0;
  // Something happened on the link; the window chooses what to show.
  virtual void Report(const LinkEvent& event) = 0;
  virtual void SendFrame(const RtuFrame& frame) = 0;
};

// The verdict on a complete, framed poll reply.
enum class ReplyVerdict {
  Accepted,        // this sensor's data
  CrcError,
  UnknownDevice,   // checked, but another device type
  ForeignAddress,  // checked, but from another slave than the held one
  NotAPollReply,   // checked, but not a reply to the block poll
};

// The one rule for a reply of kPollReplyLength bytes, shared by the receive
// path and the traffic monitor so that their counts cannot differ.
ReplyVerdict ClassifyPollReply(const LinkState& state, const std::uint8_t* reply);

// One event of the serial component: `bytes` arrived at `nowMs`.
void OnCommEvent(LinkState& state, LinkWindow& window, int commEvent,
                 const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs);

// The byte steps for one received byte.
void ProcessByte(LinkState& state, LinkWindow& window, std::uint8_t byte);

// A tick of the pending-write timer: send, repeat, confirm or give up the
// pending write.
void WriteCycleTick(LinkState& state, LinkWindow& window);

// A tick of the search/poll timer: poll the current address; while searching,
// move on to the next address.
void SearchPollTick(LinkState& state, LinkWindow& window);

// The address a unit change goes to. The configuration window shows the
// sensor's own address register, which may read 0 (a broadcast nobody
// echoes) or differ from the address the link talks to; then the connected
// address is the only one that answers.
std::uint8_t UnitChangeAddress(const LinkState& state, std::uint16_t addressShown);

}  // namespace protocol
