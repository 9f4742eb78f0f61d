#include "cli/history_command.h"

#include "cli/cli_texts.h"

#include <QJsonArray>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTimeZone>

#include "records/database_url.h"
#include "records/record_database.h"
#include "records/record_format.h"

namespace cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// The label's width in terminal columns: CJK characters take two.
int Columns(const QString& text) {
  int n = 0;
  for (const QChar c : text) n += (c.unicode() >= 0x1100 && c.unicode() != 0xFEFF) ? 2 : 1;
  return n;
}

void PrintTable(const QStringList& columns, const QList<QStringList>& rows, QTextStream& out) {
  QList<int> widths;
  for (const QString& c : columns) widths << Columns(c);
  for (const QStringList& r : rows)
    for (int i = 0; i < r.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], Columns(r[i]));
  auto line = [&](const QStringList& fields) {
    QString s;
    for (int i = 0; i < fields.size(); ++i) {
      s += fields[i];
      if (i + 1 < fields.size()) s += QString(widths[i] - Columns(fields[i]) + 2, QLatin1Char(' '));
    }
    out << s << '\n';
  };
  line(columns);
  for (const QStringList& r : rows) line(r);
}

template <typename Row, typename ToColumns, typename ToJson>
void Print(const QList<Row>& rows, HistoryArgs::Format format, const QStringList& columns, ToColumns toColumns,
           ToJson toJson, QTextStream& out) {
  switch (format) {
    case HistoryArgs::Format::Json: {
      QJsonArray array;
      for (const Row& r : rows) array.append(toJson(r));
      out << QJsonDocument(array).toJson(QJsonDocument::Indented);
      break;
    }
    case HistoryArgs::Format::Csv:
      out << records::CsvLine(columns) << "\r\n";
      for (const Row& r : rows) out << records::CsvLine(toColumns(r)) << "\r\n";
      break;
    case HistoryArgs::Format::Text: {
      QList<QStringList> lines;
      for (const Row& r : rows) lines << toColumns(r);
      PrintTable(columns, lines, out);
      break;
    }
  }
}

}  // namespace

bool ParseHistoryTable(const QString& text, HistoryArgs::Table* table) {
  if (text == QLatin1String("readings")) *table = HistoryArgs::Table::Readings;
  else if (text == QLatin1String("writes")) *table = HistoryArgs::Table::Writes;
  else if (text == QLatin1String("calibrations")) *table = HistoryArgs::Table::Calibrations;
  else return false;
  return true;
}

bool ParseHistorySerial(const QString& text, quint32* serial) {
  bool ok = false;
  const qlonglong v = text.trimmed().toLongLong(&ok);
  if (!ok || v < -2147483648LL || v > 4294967295LL) return false;
  *serial = static_cast<quint32>(v);
  return true;
}

bool ParseHistoryTime(const QString& text, QDateTime* time, QString* error) {
  const QString s = text.trimmed();
  QDateTime t = QDateTime::fromString(s, Qt::ISODateWithMs);
  if (!t.isValid()) {
    const QDate d = QDate::fromString(s, Qt::ISODate);
    if (d.isValid()) t = d.startOfDay();
  }
  if (!t.isValid()) {
    *error = QStringLiteral("无法识别的时间：%1（例如 2026-03-14 或 2026-03-14T08:00:00Z）").arg(text);
    return false;
  }
  *time = t;
  return true;
}

int RunHistory(const HistoryArgs& args, QTextStream& out, QTextStream& err) {
  records::DatabaseTarget target;
  QString error;
  if (!records::ChosenDatabase(args.db, &target, &error)) {
    err << error << '\n';
    return kExitFailed;
  }
  // Reading must not make an empty database where none was: a wrong path
  // would otherwise look like a sensor with no history.
  if (target.kind == records::DatabaseTarget::SQLite && !QFileInfo::exists(target.file)) {
    err << CliTexts::tr("记录数据库不存在：%1").arg(target.Describe()) << '\n';
    return kExitFailed;
  }
  records::RecordDatabase db;
  if (!db.Open(target, &error)) {
    err << CliTexts::tr("无法打开记录数据库 %1：%2").arg(target.Describe(), error) << '\n';
    return kExitFailed;
  }
  records::RecordFilter filter;
  filter.serial = args.serial;
  filter.since = args.since;
  filter.until = args.until;
  switch (args.table) {
    case HistoryArgs::Table::Readings:
      Print(db.Readings(filter, &error), args.format, records::ReadingColumns(), records::ReadingRow,
            records::ReadingJson, out);
      break;
    case HistoryArgs::Table::Writes:
      Print(db.Writes(filter, &error), args.format, records::WriteColumns(), records::WriteRow, records::WriteJson, out);
      break;
    case HistoryArgs::Table::Calibrations:
      Print(db.Calibrations(filter, &error), args.format, records::CalibrationColumns(), records::CalibrationRow,
            records::CalibrationJson, out);
      break;
  }
  out.flush();
  if (!error.isEmpty()) {
    err << CliTexts::tr("读取记录失败：%1").arg(error) << '\n';
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace cli
