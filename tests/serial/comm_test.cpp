#include "serial/comm.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "protocol/registers.h"
#include "pty_helpers.h"
#include "serial/port_naming.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

using Bytes = std::vector<std::uint8_t>;

// Binds COM`number` to `device` in the port directory, replacing an old link.
void Bind(int number, const std::string& device) {
  const QString link = PortLinkPath(PortDirectory(), number);
  QFile::remove(link);
  ASSERT_TRUE(QFile::link(QString::fromStdString(device), link));
}

// The opening sequence the main window runs.
bool OpenLikeTheTool(CMSComm& comm, short port) {
  comm.SetCommPort(port);
  comm.SetInputMode(1);
  comm.SetInBufferSize(1024);
  comm.SetOutBufferSize(512);
  comm.SetSettings("9600,n,8,1");
  if (comm.PortOpen()) return false;
  if (!comm.SetPortOpen(true)) return false;
  comm.SetRThreshold(1);
  comm.SetInputLen(0);
  comm.Input();
  return true;
}

// Reads `count` bytes from the far end while the event loop runs, so output
// the port queued can leave.
Bytes ReadFromLine(int fd, std::size_t count) {
  Bytes got;
  // A short read is no failure here: the caller compares what arrived.
  static_cast<void>(QTest::qWaitFor(
      [&] {
        const Bytes more = ReadBytes(fd, count - got.size(), 5);
        got.insert(got.end(), more.begin(), more.end());
        return got.size() >= count;
      },
      5000));
  return got;
}

// Collects Input() on every OnComm until `count` bytes arrived.
Bytes ReceiveViaOnComm(CMSComm& comm, std::size_t count, int* events = nullptr) {
  Bytes got;
  int seen = 0;
  auto c = QObject::connect(&comm, &CMSComm::OnComm, [&] {
    ++seen;
    EXPECT_EQ(comm.CommEvent(), 2);
    const Bytes in = comm.Input();
    got.insert(got.end(), in.begin(), in.end());
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() >= count; }, 5000));
  QObject::disconnect(c);
  if (events) *events = seen;
  return got;
}

TEST(LineSettingsText, ParsesTheControlsNotationAndRejectsTheRest) {
  LineSettings s;
  ASSERT_TRUE(ParseLineSettings("9600,n,8,1", &s));
  EXPECT_EQ(s.baudRate, 9600);
  EXPECT_EQ(s.parity, QSerialPort::NoParity);
  EXPECT_EQ(s.dataBits, QSerialPort::Data8);
  EXPECT_EQ(s.stopBits, QSerialPort::OneStop);
  ASSERT_TRUE(ParseLineSettings(" 19200, E ,7,2", &s));
  EXPECT_EQ(s.baudRate, 19200);
  EXPECT_EQ(s.parity, QSerialPort::EvenParity);
  EXPECT_EQ(s.dataBits, QSerialPort::Data7);
  EXPECT_EQ(s.stopBits, QSerialPort::TwoStop);
  ASSERT_TRUE(ParseLineSettings("4800,o,8,1.5", &s));
  EXPECT_EQ(s.parity, QSerialPort::OddParity);
  EXPECT_EQ(s.stopBits, QSerialPort::OneAndHalfStop);

  const LineSettings before = s;
  for (const char* bad : {"", "9600", "9600,n,8", "9600,n,8,1,1", "fast,n,8,1", "9600,x,8,1",
                          "9600,n,9,1", "9600,n,8,3", "-9600,n,8,1", "9600;n;8;1"}) {
    EXPECT_FALSE(ParseLineSettings(bad, &s)) << bad;
    EXPECT_EQ(s.baudRate, before.baudRate) << bad;
    EXPECT_EQ(s.stopBits, before.stopBits) << bad;
  }
}

TEST(OpenErrorMessages, AreChineseNameThePortAndKeepUsefulSystemText) {
  const QString missing = OpenErrorText(QSerialPort::DeviceNotFoundError, 3, "/dev/ttyUSB0",
                                        "No such file or directory", true);
  EXPECT_TRUE(missing.contains("COM3")) << missing.toStdString();
  EXPECT_TRUE(missing.contains("/dev/ttyUSB0"));
  EXPECT_TRUE(missing.contains("不存在"));
  EXPECT_TRUE(missing.contains("No such file or directory"));

  const QString held = OpenErrorText(QSerialPort::PermissionError, 2, "/dev/ttyS1",
                                     "Permission error while locking the device", true);
  EXPECT_TRUE(held.contains("占用")) << held.toStdString();
  const QString denied = OpenErrorText(QSerialPort::PermissionError, 2, "/dev/ttyS1",
                                       "Permission denied", false);
  EXPECT_TRUE(denied.contains("权限")) << denied.toStdString();
  // The fix the operator can type, and that it takes a new login to apply.
  EXPECT_TRUE(denied.contains("sudo usermod -aG dialout $USER")) << denied.toStdString();
  EXPECT_TRUE(denied.contains("重新登录"));
  EXPECT_FALSE(denied.contains("占用"));

  // Qt's vague texts are left out; the Chinese text stands on its own.
  const QString vague = OpenErrorText(QSerialPort::UnknownError, 1, "COM1", "Unknown error", true);
  EXPECT_FALSE(vague.contains("Unknown error")) << vague.toStdString();
  EXPECT_TRUE(vague.contains("COM1"));
  EXPECT_FALSE(vague.contains("（COM1）"));
}

TEST(CMSCommProperties, KeepTheirValuesAndRefuseBadOnes) {
  CMSComm comm;
  EXPECT_EQ(comm.CommPort(), 1);
  EXPECT_EQ(comm.Settings(), QString("9600,n,8,1"));
  comm.SetCommPort(7);
  EXPECT_EQ(comm.CommPort(), 7);
  comm.SetCommPort(16);
  EXPECT_EQ(comm.CommPort(), 7);
  EXPECT_FALSE(comm.LastError().isEmpty());
  comm.SetCommPort(0);
  EXPECT_EQ(comm.CommPort(), 7);

  comm.SetSettings("19200,e,7,2");
  EXPECT_EQ(comm.Settings(), QString("19200,e,7,2"));
  comm.SetSettings("9600 baud please");
  EXPECT_EQ(comm.Settings(), QString("19200,e,7,2"));
  EXPECT_TRUE(comm.LastError().contains("9600 baud please"));

  comm.SetInBufferSize(1024);
  comm.SetOutBufferSize(512);
  comm.SetInputLen(0);
  comm.SetInputMode(1);
  comm.SetRThreshold(1);
  EXPECT_EQ(comm.InBufferSize(), 1024);
  EXPECT_EQ(comm.OutBufferSize(), 512);
  EXPECT_EQ(comm.InputLen(), 0);
  EXPECT_EQ(comm.InputMode(), 1);
  EXPECT_EQ(comm.RThreshold(), 1);
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(comm.Input().empty());
}

TEST(CMSCommOverPty, FramesCrossTheLineWholeAndInOrder) {
  Pty pty;
  ASSERT_GE(pty.master(), 0);
  Bind(3, pty.slavePath());

  CMSComm comm;
  // Sent while closed: ignored, never reaches the line.
  comm.SetOutput(protocol::PollBlock(9));
  ASSERT_TRUE(OpenLikeTheTool(comm, 3)) << comm.LastError().toStdString();
  EXPECT_TRUE(comm.PortOpen());
  EXPECT_EQ(comm.DeviceName(), QString::fromStdString(pty.slavePath()));

  // The line runs at the settings asked for.
  termios tio{};
  ASSERT_EQ(::tcgetattr(pty.slaveFd(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & PARENB, 0u);
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);
  // Settings change on the open port at once.
  comm.SetSettings("19200,n,8,2");
  EXPECT_EQ(comm.Settings(), QString("19200,n,8,2")) << comm.LastError().toStdString();
  ASSERT_EQ(::tcgetattr(pty.slaveFd(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
  // A pseudo-terminal cannot do parity or 7 data bits: the change is refused
  // as a whole and the line keeps running as before.
  comm.SetSettings("9600,e,7,1");
  EXPECT_EQ(comm.Settings(), QString("19200,n,8,2"));
  EXPECT_TRUE(comm.LastError().contains("9600,e,7,1"));
  ASSERT_EQ(::tcgetattr(pty.slaveFd(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
  comm.SetSettings("9600,n,8,1");
  ASSERT_EQ(::tcgetattr(pty.slaveFd(), &tio), 0);
  EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSTOPB, 0u);

  // A frame written arrives whole on the other side; the one sent while the
  // port was closed does not.
  const Bytes write = protocol::WriteFilter(1, 10);
  comm.SetOutput(write);
  const Bytes poll = protocol::PollBlock(5);
  comm.SetOutput(poll);
  Bytes expected = write;
  expected.insert(expected.end(), poll.begin(), poll.end());
  const Bytes onLine = ReadFromLine(pty.master(), expected.size());
  EXPECT_EQ(onLine, expected);

  // Bytes sent back raise OnComm and come back in order from Input.
  protocol::RegisterBlock block;
  block.regs[protocol::DeviceType] = 2;
  block.SetFloat(protocol::DoValue, 8.5f);
  const Bytes reply = block.PollReply(1);
  ASSERT_TRUE(WriteAll(pty.master(), Bytes(reply.begin(), reply.begin() + 30)));
  ASSERT_TRUE(WriteAll(pty.master(), Bytes(reply.begin() + 30, reply.end())));
  int events = 0;
  EXPECT_EQ(ReceiveViaOnComm(comm, reply.size(), &events), reply);
  EXPECT_GE(events, 1);
  EXPECT_TRUE(comm.Input().empty());

  // InputLen caps one read; the rest stays for the next.
  comm.SetInputLen(4);
  ASSERT_TRUE(WriteAll(pty.master(), {1, 2, 3, 4, 5, 6}));
  Bytes firstRead;
  QTRY_VERIFY_WITH_TIMEOUT((firstRead = comm.Input(), !firstRead.empty()), 5000);
  Bytes all = firstRead;
  EXPECT_LE(firstRead.size(), 4u);
  QTRY_VERIFY_WITH_TIMEOUT(([&] {
                             const Bytes more = comm.Input();
                             EXPECT_LE(more.size(), 4u);
                             all.insert(all.end(), more.begin(), more.end());
                             return all.size() >= 6;
                           }()), 5000);
  EXPECT_EQ(all, (Bytes{1, 2, 3, 4, 5, 6}));

  ASSERT_TRUE(comm.SetPortOpen(false));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(comm.Input().empty());
}

TEST(CMSCommOverPty, FailedOpensReportTheReasonAndChangeNothing) {
  // A number bound to a device that does not exist.
  const QString link = PortLinkPath(PortDirectory(), 4);
  QFile::remove(link);
  ASSERT_TRUE(QFile::link("/dev/pts/987654", link));
  CMSComm comm;
  comm.SetCommPort(4);
  comm.SetSettings("9600,n,8,1");
  EXPECT_FALSE(comm.SetPortOpen(true));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(comm.CommPort(), 4);
  EXPECT_EQ(comm.Settings(), QString("9600,n,8,1"));
  EXPECT_TRUE(comm.LastError().contains("COM4")) << comm.LastError().toStdString();
  EXPECT_TRUE(comm.LastError().contains("/dev/pts/987654"));
  EXPECT_TRUE(comm.LastError().contains("不存在"));

  // A port already held by another component.
  Pty pty;
  Bind(5, pty.slavePath());
  CMSComm holder;
  ASSERT_TRUE(OpenLikeTheTool(holder, 5)) << holder.LastError().toStdString();
  comm.SetCommPort(5);
  EXPECT_FALSE(comm.SetPortOpen(true));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_EQ(comm.CommPort(), 5);
  EXPECT_TRUE(comm.LastError().contains("占用")) << comm.LastError().toStdString();
  EXPECT_TRUE(comm.LastError().contains(QString::fromStdString(pty.slavePath())));

  // The holder is untouched: still open, still bound to its number, still
  // carrying traffic. Its port number cannot change while open.
  EXPECT_TRUE(holder.PortOpen());
  EXPECT_TRUE(holder.SetPortOpen(true));
  holder.SetCommPort(6);
  EXPECT_EQ(holder.CommPort(), 5);
  ASSERT_TRUE(WriteAll(pty.master(), {0x42, 0x43}));
  EXPECT_EQ(ReceiveViaOnComm(holder, 2), (Bytes{0x42, 0x43}));

  // Once the holder lets go, the same component opens fine.
  holder.SetPortOpen(false);
  EXPECT_TRUE(comm.SetPortOpen(true)) << comm.LastError().toStdString();
  EXPECT_TRUE(comm.PortOpen());
}

TEST(CMSCommOverPty, DeviceFailureIsReportedOnceAndThePortOpensAgain) {
  auto pty = std::make_unique<Pty>();
  Bind(6, pty->slavePath());
  CMSComm comm;
  ASSERT_TRUE(OpenLikeTheTool(comm, 6)) << comm.LastError().toStdString();
  QSignalSpy failed(&comm, &CMSComm::PortFailed);

  pty->Close();  // the adapter is pulled
  ASSERT_TRUE(failed.wait(5000));
  EXPECT_FALSE(comm.PortOpen());
  EXPECT_TRUE(failed.at(0).at(0).toString().contains("COM6"));
  EXPECT_EQ(comm.LastError(), failed.at(0).at(0).toString());
  // Output to the failed port goes nowhere and raises nothing.
  comm.SetOutput(protocol::PollBlock(1));

  // The device comes back (a new pty bound to the same number): the port
  // opens again and carries traffic.
  pty = std::make_unique<Pty>();
  Bind(6, pty->slavePath());
  ASSERT_TRUE(OpenLikeTheTool(comm, 6)) << comm.LastError().toStdString();
  comm.SetOutput(protocol::PollBlock(1));
  EXPECT_EQ(ReadFromLine(pty->master(), 8), protocol::PollBlock(1));
  ASSERT_TRUE(WriteAll(pty->master(), {7, 8, 9}));
  EXPECT_EQ(ReceiveViaOnComm(comm, 3), (Bytes{7, 8, 9}));
  // All that event traffic later, the failure is still reported only once.
  EXPECT_EQ(failed.count(), 1);
}

}  // namespace
