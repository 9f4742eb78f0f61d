#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "protocol/link_state.h"

// Line traffic as the operator sees it in the traffic window: every frame
// sent, every frame received, each with a verdict. Plain C++ so it can be
// tested with byte vectors alone.
namespace views {

enum class Direction { Sent, Received, Event };

enum class Verdict {
  PollSent,        // function 3 request
  WriteSent,       // function 16 request
  OtherSent,       // any other frame put on the line
  ReplyAccepted,   // poll reply with a good CRC and this sensor's device type
  CrcError,        // a reply-sized frame (or an echo) whose CRC does not match
  UnknownDevice,   // poll reply with a good CRC from another kind of device
  ForeignAddress,  // poll reply with a good CRC from another slave than the one the link holds
  WriteEcho,       // 8-byte echo of a write, CRC good
  ExceptionReply,  // MODBUS exception (function with bit 7 set), CRC good
  Incomplete,      // a reply header followed by too few bytes before the line fell silent
  Noise,           // bytes that form no frame
  PortReset,       // the port was closed and reopened after silence
};

struct TrafficEntry {
  std::uint64_t seq = 0;  // 0, 1, 2, ... over the whole run
  std::int64_t ms = 0;    // receive clock of the main window
  Direction direction = Direction::Event;
  std::vector<std::uint8_t> bytes;
  Verdict verdict = Verdict::Noise;
};

// Counted over the whole run; they do not shrink when old entries drop out.
struct TrafficCounters {
  std::uint64_t polls = 0;
  std::uint64_t writes = 0;
  std::uint64_t replies = 0;         // poll replies accepted
  std::uint64_t crcErrors = 0;
  std::uint64_t unknownDevices = 0;
  std::uint64_t foreignAddresses = 0;
  std::uint64_t echoes = 0;
  std::uint64_t exceptions = 0;
  std::uint64_t noise = 0;           // noise and incomplete frames
  std::uint64_t timeouts = 0;        // polls followed by the next poll without any reply
  std::uint64_t resets = 0;
};

// Frames the received bytes the way the receive path does (a silence longer
// than the gap ends a frame), classifies sent and received frames, keeps the
// newest `capacity` entries and counts them.
class TrafficLog {
 public:
  static constexpr std::size_t kDefaultCapacity = 5000;

  explicit TrafficLog(std::size_t capacity = kDefaultCapacity, std::int64_t gapMs = 100);

  // Judge replies by the state of this link (which address it holds), as the
  // receive path does; without one, no address is held. Not owned.
  void FollowLink(const protocol::LinkState* link) { m_link = link; }

  // A whole frame handed to the port at `ms`.
  void OnSent(const std::uint8_t* bytes, std::size_t count, std::int64_t ms);
  // A batch of received bytes at `ms`. Complete frames are classified at once;
  // a partial one waits for more bytes or for the line to fall silent.
  void OnReceived(const std::uint8_t* bytes, std::size_t count, std::int64_t ms);
  // The port was closed and reopened.
  void OnPortReset(std::int64_t ms);
  // Closes a partial received frame once the line has been silent past the gap.
  void Flush(std::int64_t nowMs);

  const std::deque<TrafficEntry>& Entries() const { return m_entries; }
  const TrafficCounters& Counters() const { return m_counters; }
  std::uint64_t TotalEntries() const { return m_nextSeq; }
  std::size_t Capacity() const { return m_capacity; }
  std::size_t PendingBytes() const { return m_pending.size(); }

 private:
  void Add(Direction direction, std::vector<std::uint8_t> bytes, Verdict verdict, std::int64_t ms);
  // Moves the first `count` pending bytes into an entry.
  void TakeReceived(std::size_t count, Verdict verdict);
  // Takes complete frames off the front of the pending bytes; with `closing`
  // whatever is left becomes entries too.
  void Extract(bool closing);

  Verdict ClassifyReply(const std::uint8_t* reply) const;

  const protocol::LinkState* m_link = nullptr;
  std::size_t m_capacity;
  std::int64_t m_gapMs;
  std::deque<TrafficEntry> m_entries;
  TrafficCounters m_counters;
  std::uint64_t m_nextSeq = 0;

  std::vector<std::uint8_t> m_pending;     // received bytes not yet framed
  std::vector<std::int64_t> m_pendingMs;   // when each of them arrived
  std::int64_t m_lastRxMs = 0;
  bool m_pollOutstanding = false;
};

// The verdict as the traffic window writes it.
const char* VerdictText(Verdict verdict);
// "发送", "接收" or "—".
const char* DirectionText(Direction direction);
// "05 03 00 00 00 24 45 99".
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace views
