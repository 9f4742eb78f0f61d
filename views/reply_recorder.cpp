#include "views/reply_recorder.h"

#include <cerrno>
#include <cstring>

#include "protocol/registers.h"
#include "records/reading_record.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace views {

namespace {


QByteArray WithoutLineEnd(QByteArray line) {
  while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
  return line;
}

}  // namespace

ReplyRecorder::ReplyRecorder(QObject* parent) : QObject(parent) {}

ReplyRecorder::~ReplyRecorder() { m_file.close(); }

QString ReplyRecorder::HeaderRow() { return QString::fromUtf8(WithoutLineEnd(records::CsvHeader())); }

QString ReplyRecorder::Row(const QByteArray& reply, const QDateTime& when) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  return QString::fromUtf8(WithoutLineEnd(records::CsvRow(when, bytes[0], protocol::DecodePollReply(bytes))));
}

bool ReplyRecorder::Start(const QString& path, QString* error) {
  Stop();
  auto refuse = [&](const QString& reason) {
    if (error) *error = reason;
    m_file.close();
    return false;
  };
#ifndef _WIN32
  // Decided on the path before opening: opening a FIFO for writing waits for
  // a reader, which would freeze the window.
  struct stat before {};
  if (::stat(QFile::encodeName(path).constData(), &before) == 0 && !S_ISREG(before.st_mode))
    return refuse(tr("不是普通文件（目录、管道或设备）：%1").arg(path));
#endif
  m_file.setFileName(path);
  // Unbuffered, so a failed row is known, with the system's reason, at once.
  if (!m_file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
    return refuse(m_file.errorString());
#ifndef _WIN32
  struct stat opened {};
  if (::fstat(m_file.handle(), &opened) != 0 || !S_ISREG(opened.st_mode))
    return refuse(tr("不是普通文件（目录、管道或设备）：%1").arg(path));
  m_device = static_cast<quint64>(opened.st_dev);
  m_inode = static_cast<quint64>(opened.st_ino);
#endif
  QString reason;
  if (m_file.size() == 0) {
    if (!Append(records::CsvHeader(), &reason)) return refuse(reason);
  } else {
    // Rows of another layout under this header would be read as wrong columns.
    m_file.seek(0);
    const QByteArray header = WithoutLineEnd(m_file.readLine(4096));
    if (header != WithoutLineEnd(records::CsvHeader()))
      return refuse(tr("文件中已有其他格式的数据，请选择新文件：%1").arg(path));
    // A file cut off mid-row (by another program, or a crash) must not glue
    // its last line to our first row.
    m_file.seek(m_file.size() - 1);
    if (m_file.read(1) != "\n" && !Append("\n", &reason)) return refuse(reason);
  }
  m_rows = 0;
  emit RecordingChanged(true);
  return true;
}

void ReplyRecorder::Stop() {
  if (!m_file.isOpen()) return;
  m_file.close();
  emit RecordingChanged(false);
}

bool ReplyRecorder::Append(const QByteArray& bytes, QString* reason) {
  const qint64 end = m_file.size();
  errno = 0;
  const qint64 written = m_file.write(bytes);
  if (written == bytes.size()) return true;
  const int error = errno;
  *reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : m_file.errorString();
  // Take back the part of the row that made it, so the file ends on a whole row.
  m_file.resize(end);
  return false;
}

bool ReplyRecorder::StillAtItsPath() const {
#ifndef _WIN32
  struct stat now {};
  return ::stat(QFile::encodeName(m_file.fileName()).constData(), &now) == 0 &&
         static_cast<quint64>(now.st_dev) == m_device && static_cast<quint64>(now.st_ino) == m_inode;
#else
  return QFile::exists(m_file.fileName());
#endif
}

void ReplyRecorder::Fail(const QString& reason) {
  Stop();
  emit Failed(reason);
}

bool ReplyRecorder::Record(const QByteArray& reply, const QDateTime& when) {
  if (!m_file.isOpen()) return false;
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return false;
  // Rows written into a deleted or moved file would be lost without a word.
  if (!StillAtItsPath()) {
    Fail(tr("记录文件已被删除或移动"));
    return false;
  }
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  QString reason;
  if (!Append(records::CsvRow(when, bytes[0], protocol::DecodePollReply(bytes)), &reason)) {
    Fail(reason);
    return false;
  }
  ++m_rows;
  return true;
}

}  // namespace views
