#include "views/reply_recorder.h"

#include <QStringList>

#include "protocol/display_rules.h"
#include "protocol/registers.h"

namespace views {

namespace {

// Local time with milliseconds and the offset from UTC, e.g.
// 2024-05-01T14:03:07.250+08:00. Built by hand so no locale is involved.
QString IsoTime(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  const int offset = when.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                           t.minute(), t.second(), t.msec(), offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ReplyRecorder::ReplyRecorder(QObject* parent) : QObject(parent) {}

ReplyRecorder::~ReplyRecorder() { m_file.close(); }

QString ReplyRecorder::HeaderRow() {
  return QStringLiteral("时间,地址,溶解氧,单位,温度(℃),状态,相位差(°),红光幅值(mV),绿光幅值(mV)");
}

QString ReplyRecorder::Row(const QByteArray& reply, const QDateTime& when) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(reply.constData());
  const protocol::SensorReading reading = protocol::DecodePollReply(bytes);
  const protocol::ShownReading shown = protocol::ShowReading(reading);
  // No field can hold a comma or a quote: numbers, "mg/L", "%", "正常", "异常".
  return QStringList{IsoTime(when),
                     QString::number(bytes[0]),
                     Text(shown.doValue),
                     Text(shown.unit),
                     Text(shown.temperature),
                     Text(shown.status),
                     Text(shown.phaseDiff),
                     Text(shown.redAmplitude),
                     Text(shown.greenAmplitude)}
      .join(QLatin1Char(','));
}

bool ReplyRecorder::Start(const QString& path, QString* error) {
  Stop();
  m_file.setFileName(path);
  if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
    if (error) *error = m_file.errorString();
    return false;
  }
  if (m_file.size() == 0) {
    // A byte-order mark so spreadsheet programs read the Chinese header as UTF-8.
    const QByteArray head = QByteArray("\xEF\xBB\xBF") + HeaderRow().toUtf8() + "\r\n";
    if (m_file.write(head) != head.size() || !m_file.flush()) {
      if (error) *error = m_file.errorString();
      m_file.close();
      return false;
    }
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

bool ReplyRecorder::Record(const QByteArray& reply, const QDateTime& when) {
  if (!m_file.isOpen()) return false;
  if (reply.size() < static_cast<int>(protocol::kPollReplyLength)) return false;
  const QByteArray line = Row(reply, when).toUtf8() + "\r\n";
  if (m_file.write(line) != line.size() || !m_file.flush()) {
    const QString reason = m_file.errorString();
    Stop();
    emit Failed(reason);
    return false;
  }
  ++m_rows;
  return true;
}

}  // namespace views
