#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>

#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

namespace protocol {

constexpr std::size_t kRxBufSize = 1000;

// The link to the sensor, shared by the main window and the sensor windows.
// The application holds one instance; functions take it by reference so that
// tests can make their own.
struct LinkState {
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min();

  // The latest poll reply that passed its CRC with this sensor's device type,
  // at offsets 0..76. Every window decodes what it shows from here.
  std::array<std::uint8_t, kRxBufSize> rxBuf{};
  // The reply being received; complete and checked, it is copied to rxBuf, so
  // a window never decodes half a reply, a corrupted one or another device's.
  std::array<std::uint8_t, kRxBufSize> rxFrame{};
  int rxCount = 0;                 // where the next received byte goes in rxFrame (0..76)
  // The last bytes received (at most one reply's length), oldest first. A
  // checked reply is recognised here wherever the framing above had put its
  // start, so data that happen to contain the reply header cannot hide it.
  std::array<std::uint8_t, kPollReplyLength> rxWindow{};
  int rxWindowCount = 0;
  std::uint8_t currentAddress = 0; // slave address of polls and writes
  bool portOpen = false;
  bool sensorConnected = false;
  bool deviceFound = false;
  bool crcError = false;           // the last complete reply failed its CRC
  bool manualAddressing = true;    // no automatic search is running
  // The operator gave the address: replies from any other address are refused
  // and never move currentAddress, so no request goes to another sensor.
  bool addressHeld = false;
  // No reply was accepted during the last poll period while connected: what
  // is on screen is old. Cleared by the next accepted reply.
  bool replyOverdue = false;
  bool acceptedSincePoll = false;  // a reply was accepted since the last poll went out
  int missedPolls = 0;             // polls sent since bytes were last received
  RtuFrame pendingWrite;           // the one outstanding write request
  std::uint8_t pendingWriteReg = 0;  // its register; 0 = none
  int pendingWriteSends = 0;       // times the pending write went out unanswered
  // The sensor refused the last write with this exception code (0x100 for a
  // code of 0); 0 = nothing to report. Reported by the next write-cycle tick.
  int writeRefusal = 0;
  std::uint8_t writeRefusalAddress = 0;
  std::array<std::uint8_t, 5> writeEcho{};  // address, 16, 0, register, 0 of the last echo
  bool writeAcked = false;         // an echo arrived since the write cycle last looked
  std::int64_t lastRxMs = kNever;  // when bytes last arrived, for framing by line silence
  // Complete replies taken into rxBuf, and those refused (failed CRC, another
  // device type or another slave), for the traffic view and the soak figures.
  std::uint64_t repliesAccepted = 0;
  std::uint64_t repliesRejected = 0;
  // Told of every write placed in the pending slot, whoever placed it, so a
  // record of what the operator asked for needs no help from each window.
  std::function<void(const RtuFrame& frame, std::uint8_t reg)> writeQueued;
};

// Places a write in the single pending slot, replacing any outstanding one.
// An echo recognised before this write existed cannot confirm it.
void QueueWrite(LinkState& state, RtuFrame frame, std::uint8_t reg);

}  // namespace protocol
