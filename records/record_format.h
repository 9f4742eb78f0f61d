#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "records/record_types.h"

// How records are shown outside the database: CSV columns, JSON objects and
// labels, the same for the CLI and the calibration records window. Numbers
// go through the display rules, so they read as the live windows show them.
namespace records {

// The register's label as the sensor windows show it, e.g. "滤波".
QString RegisterLabel(int reg);
// "零点标定", "空气标定" or "恢复出厂标定".
QString CalibrationKindLabel(const QString& kind);
// The serial number as every window shows it (signed 32-bit).
QString SerialText(quint32 serial);
// A number as the display rules show it; empty for no value.
QString NumberText(double value);
// ISO 8601 in UTC with milliseconds, the form every output uses.
QString TimeText(const QDateTime& time);
// "待确认", "已确认" or "失败".
QString OutcomeText(WriteRecord::Outcome outcome);

QStringList ReadingColumns();
QStringList ReadingRow(const ReadingRecord& r);
QStringList WriteColumns();
QStringList WriteRow(const WriteRecord& w);
QStringList CalibrationColumns();
QStringList CalibrationRow(const CalibrationRecord& c);

// Numbers as JSON numbers and no value as null.
QJsonObject ReadingJson(const ReadingRecord& r);
QJsonObject WriteJson(const WriteRecord& w);
QJsonObject CalibrationJson(const CalibrationRecord& c);

// What the window tells the operator about the store (see RecordStore).
QString UnavailableMessage(const QString& where, const QString& reason);
QString RestoredMessage(const QString& where);
QString DroppedMessage(qint64 total);

// One CSV line (RFC 4180 quoting), without line end.
QString CsvLine(const QStringList& fields);

}  // namespace records
