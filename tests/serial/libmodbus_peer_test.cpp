// libmodbus, written by others, on the far end of a pseudo-terminal: as master
// it proves our frame builders put standard MODBUS-RTU on the line, as slave
// it proves CMSComm plus the receive path read a standard slave correctly.
#include <errno.h>
#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "uitexts/link_texts.h"
#include "libmodbus_slave.h"
#include "pty_helpers.h"
#include "recording_window.h"
#include "serial/comm.h"
#include "serial/port_naming.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Plays the slave on the pty's master: records each request and answers it
// with our own reply builders from `block`.
class RecordingSlave {
 public:
  RecordingSlave(int fd, const protocol::RegisterBlock& block)
      : fd_(fd), block_(block), thread_([this] { Run(); }) {}
  ~RecordingSlave() {
    stop_ = true;
    thread_.join();
  }
  std::vector<Bytes> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

 private:
  void Run() {
    while (!stop_) {
      Bytes frame = ReadBytes(fd_, 7, 50);
      if (frame.size() < 7) continue;
      const std::size_t rest = frame[1] == 3 ? 1 : frame[1] == 16 ? frame[6] + 2u : 0;
      const Bytes tail = ReadBytes(fd_, rest, 1000);
      frame.insert(frame.end(), tail.begin(), tail.end());
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(frame);
      }
      const std::uint16_t first = static_cast<std::uint16_t>(frame[2] << 8 | frame[3]);
      const std::uint16_t count = static_cast<std::uint16_t>(frame[4] << 8 | frame[5]);
      if (frame[1] == 3 && first + count <= protocol::kRegisterCount)
        WriteAll(fd_, protocol::BuildReadReply(frame[0], block_.regs.data() + first, count));
      else if (frame[1] == 16)
        WriteAll(fd_, protocol::BuildWriteEcho(frame[0], first, count));
    }
  }

  int fd_;
  protocol::RegisterBlock block_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Bytes> requests_;
  std::thread thread_;
};

TEST(LibmodbusMaster, PutsExactlyOurBuildersFramesOnTheLine) {
  Pty pty;
  protocol::RegisterBlock block;
  for (int i = 0; i < protocol::kRegisterCount; ++i) block.regs[i] = static_cast<std::uint16_t>(0x1100 + i * 7);
  block.SetFloat(protocol::DoValue, 8.5f);
  block.regs[protocol::DeviceType] = 2;
  RecordingSlave slave(pty.master(), block);

  modbus_t* ctx = modbus_new_rtu(pty.slavePath().c_str(), 9600, 'N', 8, 1);
  ASSERT_NE(ctx, nullptr);
  ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);
  ASSERT_EQ(modbus_set_slave(ctx, 5), 0);
  modbus_set_response_timeout(ctx, 2, 0);

  // Read 36 holding registers from slave 5; libmodbus also accepts our reply.
  std::uint16_t regs[36] = {};
  ASSERT_EQ(modbus_read_registers(ctx, 0, 36, regs), 36) << modbus_strerror(errno);
  for (int i = 0; i < 36; ++i) EXPECT_EQ(regs[i], block.regs[i]) << "register " << i;
  EXPECT_EQ(protocol::FloatFromBits(static_cast<std::uint32_t>(regs[1]) << 16 | regs[0]), 8.5f);

  const std::uint16_t filter = 10;
  ASSERT_EQ(modbus_write_registers(ctx, 19, 1, &filter), 1) << modbus_strerror(errno);
  // Register 20 carries the low half of the float's bit pattern.
  const std::uint32_t bits = protocol::FloatBits(101.3f);
  const std::uint16_t pressure[2] = {static_cast<std::uint16_t>(bits & 0xFFFF),
                                     static_cast<std::uint16_t>(bits >> 16)};
  ASSERT_EQ(modbus_write_registers(ctx, 20, 2, pressure), 2) << modbus_strerror(errno);
  const std::uint16_t serial[2] = {static_cast<std::uint16_t>(12345678 & 0xFFFF),
                                   static_cast<std::uint16_t>(12345678 >> 16)};
  ASSERT_EQ(modbus_write_registers(ctx, 30, 2, serial), 2) << modbus_strerror(errno);
  const std::uint16_t command = 3;
  ASSERT_EQ(modbus_write_registers(ctx, 34, 1, &command), 1) << modbus_strerror(errno);
  modbus_close(ctx);
  modbus_free(ctx);

  const std::vector<Bytes> expected = {
      protocol::PollBlock(5),
      protocol::WriteFilter(5, 10),
      protocol::WritePressure(5, 101.3f),
      protocol::WriteSerialNumber(5, 12345678),
      protocol::RestoreFactoryCal(5),
  };
  const std::vector<Bytes> seen = slave.Requests();
  ASSERT_EQ(seen.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(seen[i], expected[i]) << "request " << i;
  // Spot-check against the published bytes, so a shared mistake in both
  // implementations cannot hide.
  EXPECT_EQ(seen[0], (Bytes{0x05, 0x03, 0x00, 0x00, 0x00, 0x24, 0x44, 0x55}));
}

TEST(LibmodbusSlave, CMSCommAndTheReceivePathDecodeEveryField) {
  protocol::RegisterBlock block = KnownRegisterBlock();
  block.SetFloat(protocol::AirCalValue, 27.125f);

  PtyBridge cable;
  LibmodbusSlave slave(cable.a().slavePath(), 9, block);
  ASSERT_TRUE(slave.connected()) << modbus_strerror(errno);

  const QString link = PortLinkPath(PortDirectory(), 7);
  QFile::remove(link);
  ASSERT_TRUE(QFile::link(QString::fromStdString(cable.b().slavePath()), link));
  CMSComm comm;
  comm.SetCommPort(7);
  comm.SetInputMode(1);
  comm.SetSettings("9600,n,8,1");
  ASSERT_TRUE(comm.SetPortOpen(true)) << comm.LastError().toStdString();
  comm.SetRThreshold(1);
  comm.SetInputLen(0);
  comm.Input();

  protocol::LinkState state;
  RecordingWindow window;
  QElapsedTimer clock;
  clock.start();
  QObject::connect(&comm, &CMSComm::OnComm, [&] {
    const Bytes in = comm.Input();
    protocol::OnCommEvent(state, window, comm.CommEvent(), in.data(), in.size(), clock.elapsed());
  });

  // Poll the slave's address as the search would, and wait for the reply.
  state.currentAddress = 9;
  comm.SetOutput(protocol::PollBlock(9));
  QTRY_VERIFY_WITH_TIMEOUT(state.deviceFound && state.rxCount == 0, 5000);
  EXPECT_FALSE(state.crcError);
  EXPECT_TRUE(state.sensorConnected);
  EXPECT_EQ(state.currentAddress, 9);
  EXPECT_EQ(window.commStateText, ui_texts::kCommunicating);
  EXPECT_EQ(window.pollTimerRestarts, std::vector<int>{protocol::kPollPeriodMs});
  EXPECT_EQ(Bytes(state.rxBuf.begin(), state.rxBuf.begin() + 77), block.PollReply(9));

  const protocol::SensorReading r = protocol::DecodePollReply(state.rxBuf.data());
  EXPECT_EQ(r.doValue, 7.89f);
  EXPECT_EQ(r.temperature, -3.456f);
  EXPECT_EQ(r.phaseDiff, 31.25f);
  EXPECT_EQ(r.redPhase, 45.5f);
  EXPECT_EQ(r.greenPhase, 14.25f);
  EXPECT_EQ(r.redAmplitude, 1234);
  EXPECT_EQ(r.redGain, 4);
  EXPECT_EQ(r.greenAmplitude, 987);
  EXPECT_EQ(r.greenGain, 2);
  EXPECT_EQ(r.softwareVersion, 1.23f);
  EXPECT_EQ(r.deviceType, 2);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.unit, 0x0100);
  EXPECT_EQ(r.filter, 17);
  EXPECT_EQ(r.pressure, 99.8f);
  EXPECT_EQ(r.zeroCalValue, 61.5f);
  EXPECT_EQ(r.airCalValue, 27.125f);
  EXPECT_EQ(r.factoryZeroCal, 62.0f);
  EXPECT_EQ(r.factoryAirCal, 12.34567f);
  EXPECT_EQ(r.serialNumber, 3000000000u);
  EXPECT_EQ(r.deviceAddress, 9);
  EXPECT_EQ(r.command, 3);

  // A write through the write cycle: sent, echoed by libmodbus, confirmed.
  protocol::QueueWrite(state, protocol::WriteFilter(9, 42), protocol::Filter);
  protocol::WriteCycleTick(state, window);
  ASSERT_EQ(window.sent.size(), 1u);
  comm.SetOutput(window.sent.back());
  QTRY_VERIFY_WITH_TIMEOUT(state.writeAcked, 5000);
  protocol::WriteCycleTick(state, window);
  EXPECT_EQ(state.pendingWriteReg, 0);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], ui_texts::kOperationSucceeded);

  // The next poll carries the new value.
  comm.SetOutput(protocol::PollBlock(9));
  QTRY_VERIFY_WITH_TIMEOUT(protocol::DecodeU16(state.rxBuf.data(), protocol::Filter) == 42 &&
                               state.rxCount == 0,
                           5000);
  EXPECT_FALSE(state.crcError);
  slave.Stop();
  EXPECT_EQ(slave.Register(protocol::Filter), 42);
}

}  // namespace
