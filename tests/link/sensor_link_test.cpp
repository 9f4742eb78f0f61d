// SensorLink driven through an in-memory byte pipe: the state machine runs
// without a serial port, as it will over any other transport.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "link/bus_scan.h"
#include "link/device_table_file.h"
#include "link/sensor_link.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"

namespace {

using protocol::LinkEventKind;
using protocol::RtuFrame;

// A pipe to a scripted slave: every frame sent is handed to `answer`, and
// what it returns arrives later in `chunk`-byte pieces, as a line delivers.
class MemoryPipe : public sensorlink::Transport {
 public:
  std::function<RtuFrame(const RtuFrame&)> answer;
  std::vector<RtuFrame> sent;
  int opens = 0;
  bool failOpen = false;
  int chunk = 7;

  bool Open() override {
    ++opens;
    open_ = !failOpen;
    return open_;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  QString LastError() const override { return QStringLiteral("pipe closed"); }
  void Send(const RtuFrame& frame) override {
    sent.push_back(frame);
    const RtuFrame reply = answer ? answer(frame) : RtuFrame{};
    for (std::size_t at = 0; at < reply.size(); at += static_cast<std::size_t>(chunk)) {
      const QByteArray piece(reinterpret_cast<const char*>(reply.data() + at),
                             static_cast<int>(std::min(reply.size() - at, static_cast<std::size_t>(chunk))));
      QTimer::singleShot(static_cast<int>(1 + at / 16), this, [this, piece] {
        if (open_) emit BytesArrived(piece);
      });
    }
  }

 private:
  bool open_ = false;
};

protocol::RegisterBlock Block(std::uint8_t address) {
  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, 7.5f);
  block.regs[protocol::DeviceType] = protocol::kSensorDeviceType;
  block.regs[protocol::DeviceAddress] = address;
  return block;
}

// A sensor at `address` that answers polls and echoes writes while `alive`.
struct Slave {
  std::uint8_t address;
  bool alive = true;
  RtuFrame operator()(const RtuFrame& request) const {
    if (!alive || request.size() < 8 || request[0] != address) return {};
    if (request[1] == protocol::kFunctionReadHolding) return Block(address).PollReply(address);
    if (request[1] == protocol::kFunctionWriteMultiple)
      return protocol::BuildWriteEcho(address, request[3], static_cast<std::uint16_t>(request[5]));
    return {};
  }
};

struct Fixture {
  MemoryPipe pipe;
  protocol::LinkState state;
  sensorlink::SensorLink link{pipe, state};
  std::vector<LinkEventKind> events;
  int resets = 0;
  int reopened = 0;

  Fixture() {
    link.SetPeriods({20, 60, 30, 30, 30});
    QObject::connect(&link, &sensorlink::SensorLink::Event, [this](const protocol::LinkEvent& e) { events.push_back(e.kind); });
    QObject::connect(&link, &sensorlink::SensorLink::PortResetStarted, [this] { ++resets; });
    QObject::connect(&link, &sensorlink::SensorLink::PortReopened, [this] { ++reopened; });
  }
  bool Saw(LinkEventKind kind) const { return std::find(events.begin(), events.end(), kind) != events.end(); }
};

}  // namespace

TEST(SensorLink, SearchesWritesAndNoticesSilenceOverAnyTransport) {
  Fixture f;
  auto slave = std::make_shared<Slave>(Slave{4});
  f.pipe.answer = [slave](const RtuFrame& r) { return (*slave)(r); };
  ASSERT_TRUE(f.link.Open());
  f.link.StartSearch();
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.state.deviceFound; }, 10000));
  EXPECT_EQ(f.state.currentAddress, 4);
  EXPECT_EQ(f.pipe.sent.front(), protocol::PollBlock(0));

  f.link.QueueWrite(protocol::WriteFilter(4, 12), protocol::Filter);
  EXPECT_TRUE(f.link.HasPendingWrite());
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.Saw(LinkEventKind::WriteConfirmed); }, 10000));
  EXPECT_FALSE(f.link.HasPendingWrite());
  for (const RtuFrame& frame : f.pipe.sent) EXPECT_TRUE(frame[0] <= 4) << "nothing went past the sensor's address";

  // The sensor falls silent: the link says so, then resets the transport.
  slave->alive = false;
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.Saw(LinkEventKind::NoReply); }, 10000));
  EXPECT_TRUE(f.state.replyOverdue);
  // Four more silent polls, then a stray byte: the link resets the transport.
  auto polls = std::make_shared<int>(0);
  f.pipe.answer = [polls](const RtuFrame&) { return ++*polls > 4 ? RtuFrame{0x5A} : RtuFrame{}; };
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.reopened > 0; }, 10000));
  EXPECT_EQ(f.resets, 1);
  EXPECT_GE(f.pipe.opens, 2);
}

TEST(SensorLink, AGivenAddressIsHeldAndAnUnansweredWriteIsGivenUp) {
  Fixture f;
  // Every poll of 5 is answered from address 6, and writes are never echoed.
  f.pipe.answer = [](const RtuFrame& r) {
    return r[1] == protocol::kFunctionReadHolding ? Block(6).PollReply(6) : RtuFrame{};
  };
  ASSERT_TRUE(f.link.Open());
  f.link.ConnectTo(5);
  f.link.QueueWrite(protocol::WriteFilter(5, 33), protocol::Filter);
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.Saw(LinkEventKind::WriteUnanswered); }, 10000));
  EXPECT_FALSE(f.state.deviceFound);
  EXPECT_EQ(f.state.currentAddress, 5);
  EXPECT_GT(f.state.repliesRejected, 0u);
  int writes = 0;
  for (const RtuFrame& frame : f.pipe.sent) {
    EXPECT_EQ(frame[0], 5) << "every request goes to the address given";
    if (frame[1] == protocol::kFunctionWriteMultiple) ++writes;
  }
  EXPECT_EQ(writes, protocol::kMaxWriteSends);
}

// A window's part in the reopen: each try first asks it; a refusal counts as a failed try.
struct ScriptedWindow : sensorlink::WindowHooks {
  MemoryPipe* pipe = nullptr;
  std::deque<QString> tries;  // "refuse", "fail" or "open", one per reopen try
  int ticks = 0;
  void BeforeTick() override { ++ticks; }
  QString BeforeReopen() override {
    const QString next = tries.empty() ? QStringLiteral("open") : tries.front();
    if (!tries.empty()) tries.pop_front();
    pipe->failOpen = next == QLatin1String("fail");
    return next == QLatin1String("refuse") ? QStringLiteral("COM1 moved") : QString();
  }
};

TEST(SensorLink, ALostTransportIsReopenedWhenItsWindowAgreesAndWritesPlacedOnTheStateGoOut) {
  Fixture f;
  Slave slave{2};
  f.pipe.answer = slave;
  ScriptedWindow window;
  window.pipe = &f.pipe;
  window.tries = {QStringLiteral("refuse"), QStringLiteral("fail"), QStringLiteral("open")};
  f.link.SetWindowHooks(&window);
  QStringList told;
  bool resetBeforeLossTold = false;
  QObject::connect(&f.link, &sensorlink::SensorLink::PortLost, [&](const QString& reason) {
    resetBeforeLossTold = f.link.PortResetRunning();
    told << reason;
  });
  QObject::connect(&f.link, &sensorlink::SensorLink::ReopenFailed, [&](const QString& reason) { told << reason; });
  ASSERT_TRUE(f.link.Open());
  f.link.StartSearch();
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.state.deviceFound; }, 10000));

  emit f.pipe.Lost(QStringLiteral("unplugged"));
  EXPECT_TRUE(resetBeforeLossTold);
  EXPECT_FALSE(f.pipe.IsOpen());
  const int ticksAtLoss = window.ticks;
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.reopened > 0; }, 10000));
  EXPECT_EQ(told, (QStringList{QStringLiteral("unplugged"), QStringLiteral("COM1 moved"),
                               QStringLiteral("pipe closed")}));
  EXPECT_EQ(f.resets, 1);
  EXPECT_GT(window.ticks, ticksAtLoss) << "the poll timer runs on through the reset";
  const std::uint64_t accepted = f.state.repliesAccepted;
  ASSERT_TRUE(QTest::qWaitFor([&] { return f.state.repliesAccepted > accepted; }, 10000));

  // Writes placed straight on the state, as the sensor windows place theirs,
  // go out as long as the write cycle runs, one after another.
  f.link.StartWriteCycle();
  for (std::uint16_t value : {9, 10}) {
    f.events.clear();
    protocol::QueueWrite(f.state, protocol::WriteFilter(2, value), protocol::Filter);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.Saw(LinkEventKind::WriteConfirmed); }, 10000)) << value;
    QTest::qWait(100);  // idle write ticks
  }
  f.link.Close();
  EXPECT_FALSE(f.link.findChild<QTimer*>(QStringLiteral("writeTimer"))->isActive());
}

// A scan asks each address once, lists exactly the sensors that answer, in
// order, and leaves the link quiet; a reply that comes late from the address
// asked before is not taken for the next one's.
TEST(BusScan, ListsTheSensorsOnTheLineAndLeavesTheLinkIdle) {
  Fixture f;
  const std::vector<std::uint8_t> sensors{3, 7, 12};
  // Address 5 answers too, but only after the scan has moved on.
  f.pipe.answer = [&sensors](const RtuFrame& r) {
    for (std::uint8_t a : sensors)
      if (r[0] == a) return Slave{a}(r);
    return RtuFrame{};
  };
  ASSERT_TRUE(f.link.Open());
  int stamps = 0;
  sensorlink::BusScan scan(f.link, [&stamps] { return QStringLiteral("t%1").arg(++stamps); });
  std::vector<int> progress;
  bool finished = false, cancelled = true;
  QObject::connect(&scan, &sensorlink::BusScan::Progress, [&](int asked, int, std::uint8_t) { progress.push_back(asked); });
  QObject::connect(&scan, &sensorlink::BusScan::Finished, [&](bool c) { finished = true, cancelled = c; });
  auto late = std::make_shared<bool>(false);
  QObject::connect(&f.link, &sensorlink::SensorLink::FrameSent, [&f, late](const QByteArray& frame) {
    if (static_cast<std::uint8_t>(frame[0]) == 5 && !*late) {
      *late = true;
      const RtuFrame reply = Block(5).PollReply(5);
      QTimer::singleShot(60, &f.pipe, [&f, reply] {
        emit f.pipe.BytesArrived(QByteArray(reinterpret_cast<const char*>(reply.data()), static_cast<int>(reply.size())));
      });
    }
  });
  ASSERT_TRUE(scan.Start(1, 15, 40));
  EXPECT_FALSE(scan.Start(1, 15, 40)) << "one scan at a time";
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
  EXPECT_FALSE(cancelled);
  ASSERT_EQ(scan.Found().size(), 3u);
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    EXPECT_EQ(scan.Found()[i].address, sensors[i]);
    EXPECT_FLOAT_EQ(scan.Found()[i].doValue, 7.5f);
  }
  EXPECT_EQ(scan.Found()[0].foundAt, "t1");
  EXPECT_EQ(progress.front(), 0);
  EXPECT_EQ(progress.back(), 15);
  std::vector<std::uint8_t> asked;
  for (const RtuFrame& frame : f.pipe.sent) asked.push_back(frame[0]);
  std::vector<std::uint8_t> expected;
  for (std::uint8_t a = 1; a <= 15; ++a) expected.push_back(a);
  EXPECT_EQ(asked, expected) << "each address asked exactly once";

  // Idle afterwards: nothing more goes out.
  const std::size_t sentAtEnd = f.pipe.sent.size();
  QTest::qWait(150);
  EXPECT_EQ(f.pipe.sent.size(), sentAtEnd);

  // A write waiting for its echo keeps the scan from starting; a running scan can be cancelled.
  f.link.QueueWrite(protocol::WriteFilter(3, 12), protocol::Filter);
  EXPECT_FALSE(scan.Start());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !f.link.HasPendingWrite(); }, 10000));
  finished = false;
  ASSERT_TRUE(scan.Start(1, 200, 40));
  scan.Cancel();
  EXPECT_TRUE(finished);
  EXPECT_TRUE(cancelled);
  EXPECT_FALSE(scan.Running());
}

TEST(DeviceTableFile, SavesWholeAndLoadsBackAndNeverTakesAForeignFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("sub/devices.tsv"));
  protocol::DeviceTable table;
  table.Put({7, 20251464, 1.5f, 0, 0, "2026-12-09T10:00:00.000+08:00"});
  QString error;
  ASSERT_TRUE(sensorlink::SaveDeviceTable(table, path, &error)) << error.toStdString();
  EXPECT_EQ(sensorlink::LoadDeviceTable(path).Entries(), table.Entries());
  EXPECT_TRUE(sensorlink::LoadDeviceTable(dir.filePath(QStringLiteral("missing.tsv"))).Empty());
  QFile other(dir.filePath(QStringLiteral("other.csv")));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("time,do\n1,2\n");
  other.close();
  EXPECT_TRUE(sensorlink::LoadDeviceTable(other.fileName()).Empty());
  // A folder where the file should be: refused with a reason, nothing written.
  ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("blocked.tsv"))));
  EXPECT_FALSE(sensorlink::SaveDeviceTable(table, dir.filePath(QStringLiteral("blocked.tsv")), &error));
  EXPECT_FALSE(error.isEmpty());
}
