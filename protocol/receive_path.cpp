#include "protocol/receive_path.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "protocol/crc16.h"
#include "protocol/registers.h"

namespace protocol {

void QueueWrite(LinkState& state, RtuFrame frame, std::uint8_t reg) {
  state.writeRefusal = 0;  // about the write this one replaces
  state.pendingWrite = std::move(frame);
  state.pendingWriteReg = reg;
  state.pendingWriteSends = 0;
  // A late echo of an earlier write to the same register must not confirm a
  // write that has not been sent yet.
  state.writeAcked = false;
  if (state.writeQueued) state.writeQueued(state.pendingWrite, reg);
}

namespace {

// Replies from other slaves are refused once the link knows its sensor: when
// the operator gave the address, or after the search found it.
bool AddressIsHeld(const LinkState& state) { return state.addressHeld || state.deviceFound; }

void DropPendingWrite(LinkState& state) {
  state.pendingWriteReg = 0;
  state.pendingWriteSends = 0;
  state.writeEcho[3] = 0;
  state.writeAcked = false;
}

void Accept(LinkState& state, LinkWindow& window, const std::uint8_t* reply) {
  state.crcError = false;
  std::copy(reply, reply + kPollReplyLength, state.rxBuf.begin());
  ++state.repliesAccepted;
  // Recognition waits for the check: a corrupted address byte must not send
  // every later poll to an address nobody answers.
  if (!state.deviceFound) window.RestartPollTimer(kPollPeriodMs);
  if (!state.addressHeld) state.currentAddress = reply[0];
  state.deviceFound = true;
  state.sensorConnected = true;
  state.replyOverdue = false;
  state.acceptedSincePoll = true;
  window.Report({LinkEventKind::ReplyAccepted, reply[0], 0});
  // Both views of the received bytes start afresh after a reply.
  state.rxCount = 0;
  state.rxWindowCount = 0;
}

// The last kPollReplyLength bytes are a checked reply of this sensor type
// from the address the link may take.
bool WindowHoldsReply(const LinkState& state) {
  if (state.rxWindowCount != static_cast<int>(kPollReplyLength)) return false;
  const std::uint8_t* w = state.rxWindow.data();
  if (w[1] != kFunctionReadHolding || w[2] != kPollByteCount) return false;
  if (AddressIsHeld(state) && w[0] != state.currentAddress) return false;
  return ClassifyPollReply(state, w) == ReplyVerdict::Accepted;
}

// Echoes and exception replies leave the framed reply; the window of raw
// bytes keeps them, so it still sees a reply whose data happen to look like
// one of those frames.
void DropLastBytes(LinkState& state, int n) { state.rxCount -= n; }

}  // namespace

ReplyVerdict ClassifyPollReply(const LinkState& state, const std::uint8_t* reply) {
  if (!HasValidCrc(reply, kPollReplyLength)) return ReplyVerdict::CrcError;
  if (reply[kDeviceTypeOffset] != kSensorDeviceType) return ReplyVerdict::UnknownDevice;
  // A checked reply from another slave while this sensor is held is not this
  // sensor's data. Following its address would send every later poll (and
  // every write) to a slave that was never chosen.
  if (AddressIsHeld(state) && reply[0] != state.currentAddress) return ReplyVerdict::ForeignAddress;
  if (reply[1] != kFunctionReadHolding) return ReplyVerdict::NotAPollReply;
  return ReplyVerdict::Accepted;
}

void OnCommEvent(LinkState& state, LinkWindow& window, int commEvent,
                 const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
  window.PullControls();

  if (state.missedPolls > kMissedPollsBeforeReset) {
    // The sensor stopped answering: drop the outstanding write and reopen the
    // port. The bytes of this event are lost with the closed port.
    DropPendingWrite(state);
    state.missedPolls = 0;
    window.BeginPortReset();
    return;
  }

  if (commEvent != kCommEventReceive) return;
  state.missedPolls = 0;
  if (count == 0) return;

  // Bytes after a silence longer than any gap inside a reply begin a new
  // reply, so one lost or extra byte cannot misalign every later reply.
  if (state.lastRxMs != LinkState::kNever && nowMs - state.lastRxMs > kFrameGapMs) {
    state.rxCount = 0;
    state.rxWindowCount = 0;
  }
  state.lastRxMs = nowMs;

  for (std::size_t i = 0; i < count; ++i) ProcessByte(state, window, bytes[i]);

  if (!state.crcError) window.PushControls();
}

void ProcessByte(LinkState& state, LinkWindow& window, std::uint8_t byte) {
  auto& buf = state.rxFrame;
  // rxCount never leaves 0..76 between bytes; guard anyway so no sequence of
  // calls can write outside the buffers.
  if (state.rxCount < 0 || state.rxCount >= static_cast<int>(kPollReplyLength)) state.rxCount = 0;
  if (state.rxWindowCount < 0 || state.rxWindowCount > static_cast<int>(kPollReplyLength))
    state.rxWindowCount = 0;

  buf[state.rxCount] = byte;
  ++state.rxCount;
  const int last = state.rxCount - 1;

  if (state.rxWindowCount == static_cast<int>(kPollReplyLength)) {
    std::memmove(state.rxWindow.data(), state.rxWindow.data() + 1, kPollReplyLength - 1);
    --state.rxWindowCount;
  }
  state.rxWindow[state.rxWindowCount++] = byte;

  // A checked reply in the last bytes is this sensor's data, wherever the
  // framing below had put the start of the reply.
  if (WindowHoldsReply(state)) {
    Accept(state, window, state.rxWindow.data());
    return;
  }

  // Verdict on the 77th byte of a poll reply.
  if (last == static_cast<int>(kPollReplyLength) - 1) {
    switch (ClassifyPollReply(state, buf.data())) {
      case ReplyVerdict::Accepted:
        Accept(state, window, buf.data());
        return;
      case ReplyVerdict::CrcError:
        ++state.repliesRejected;
        state.crcError = true;
        window.Report({LinkEventKind::CrcError, buf[0], 0});
        break;
      case ReplyVerdict::UnknownDevice:
        ++state.repliesRejected;
        window.Report({LinkEventKind::UnknownDevice, buf[0], 0});
        break;
      case ReplyVerdict::ForeignAddress:
        ++state.repliesRejected;
        window.Report({LinkEventKind::ForeignAddress, buf[0], 0});
        break;
      case ReplyVerdict::NotAPollReply:
        break;
    }
  }

  // The 8-byte echo of a write, with a valid CRC so that noise cannot confirm
  // a write: recorded and taken out of the buffer.
  if (last >= 7 && buf[last - 7] == state.currentAddress && buf[last - 6] == kFunctionWriteMultiple &&
      buf[last - 5] == 0 && buf[last - 3] == 0 && HasValidCrc(&buf[last - 7], 8)) {
    std::copy(buf.begin() + (last - 7), buf.begin() + (last - 2), state.writeEcho.begin());
    state.writeAcked = true;
    DropLastBytes(state, 8);
    return;
  }

  // An exception reply from our sensor, checked by its CRC and taken out of
  // the buffer. To the pending write it ends that write at once: repeating a
  // refused write only gets it refused again.
  if (last >= 4 && buf[last - 4] == state.currentAddress && HasValidCrc(&buf[last - 4], kExceptionReplyLength)) {
    const std::uint8_t function = buf[last - 3];
    const std::uint8_t code = buf[last - 2];
    if (function == (kFunctionWriteMultiple | kExceptionBit)) {
      DropLastBytes(state, static_cast<int>(kExceptionReplyLength));
      if (state.pendingWriteReg != 0) {
        // Reported by the write cycle, outside the receive path: a message
        // box must not open in the middle of received bytes.
        state.writeRefusal = code == 0 ? 0x100 : code;
        state.writeRefusalAddress = state.pendingWrite.empty() ? state.currentAddress : state.pendingWrite[0];
        DropPendingWrite(state);
      }
      return;
    }
    if (function == (kFunctionReadHolding | kExceptionBit)) {
      DropLastBytes(state, static_cast<int>(kExceptionReplyLength));
      // The sensor is there and answering, it just has no values for us.
      state.crcError = false;
      state.replyOverdue = false;
      state.acceptedSincePoll = true;
      window.Report({LinkEventKind::PollException, state.currentAddress, code});
      return;
    }
  }

  // A reply header found mid-buffer restarts the reply, but only when the
  // bytes gathered so far cannot become a reply themselves: a reply whose data
  // contain the header bytes must not be cut short by them.
  const bool startsAsReply = buf[0] == state.currentAddress && buf[1] == kFunctionReadHolding &&
                             buf[2] == kPollByteCount;
  if (last > 2 && !startsAsReply && buf[last - 2] == state.currentAddress &&
      buf[last - 1] == kFunctionReadHolding && buf[last] == kPollByteCount) {
    buf[0] = buf[last - 2];
    buf[1] = buf[last - 1];
    buf[2] = buf[last];
    state.rxCount = 3;
  } else if (state.rxCount > static_cast<int>(kPollReplyLength) - 1) {
    state.rxCount = 0;  // reply complete; the next byte starts a new one
  }
}

void WriteCycleTick(LinkState& state, LinkWindow& window) {
  if (state.writeRefusal != 0) {
    const LinkEvent refused{LinkEventKind::WriteRefused, state.writeRefusalAddress,
                            static_cast<std::uint8_t>(state.writeRefusal & 0xFF)};
    state.writeRefusal = 0;
    window.Report(refused);
    return;
  }
  if (state.pendingWriteReg == 0) return;

  if (state.writeAcked && state.writeEcho[1] == kFunctionWriteMultiple &&
      state.writeEcho[3] == state.pendingWriteReg) {
    if (state.pendingWriteReg == DeviceAddress) {
      // The sensor now listens at its new address: drop the connection so the
      // operator searches again.
      window.StopPollAndDisplayTimers();
      state.sensorConnected = false;
      state.deviceFound = false;
      state.addressHeld = false;
      state.manualAddressing = true;
      state.currentAddress = 0;
      window.ShowNotConnected();
    }
    const std::uint8_t address = state.pendingWrite.empty() ? 0 : state.pendingWrite[0];
    DropPendingWrite(state);
    window.Report({LinkEventKind::WriteConfirmed, address, 0});
    return;
  }

  if (state.pendingWriteSends >= kMaxWriteSends) {
    const std::uint8_t address = state.pendingWrite.empty() ? 0 : state.pendingWrite[0];
    DropPendingWrite(state);
    window.Report({LinkEventKind::WriteUnanswered, address, 0});
    return;
  }

  // Not confirmed yet (or an echo for some other register): send ours again.
  state.writeAcked = false;
  ++state.pendingWriteSends;
  window.SendFrame(state.pendingWrite);
}

void SearchPollTick(LinkState& state, LinkWindow& window) {
  if (state.deviceFound) {
    // A whole poll period without an accepted reply: what is shown is old.
    if (!state.acceptedSincePoll && !state.replyOverdue) {
      state.replyOverdue = true;
      window.Report({LinkEventKind::NoReply, state.currentAddress, 0});
    }
    state.acceptedSincePoll = false;
  }
  window.SendFrame(PollBlock(state.currentAddress));
  window.SetAddressShown(state.currentAddress);
  if (state.deviceFound) {
    // Saturate: days of silence without a single event must not wrap the count.
    if (state.missedPolls < 1000) ++state.missedPolls;
    return;
  }
  if (state.addressHeld) return;  // a given address is polled, never walked past
  ++state.currentAddress;  // one byte: 255 wraps to 0
  window.PushControls();
  if (state.currentAddress > 254) window.Report({LinkEventKind::SearchExhausted, 0, 0});
}

std::uint8_t UnitChangeAddress(const LinkState& state, std::uint16_t addressShown) {
  if (state.deviceFound && addressShown != state.currentAddress) return state.currentAddress;
  return static_cast<std::uint8_t>(addressShown & 0xFF);
}

}  // namespace protocol
