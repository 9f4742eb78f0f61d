#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <vector>

#include "protocol/registers.h"

// The machine-readable form of one poll reply. Scripts and spreadsheets get
// the shown text (the display rules, as the windows show it) and, beside it,
// the value the sensor actually sent: a NaN or an infinity must not reach a
// spreadsheet as the 0 the window shows. The keys are the same in the JSON of
// `read --json`, the CSV of `watch --csv` and the window's recording.
namespace records {

// One field: its key, the shown text and the machine value. `value` is null
// when the sensor sent no number (NaN, infinity) or the row is stale.
struct Field {
  const char* key;
  QString text;
  QJsonValue value;
};

// Every field of a reply, in the order of the layout: shown values, each
// float followed by its "_raw" value, status and unit also as their register
// numbers.
std::vector<Field> ReadingFields(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// ---- CSV: UTF-8 without byte-order mark, '\n' line ends ----

// "time,address,stale,do_value,do_value_raw,..." with its line end.
QByteArray CsvHeader();
// One row of the layout for an accepted reply, with its line end.
QByteArray CsvRow(const QDateTime& when, std::uint8_t replyAddress, const protocol::SensorReading& reading);
// A poll period passed without an accepted reply: time, address and the stale
// flag, every value empty so no old number passes for a live one.
QByteArray CsvStaleRow(const QDateTime& when, std::uint8_t address);

// ---- JSON ----

// Every field: shown numbers as JSON numbers, texts as strings, raw values as
// numbers or null.
QJsonObject ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// Local time with milliseconds and the offset from UTC, e.g.
// 2024-05-01T14:03:07.250+08:00, independent of the locale.
QString IsoTime(const QDateTime& when);

// The shortest decimal text that reads back as the same float ("8.62" for
// 8.62f); empty for NaN and infinities.
QString RawFloatText(float value);

}  // namespace records
