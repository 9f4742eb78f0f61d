// Recording of accepted replies into a CSV file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "protocol/registers.h"
#include "views/reply_recorder.h"

namespace {

QByteArray Reply(std::uint8_t address, float doValue, float temperature, std::uint16_t unit, std::uint16_t status) {
  protocol::RegisterBlock block;
  block.SetFloat(protocol::DoValue, doValue);
  block.SetFloat(protocol::Temperature, temperature);
  block.SetFloat(protocol::PhaseDiff, 27.8567f);
  block.regs[protocol::RedAmplitude] = 1234;
  block.regs[protocol::GreenAmplitude] = 987;
  block.regs[protocol::DeviceType] = 2;
  block.regs[protocol::Unit] = unit;
  block.regs[protocol::Status] = status;
  const protocol::RtuFrame f = block.PollReply(address);
  return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<int>(f.size()));
}

QStringList Lines(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QString text = QString::fromUtf8(f.readAll());
  QStringList lines = text.split(QLatin1Char('\n'));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

TEST(ReplyRecorder, RowsCarryTheShownValuesWithIsoTime) {
  const QDateTime when(QDate(2024, 5, 1), QTime(14, 3, 7, 250), QTimeZone(8 * 3600));
  const QString row = views::ReplyRecorder::Row(Reply(5, 8.2769f, -3.456f, 1, 0), when);
  EXPECT_EQ(row.toStdString(),
            "2024-05-01T14:03:07.250+08:00,5,0,8.27,8.2769,mg/L,1,-3.45,-3.456,正常,0,27.85,27.8567,0,0,0,0,1234,0,987,0");
  // Below 0.01 the oxygen value shows 0; unit 0 is %; status 1 is abnormal.
  const QDateTime west(QDate(2023, 12, 31), QTime(23, 59, 59, 5), QTimeZone(-(5 * 3600 + 30 * 60)));
  EXPECT_EQ(views::ReplyRecorder::Row(Reply(17, 0.005f, 25.0f, 0, 1), west).toStdString(),
            "2023-12-31T23:59:59.005-05:30,17,0,0,0.005,%,0,25,25,异常,1,27.85,27.8567,0,0,0,0,1234,0,987,0");
  EXPECT_EQ(views::ReplyRecorder::HeaderRow().split(QLatin1Char(',')).size(), row.split(QLatin1Char(',')).size());
}

TEST(ReplyRecorder, WritesOnlyWhenStartedFlushesEachRowAndAppends) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.csv"));
  views::ReplyRecorder recorder;
  const QDateTime now = QDateTime::currentDateTime();

  // Nothing is written unless recording was started.
  EXPECT_FALSE(recorder.Record(Reply(1, 7.5f, 20.0f, 1, 0), now));
  EXPECT_FALSE(QFile::exists(path));

  QSignalSpy changed(&recorder, &views::ReplyRecorder::RecordingChanged);
  QString error;
  ASSERT_TRUE(recorder.Start(path, &error)) << error.toStdString();
  EXPECT_TRUE(recorder.IsRecording());
  ASSERT_EQ(changed.size(), 1);
  EXPECT_TRUE(changed.at(0).at(0).toBool());
  // Each row is on disk as soon as it is recorded, while the file is still open.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(recorder.Record(Reply(1, 7.5f + i, 20.0f, 1, 0), now));
    EXPECT_EQ(Lines(path).size(), i + 2);
  }
  QStringList lines = Lines(path);
  EXPECT_EQ(lines.first(), views::ReplyRecorder::HeaderRow());
  EXPECT_EQ(lines.at(3).section(QLatin1Char(','), 3, 3), QStringLiteral("9.5"));
  QFile raw(path);
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  EXPECT_TRUE(raw.readAll().startsWith("time,address,stale,do_value,do_value_raw,"));  // no byte-order mark
  raw.close();

  recorder.Stop();
  EXPECT_FALSE(recorder.IsRecording());
  EXPECT_FALSE(recorder.Record(Reply(1, 1.0f, 20.0f, 1, 0), now));
  EXPECT_EQ(Lines(path).size(), 4);

  // A second recording into the same file appends without a second header,
  // on a line of its own even when the file was left without its last line end.
  ASSERT_TRUE(raw.open(QIODevice::Append));
  raw.write("2024-05-01T00:00:00.000+00:00,1,0,7");
  raw.close();
  ASSERT_TRUE(recorder.Start(path, &error)) << error.toStdString();
  ASSERT_TRUE(recorder.Record(Reply(1, 2.0f, 20.0f, 1, 0), now));
  recorder.Stop();
  lines = Lines(path);
  EXPECT_EQ(lines.size(), 6);
  EXPECT_EQ(lines.filter(QStringLiteral("time,")).size(), 1);
  EXPECT_EQ(lines.last().section(QLatin1Char(','), 3, 3), QStringLiteral("2"));
  EXPECT_EQ(lines.last().section(QLatin1Char(','), 1, 1), QStringLiteral("1"));
}

TEST(ReplyRecorder, UnwritablePathsAreRefusedWithAReason) {
  QTemporaryDir dir;
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString foreign = dir.filePath(QStringLiteral("other.csv"));
  {
    QFile f(foreign);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("时间,地址,溶解氧\n2024-05-01,1,8.5\n");
  }
  // Each is refused at once: no wait for a FIFO's reader, nothing appended
  // under another program's header, nothing written to a device.
  const QString refused[] = {dir.filePath(QStringLiteral("missing/folder/record.csv")), dir.path(), fifo, foreign,
                             QStringLiteral("/dev/full"), QStringLiteral("/dev/null")};
  for (const QString& path : refused) {
    views::ReplyRecorder recorder;
    QString error;
    EXPECT_FALSE(recorder.Start(path, &error)) << path.toStdString();
    EXPECT_FALSE(error.isEmpty()) << path.toStdString();
    EXPECT_FALSE(recorder.IsRecording()) << path.toStdString();
  }
  QFile f(foreign);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("时间,地址,溶解氧\n2024-05-01,1,8.5\n"));
}

// A file that fills up mid-row keeps only whole rows, and the operator reads
// the system's reason. The file-size limit stands in for a full disk.
TEST(ReplyRecorder, AFailedWriteLeavesOnlyWholeRowsAndSaysWhy) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.csv"));
  const QDateTime now = QDateTime::currentDateTime();
  const qint64 rowBytes = views::ReplyRecorder::Row(Reply(1, 8.62f, 20.0f, 1, 0), now).toUtf8().size() + 1;
  const qint64 headerBytes = views::ReplyRecorder::HeaderRow().toUtf8().size() + 1;

  views::ReplyRecorder recorder;
  QSignalSpy failed(&recorder, &views::ReplyRecorder::Failed);
  QString error;
  ASSERT_TRUE(recorder.Start(path, &error)) << error.toStdString();
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = saved;
  limit.rlim_cur = static_cast<rlim_t>(headerBytes + 2 * rowBytes + rowBytes / 2);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  int recorded = 0;
  while (recorded < 5 && recorder.Record(Reply(1, 8.62f, 20.0f, 1, 0), now)) ++recorded;
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(recorded, 2);
  EXPECT_FALSE(recorder.IsRecording());
  ASSERT_EQ(failed.size(), 1);
  const QString reason = failed.at(0).at(0).toString();
  EXPECT_FALSE(reason.isEmpty());
  EXPECT_FALSE(reason.contains(QStringLiteral("Unknown"))) << reason.toStdString();
  EXPECT_EQ(QFileInfo(path).size(), headerBytes + 2 * rowBytes);
  EXPECT_EQ(Lines(path).size(), 3);
}

// Rows recorded into a file nobody can find again are lost: a deleted or
// moved file stops the recording with a reason.
TEST(ReplyRecorder, AFileDeletedOrMovedWhileRecordingStopsIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.csv"));
  const QDateTime now = QDateTime::currentDateTime();
  for (const bool move : {false, true}) {
    views::ReplyRecorder recorder;
    QSignalSpy failed(&recorder, &views::ReplyRecorder::Failed);
    QString error;
    ASSERT_TRUE(recorder.Start(path, &error)) << error.toStdString();
    ASSERT_TRUE(recorder.Record(Reply(1, 8.5f, 20.0f, 1, 0), now));
    if (move)
      ASSERT_TRUE(QFile::rename(path, dir.filePath(QStringLiteral("moved.csv"))));
    else
      ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(recorder.Record(Reply(1, 8.5f, 20.0f, 1, 0), now)) << move;
    EXPECT_FALSE(recorder.IsRecording()) << move;
    EXPECT_EQ(failed.size(), 1) << move;
    EXPECT_FALSE(QFile::exists(path)) << move;
  }
}
