#include "protocol/receive_path.h"

#include <algorithm>
#include <utility>

#include "protocol/crc16.h"
#include "protocol/registers.h"
#include "protocol/texts.h"

namespace protocol {

void QueueWrite(LinkState& state, RtuFrame frame, std::uint8_t reg) {
  state.pendingWrite = std::move(frame);
  state.pendingWriteReg = reg;
  // A late echo of an earlier write to the same register must not confirm a
  // write that has not been sent yet.
  state.writeAcked = false;
}

void OnCommEvent(LinkState& state, LinkWindow& window, int commEvent,
                 const std::uint8_t* bytes, std::size_t count, std::int64_t nowMs) {
  window.PullControls();

  if (state.missedPolls > kMissedPollsBeforeReset) {
    // The sensor stopped answering: drop the outstanding write and reopen the
    // port. The bytes of this event are lost with the closed port.
    state.pendingWriteReg = 0;
    state.writeEcho[3] = 0;
    state.missedPolls = 0;
    window.BeginPortReset();
    return;
  }

  if (commEvent != kCommEventReceive) return;
  state.missedPolls = 0;
  if (count == 0) return;

  // Bytes after a silence longer than any gap inside a reply begin a new
  // reply, so one lost or extra byte cannot misalign every later reply.
  if (state.lastRxMs != LinkState::kNever && nowMs - state.lastRxMs > kFrameGapMs)
    state.rxCount = 0;
  state.lastRxMs = nowMs;

  for (std::size_t i = 0; i < count; ++i) ProcessByte(state, window, bytes[i]);

  if (!state.crcError) window.PushControls();
}

void ProcessByte(LinkState& state, LinkWindow& window, std::uint8_t byte) {
  auto& buf = state.rxFrame;
  // rxCount never leaves 0..76 between bytes; guard anyway so no sequence of
  // calls can write outside the buffer.
  if (state.rxCount < 0 || state.rxCount >= static_cast<int>(kPollReplyLength)) state.rxCount = 0;

  buf[state.rxCount] = byte;
  ++state.rxCount;
  const int last = state.rxCount - 1;

  // Verdict on the 77th byte of a poll reply.
  if (last == static_cast<int>(kPollReplyLength) - 1) {
    const std::uint16_t crc = Crc16Modbus(buf.data(), kPollReplyLength - 2);
    const bool crcMatches = buf[75] == (crc & 0xFF) && buf[76] == (crc >> 8);
    if (!crcMatches) {
      ++state.repliesRejected;
      state.crcError = true;
      window.SetCommStateText(texts::kCheckError);
    } else if (buf[kDeviceTypeOffset] != kSensorDeviceType) {
      ++state.repliesRejected;
      window.SetCommStateText(texts::kUnknownDevice);
    } else if (state.deviceFound && buf[0] != state.currentAddress) {
      // A checked reply from another slave while this sensor is connected is
      // not this sensor's data. Following its address would send every later
      // poll to a slave that never answers, and without replies the silence
      // reset never comes: the link would stay dead.
      ++state.repliesRejected;
    } else {
      state.crcError = false;
      if (buf[1] == kFunctionReadHolding) {
        std::copy(buf.begin(), buf.begin() + kPollReplyLength, state.rxBuf.begin());
        ++state.repliesAccepted;
        // Recognition waits for the check: a corrupted address byte must not
        // send every later poll to an address nobody answers.
        if (!state.deviceFound) window.RestartPollTimer(kPollPeriodMs);
        state.currentAddress = buf[0];
        state.deviceFound = true;
        state.sensorConnected = true;
        window.SetCommStateText(texts::kCommunicating);
      }
    }
  }

  // The 8-byte echo of a write, with a valid CRC so that noise cannot confirm
  // a write: recorded and taken out of the buffer.
  if (last >= 7 && buf[last - 7] == state.currentAddress && buf[last - 6] == kFunctionWriteMultiple &&
      buf[last - 5] == 0 && buf[last - 3] == 0 && HasValidCrc(&buf[last - 7], 8)) {
    std::copy(buf.begin() + (last - 7), buf.begin() + (last - 2), state.writeEcho.begin());
    state.writeAcked = true;
    state.rxCount -= 8;
  }

  // A reply header found mid-buffer restarts the reply.
  if (last >= 2 && last != 2 && buf[last - 2] == state.currentAddress &&
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
  if (state.pendingWriteReg == 0) return;

  if (state.writeAcked && state.writeEcho[1] == kFunctionWriteMultiple &&
      state.writeEcho[3] == state.pendingWriteReg) {
    if (state.pendingWriteReg == DeviceAddress) {
      // The sensor now listens at its new address: drop the connection so the
      // operator searches again.
      window.StopPollAndDisplayTimers();
      state.sensorConnected = false;
      state.deviceFound = false;
      state.manualAddressing = true;
      state.currentAddress = 0;
      window.ShowNotConnected();
    }
    state.pendingWriteReg = 0;
    state.writeEcho[3] = 0;
    state.writeAcked = false;
    window.ShowMessage(texts::kOperationSucceeded);
    return;
  }

  if (state.writeAcked) {
    // An echo for some other register: send ours again.
    window.SendFrame(state.pendingWrite);
    state.writeAcked = false;
    return;
  }

  window.SendFrame(state.pendingWrite);
}

void SearchPollTick(LinkState& state, LinkWindow& window) {
  window.SendFrame(PollBlock(state.currentAddress));
  window.SetAddressShown(state.currentAddress);
  if (state.deviceFound) {
    // Saturate: days of silence without a single event must not wrap the count.
    if (state.missedPolls < 1000) ++state.missedPolls;
    return;
  }
  ++state.currentAddress;  // one byte: 255 wraps to 0
  window.PushControls();
  if (state.currentAddress > 254) window.ShowMessage(texts::kNoDeviceFound);
}

}  // namespace protocol
