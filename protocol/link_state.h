#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

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
  std::uint8_t currentAddress = 0; // slave address of polls and writes
  bool portOpen = false;
  bool sensorConnected = false;
  bool deviceFound = false;
  bool crcError = false;           // the last complete reply failed its CRC
  bool manualAddressing = true;    // no automatic search is running
  int missedPolls = 0;             // polls sent since bytes were last received
  RtuFrame pendingWrite;           // the one outstanding write request
  std::uint8_t pendingWriteReg = 0;  // its register; 0 = none
  std::array<std::uint8_t, 5> writeEcho{};  // address, 16, 0, register, 0 of the last echo
  bool writeAcked = false;         // an echo arrived since the write cycle last looked
  std::int64_t lastRxMs = kNever;  // when bytes last arrived, for framing by line silence
  // Complete replies taken into rxBuf, and those refused (failed CRC or
  // another device type), for the traffic view and the soak figures.
  std::uint64_t repliesAccepted = 0;
  std::uint64_t repliesRejected = 0;
};

// Places a write in the single pending slot, replacing any outstanding one.
// An echo recognised before this write existed cannot confirm it.
void QueueWrite(LinkState& state, RtuFrame frame, std::uint8_t reg);

}  // namespace protocol
