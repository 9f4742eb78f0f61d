#include "sim_slave.h"

#include "protocol/rtu_frame.h"

namespace sim {
namespace {

Bytes ExceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code) {
  Bytes reply = {address, static_cast<std::uint8_t>(function | 0x80), code, 0, 0};
  protocol::SealFrame(reply);
  return reply;
}

std::uint16_t Word(const Bytes& f, std::size_t at) {
  return static_cast<std::uint16_t>(f[at] << 8 | f[at + 1]);
}

// Length of the request starting at `at` as its function code tells, or 0.
std::size_t ExpectedLength(const Bytes& data, std::size_t at) {
  if (data.size() - at < 2) return 0;
  switch (data[at + 1]) {
    case 3:
    case 6:
      return 8;
    case 16:
      return data.size() - at >= 7 ? 9u + data[at + 6] : 0;
    default:
      return 0;
  }
}

}  // namespace

std::vector<Bytes> SplitFrames(const Bytes& received) {
  std::vector<Bytes> frames;
  std::size_t at = 0;
  while (at < received.size()) {
    const std::size_t length = ExpectedLength(received, at);
    if (length > 0 && length < received.size() - at &&
        protocol::HasValidCrc(received.data() + at, length)) {
      frames.emplace_back(received.begin() + at, received.begin() + at + length);
      at += length;
      continue;
    }
    frames.emplace_back(received.begin() + at, received.end());
    break;
  }
  return frames;
}

void RequestBuffer::Append(const std::uint8_t* data, std::size_t size) {
  const std::size_t room = kCapacity - bytes_.size();
  const std::size_t kept = size < room ? size : room;
  bytes_.insert(bytes_.end(), data, data + kept);
  dropped_ += size - kept;
}

std::vector<Bytes> RequestBuffer::TakeFrames(Bytes* overrun) {
  std::vector<Bytes> frames;
  if (dropped_ > 0) {
    if (overrun) *overrun = bytes_;
  } else {
    frames = SplitFrames(bytes_);
  }
  bytes_.clear();
  dropped_ = 0;
  return frames;
}

SimSlave::SimSlave(SensorModel& model, const SimOptions& options)
    : model_(model), options_(options), rng_(options.seed ^ 0x5EED5EEDu) {}

Bytes SimSlave::HandleFrame(const Bytes& frame) {
  model_.CommitAddress();
  if (frame.size() < 4 || !protocol::HasValidCrc(frame.data(), frame.size())) return {};
  const std::uint8_t address = frame[0];
  if (address == 0) {
    // Broadcast: writes are carried out, nothing is answered.
    if (frame[1] == 16) Answer(frame);
    return {};
  }
  if (address != model_.Address()) return {};

  ++requestsForUs_;
  if (options_.silentPolls > 0 && requestsForUs_ > options_.silentAfter && silenced_ < options_.silentPolls) {
    ++silenced_;
    return {};
  }
  Bytes reply = Answer(frame);
  if (reply.empty()) return reply;
  const bool isRead = frame[1] == 3 && reply[1] == 3;
  const std::uint16_t first = isRead ? Word(frame, 2) : 0;
  const std::uint16_t count = isRead ? Word(frame, 4) : 0;
  const bool carriesType = isRead && first <= protocol::DeviceType && first + count > protocol::DeviceType;
  return ApplyFaults(std::move(reply), carriesType, first);
}

Bytes SimSlave::Answer(const Bytes& frame) {
  const std::uint8_t address = frame[0];
  const std::uint8_t function = frame[1];
  if (function == 3) {
    if (frame.size() != 8) return ExceptionReply(address, function, kIllegalDataValue);
    const std::uint16_t first = Word(frame, 2);
    const std::uint16_t count = Word(frame, 4);
    if (count < 1 || count > 125) return ExceptionReply(address, function, kIllegalDataValue);
    if (first + count > protocol::kRegisterCount) return ExceptionReply(address, function, kIllegalDataAddress);
    return protocol::BuildReadReply(address, model_.Registers().regs.data() + first, count);
  }
  if (function == 16) {
    if (frame.size() < 9) return ExceptionReply(address, function, kIllegalDataValue);
    const std::uint16_t first = Word(frame, 2);
    const std::uint16_t count = Word(frame, 4);
    const std::uint8_t byteCount = frame[6];
    if (count < 1 || count > 123 || byteCount != 2 * count || frame.size() != 9u + byteCount)
      return ExceptionReply(address, function, kIllegalDataValue);
    std::vector<std::uint16_t> values(count);
    for (std::uint16_t i = 0; i < count; ++i) values[i] = Word(frame, 7 + 2 * i);
    const std::uint8_t code = model_.Write(first, values.data(), count);
    if (code != 0) return ExceptionReply(address, function, code);
    return protocol::BuildWriteEcho(address, first, count);
  }
  return ExceptionReply(address, function, kIllegalFunction);
}

Bytes SimSlave::ApplyFaults(Bytes reply, bool carriesDeviceType, std::uint16_t firstRegister) {
  const int n = ++replies_;
  auto due = [n](int every) { return every > 0 && n % every == 0; };

  if (due(options_.foreignTypeEvery) && carriesDeviceType) {
    // Another product of the same bus: same frame, another device type.
    const std::size_t at = 3 + 2 * (protocol::DeviceType - firstRegister);
    reply[at] = 0;
    reply[at + 1] = static_cast<std::uint8_t>(reply[at + 1] == 7 ? 8 : 7);
    protocol::SealFrame(reply);
  }
  if (due(options_.foreignAddressEvery)) {
    reply[0] = static_cast<std::uint8_t>(reply[0] % 247 + 1);
    protocol::SealFrame(reply);
  }
  if (due(options_.flipBitEvery)) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(rng_);
    reply[at] ^= static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng_));
  }
  if (due(options_.dropByteEvery)) {
    const std::size_t at = std::uniform_int_distribution<std::size_t>(0, reply.size() - 1)(rng_);
    reply.erase(reply.begin() + static_cast<std::ptrdiff_t>(at));
  }
  if (due(options_.noiseEvery)) {
    const int count = std::uniform_int_distribution<int>(1, 3)(rng_);
    Bytes noise;
    for (int i = 0; i < count; ++i)
      noise.push_back(static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng_)));
    reply.insert(reply.begin(), noise.begin(), noise.end());
  }
  return reply;
}

}  // namespace sim
