// Writes the seed corpus of the fuzz targets from real frames built by the
// protocol core: polls, replies, write requests and their echoes.
//
//   fuzz_make_seeds <corpus dir>   writes <dir>/receive_path, entry_parse, frame_decode
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

using namespace protocol;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Operations of the receive-path script (see receive_path_fuzzer.cpp).
enum Op : std::uint8_t { kReceive = 0, kWriteTick = 3, kPollTick = 4, kQueue = 5, kOtherEvent = 6, kFrame = 7 };

RegisterBlock SampleBlock(std::uint8_t address) {
  RegisterBlock block;
  block.SetFloat(DoValue, 8.5f);
  block.SetFloat(Temperature, 25.25f);
  block.SetFloat(SoftwareVersion, 1.0f);
  block.regs[DeviceType] = kSensorDeviceType;
  block.regs[Unit] = 1;
  block.regs[Filter] = 10;
  block.SetFloat(Pressure, 101.3f);
  block.regs[DeviceAddress] = address;
  return block;
}

// A block with every field set, some at the edges of what the display handles.
RegisterBlock BusyBlock() {
  RegisterBlock block = SampleBlock(7);
  block.SetFloat(DoValue, 0.009f);
  block.SetFloat(PhaseDiff, -12.345f);
  block.SetFloat(RedPhase, 359.999f);
  block.SetFloat(GreenPhase, 3.0e38f);
  block.regs[RedAmplitude] = 65535;
  block.regs[RedGain] = 3;
  block.regs[GreenAmplitude] = 1200;
  block.regs[GreenGain] = 4;
  block.regs[Status] = 1;
  block.regs[Unit] = 0;
  block.SetFloat(ZeroCalValue, 20000.0f);
  block.SetFloat(AirCalValue, 1234.5678f);
  block.SetFloat(FactoryZeroCal, 21474836.0f);
  block.SetFloat(FactoryAirCal, -0.0f);
  block.SetU32(SerialNumber, 4294967295u);
  block.regs[Command] = CommandAirCal;
  return block;
}

class ScriptWriter {
 public:
  ScriptWriter& Receive(const Bytes& bytes, std::uint8_t gap = 0) {
    out_.push_back(kReceive);
    out_.push_back(static_cast<std::uint8_t>(bytes.size()));
    out_.push_back(gap);
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // The bytes one event each, 1 ms apart as at 9600 baud.
  ScriptWriter& ReceiveByteByByte(const Bytes& bytes) {
    for (std::uint8_t b : bytes) Receive(Bytes{b}, 1);
    return *this;
  }
  ScriptWriter& Op(std::uint8_t op) {
    out_.push_back(op);
    return *this;
  }
  ScriptWriter& Queue(std::uint8_t request, std::uint32_t value) {
    out_.push_back(kQueue);
    out_.push_back(request);
    for (int shift = 24; shift >= 0; shift -= 8) out_.push_back(static_cast<std::uint8_t>(value >> shift));
    return *this;
  }
  ScriptWriter& Frame(std::uint8_t kind, std::uint8_t gap, std::uint8_t corruption = 0) {
    out_.insert(out_.end(), {kFrame, kind, gap, corruption});
    return *this;
  }
  const Bytes& bytes() const { return out_; }

 private:
  Bytes out_;
};

std::uint32_t Bits(float f) {
  std::uint32_t v;
  std::memcpy(&v, &f, sizeof v);
  return v;
}

void Write(const std::filesystem::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", file.c_str());
    std::exit(1);
  }
}

void Write(const std::filesystem::path& file, const std::string& text) {
  Write(file, Bytes(text.begin(), text.end()));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

void ReceivePathSeeds(const std::filesystem::path& dir) {
  const Bytes reply = SampleBlock(1).PollReply(1);
  const Bytes poll = PollBlock(1);

  Write(dir / "reply_one_event", ScriptWriter().Op(kPollTick).Receive(reply).bytes());
  Write(dir / "reply_byte_by_byte", ScriptWriter().Op(kPollTick).ReceiveByteByByte(reply).bytes());
  Write(dir / "search_then_reply",
        ScriptWriter().Op(kPollTick).Op(kPollTick).Receive(Bytes(reply.begin(), reply.begin() + 30), 200)
            .Receive(Bytes(reply.begin() + 30, reply.end()), 5).Op(kPollTick).Receive(reply, 255).bytes());

  // A write of the filter, sent, echoed and confirmed.
  Write(dir / "filter_write_confirmed",
        ScriptWriter().Receive(reply).Queue(1, 10).Op(kWriteTick)
            .Receive(BuildWriteEcho(1, Filter, 1), 120).Op(kWriteTick).Op(kWriteTick).bytes());
  // A pressure write whose echo arrives between two replies, byte by byte.
  Write(dir / "pressure_echo_between_replies",
        ScriptWriter().Receive(reply).Queue(2, Bits(101.3f)).Op(kWriteTick).Op(kPollTick)
            .Receive(reply, 200).ReceiveByteByByte(BuildWriteEcho(1, Pressure, 2)).Op(kWriteTick).bytes());
  // The calibration command echoed as 01 10 00 22 00 01 A1 C3.
  Write(dir / "command_echo",
        ScriptWriter().Receive(reply).Queue(9, 0).Op(kWriteTick).Receive(BuildWriteEcho(1, Command, 1), 150)
            .Op(kWriteTick).bytes());
  // An echo of another register: the write is sent again.
  Write(dir / "echo_of_other_register",
        ScriptWriter().Receive(reply).Queue(7, 12345678u).Op(kWriteTick)
            .Receive(BuildWriteEcho(1, Filter, 1), 150).Op(kWriteTick).bytes());
  // An address change, confirmed: the link drops and the search starts over.
  Write(dir / "address_write_confirmed",
        ScriptWriter().Receive(reply).Queue(8, 5).Op(kWriteTick).Receive(BuildWriteEcho(1, DeviceAddress, 1), 150)
            .Op(kWriteTick).Op(kPollTick).Op(kPollTick).bytes());
  // A reply header in the middle of a reply restarts it.
  Write(dir / "misplaced_header",
        ScriptWriter().Receive(reply).Receive(Concat({Bytes(reply.begin(), reply.begin() + 20), reply}), 150).bytes());
  // Four polls without an answer, then one byte of noise: the port is reset
  // and the pending write dropped.
  Write(dir / "silence_then_noise",
        ScriptWriter().Receive(reply).Queue(1, 20).Op(kPollTick).Op(kPollTick).Op(kPollTick).Op(kPollTick)
            .Receive(Bytes{0x55}, 255).Op(kWriteTick).bytes());
  // A reply with a bad CRC, then a good one; a reply from another device type.
  Bytes bad = reply;
  bad[40] ^= 0x10;
  RegisterBlock other = SampleBlock(1);
  other.regs[DeviceType] = 3;
  Write(dir / "bad_crc_then_good",
        ScriptWriter().Receive(bad).Receive(reply, 200).Receive(other.PollReply(1), 200).bytes());
  // Our own poll coming back, then the reply, on an adapter that echoes.
  Write(dir / "loopback_poll", ScriptWriter().Op(kPollTick).Receive(Concat({PollBlock(0), reply})).bytes());
  // Events other than data received.
  Write(dir / "other_events", ScriptWriter().Op(kOtherEvent).Op(1).Receive(reply).Op(kOtherEvent).Op(3).bytes());
  // Frames made by the target itself, clean and with one bit flipped.
  Write(dir / "generated_frames",
        ScriptWriter().Frame(0, 0).Queue(1, 10).Op(kWriteTick).Frame(3, 150).Op(kWriteTick).Frame(1 + 6 * 3, 200)
            .Frame(2 + 6 * 5, 200).Frame(0, 200, 128 + 9).Frame(4 + 6 * 19, 150).Frame(5, 150).Op(kPollTick).bytes());
  Write(dir / "poll_request_bytes", ScriptWriter().Receive(poll).bytes());
}

void EntryParseSeeds(const std::filesystem::path& dir) {
  const char* texts[] = {"12",     " 12 ",   "\t99\t", "4294967295", "4294967296", "-5",      "abc",
                         "",       "1e2",    ".5",     ".0",         "-0",         "+0.0",    "49.99",
                         "200.01", "-0.5",   "20000.5", "0e5",       "1.",         "3.4028235e38",
                         "3.4028236e38", "1e-50", "1,5",  "0x10",     "nan",        "inf",     "1e",
                         "007"};
  int n = 0;
  for (const char* t : texts) Write(dir / ("text_" + std::to_string(n++)), std::string(t));
}

void FrameDecodeSeeds(const std::filesystem::path& dir) {
  Write(dir / "sample_reply", SampleBlock(1).PollReply(1));
  Write(dir / "busy_reply", BusyBlock().PollReply(7));
  RegisterBlock nan = SampleBlock(1);
  nan.SetU32(DoValue, 0x7FC00001u);
  nan.SetU32(Temperature, 0xFF800000u);
  nan.SetFloat(SoftwareVersion, 9.99f);
  Write(dir / "nan_and_infinity", nan.PollReply(1));
  Write(dir / "zeros", Bytes(kPollReplyLength, 0));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root = argv[1];
  for (const char* target : {"receive_path", "entry_parse", "frame_decode"}) {
    std::filesystem::create_directories(root / target);
  }
  ReceivePathSeeds(root / "receive_path");
  EntryParseSeeds(root / "entry_parse");
  FrameDecodeSeeds(root / "frame_decode");
  return 0;
}
