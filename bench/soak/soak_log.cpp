#include "soak_log.h"

#include <sstream>

#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

namespace soak {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

bool ParseHex(const std::string& text, Bytes* out) {
  Bytes bytes;
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    if (token.size() != 2) return false;
    const int hi = HexDigit(token[0]);
    const int lo = HexDigit(token[1]);
    if (hi < 0 || lo < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
  }
  *out = std::move(bytes);
  return true;
}

std::string ToHex(const Bytes& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 0xF];
  }
  return out;
}

SimLog ParseSimLog(const std::string& text) {
  SimLog log;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string tag = line.substr(0, space);
    Bytes bytes;
    if (!ParseHex(line.substr(space + 1), &bytes)) continue;
    if (tag == "RX") log.received.push_back(std::move(bytes));
    else if (tag == "RX-BADCRC") log.receivedBadCrc.push_back(std::move(bytes));
    else if (tag == "TX") log.sent.push_back(std::move(bytes));
  }
  return log;
}

std::vector<Bytes> CheckedPollReplies(const Bytes& sent) {
  std::vector<Bytes> replies;
  const std::size_t n = protocol::kPollReplyLength;
  for (std::size_t at = 0; at + n <= sent.size(); ++at) {
    const std::uint8_t* p = sent.data() + at;
    if (p[1] != protocol::kFunctionReadHolding || p[2] != protocol::kPollByteCount) continue;
    if (p[protocol::kDeviceTypeOffset] != protocol::kSensorDeviceType) continue;
    if (!protocol::HasValidCrc(p, n)) continue;
    replies.emplace_back(p, p + n);
    at += n - 1;
  }
  return replies;
}

ShownPair ShownFor(const Bytes& reply) {
  const protocol::ShownReading shown = protocol::ShowReading(protocol::DecodePollReply(reply.data()));
  return {shown.doValue, shown.temperature};
}

bool LooksLikePollReply(const Bytes& sent) {
  return sent.size() + 1 >= protocol::kPollReplyLength && sent.size() <= protocol::kPollReplyLength + 3;
}

LogVerdict Analyse(const std::vector<SimLog>& logs, const std::set<Bytes>& queuedWrites) {
  LogVerdict v;
  for (const SimLog& log : logs) {
    for (const Bytes& sent : log.sent) {
      if (!LooksLikePollReply(sent)) continue;
      ++v.pollRepliesSent;
      for (const Bytes& reply : CheckedPollReplies(sent)) {
        ++v.checkedReplies;
        v.allowedShown.insert(ShownFor(reply));
        v.checkedFrames.insert(reply);
      }
    }
    for (const Bytes& request : log.received) {
      if (request.size() < 2 || request[1] != protocol::kFunctionWriteMultiple) continue;
      ++v.writesReceived;
      if (queuedWrites.count(request) == 0) ++v.writesNotQueued;
    }
    v.requestsBadCrc += static_cast<int>(log.receivedBadCrc.size());
  }
  return v;
}

int CountUnexplained(const std::set<ShownPair>& shown, const std::set<ShownPair>& allowed) {
  int n = 0;
  for (const ShownPair& pair : shown) n += allowed.count(pair) == 0;
  return n;
}

}  // namespace soak
