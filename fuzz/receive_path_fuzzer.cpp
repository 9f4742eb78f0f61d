// Fuzz target: the receive path with the pending-write and search/poll timers.
//
// The input is a script of operations. Each starts with one byte whose value
// modulo 8 selects it:
//   0, 1, 2  receive event: a count byte, a gap byte, then `count` bytes
//   3        tick of the pending-write timer
//   4        tick of the search/poll timer
//   5        a value entry queues a write: a request byte, four value bytes
//   6        a serial event other than "data received": an event byte
//   7        a well-formed frame as one receive event: a kind byte, a gap
//            byte and a corruption byte (see DeliverFrame)
// A gap byte g is the silence before the event: g ms below 128, otherwise
// (g - 127) * 40 ms, so both gaps inside a reply and gaps between replies occur.
//
// After every operation the target checks what the rest of the program relies
// on: where the next byte goes stays inside the frame buffer, the pending write
// is changed only by the entry dialogs, the shared reply buffer only ever holds
// a reply of this sensor that passed its CRC, nothing is sent but polls and the
// exact queued write, a write is reported done only after its echo came and
// given up only after its tenth unanswered send or the sensor's refusal, and
// every CRC-valid reply from the expected address with device type 2 is
// accepted, wherever it begins in the received bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "protocol/link_state.h"
#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

using namespace protocol;

namespace {

// Counts what the receive path and the timers ask of the window.
class CountingWindow : public LinkWindow {
 public:
  void PullControls() override {}
  void PushControls() override {}
  void RestartPollTimer(int) override {}
  void StopPollAndDisplayTimers() override {}
  void BeginPortReset() override { ++portResets; }
  void ShowNotConnected() override {}
  void SetAddressShown(std::uint8_t) override {}
  void Report(const LinkEvent& event) override {
    switch (event.kind) {
      case LinkEventKind::WriteConfirmed:
      case LinkEventKind::WriteRefused:
      case LinkEventKind::WriteUnanswered:
      case LinkEventKind::SearchExhausted:
        messages.push_back(event.kind);
        break;
      default:
        break;
    }
  }
  void SendFrame(const RtuFrame& frame) override { sent.push_back(frame); }

  int portResets = 0;
  std::vector<LinkEventKind> messages;  // the events an operator is shown a box for
  std::vector<RtuFrame> sent;
};

// Reads the script; past its end every read gives 0.
class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return pos_ >= size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // Up to `count` bytes, fewer when the script ends first.
  std::vector<std::uint8_t> Bytes(std::size_t count) {
    const std::size_t n = std::min(count, size_ - std::min(pos_, size_));
    std::vector<std::uint8_t> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

std::int64_t GapMs(std::uint8_t g) { return g < 128 ? g : static_cast<std::int64_t>(g - 127) * 40; }

bool IsPollFrame(const RtuFrame& frame) { return frame.size() == 8 && frame == PollBlock(frame[0]); }

// What the target knows independently of the code under test.
struct Model {
  RtuFrame queued;                   // the last write an entry dialog queued
  std::vector<std::uint8_t> recent;  // the last 8 bytes that reached the receive path
  bool echoSinceQueued = false;      // an echo of the pending register with a valid CRC came
  int sendsSinceQueued = 0;          // times the queued write went out
  std::vector<std::uint8_t> stream;  // bytes since the last line silence or accepted reply, at most 77
  std::int64_t nowMs = 0;
};

void CheckState(const LinkState& s, const Model& m) {
  FUZZ_CHECK(s.rxCount >= 0 && s.rxCount <= 76, "rxCount left 0..76");
  FUZZ_CHECK(s.pendingWrite == m.queued, "pendingWrite differs from the write last queued");

  const bool anyByte = std::any_of(s.rxBuf.begin(), s.rxBuf.begin() + kPollReplyLength,
                                   [](std::uint8_t b) { return b != 0; });
  if (anyByte) {
    FUZZ_CHECK(HasValidCrc(s.rxBuf.data(), kPollReplyLength), "rxBuf holds a reply that fails its CRC");
    FUZZ_CHECK(s.rxBuf[kDeviceTypeOffset] == kSensorDeviceType, "rxBuf holds another device's reply");
    FUZZ_CHECK(s.rxBuf[1] == kFunctionReadHolding && s.rxBuf[2] == kPollByteCount,
               "rxBuf holds something other than a 36-register read reply");
  }
  FUZZ_CHECK(std::all_of(s.rxBuf.begin() + kPollReplyLength, s.rxBuf.end(),
                         [](std::uint8_t b) { return b == 0; }),
             "bytes written to rxBuf beyond the reply");
}

// A receive event as the serial layer delivers it, checked.
void Receive(LinkState& s, CountingWindow& w, Model& m, int commEvent,
             const std::vector<std::uint8_t>& bytes, std::int64_t gapMs) {
  m.nowMs += gapMs;
  const LinkState before = s;
  const int resetsBefore = w.portResets;
  const std::size_t sentBefore = w.sent.size();
  const std::size_t messagesBefore = w.messages.size();

  OnCommEvent(s, w, commEvent, bytes.data(), bytes.size(), m.nowMs);

  // Every whole reply of this sensor in the raw bytes must be taken, however
  // its data look and wherever the framing stood when it began.
  if (w.portResets == resetsBefore && commEvent == kCommEventReceive && !bytes.empty()) {
    if (before.lastRxMs != LinkState::kNever && m.nowMs - before.lastRxMs > kFrameGapMs) m.stream.clear();
    bool held = before.addressHeld || before.deviceFound;
    std::uint8_t expected = before.currentAddress;
    std::uint64_t whole = 0;
    for (std::uint8_t b : bytes) {
      m.stream.push_back(b);
      if (m.stream.size() > kPollReplyLength) m.stream.erase(m.stream.begin());
      const std::uint8_t* r = m.stream.data();
      if (m.stream.size() == kPollReplyLength && r[1] == kFunctionReadHolding && r[2] == kPollByteCount &&
          r[kDeviceTypeOffset] == kSensorDeviceType && (!held || r[0] == expected) &&
          HasValidCrc(r, kPollReplyLength)) {
        ++whole;
        held = true;
        expected = r[0];
        m.stream.clear();
      }
    }
    FUZZ_CHECK(s.repliesAccepted - before.repliesAccepted >= whole,
               "a CRC-valid reply from the expected address with device type 2 was not accepted");
  } else if (w.portResets != resetsBefore) {
    m.stream.clear();
  }

  const bool portReset = w.portResets != resetsBefore;
  FUZZ_CHECK(w.sent.size() == sentBefore, "received bytes caused a transmission");
  FUZZ_CHECK(w.messages.size() == messagesBefore, "received bytes raised a message box");
  if (portReset) {
    // The reset drops the outstanding write; the bytes are lost with the port.
    FUZZ_CHECK(s.pendingWriteReg == 0, "the port reset kept the write pending");
    FUZZ_CHECK(s.rxBuf == before.rxBuf, "bytes lost with the reset reached rxBuf");
  } else {
    FUZZ_CHECK(s.pendingWriteReg == before.pendingWriteReg || (s.pendingWriteReg == 0 && s.writeRefusal != 0),
               "received bytes changed pendingWriteReg without the sensor refusing the write");
    if (commEvent == kCommEventReceive) {
      for (std::uint8_t b : bytes) {
        m.recent.push_back(b);
        if (m.recent.size() > 8) m.recent.erase(m.recent.begin());
        if (m.recent.size() == 8 && s.pendingWriteReg != 0 && m.recent[1] == kFunctionWriteMultiple &&
            m.recent[2] == 0 && m.recent[3] == s.pendingWriteReg && m.recent[4] == 0 &&
            HasValidCrc(m.recent.data(), 8)) {
          m.echoSinceQueued = true;
        }
      }
    }
  }
  if (s.currentAddress != before.currentAddress) {
    FUZZ_CHECK(s.currentAddress == s.rxBuf[0], "the address was taken from bytes that are not in rxBuf");
  }
  if (s.deviceFound && !before.deviceFound) {
    FUZZ_CHECK(s.rxBuf[kDeviceTypeOffset] == kSensorDeviceType && HasValidCrc(s.rxBuf.data(), kPollReplyLength),
               "the sensor was recognised without a reply that passed its CRC");
  }
}

// Kind byte k selects the frame: a reply of this sensor at the current
// address, a reply from another address, a reply with another device type,
// the echo of the pending write, an echo of another register, or our own poll
// coming back (an adapter that echoes what it sends). Corruption byte c from
// 128 on flips one bit of the frame.
void DeliverFrame(LinkState& s, CountingWindow& w, Model& m, std::uint8_t k, std::uint8_t gap,
                  std::uint8_t c) {
  RegisterBlock block;
  block.SetFloat(DoValue, static_cast<float>(k) * 0.37f);
  block.SetFloat(Temperature, 20.0f + static_cast<float>(k % 16));
  block.SetFloat(SoftwareVersion, 1.0f);
  block.regs[DeviceType] = kSensorDeviceType;
  block.regs[Filter] = 10;
  block.SetFloat(Pressure, 101.3f);
  block.regs[DeviceAddress] = s.currentAddress;

  RtuFrame frame;
  switch (k % 6) {
    case 0:
      frame = block.PollReply(s.currentAddress);
      break;
    case 1:
      frame = block.PollReply(static_cast<std::uint8_t>(k >> 3));
      break;
    case 2:
      block.regs[DeviceType] = static_cast<std::uint16_t>(k >> 3);
      frame = block.PollReply(s.currentAddress);
      break;
    case 3:
      if (m.queued.size() >= 6) {
        frame = BuildWriteEcho(s.currentAddress, m.queued[3], m.queued[5]);
      } else {
        frame = BuildWriteEcho(s.currentAddress, static_cast<std::uint16_t>(k >> 3), 1);
      }
      break;
    case 4:
      frame = BuildWriteEcho(s.currentAddress, static_cast<std::uint16_t>(k >> 3), 1 + (k & 1));
      break;
    default:
      frame = PollBlock(s.currentAddress);
      break;
  }
  if (c >= 128) frame[(c - 128u) % frame.size()] ^= static_cast<std::uint8_t>(1u << (c % 8));
  Receive(s, w, m, kCommEventReceive, frame, GapMs(gap));
}

// What a value entry dialog does on OK: build one request into pendingWrite.
void QueueFromEntry(LinkState& s, Model& m, std::uint8_t request, std::uint32_t value) {
  const std::uint8_t a = s.currentAddress;
  float f;
  std::memcpy(&f, &value, sizeof f);
  const std::uint16_t v16 = static_cast<std::uint16_t>(value);
  RtuFrame frame;
  switch (request % 12) {
    case 0: frame = WriteUnit(a, v16); break;
    case 1: frame = WriteFilter(a, v16); break;
    case 2: frame = WritePressure(a, f); break;
    case 3: frame = WriteZeroCalValue(a, f); break;
    case 4: frame = WriteAirCalValue(a, f); break;
    case 5: frame = WriteFactoryZeroCal(a, f); break;
    case 6: frame = WriteFactoryAirCal(a, f); break;
    case 7: frame = WriteSerialNumber(a, value); break;
    case 8:
      frame = WriteDeviceAddress(a, v16);
      // The address entry marks the link as no longer connected.
      s.sensorConnected = false;
      s.deviceFound = false;
      s.manualAddressing = true;
      break;
    case 9: frame = StartZeroCal(a); break;
    case 10: frame = StartAirCal(a); break;
    default: frame = RestoreFactoryCal(a); break;
  }
  const std::uint8_t reg = frame[3];
  m.queued = frame;
  m.echoSinceQueued = false;
  m.sendsSinceQueued = 0;
  QueueWrite(s, frame, reg);
  FUZZ_CHECK(s.pendingWriteReg == reg, "QueueWrite did not record the register");
}

void WriteTick(LinkState& s, CountingWindow& w, Model& m) {
  const LinkState before = s;
  const std::size_t sentBefore = w.sent.size();
  const std::size_t messagesBefore = w.messages.size();

  WriteCycleTick(s, w);

  for (std::size_t i = sentBefore; i < w.sent.size(); ++i) {
    FUZZ_CHECK(before.pendingWriteReg != 0, "a write was sent with none pending");
    FUZZ_CHECK(w.sent[i] == m.queued, "the write timer sent bytes other than the queued write");
    ++m.sendsSinceQueued;
  }
  FUZZ_CHECK(m.sendsSinceQueued <= kMaxWriteSends, "a write went out more often than the limit");
  FUZZ_CHECK(s.rxBuf == before.rxBuf, "the write timer changed rxBuf");
  const bool confirmed = w.messages.size() != messagesBefore;
  if (confirmed) {
    FUZZ_CHECK(w.messages.size() == messagesBefore + 1, "the write timer showed more than one message");
  }
  if (confirmed && w.messages.back() == LinkEventKind::WriteUnanswered) {
    FUZZ_CHECK(m.sendsSinceQueued == kMaxWriteSends,
               "a write was given up before its tenth unanswered send");
    FUZZ_CHECK(s.pendingWriteReg == 0 && w.sent.size() == sentBefore, "a given-up write stayed pending");
  } else if (confirmed && w.messages.back() == LinkEventKind::WriteRefused) {
    FUZZ_CHECK(before.writeRefusal != 0, "a refusal reported that the sensor never sent");
  } else if (confirmed) {
    FUZZ_CHECK(w.messages.back() == LinkEventKind::WriteConfirmed, "the write timer showed an unexpected message");
    FUZZ_CHECK(before.pendingWriteReg != 0, "\"operation successful\" with no write pending");
    FUZZ_CHECK(m.echoSinceQueued, "\"operation successful\" without an echo of the pending register");
    FUZZ_CHECK(w.sent.size() == sentBefore, "a confirmed write was sent again");
    FUZZ_CHECK(s.pendingWriteReg == 0, "a confirmed write stayed pending");
    m.echoSinceQueued = false;
  } else {
    FUZZ_CHECK(s.pendingWriteReg == before.pendingWriteReg, "the write timer dropped a write unconfirmed");
  }
}

void PollTick(LinkState& s, CountingWindow& w) {
  const LinkState before = s;
  const std::size_t sentBefore = w.sent.size();
  const std::size_t messagesBefore = w.messages.size();

  SearchPollTick(s, w);

  FUZZ_CHECK(w.sent.size() == sentBefore + 1, "a poll tick did not send exactly one frame");
  FUZZ_CHECK(IsPollFrame(w.sent.back()), "the poll timer sent something other than a poll");
  FUZZ_CHECK(w.sent.back()[0] == before.currentAddress, "the poll went to another address");
  FUZZ_CHECK(s.rxBuf == before.rxBuf, "the poll timer changed rxBuf");
  FUZZ_CHECK(s.pendingWriteReg == before.pendingWriteReg, "the poll timer changed the pending write");
  for (std::size_t i = messagesBefore; i < w.messages.size(); ++i) {
    FUZZ_CHECK(w.messages[i] == LinkEventKind::SearchExhausted, "the poll timer showed an unexpected message");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  LinkState state;
  CountingWindow window;
  Model model;
  Script script(data, size);

  while (!script.Done()) {
    const std::uint8_t op = script.Byte();
    switch (op % 8) {
      case 0:
      case 1:
      case 2: {
        const std::uint8_t count = script.Byte();
        const std::uint8_t gap = script.Byte();
        Receive(state, window, model, kCommEventReceive, script.Bytes(count), GapMs(gap));
        break;
      }
      case 3:
        WriteTick(state, window, model);
        break;
      case 4:
        PollTick(state, window);
        break;
      case 5: {
        const std::uint8_t request = script.Byte();
        QueueFromEntry(state, model, request, script.U32());
        break;
      }
      case 6: {
        const std::uint8_t event = script.Byte();
        Receive(state, window, model, event == kCommEventReceive ? 1 : event, {}, 0);
        break;
      }
      default: {
        const std::uint8_t kind = script.Byte();
        const std::uint8_t gap = script.Byte();
        DeliverFrame(state, window, model, kind, gap, script.Byte());
        break;
      }
    }
    CheckState(state, model);
    // Sent frames are checked when sent; keep memory flat on long inputs.
    if (window.sent.size() > 64) window.sent.clear();
  }
  return 0;
}
