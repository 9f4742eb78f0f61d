#include "serial/port_naming.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

TEST(PortNaming, SystemPortsAreNumberedAdaptersFirstInNaturalOrder) {
  const QStringList reported = {"/dev/ttyS1", "/dev/ttyUSB10", "/dev/ttyS0", "/dev/ttyACM0",
                                "/dev/ttyUSB2", "/dev/ttyS0", "/dev/ttyUSB0"};
  const QStringList expected = {"/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10",
                                "/dev/ttyS0", "/dev/ttyS1"};
  EXPECT_EQ(OrderSystemPorts(reported), expected);
  // The order does not depend on the order the system reported them in.
  QStringList reversed(reported.rbegin(), reported.rend());
  EXPECT_EQ(OrderSystemPorts(reversed), expected);
  // macOS style adapter names count as adapters too.
  EXPECT_EQ(OrderSystemPorts({"/dev/cu.Bluetooth", "/dev/cu.usbserial-1410"}).first(),
            QString("/dev/cu.usbserial-1410"));
}

TEST(PortNaming, LinkInPortDirectoryWinsOverSystemPorts) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QTemporaryDir devices;
  const QString device = devices.filePath("ttyFake7");
  QFile f(device);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();
  ASSERT_TRUE(QFile::link(device, PortLinkPath(dir.path(), 2)));

  const QStringList system = {"/dev/ttyS0", "/dev/ttyUSB0"};
  // COM2 is bound by the link; COM1 and COM3 fall back to the system's list.
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 2, system), QFileInfo(device).canonicalFilePath());
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 1, system), QString("/dev/ttyUSB0"));
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 3, system), QString());
  EXPECT_EQ(ResolvePortNameIn(QString(), 2, system), QString("/dev/ttyS0"));
  // Numbers outside COM1..COM15 resolve to nothing, even with a link.
  ASSERT_TRUE(QFile::link(device, dir.filePath("COM16")));
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 16, system), QString());
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 0, system), QString());

  // A link whose device has gone still binds its number: the open fails on
  // the missing device instead of reaching some other port.
  ASSERT_TRUE(QFile::link("/dev/nonexistent-tty-42", PortLinkPath(dir.path(), 1)));
  EXPECT_EQ(ResolvePortNameIn(dir.path(), 1, system), QString("/dev/nonexistent-tty-42"));
}

TEST(PortNaming, SystemPortsAreListedOnlyForNumbersWithoutALink) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QFile::link("/dev/null", PortLinkPath(dir.path(), 1)));
  ASSERT_TRUE(QFile::link("/dev/null", PortLinkPath(dir.path(), 2)));
  const QStringList system = {"/dev/ttyS0", "/dev/ttyUSB0"};
  int listings = 0;
  const SystemPortLister lister = [&] {
    ++listings;
    return system;
  };
  struct Case {
    QString directory;
    int number;
    QString expected;
    int listings;
  };
  const Case cases[] = {
      {dir.path(), 1, "/dev/null", 0},     // a link: no listing at all
      {dir.path(), 2, "/dev/null", 0},
      {dir.path(), 3, QString(), 1},       // no link: listed, and nothing third
      {QString(), 1, "/dev/ttyUSB0", 1},  // no directory: listed
      {dir.path(), 16, QString(), 0},      // out of range: nothing to look up
  };
  for (const Case& c : cases) {
    listings = 0;
    EXPECT_EQ(ResolvePortNameIn(c.directory, c.number, lister), c.expected) << "COM" << c.number;
    EXPECT_EQ(listings, c.listings) << "COM" << c.number;
  }
  // All fifteen at once: the links bind COM1 and COM2, the rest take the
  // system's order, listed once for all of them.
  listings = 0;
  const QStringList all = ResolvePortNamesIn(dir.path(), kLastPortNumber, lister);
  EXPECT_EQ(listings, 1);
  ASSERT_EQ(all.size(), kLastPortNumber);
  EXPECT_EQ(all.mid(0, 4), (QStringList{"/dev/null", "/dev/null", QString(), QString()}));
  EXPECT_EQ(ResolvePortNamesIn(QString(), 2, lister), (QStringList{"/dev/ttyUSB0", "/dev/ttyS0"}));
  // Every number linked: the system is never asked.
  for (int n = 3; n <= kLastPortNumber; ++n) ASSERT_TRUE(QFile::link("/dev/null", PortLinkPath(dir.path(), n)));
  listings = 0;
  EXPECT_EQ(ResolvePortNamesIn(dir.path(), kLastPortNumber, lister), QStringList(kLastPortNumber, "/dev/null"));
  EXPECT_EQ(listings, 0);
}

TEST(PortNaming, PortDirectoryIsPrivateAndFollowsRuntimeDir) {
  const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());

  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  const QString dir = PortDirectory();
  EXPECT_EQ(dir, runtime.filePath("sensortool-ports"));
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(dir).constData(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A directory that others may write into is made private again.
  ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0777), 0);
  EXPECT_EQ(PortDirectory(), dir);
  ASSERT_EQ(::stat(QFile::encodeName(dir).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A directory owned by somebody else is refused.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(QFile::encodeName(dir).constData(), 65534, 65534), 0);
    EXPECT_EQ(PortDirectory(), QString());
  }
  // A plain file in its place is refused too.
  QTemporaryDir other;
  qputenv("XDG_RUNTIME_DIR", other.path().toLocal8Bit());
  QFile blocker(other.filePath("sensortool-ports"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  EXPECT_EQ(PortDirectory(), QString());

  // Without XDG_RUNTIME_DIR: a per-user directory under the temp directory.
  qunsetenv("XDG_RUNTIME_DIR");
  QTemporaryDir tmp;
  const QByteArray savedTmp = qgetenv("TMPDIR");
  qputenv("TMPDIR", tmp.path().toLocal8Bit());
  const QString fallback = PortDirectory();
  EXPECT_EQ(fallback, QDir(tmp.path()).filePath(QString("sensortool-ports-%1").arg(::geteuid())));
  ASSERT_EQ(::stat(QFile::encodeName(fallback).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  if (savedTmp.isNull()) qunsetenv("TMPDIR"); else qputenv("TMPDIR", savedTmp);
  qputenv("XDG_RUNTIME_DIR", saved);
}

}  // namespace
