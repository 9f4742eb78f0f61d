// sensor-sim as a program on pseudo-terminals: its command line, and the
// independent masters libmodbus and mbpoll reading and writing it, and our
// own CMSComm plus receive path against its paced and faulty replies.
#include <errno.h>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>

#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "uitexts/link_texts.h"
#include "recording_window.h"
#include "serial/comm.h"
#include "serial/port_naming.h"
#include "sensortool_version.h"
#include "sim_process.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string kSim = SENSOR_SIM_PATH;

// A scratch directory for links and logs, removed with its contents.
class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/sensor-sim-test-XXXXXX";
    path_ = ::mkdtemp(pattern);
  }
  ~ScratchDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadLink(const std::string& path) {
  char buf[4096];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::vector<std::string> LogLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string HexLine(const char* tag, const Bytes& bytes) {
  std::string out = tag;
  char buf[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, " %02X", b);
    out += buf;
  }
  return out;
}

struct Master {
  explicit Master(const std::string& device, int slave = 1) {
    ctx = modbus_new_rtu(device.c_str(), 9600, 'N', 8, 1);
    ok = ctx && modbus_connect(ctx) == 0 && modbus_set_slave(ctx, slave) == 0;
    if (ctx) modbus_set_response_timeout(ctx, 1, 0);
  }
  ~Master() {
    if (ctx) {
      modbus_close(ctx);
      modbus_free(ctx);
    }
  }
  modbus_t* ctx = nullptr;
  bool ok = false;
};

std::uint32_t U32(const std::uint16_t* regs) { return static_cast<std::uint32_t>(regs[1]) << 16 | regs[0]; }
float F32(const std::uint16_t* regs) { return protocol::FloatFromBits(U32(regs)); }
void SetF32(float v, std::uint16_t* regs) {
  const std::uint32_t bits = protocol::FloatBits(v);
  regs[0] = static_cast<std::uint16_t>(bits & 0xFFFF);
  regs[1] = static_cast<std::uint16_t>(bits >> 16);
}

TEST(SensorSimProgram, HelpBadOptionsAndTheLinkLifecycle) {
  RunResult help = RunToEnd(kSim, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--foreign-type-every"), std::string::npos);
  EXPECT_NE(help.out.find("--link PATH"), std::string::npos);

  RunResult version = RunToEnd(kSim, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, std::string("sensor-sim ") + SENSORTOOL_VERSION + "\n");

  RunResult bad = RunToEnd(kSim, {"--no-such-option"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("no-such-option"), std::string::npos) << bad.err;
  bad = RunToEnd(kSim, {"--address", "300"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("--address"), std::string::npos) << bad.err;
  bad = RunToEnd(kSim, {"--link", "/nonexistent-dir/COM1"});
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.err.find("/nonexistent-dir/COM1"), std::string::npos) << bad.err;

  // --link: the link points at the pty it reports, and goes when it stops.
  ScratchDir dir;
  const std::string link = dir.File("sensor");
  {
    SimProcess sim(kSim, {"--link", link});
    const std::string device = sim.WaitReady();
    ASSERT_FALSE(device.empty()) << sim.Stderr();
    EXPECT_EQ(device.rfind("/dev/pts/", 0), 0u) << device;
    EXPECT_EQ(ReadLink(link), device);
    // A second simulator never takes a link a live one serves, and so never
    // removes it on its way out.
    RunResult second = RunToEnd(kSim, {"--link", link});
    EXPECT_EQ(second.exitCode, 1) << second.out;
    EXPECT_NE(second.err.find(link), std::string::npos) << second.err;
    EXPECT_EQ(second.out.find("READY"), std::string::npos) << second.out;
    EXPECT_EQ(ReadLink(link), device);
    EXPECT_EQ(sim.Stop(), 0);
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
  }
  // --com N binds COMN in the port directory (this test run's own), replacing
  // a stale link; SIGINT stops it as well.
  const std::string com3 = QFile::encodeName(PortLinkPath(PortDirectory(), 3)).toStdString();
  ::unlink(com3.c_str());
  ASSERT_EQ(::symlink("/dev/pts/999999", com3.c_str()), 0);
  {
    SimProcess sim(kSim, {"--com", "3"});
    const std::string device = sim.WaitReady();
    ASSERT_FALSE(device.empty()) << sim.Stderr();
    EXPECT_EQ(ReadLink(com3), device);
    EXPECT_EQ(ResolvePortName(3).toStdString(), device);
    EXPECT_EQ(sim.Signal(SIGINT), 0);
    struct stat st {};
    EXPECT_NE(::lstat(com3.c_str(), &st), 0);
  }
  // A file that is not a link is never replaced.
  const std::string plain = dir.File("plain");
  std::ofstream(plain) << "keep";
  RunResult refused = RunToEnd(kSim, {"--link", plain});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(LogLines(plain), std::vector<std::string>{"keep"});
}

TEST(LibmodbusAgainstSim, ReadsWritesReadsBackAndGetsExceptions) {
  ScratchDir dir;
  const std::string log = dir.File("frames.log");
  SimProcess sim(kSim, {"--link", dir.File("line"), "--log", log, "--steady", "--serial", "3000000001",
                        "--filter", "23", "--pressure", "98.5", "--sw-version", "2.5"});
  const std::string device = sim.WaitReady();
  ASSERT_FALSE(device.empty()) << sim.Stderr();
  auto master = std::make_unique<Master>(dir.File("line"));
  ASSERT_TRUE(master->ok) << modbus_strerror(errno);
  Master& m = *master;

  std::uint16_t regs[36] = {};
  ASSERT_EQ(modbus_read_registers(m.ctx, 0, 36, regs), 36) << modbus_strerror(errno);
  EXPECT_EQ(regs[protocol::DeviceType], 2);
  EXPECT_EQ(regs[protocol::DeviceAddress], 1);
  EXPECT_EQ(regs[protocol::Filter], 23);
  EXPECT_EQ(regs[protocol::Unit], 1);
  EXPECT_EQ(regs[protocol::Status], 0);
  EXPECT_EQ(U32(regs + protocol::SerialNumber), 3000000001u);
  EXPECT_EQ(F32(regs + protocol::Pressure), 98.5f);
  EXPECT_EQ(F32(regs + protocol::SoftwareVersion), 2.5f);
  EXPECT_EQ(F32(regs + protocol::Temperature), 20.0f);
  EXPECT_NEAR(F32(regs + protocol::DoValue), 0.95 * 9.09 * 98.5 / 101.325, 0.05);
  EXPECT_EQ(F32(regs + protocol::ZeroCalValue), 62.35f);
  EXPECT_EQ(F32(regs + protocol::AirCalValue), 27.812f);

  // The log shows the request exactly as libmodbus sent it, and the reply.
  const std::vector<std::string> lines = LogLines(log);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], HexLine("RX", protocol::PollBlock(1)));
  EXPECT_EQ(lines[1].substr(0, 11), "TX 01 03 48");
  EXPECT_EQ(lines[1].size(), 2 + 3 * protocol::kPollReplyLength);

  // Every writable register, written and read back.
  auto writeAndReadBack = [&](int reg, std::vector<std::uint16_t> values) {
    ASSERT_EQ(modbus_write_registers(m.ctx, reg, static_cast<int>(values.size()), values.data()),
              static_cast<int>(values.size()))
        << "register " << reg << ": " << modbus_strerror(errno);
    std::vector<std::uint16_t> back(values.size());
    ASSERT_EQ(modbus_read_registers(m.ctx, reg, static_cast<int>(values.size()), back.data()),
              static_cast<int>(values.size()));
    EXPECT_EQ(back, values) << "register " << reg;
  };
  std::uint16_t f[2];
  writeAndReadBack(protocol::Unit, {0});
  writeAndReadBack(protocol::Filter, {55});
  SetF32(88.25f, f);
  writeAndReadBack(protocol::Pressure, {f[0], f[1]});
  SetF32(61.5f, f);
  writeAndReadBack(protocol::ZeroCalValue, {f[0], f[1]});
  SetF32(28.125f, f);
  writeAndReadBack(protocol::AirCalValue, {f[0], f[1]});
  SetF32(63.0f, f);
  writeAndReadBack(protocol::FactoryZeroCal, {f[0], f[1]});
  SetF32(26.5f, f);
  writeAndReadBack(protocol::FactoryAirCal, {f[0], f[1]});
  writeAndReadBack(protocol::SerialNumber, {0xBEEF, 0xDEAD});
  // The command register keeps the command; the restore shows in the
  // calibration values.
  writeAndReadBack(protocol::Command, {protocol::CommandRestoreFactoryCal});
  ASSERT_EQ(modbus_read_registers(m.ctx, 0, 36, regs), 36);
  EXPECT_EQ(F32(regs + protocol::ZeroCalValue), 63.0f);
  EXPECT_EQ(F32(regs + protocol::AirCalValue), 26.5f);
  // Unit 0 was written: the value is now a percentage (tens), not mg/L.
  EXPECT_GT(F32(regs + protocol::DoValue), 50.0f);

  // Exceptions a real slave gives.
  std::uint16_t dummy[8];
  EXPECT_EQ(modbus_read_registers(m.ctx, 30, 7, dummy), -1);
  EXPECT_EQ(errno, EMBXILADD);
  EXPECT_EQ(modbus_write_register(m.ctx, protocol::Filter, 5), -1);  // function 6
  EXPECT_EQ(errno, EMBXILFUN);
  std::uint16_t value = 100;
  EXPECT_EQ(modbus_write_registers(m.ctx, protocol::Filter, 1, &value), -1);
  EXPECT_EQ(errno, EMBXILVAL);
  value = 255;
  EXPECT_EQ(modbus_write_registers(m.ctx, protocol::DeviceAddress, 1, &value), -1);
  EXPECT_EQ(errno, EMBXILVAL);
  SetF32(20.0f, f);
  EXPECT_EQ(modbus_write_registers(m.ctx, protocol::Pressure, 2, f), -1);
  EXPECT_EQ(errno, EMBXILVAL);
  value = 1;
  EXPECT_EQ(modbus_write_registers(m.ctx, protocol::DeviceType, 1, &value), -1);
  EXPECT_EQ(errno, EMBXILADD);

  // The new address answers after the echo; the old one falls silent.
  value = 7;
  ASSERT_EQ(modbus_write_registers(m.ctx, protocol::DeviceAddress, 1, &value), 1) << modbus_strerror(errno);
  ASSERT_EQ(modbus_set_slave(m.ctx, 7), 0);
  ASSERT_EQ(modbus_read_registers(m.ctx, protocol::DeviceAddress, 1, &value), 1) << modbus_strerror(errno);
  EXPECT_EQ(value, 7);
  ASSERT_EQ(modbus_set_slave(m.ctx, 1), 0);
  modbus_set_response_timeout(m.ctx, 0, 300000);
  EXPECT_EQ(modbus_read_registers(m.ctx, 0, 1, &value), -1);
  EXPECT_EQ(errno, ETIMEDOUT);

  // The line stays usable when the master closes and opens it again.
  master.reset();
  Master reopened(dir.File("line"), 7);
  ASSERT_TRUE(reopened.ok);
  ASSERT_EQ(modbus_read_registers(reopened.ctx, protocol::Filter, 1, &value), 1) << modbus_strerror(errno);
  EXPECT_EQ(value, 55);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(MbpollAgainstSim, ReadsTheBlockAsAUserWould) {
  ScratchDir dir;
  SimProcess sim(kSim, {"--link", dir.File("COM1"), "--steady", "--address", "3", "--filter", "42",
                        "--serial", "12345678"});
  ASSERT_FALSE(sim.WaitReady().empty()) << sim.Stderr();
  const std::string cmd = "mbpoll -m rtu -b 9600 -P none -a 3 -r 1 -c 36 -t 4 -1 '" + dir.File("COM1") + "' 2>&1";
  FILE* pipe = ::popen(cmd.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe)) output += buf;
  const int status = ::pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  ASSERT_EQ(WEXITSTATUS(status), 0) << output;

  // "[k]: value" with k counted from 1.
  std::map<int, long> values;
  const std::regex row(R"(\[(\d+)\]:\s+(-?\d+))");
  for (auto it = std::sregex_iterator(output.begin(), output.end(), row); it != std::sregex_iterator(); ++it)
    values[std::stoi((*it)[1])] = std::stol((*it)[2]);
  ASSERT_EQ(values.size(), 36u) << output;
  EXPECT_EQ(values[protocol::DeviceType + 1], 2);
  EXPECT_EQ(values[protocol::Filter + 1], 42);
  EXPECT_EQ(values[protocol::DeviceAddress + 1], 3);
  EXPECT_EQ(values[protocol::SerialNumber + 1], 0x614E);
  EXPECT_EQ(values[protocol::SerialNumber + 2], 0x00BC);
  EXPECT_EQ(values[protocol::Unit + 1], 1);
}

// CMSComm and the receive path against the simulator, as the main window
// wires them.
class ToolSide {
 public:
  explicit ToolSide(short port) {
    comm.SetCommPort(port);
    comm.SetInputMode(1);
    comm.SetSettings("9600,n,8,1");
    clock.start();
    QObject::connect(&comm, &CMSComm::OnComm, [this] {
      ++events;
      const Bytes in = comm.Input();
      received += in.size();
      protocol::OnCommEvent(state, window, comm.CommEvent(), in.data(), in.size(), clock.elapsed());
    });
  }
  bool Open() {
    if (!comm.SetPortOpen(true)) return false;
    comm.SetRThreshold(1);
    comm.SetInputLen(0);
    comm.Input();
    return true;
  }
  // Sends a poll and waits until a whole reply has been taken in.
  bool Poll(std::uint8_t address) {
    const std::size_t before = received;
    comm.SetOutput(protocol::PollBlock(address));
    return QTest::qWaitFor(
        [&] { return received - before >= protocol::kPollReplyLength && state.rxCount == 0; }, 10000);
  }

  CMSComm comm;
  protocol::LinkState state;
  RecordingWindow window;
  QElapsedTimer clock;
  int events = 0;
  std::size_t received = 0;
};

void Bind(int number, const std::string& device) {
  const QString link = PortLinkPath(PortDirectory(), number);
  QFile::remove(link);
  ASSERT_TRUE(QFile::link(QString::fromStdString(device), link));
}

TEST(CMSCommAgainstSim, PacedRepliesArriveSplitAndDecodeExactly) {
  ScratchDir dir;
  SimProcess sim(kSim, {"--link", dir.File("line"), "--paced", "--do-value", "8.5", "--temperature", "25.25",
                        "--address", "4", "--filter", "10", "--pressure", "101.3", "--sw-version", "1.0",
                        "--status", "2", "--serial", "12345678"});
  const std::string device = sim.WaitReady();
  ASSERT_FALSE(device.empty()) << sim.Stderr();
  Bind(8, device);

  ToolSide tool(8);
  ASSERT_TRUE(tool.Open()) << tool.comm.LastError().toStdString();
  tool.state.currentAddress = 4;
  ASSERT_TRUE(tool.Poll(4));
  // 77 bytes at 9600 baud take 80 ms: they come in many events.
  EXPECT_GT(tool.events, 3);
  EXPECT_FALSE(tool.state.crcError);
  EXPECT_TRUE(tool.state.deviceFound);
  EXPECT_EQ(tool.state.currentAddress, 4);
  const protocol::SensorReading r = protocol::DecodePollReply(tool.state.rxBuf.data());
  EXPECT_EQ(r.doValue, 8.5f);
  EXPECT_EQ(r.temperature, 25.25f);
  EXPECT_EQ(r.softwareVersion, 1.0f);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.unit, 1);
  EXPECT_EQ(r.filter, 10);
  EXPECT_EQ(r.pressure, 101.3f);
  EXPECT_EQ(r.deviceAddress, 4);
  EXPECT_EQ(r.serialNumber, 12345678u);
  EXPECT_EQ(r.deviceType, 2);

  // The simulator going away is one failure of the open port.
  QSignalSpy failed(&tool.comm, &CMSComm::PortFailed);
  EXPECT_EQ(sim.Stop(), 0);
  ASSERT_TRUE(failed.wait(5000));
  EXPECT_FALSE(tool.comm.PortOpen());
  EXPECT_EQ(failed.count(), 1);
}

TEST(CMSCommAgainstSim, FaultsShowAsCheckErrorsAndUnknownDevices) {
  ScratchDir dir;
  SimProcess sim(kSim, {"--link", dir.File("line"), "--steady", "--flip-bit-every", "2",
                        "--foreign-type-every", "3", "--seed", "5"});
  const std::string device = sim.WaitReady();
  ASSERT_FALSE(device.empty()) << sim.Stderr();
  Bind(9, device);
  ToolSide tool(9);
  ASSERT_TRUE(tool.Open()) << tool.comm.LastError().toStdString();
  tool.state.currentAddress = 1;

  // Reply 1 is clean, reply 2 has a flipped bit, reply 3 is from another
  // kind of device, reply 4 has a flipped bit again, reply 5 is clean.
  ASSERT_TRUE(tool.Poll(1));
  EXPECT_FALSE(tool.state.crcError);
  EXPECT_EQ(tool.window.commStateText, ui_texts::kCommunicating);
  ASSERT_TRUE(tool.Poll(1));
  EXPECT_TRUE(tool.state.crcError);
  EXPECT_EQ(tool.window.commStateText, ui_texts::kCheckError);
  ASSERT_TRUE(tool.Poll(1));
  EXPECT_EQ(tool.window.commStateText, ui_texts::kUnknownDevice);
  ASSERT_TRUE(tool.Poll(1));
  EXPECT_TRUE(tool.state.crcError);
  ASSERT_TRUE(tool.Poll(1));
  EXPECT_FALSE(tool.state.crcError);
  EXPECT_EQ(tool.window.commStateText, ui_texts::kCommunicating);
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
