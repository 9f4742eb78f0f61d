#include "records/record_format.h"

#include <QJsonValue>

#include "protocol/display_rules.h"
#include "protocol/oxygen_physics.h"
#include "protocol/registers.h"

namespace records {
namespace {

QJsonValue Number(double v) { return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null); }
QJsonValue Time(const QDateTime& t) { return t.isValid() ? QJsonValue(TimeText(t)) : QJsonValue(QJsonValue::Null); }
QString UnitLabel(int unit) { return QString::fromUtf8(protocol::UnitText(static_cast<std::uint16_t>(unit))); }

QJsonObject SnapshotJson(const SensorSnapshot& s) {
  return QJsonObject{{"do", Number(s.doValue)},         {"unit", UnitLabel(s.unit)},
                     {"temperature", Number(s.temperature)}, {"pressure", Number(s.pressure)},
                     {"zero_cal_value", Number(s.zeroCal)},  {"air_cal_value", Number(s.airCal)}};
}

QStringList SnapshotRow(const SensorSnapshot& s) {
  return {NumberText(s.doValue), UnitLabel(s.unit), NumberText(s.temperature), NumberText(s.pressure),
          NumberText(s.zeroCal), NumberText(s.airCal)};
}

}  // namespace

QString RegisterLabel(int reg) {
  using namespace protocol;
  switch (reg) {
    case Unit: return QStringLiteral("单位");
    case Filter: return QStringLiteral("滤波");
    case Pressure: return QStringLiteral("大气压强");
    case ZeroCalValue: return QStringLiteral("零点标定");
    case AirCalValue: return QStringLiteral("空气标定");
    case FactoryZeroCal: return QStringLiteral("厂家零点标定");
    case FactoryAirCal: return QStringLiteral("厂家空气标定");
    case SerialNumber: return QStringLiteral("传感器序列号");
    case DeviceAddress: return QStringLiteral("设备地址");
    case Command: return QStringLiteral("命令");
    default: return QStringLiteral("寄存器 %1").arg(reg);
  }
}

QString CalibrationKindLabel(const QString& kind) {
  if (kind == QLatin1String("zero")) return QStringLiteral("零点标定");
  if (kind == QLatin1String("air")) return QStringLiteral("空气标定");
  if (kind == QLatin1String("factory")) return QStringLiteral("恢复出厂标定");
  return kind;
}

QString SerialText(quint32 serial) { return QString::number(protocol::SerialShown(serial)); }

QString NumberText(double value) {
  return std::isfinite(value) ? QString::fromStdString(protocol::FormatG6(value)) : QString();
}

QString TimeText(const QDateTime& time) {
  return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QString OutcomeText(WriteRecord::Outcome outcome) {
  switch (outcome) {
    case WriteRecord::Pending: return QStringLiteral("待确认");
    case WriteRecord::Confirmed: return QStringLiteral("已确认");
    case WriteRecord::Failed: return QStringLiteral("失败");
  }
  return QString();
}

QStringList ReadingColumns() {
  return {"time", "serial", "address", "do", "unit", "temperature", "status", "phase_diff",
          "mg_per_l", "saturation_percent", "plausibility"};
}

QStringList ReadingRow(const ReadingRecord& r) {
  return {TimeText(r.time), SerialText(r.serial), QString::number(r.address), NumberText(r.doValue),
          UnitLabel(r.unit), NumberText(r.temperature),
          QString::fromUtf8(protocol::StatusText(static_cast<std::uint16_t>(r.status))), NumberText(r.phaseDiff),
          NumberText(r.mgPerL), NumberText(r.saturation),
          QString::fromUtf8(protocol::PlausibilityText(static_cast<protocol::Plausibility>(r.plausibility)))};
}

QStringList WriteColumns() {
  return {"queued", "serial", "address", "register", "value", "outcome", "finished", "reason"};
}

QStringList WriteRow(const WriteRecord& w) {
  return {TimeText(w.queued), SerialText(w.serial), QString::number(w.address), RegisterLabel(w.reg),
          w.value, OutcomeText(w.outcome), TimeText(w.finished), w.reason};
}

QStringList CalibrationColumns() {
  QStringList c{"time", "kind", "serial", "address", "operator", "stable", "stability"};
  for (const char* side : {"before", "after"})
    for (const char* field : {"do", "unit", "temperature", "pressure", "zero_cal_value", "air_cal_value"})
      c << QStringLiteral("%1_%2").arg(QLatin1String(field), QLatin1String(side));
  return c;
}

QStringList CalibrationRow(const CalibrationRecord& c) {
  return QStringList{TimeText(c.time), CalibrationKindLabel(c.kind), SerialText(c.serial), QString::number(c.address),
                     c.operatorName, c.stable ? QStringLiteral("1") : QStringLiteral("0"), c.stabilityText}
         << SnapshotRow(c.before) << SnapshotRow(c.after);
}

QJsonObject ReadingJson(const ReadingRecord& r) {
  const auto verdict = static_cast<protocol::Plausibility>(r.plausibility);
  return QJsonObject{{"time", Time(r.time)},
                     {"serial", static_cast<qint64>(protocol::SerialShown(r.serial))},
                     {"address", r.address},
                     {"do", Number(r.doValue)},
                     {"unit", UnitLabel(r.unit)},
                     {"temperature", Number(r.temperature)},
                     {"status", QString::fromUtf8(protocol::StatusText(static_cast<std::uint16_t>(r.status)))},
                     {"phase_diff", Number(r.phaseDiff)},
                     {"mg_per_l", Number(r.mgPerL)},
                     {"saturation_percent", Number(r.saturation)},
                     {"plausible", verdict == protocol::Plausibility::Plausible},
                     {"plausibility", QString::fromUtf8(protocol::PlausibilityText(verdict))}};
}

QJsonObject WriteJson(const WriteRecord& w) {
  static const char* const kOutcome[] = {"pending", "confirmed", "failed"};
  return QJsonObject{{"queued", Time(w.queued)},
                     {"serial", static_cast<qint64>(protocol::SerialShown(w.serial))},
                     {"address", w.address},
                     {"register", w.reg},
                     {"register_label", RegisterLabel(w.reg)},
                     {"value", w.value},
                     {"outcome", QLatin1String(kOutcome[w.outcome])},
                     {"finished", Time(w.finished)},
                     {"reason", w.reason.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(w.reason)}};
}

QJsonObject CalibrationJson(const CalibrationRecord& c) {
  return QJsonObject{{"time", Time(c.time)},
                     {"kind", c.kind},
                     {"serial", static_cast<qint64>(protocol::SerialShown(c.serial))},
                     {"address", c.address},
                     {"operator", c.operatorName},
                     {"stable", c.stable},
                     {"stability", c.stabilityText},
                     {"before", SnapshotJson(c.before)},
                     {"after", SnapshotJson(c.after)}};
}

QString UnavailableMessage(const QString& where, const QString& reason) {
  return QStringLiteral("记录数据库 %1 暂时无法写入（%2）。读数先保存在内存中，数据库恢复后自动补写。").arg(where, reason);
}

QString RestoredMessage(const QString& where) {
  return QStringLiteral("记录数据库 %1 已恢复，暂存的记录已全部写入。").arg(where);
}

QString DroppedMessage(qint64 total) {
  return QStringLiteral("记录数据库长时间不可用，内存已满：已舍弃最早的 %1 条读数记录（写入和标定记录均已保留）。").arg(total);
}

QString CsvLine(const QStringList& fields) {
  QStringList quoted;
  for (QString f : fields) {
    if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) || f.contains(QLatin1Char('\n')) ||
        f.contains(QLatin1Char('\r'))) {
      f.replace(QLatin1String("\""), QLatin1String("\"\""));
      f = QLatin1Char('"') + f + QLatin1Char('"');
    }
    quoted << f;
  }
  return quoted.join(QLatin1Char(','));
}

}  // namespace records
