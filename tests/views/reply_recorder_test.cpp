// Recording of accepted replies into a CSV file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>

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
  text.remove(QChar(0xFEFF));
  QStringList lines = text.split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace

TEST(ReplyRecorder, RowsCarryTheShownValuesWithIsoTime) {
  const QDateTime when(QDate(2024, 5, 1), QTime(14, 3, 7, 250), QTimeZone(8 * 3600));
  const QString row = views::ReplyRecorder::Row(Reply(5, 8.2769f, -3.456f, 1, 0), when);
  EXPECT_EQ(row.toStdString(), "2024-05-01T14:03:07.250+08:00,5,8.27,mg/L,-3.45,正常,27.85,1234,987");
  // Below 0.01 the oxygen value shows 0; unit 0 is %; status 1 is abnormal.
  const QDateTime west(QDate(2023, 12, 31), QTime(23, 59, 59, 5), QTimeZone(-(5 * 3600 + 30 * 60)));
  EXPECT_EQ(views::ReplyRecorder::Row(Reply(17, 0.005f, 25.0f, 0, 1), west).toStdString(),
            "2023-12-31T23:59:59.005-05:30,17,0,%,25,异常,27.85,1234,987");
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
  EXPECT_EQ(lines.at(3).section(QLatin1Char(','), 2, 2), QStringLiteral("9.5"));
  QFile raw(path);
  ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
  EXPECT_TRUE(raw.readAll().startsWith("\xEF\xBB\xBF"));
  raw.close();

  recorder.Stop();
  EXPECT_FALSE(recorder.IsRecording());
  EXPECT_FALSE(recorder.Record(Reply(1, 1.0f, 20.0f, 1, 0), now));
  EXPECT_EQ(Lines(path).size(), 4);

  // A second recording into the same file appends without a second header.
  ASSERT_TRUE(recorder.Start(path, &error));
  ASSERT_TRUE(recorder.Record(Reply(1, 2.0f, 20.0f, 1, 0), now));
  recorder.Stop();
  lines = Lines(path);
  EXPECT_EQ(lines.size(), 5);
  EXPECT_EQ(lines.filter(QStringLiteral("时间,")).size(), 1);
  EXPECT_EQ(lines.last().section(QLatin1Char(','), 2, 2), QStringLiteral("2"));
}

TEST(ReplyRecorder, UnwritablePathsAreRefusedWithAReason) {
  QTemporaryDir dir;
  views::ReplyRecorder recorder;
  QString error;
  EXPECT_FALSE(recorder.Start(dir.filePath(QStringLiteral("missing/folder/record.csv")), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(recorder.IsRecording());
  // A directory is not a file.
  error.clear();
  EXPECT_FALSE(recorder.Start(dir.path(), &error));
  EXPECT_FALSE(error.isEmpty());
  // A full device fails on the first row: recording stops and says why.
  if (QFile::exists(QStringLiteral("/dev/full"))) {
    ASSERT_FALSE(recorder.Start(QStringLiteral("/dev/full"), &error));  // the header already fails
    EXPECT_FALSE(recorder.IsRecording());
  }
}
