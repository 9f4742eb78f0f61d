#pragma once
#include <QDateTime>
#include <QString>
#include <QTextStream>

#include <optional>

// sensortool-cli history readings|writes|calibrations: what the records
// database holds, filtered by sensor and time, as a table, JSON or CSV.
namespace cli {

struct HistoryArgs {
  enum class Table { Readings, Writes, Calibrations };
  enum class Format { Text, Json, Csv };
  Table table = Table::Readings;
  Format format = Format::Text;
  std::optional<quint32> serial;
  QDateTime since;  // invalid: from the first record
  QDateTime until;  // invalid: to the last record
  QString db;       // empty: the one chosen in the window, else the default SQLite file
};

// "readings", "writes" or "calibrations".
bool ParseHistoryTable(const QString& text, HistoryArgs::Table* table);
// A serial number as the windows show it (signed) or as printed on the
// sensor (unsigned): both name the same sensor.
bool ParseHistorySerial(const QString& text, quint32* serial);
// A time as ISO 8601 ("2026-03-14", "2026-03-14T08:00", with an offset or Z);
// without an offset it is local time. On failure the reason in *error.
bool ParseHistoryTime(const QString& text, QDateTime* time, QString* error);

// Prints the rows to `out`; a database that cannot be opened or read is
// told on `err` with kExitFailed. Returns the exit code.
int RunHistory(const HistoryArgs& args, QTextStream& out, QTextStream& err);

}  // namespace cli
