#include "records/reading_record.h"

#include <QJsonValue>
#include <QStringList>
#include <charconv>
#include <cmath>
#include <cstring>

#include "protocol/display_rules.h"

namespace records {

namespace {

// The columns of a CSV row after time, address and the stale flag: the
// signal fields a recording follows over time. The settings stay in JSON.
const char* const kCsvColumns[] = {
    "do_value",      "do_value_raw",      "unit",      "unit_code",      "temperature",
    "temperature_raw", "status",          "status_code", "phase_diff",   "phase_diff_raw",
    "red_phase",     "red_phase_raw",     "green_phase", "green_phase_raw", "red_amplitude",
    "red_gain",      "green_amplitude",   "green_gain",
};

QString Text(const std::string& s) { return QString::fromStdString(s); }

Field Shown(const char* key, const std::string& shown) {
  const QString text = Text(shown);
  return {key, text, QJsonValue(text.toDouble())};
}

Field Label(const char* key, const char* shown) {
  const QString text = QString::fromUtf8(shown);
  return {key, text, QJsonValue(text)};
}

Field Whole(const char* key, std::uint32_t value) {
  return {key, QString::number(value), QJsonValue(static_cast<double>(value))};
}

Field Raw(const char* key, float value) {
  const QString text = RawFloatText(value);
  return {key, text, text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text.toDouble())};
}

// RFC 4180 quoting, for any text a later column may bring.
QString CsvCell(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
      !text.contains(QLatin1Char('\r')))
    return text;
  QString quoted = text;
  quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QByteArray Line(const QStringList& cells) { return cells.join(QLatin1Char(',')).toUtf8() + '\n'; }

}  // namespace

QString RawFloatText(float value) {
  if (!std::isfinite(value)) return QString();
  char buffer[32];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (ec != std::errc()) return QString();
  return QString::fromLatin1(buffer, static_cast<int>(end - buffer));
}

QString IsoTime(const QDateTime& when) {
  const QDate d = when.date();
  const QTime t = when.time();
  const int offset = when.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", d.year(), d.month(), d.day(), t.hour(),
                           t.minute(), t.second(), t.msec(), offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
}

std::vector<Field> ReadingFields(std::uint8_t replyAddress, const protocol::SensorReading& r) {
  const protocol::ShownReading s = protocol::ShowReading(r);
  return {
      Whole("address", replyAddress),
      Shown("do_value", s.doValue),
      Raw("do_value_raw", r.doValue),
      Label("unit", protocol::UnitText(r.unit)),
      Whole("unit_code", r.unit),
      Shown("temperature", s.temperature),
      Raw("temperature_raw", r.temperature),
      Label("status", protocol::StatusText(r.status)),
      Whole("status_code", r.status),
      Shown("phase_diff", s.phaseDiff),
      Raw("phase_diff_raw", r.phaseDiff),
      Shown("red_phase", s.redPhase),
      Raw("red_phase_raw", r.redPhase),
      Shown("green_phase", s.greenPhase),
      Raw("green_phase_raw", r.greenPhase),
      Whole("red_amplitude", r.redAmplitude),
      Whole("red_gain", r.redGain),
      Whole("green_amplitude", r.greenAmplitude),
      Whole("green_gain", r.greenGain),
      Shown("filter", s.filter),
      Shown("pressure", s.pressure),
      Raw("pressure_raw", r.pressure),
      Shown("zero_cal_value", s.zeroCalValue),
      Raw("zero_cal_value_raw", r.zeroCalValue),
      Shown("air_cal_value", s.airCalValue),
      Raw("air_cal_value_raw", r.airCalValue),
      Shown("device_address", s.deviceAddress),
      Shown("software_version", s.softwareVersion),
      Raw("software_version_raw", r.softwareVersion),
      // Shown signed like the window does; the register's unsigned value beside it.
      Shown("serial_number", s.serialNumber),
      Whole("serial_number_raw", r.serialNumber),
      Shown("factory_zero_cal", s.factoryZeroCal),
      Raw("factory_zero_cal_raw", r.factoryZeroCal),
      Shown("factory_air_cal", s.factoryAirCal),
      Raw("factory_air_cal_raw", r.factoryAirCal),
  };
}

QJsonObject ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  QJsonObject object;
  for (const Field& f : ReadingFields(replyAddress, reading)) object.insert(QLatin1String(f.key), f.value);
  return object;
}

QByteArray CsvHeader() {
  QStringList cells{QStringLiteral("time"), QStringLiteral("address"), QStringLiteral("stale")};
  for (const char* key : kCsvColumns) cells << QLatin1String(key);
  return Line(cells);
}

QByteArray CsvRow(const QDateTime& when, std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  const std::vector<Field> fields = ReadingFields(replyAddress, reading);
  QStringList cells{IsoTime(when), QString::number(replyAddress), QStringLiteral("0")};
  for (const char* key : kCsvColumns)
    for (const Field& f : fields)
      if (std::strcmp(f.key, key) == 0) cells << CsvCell(f.text);
  return Line(cells);
}

QByteArray CsvStaleRow(const QDateTime& when, std::uint8_t address) {
  QStringList cells{IsoTime(when), QString::number(address), QStringLiteral("1")};
  for (std::size_t i = 0; i < std::size(kCsvColumns); ++i) cells << QString();
  return Line(cells);
}

}  // namespace records
