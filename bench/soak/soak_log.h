#pragma once
// Reading back what the simulated sensor logged during a soak, and the
// checks made against it: which poll replies left the sensor intact, what
// the main window may show for them, and which writes reached the sensor.
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace soak {

using Bytes = std::vector<std::uint8_t>;

// "05 03 48 ..." -> bytes. False on anything but pairs of hex digits.
bool ParseHex(const std::string& text, Bytes* out);
std::string ToHex(const Bytes& bytes);

// The frames of one simulator run, in log order.
struct SimLog {
  std::vector<Bytes> received;        // requests with a good CRC ("RX")
  std::vector<Bytes> receivedBadCrc;  // anything else that arrived ("RX-BADCRC")
  std::vector<Bytes> sent;            // replies as they left, faults included ("TX")
};
SimLog ParseSimLog(const std::string& text);

// The poll replies inside `sent` that pass their CRC with device type 2, from
// any address: noise bytes before a reply are skipped, a reply with a flipped
// bit or a dropped byte yields nothing.
std::vector<Bytes> CheckedPollReplies(const Bytes& sent);

// What the main window shows in its oxygen and temperature boxes for a poll
// reply, by the display rules.
using ShownPair = std::pair<std::string, std::string>;
ShownPair ShownFor(const Bytes& reply);

// Whether `sent` is a poll reply at all (77 bytes give or take a dropped byte
// or a few noise bytes), as opposed to a write echo or an exception.
bool LooksLikePollReply(const Bytes& sent);

struct LogVerdict {
  int pollRepliesSent = 0;     // poll replies the simulator sent, faulted or not
  int checkedReplies = 0;      // of which passed their CRC with device type 2
  std::set<ShownPair> allowedShown;  // what the window may show
  std::set<Bytes> checkedFrames;     // the 77 bytes of every checked reply
  int writesReceived = 0;      // function-16 requests that reached the sensor
  int writesNotQueued = 0;     // of which differ from every write that was queued
  int requestsBadCrc = 0;      // requests the sensor received broken
};

// Puts the logs of all simulator runs of one soak together with the writes
// the soak queued.
LogVerdict Analyse(const std::vector<SimLog>& logs, const std::set<Bytes>& queuedWrites);

// Pairs in `shown` that no checked reply accounts for.
int CountUnexplained(const std::set<ShownPair>& shown, const std::set<ShownPair>& allowed);

}  // namespace soak
