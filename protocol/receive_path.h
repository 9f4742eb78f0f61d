#pragma once
#include <cstddef>
#include <cstdint>

#include "protocol/link_state.h"

namespace protocol {

constexpr int kCommEventReceive = 2;
constexpr int kSearchPeriodMs = 600;
constexpr int kPollPeriodMs = 2000;
constexpr int kDisplayPeriodMs = 1000;
constexpr int kWritePeriodMs = 900;
constexpr int kPortResetWaitMs = 900;
constexpr int kMissedPollsBeforeReset = 3;
// Bytes that arrive after the line was silent this long start a new reply.
// Replies come about 2 s apart; the gaps inside one stay far below this even
// through USB adapters that deliver in 16 ms chunks.
constexpr std::int64_t kFrameGapMs = 100;

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
  virtual void SetCommStateText(const char* text) = 0;
  virtual void SetAddressShown(std::uint8_t address) = 0;
  virtual void ShowMessage(const char* text) = 0;
  virtual void SendFrame(const RtuFrame& frame) = 0;
};

// One event of the serial component: `bytes` arrived at `nowMs`.
void OnCommEvent(LinkState& state, LinkWindow& window, int commEvent,
                 const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs);

// The byte steps for one received byte.
void ProcessByte(LinkState& state, LinkWindow& window, std::uint8_t byte);

// A tick of the pending-write timer: send, repeat or confirm the pending write.
void WriteCycleTick(LinkState& state, LinkWindow& window);

// A tick of the search/poll timer: poll the current address; while searching,
// move on to the next address.
void SearchPollTick(LinkState& state, LinkWindow& window);

}  // namespace protocol
