#include "views/traffic_log.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "protocol/translatable_text.h"

namespace views {

namespace {

constexpr std::size_t kReplyLength = protocol::kPollReplyLength;  // 77
constexpr std::size_t kEchoLength = 8;
constexpr std::size_t kExceptionLength = 5;

bool IsReplyHeader(const std::vector<std::uint8_t>& p, std::size_t i) {
  return i + 2 < p.size() && p[i + 1] == protocol::kFunctionReadHolding && p[i + 2] == protocol::kPollByteCount;
}

bool IsEcho(const std::vector<std::uint8_t>& p, std::size_t i) {
  return i + kEchoLength <= p.size() && p[i + 1] == protocol::kFunctionWriteMultiple &&
         protocol::HasValidCrc(&p[i], kEchoLength);
}

bool IsException(const std::vector<std::uint8_t>& p, std::size_t i) {
  return i + kExceptionLength <= p.size() && (p[i + 1] & 0x80) != 0 &&
         protocol::HasValidCrc(&p[i], kExceptionLength);
}

}  // namespace

// The receive path's own verdict on a complete reply, so the two cannot differ.
Verdict TrafficLog::ClassifyReply(const std::uint8_t* reply) const {
  static const protocol::LinkState kNoLink;
  switch (protocol::ClassifyPollReply(m_link ? *m_link : kNoLink, reply)) {
    case protocol::ReplyVerdict::Accepted: return Verdict::ReplyAccepted;
    case protocol::ReplyVerdict::CrcError: return Verdict::CrcError;
    case protocol::ReplyVerdict::UnknownDevice: return Verdict::UnknownDevice;
    case protocol::ReplyVerdict::ForeignAddress: return Verdict::ForeignAddress;
    case protocol::ReplyVerdict::NotAPollReply: break;
  }
  return Verdict::Noise;
}

TrafficLog::TrafficLog(std::size_t capacity, std::int64_t gapMs)
    : m_capacity(std::max<std::size_t>(1, capacity)), m_gapMs(gapMs) {}

void TrafficLog::Add(Direction direction, std::vector<std::uint8_t> bytes, Verdict verdict, std::int64_t ms) {
  switch (verdict) {
    case Verdict::PollSent:
      if (m_pollOutstanding) ++m_counters.timeouts;
      m_pollOutstanding = true;
      ++m_counters.polls;
      break;
    case Verdict::WriteSent: ++m_counters.writes; break;
    case Verdict::OtherSent: break;
    case Verdict::ReplyAccepted:
      ++m_counters.replies;
      m_pollOutstanding = false;
      break;
    case Verdict::CrcError:
      ++m_counters.crcErrors;
      if (bytes.size() == kReplyLength) m_pollOutstanding = false;
      break;
    case Verdict::UnknownDevice:
      ++m_counters.unknownDevices;
      m_pollOutstanding = false;
      break;
    case Verdict::ForeignAddress:
      // Another slave's answer is no answer to our poll.
      ++m_counters.foreignAddresses;
      break;
    case Verdict::WriteEcho: ++m_counters.echoes; break;
    case Verdict::ExceptionReply:
      ++m_counters.exceptions;
      if ((bytes[1] & 0x7F) == protocol::kFunctionReadHolding) m_pollOutstanding = false;
      break;
    case Verdict::Incomplete:
      // The sensor did answer, if badly: not a timeout.
      ++m_counters.noise;
      m_pollOutstanding = false;
      break;
    case Verdict::Noise: ++m_counters.noise; break;
    case Verdict::PortReset:
      ++m_counters.resets;
      m_pollOutstanding = false;
      break;
  }
  m_entries.push_back({m_nextSeq++, ms, direction, std::move(bytes), verdict});
  while (m_entries.size() > m_capacity) m_entries.pop_front();
}

void TrafficLog::TakeReceived(std::size_t count, Verdict verdict) {
  count = std::min(count, m_pending.size());
  if (count == 0) return;
  std::vector<std::uint8_t> bytes(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
  const std::int64_t ms = m_pendingMs.front();
  m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
  m_pendingMs.erase(m_pendingMs.begin(), m_pendingMs.begin() + static_cast<std::ptrdiff_t>(count));
  Add(Direction::Received, std::move(bytes), verdict, ms);
}

void TrafficLog::Extract(bool closing) {
  while (!m_pending.empty()) {
    const std::vector<std::uint8_t>& p = m_pending;
    const std::size_t n = p.size();
    bool took = false;
    std::size_t header = n;  // first reply header, n when none
    for (std::size_t i = 0; i < n && !took; ++i) {
      if (IsReplyHeader(p, i)) {
        header = i;
        if (n - i >= kReplyLength) {
          const Verdict verdict = ClassifyReply(&p[i]);
          TakeReceived(i, Verdict::Noise);
          TakeReceived(kReplyLength, verdict);
          took = true;
        }
        break;  // a reply has begun here: its bytes are not searched for other frames
      }
      if (IsEcho(p, i)) {
        TakeReceived(i, Verdict::Noise);
        TakeReceived(kEchoLength, Verdict::WriteEcho);
        took = true;
      } else if (IsException(p, i)) {
        TakeReceived(i, Verdict::Noise);
        TakeReceived(kExceptionLength, Verdict::ExceptionReply);
        took = true;
      }
    }
    if (took) continue;
    if (!closing) return;

    // The line fell silent with bytes that make no complete frame.
    if (header < n) {
      TakeReceived(header, Verdict::Noise);
      TakeReceived(m_pending.size(), Verdict::Incomplete);
    } else if (n == kReplyLength) {
      // A reply whose header was hit: judged on its 77th byte like any reply.
      TakeReceived(n, ClassifyReply(p.data()));
    } else if ((n == kEchoLength && p[1] == protocol::kFunctionWriteMultiple) ||
               (n == kExceptionLength && (p[1] & 0x80) != 0)) {
      TakeReceived(n, Verdict::CrcError);
    } else {
      TakeReceived(n, Verdict::Noise);
    }
    return;
  }
}

void TrafficLog::OnSent(const std::uint8_t* bytes, std::size_t count, std::int64_t ms) {
  Flush(ms);
  // Replies complete before the next request are entered before it.
  Extract(false);
  std::vector<std::uint8_t> frame(bytes, bytes + count);
  Verdict verdict = Verdict::OtherSent;
  if (count >= 2 && bytes[1] == protocol::kFunctionReadHolding) verdict = Verdict::PollSent;
  if (count >= 2 && bytes[1] == protocol::kFunctionWriteMultiple) verdict = Verdict::WriteSent;
  Add(Direction::Sent, std::move(frame), verdict, ms);
}

void TrafficLog::OnReceived(const std::uint8_t* bytes, std::size_t count, std::int64_t ms) {
  if (count == 0) return;
  Flush(ms);
  m_pending.insert(m_pending.end(), bytes, bytes + count);
  m_pendingMs.insert(m_pendingMs.end(), count, ms);
  m_lastRxMs = ms;
  Extract(false);
}

void TrafficLog::OnPortReset(std::int64_t ms) {
  Flush(ms);
  Add(Direction::Event, {}, Verdict::PortReset, ms);
}

void TrafficLog::Flush(std::int64_t nowMs) {
  if (!m_pending.empty() && nowMs - m_lastRxMs > m_gapMs) Extract(true);
}

const char* VerdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::PollSent: return SENSOR_TEXT("SensorTexts", "轮询请求");
    case Verdict::WriteSent: return SENSOR_TEXT("SensorTexts", "写入请求");
    case Verdict::OtherSent: return SENSOR_TEXT("SensorTexts", "其他请求");
    case Verdict::ReplyAccepted: return SENSOR_TEXT("SensorTexts", "应答已接受");
    case Verdict::CrcError: return SENSOR_TEXT("SensorTexts", "校验错误");
    case Verdict::UnknownDevice: return SENSOR_TEXT("SensorTexts", "未知设备");
    case Verdict::ForeignAddress: return SENSOR_TEXT("SensorTexts", "其他地址");
    case Verdict::WriteEcho: return SENSOR_TEXT("SensorTexts", "写入回显");
    case Verdict::ExceptionReply: return SENSOR_TEXT("SensorTexts", "异常应答");
    case Verdict::Incomplete: return SENSOR_TEXT("SensorTexts", "不完整帧");
    case Verdict::Noise: return SENSOR_TEXT("SensorTexts", "噪声");
    case Verdict::PortReset: return SENSOR_TEXT("SensorTexts", "端口复位");
  }
  return SENSOR_TEXT("SensorTexts", "");
}

const char* DirectionText(Direction direction) {
  switch (direction) {
    case Direction::Sent: return SENSOR_TEXT("SensorTexts", "发送");
    case Direction::Received: return SENSOR_TEXT("SensorTexts", "接收");
    case Direction::Event: return SENSOR_TEXT("SensorTexts", "—");
  }
  return SENSOR_TEXT("SensorTexts", "");
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  char cell[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(cell, sizeof cell, i ? " %02X" : "%02X", bytes[i]);
    text += cell;
  }
  return text;
}

}  // namespace views
