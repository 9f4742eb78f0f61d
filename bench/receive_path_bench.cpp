// Google Benchmark of the receive path: protocol::OnCommEvent fed a stream of
// poll replies with write echoes between them, split into events the way a
// serial port may deliver them (a whole frame, 16-byte chunks, single bytes).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

namespace {

constexpr std::uint8_t kAddress = 1;
constexpr int kRepliesPerStream = 8;
constexpr int kEchoEvery = 4;  // an echo after every fourth reply

// A window that takes the receive path's calls and does nothing with them.
class QuietWindow : public protocol::LinkWindow {
 public:
  void PullControls() override { ++calls; }
  void PushControls() override { ++calls; }
  void RestartPollTimer(int) override { ++calls; }
  void StopPollAndDisplayTimers() override { ++calls; }
  void BeginPortReset() override { ++resets; }
  void ShowNotConnected() override { ++calls; }
  void SetAddressShown(std::uint8_t) override { ++calls; }
  void Report(const protocol::LinkEvent&) override { ++calls; }
  void SendFrame(const protocol::RtuFrame&) override { ++calls; }
  std::uint64_t calls = 0;
  std::uint64_t resets = 0;
};

struct Event {
  std::size_t offset;
  std::size_t length;
  std::int64_t nowMs;
};

struct Stream {
  std::vector<std::uint8_t> bytes;
  std::vector<Event> events;
};

// `chunk` bytes per event; 0 = one event per frame. Time moves on by about a
// byte's wire time per byte and by half a second between frames.
Stream MakeStream(std::size_t chunk) {
  std::vector<protocol::RtuFrame> frames;
  protocol::RegisterBlock block;
  block.regs[protocol::DeviceType] = protocol::kSensorDeviceType;
  block.regs[protocol::Unit] = 1;
  block.regs[protocol::Filter] = 10;
  for (int i = 0; i < kRepliesPerStream; ++i) {
    block.SetFloat(protocol::DoValue, 8.0f + 0.01f * static_cast<float>(i));
    block.SetFloat(protocol::Temperature, 21.5f + 0.1f * static_cast<float>(i));
    frames.push_back(block.PollReply(kAddress));
    if ((i + 1) % kEchoEvery == 0) frames.push_back(protocol::BuildWriteEcho(kAddress, protocol::Filter, 1));
  }
  Stream stream;
  std::int64_t now = 0;
  for (const protocol::RtuFrame& frame : frames) {
    now += 500;
    const std::size_t start = stream.bytes.size();
    stream.bytes.insert(stream.bytes.end(), frame.begin(), frame.end());
    const std::size_t step = chunk == 0 ? frame.size() : chunk;
    for (std::size_t at = 0; at < frame.size(); at += step) {
      const std::size_t length = std::min(step, frame.size() - at);
      now += static_cast<std::int64_t>(length);
      stream.events.push_back({start + at, length, now});
    }
  }
  return stream;
}

void BM_ReceivePath(benchmark::State& run) {
  const Stream stream = MakeStream(static_cast<std::size_t>(run.range(0)));
  protocol::LinkState link;
  link.manualAddressing = false;
  link.currentAddress = kAddress;
  link.pendingWriteReg = 0;  // a stray echo is only recorded
  QuietWindow window;
  std::int64_t base = 0;
  const std::int64_t streamSpanMs = stream.events.back().nowMs + 500;
  std::uint64_t streams = 0;

  for (auto _ : run) {
    for (const Event& e : stream.events)
      protocol::OnCommEvent(link, window, protocol::kCommEventReceive, stream.bytes.data() + e.offset, e.length,
                            base + e.nowMs);
    base += streamSpanMs;
    ++streams;
    benchmark::DoNotOptimize(link.rxCount);
  }

  // The stream must have gone through the whole path: every reply accepted,
  // none refused, the echoes recognised and taken out.
  if (link.repliesAccepted != streams * kRepliesPerStream || link.repliesRejected != 0 ||
      !link.deviceFound || link.writeEcho[3] != protocol::Filter || link.rxCount != 0 || window.resets != 0) {
    run.SkipWithError("the stream was not received as replies and echoes");
    return;
  }
  run.SetItemsProcessed(static_cast<std::int64_t>(streams * stream.bytes.size()));
  run.SetBytesProcessed(static_cast<std::int64_t>(streams * stream.bytes.size()));
}

BENCHMARK(BM_ReceivePath)->ArgName("bytes_per_event")->Arg(0)->Arg(16)->Arg(1);

}  // namespace
