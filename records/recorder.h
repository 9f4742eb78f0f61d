#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

#include "protocol/oxygen_physics.h"
#include "protocol/registers.h"
#include "protocol/stability.h"
#include "records/record_types.h"

namespace records {

class RecordStore;

// Turns what happens on the link into rows: each call is what a link tells
// its listeners (an accepted reply, a write queued, confirmed or failed, a
// calibration command sent), so joining it to a link is only connections.
// Knows the latest reading of each address, which gives a write or a
// calibration its sensor's serial number and a calibration its "before";
// the "after" is the first reading that arrives once the sensor has settled,
// unless another write to that address came first (then it is unknown).
class Recorder {
 public:
  // The sensor needs a few seconds after a calibration command before its
  // reading shows the new calibration.
  static constexpr qint64 kDefaultSettleMs = 5000;

  explicit Recorder(RecordStore* store, protocol::PlausibilityLimits limits = {}, qint64 settleMs = kDefaultSettleMs);
  // Calibrations still waiting for their "after" are written as they are.
  ~Recorder();

  // An accepted 77-byte poll reply from `address`. A second call for the
  // same address with the same time is the same poll: ignored. (Only the
  // same time: after the clock is set back, readings must still be kept.)
  void OnReading(const std::vector<std::uint8_t>& reply, int address, const QDateTime& time);
  void OnReading(const QByteArray& reply, int address, const QDateTime& time);

  // The operator asked for `value` in register `reg`. Returns the token
  // that ties the outcome to it.
  QString OnWriteQueued(int address, int reg, const QString& value, const QDateTime& time);
  // The outcome of the oldest queued write with the same address, register
  // and value. One with no queued write before it is recorded whole.
  void OnWriteConfirmed(int address, int reg, const QString& value, const QDateTime& time);
  void OnWriteFailed(int address, int reg, const QString& value, const QString& why, const QDateTime& time);

  // A calibration command was sent, with the stability verdict the operator
  // saw at that moment.
  void OnCalibration(int address, protocol::CommandValue command, const QString& operatorName,
                     const protocol::StabilityVerdict& verdict, const QDateTime& time);

  // Writes the calibrations that have not yet seen their "after" reading,
  // with that side unknown. For shutdown and a lost link.
  void FlushPendingCalibrations();

  // The login name of whoever runs the program.
  static QString CurrentOperator();
  // "zero", "air" or "factory".
  static QString CalibrationKind(protocol::CommandValue command);
  // The verdict as stored: the word every window shows, and why if not stable.
  static QString VerdictText(const protocol::StabilityVerdict& verdict);

 private:
  struct Latest {
    QDateTime time;
    quint32 serial = 0;
    SensorSnapshot snapshot;
  };
  WriteRecord NewWrite(int address, int reg, const QString& value, const QDateTime& queued) const;
  void Finish(int address, int reg, const QString& value, WriteRecord::Outcome outcome, const QString& why,
              const QDateTime& time);

  RecordStore* m_store;
  protocol::PlausibilityLimits m_limits;
  qint64 m_settleMs;
  QHash<int, Latest> m_latest;
  QHash<QString, QList<QString>> m_pendingWrites;  // address/register/value -> tokens, oldest first
  QHash<int, CalibrationRecord> m_pendingCalibrations;
};

}  // namespace records
