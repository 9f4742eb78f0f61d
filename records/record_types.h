#pragma once
#include <QDateTime>
#include <QString>
#include <QtGlobal>

#include <cmath>
#include <limits>
#include <optional>

namespace records {

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

// One accepted poll reply, as stored. Non-finite numbers are stored as NULL
// and come back as NaN, so a missing value is never shown as a number.
struct ReadingRecord {
  QDateTime time;
  quint32 serial = 0;
  int address = 0;
  double doValue = kNoValue;  // as the sensor sent it, in `unit`
  int unit = 1;               // 0 = % saturation, otherwise mg/L
  double temperature = kNoValue;
  int status = 0;
  double phaseDiff = kNoValue;
  double mgPerL = kNoValue;      // the same oxygen in both units, at the reply's
  double saturation = kNoValue;  // temperature and pressure
  int plausibility = 0;          // protocol::Plausibility
};

// One write the operator asked for. `token` ties the later outcome to it.
struct WriteRecord {
  enum Outcome { Pending = 0, Confirmed = 1, Failed = 2 };
  QString token;
  quint32 serial = 0;
  int address = 0;
  int reg = 0;
  QString value;
  QDateTime queued;
  QDateTime finished;  // invalid while pending
  Outcome outcome = Pending;
  QString reason;      // why it failed
};

// The state of the sensor on one side of a calibration.
struct SensorSnapshot {
  double doValue = kNoValue;
  int unit = 1;
  double temperature = kNoValue;
  double pressure = kNoValue;
  double zeroCal = kNoValue;
  double airCal = kNoValue;
};

struct CalibrationRecord {
  QString kind;  // "zero", "air" or "factory"
  quint32 serial = 0;
  int address = 0;
  QString operatorName;
  QDateTime time;
  SensorSnapshot before;
  SensorSnapshot after;
  bool stable = false;     // the stability verdict when the command was sent
  QString stabilityText;   // what the operator saw, with the reason if not stable
};

// Which rows a query returns. Unset members do not filter.
struct RecordFilter {
  std::optional<quint32> serial;
  QDateTime since;  // inclusive
  QDateTime until;  // inclusive
  int limit = 0;    // 0 = all rows
};

}  // namespace records
