#pragma once
#include <cstdint>

namespace protocol {

// What the receive path, the write cycle and the link timers report. The core
// stays free of screen texts: each front end (window, CLI, soak) decides what
// an event means to its operator.
enum class LinkEventKind {
  ReplyAccepted,    // a checked poll reply from the sensor was taken into rxBuf
  CrcError,         // a complete reply failed its CRC
  UnknownDevice,    // a checked reply from a device that is not this sensor type
  ForeignAddress,   // a checked reply from another slave than the one held
  PollException,    // the sensor answered a poll with an exception: alive, no values
  WriteConfirmed,   // the pending write was echoed
  WriteRefused,     // the sensor answered the pending write with an exception
  WriteUnanswered,  // the pending write went unanswered kMaxWriteSends times
  SearchExhausted,  // the search went past the last address without a reply
  NoReply,          // a poll period passed with no accepted reply while connected
};

struct LinkEvent {
  LinkEventKind kind = LinkEventKind::ReplyAccepted;
  std::uint8_t address = 0;        // the slave address the event concerns
  std::uint8_t exceptionCode = 0;  // PollException and WriteRefused
};

}  // namespace protocol
