#include "records/recorder.h"

#include <QUuid>

#include "records/record_store.h"

namespace records {
namespace {

QString WriteKey(int address, int reg, const QString& value) {
  return QStringLiteral("%1/%2/%3").arg(address).arg(reg).arg(value);
}

}  // namespace

Recorder::Recorder(RecordStore* store, protocol::PlausibilityLimits limits, qint64 settleMs)
    : m_store(store), m_limits(limits), m_settleMs(settleMs) {}

Recorder::~Recorder() { FlushPendingCalibrations(); }

QString Recorder::CurrentOperator() {
  for (const char* name : {"USER", "USERNAME", "LOGNAME"}) {
    const QString login = qEnvironmentVariable(name);
    if (!login.isEmpty()) return login;
  }
  return QStringLiteral("?");
}

QString Recorder::CalibrationKind(protocol::CommandValue command) {
  switch (command) {
    case protocol::CommandZeroCal: return QStringLiteral("zero");
    case protocol::CommandAirCal: return QStringLiteral("air");
    case protocol::CommandRestoreFactoryCal: return QStringLiteral("factory");
  }
  return QStringLiteral("command %1").arg(static_cast<int>(command));
}

QString Recorder::VerdictText(const protocol::StabilityVerdict& v) {
  using Reason = protocol::StabilityVerdict::Reason;
  const QString word = QString::fromUtf8(protocol::StabilityText(v));
  QString why;
  switch (v.reason) {
    case Reason::Stable: break;
    case Reason::NoData: why = QStringLiteral("无读数"); break;
    case Reason::TooShort: why = QStringLiteral("读数不足一个窗口"); break;
    case Reason::Gap: why = QStringLiteral("读数中断"); break;
    case Reason::UnitChanged: why = QStringLiteral("单位改变"); break;
    case Reason::DoMoving: why = QStringLiteral("氧值波动 %1").arg(v.doSpread, 0, 'g', 3); break;
    case Reason::PhaseMoving: why = QStringLiteral("相位差波动 %1°").arg(v.phaseSpread, 0, 'g', 3); break;
  }
  return why.isEmpty() ? word : QStringLiteral("%1（%2）").arg(word, why);
}

void Recorder::OnReading(const std::vector<std::uint8_t>& reply, int address, const QDateTime& time) {
  if (reply.size() < protocol::kPollReplyLength) return;
  auto known = m_latest.find(address);
  if (known != m_latest.end() && known->time == time) return;

  const protocol::SensorReading r = protocol::DecodePollReply(reply.data());
  const protocol::OxygenCheck check = protocol::CheckOxygen(r, m_limits);
  ReadingRecord row;
  row.time = time;
  row.serial = r.serialNumber;
  row.address = address;
  row.doValue = r.doValue;
  row.unit = r.unit;
  row.temperature = r.temperature;
  row.status = r.status;
  row.phaseDiff = r.phaseDiff;
  row.mgPerL = check.reported.mgPerL;
  row.saturation = check.reported.saturation;
  row.plausibility = static_cast<int>(check.verdict);
  m_store->AddReading(row);

  Latest& latest = m_latest[address];
  latest.time = time;
  latest.serial = r.serialNumber;
  latest.snapshot = SensorSnapshot{r.doValue, r.unit, r.temperature, r.pressure, r.zeroCalValue, r.airCalValue};

  auto pending = m_pendingCalibrations.find(address);
  if (pending != m_pendingCalibrations.end() && pending->time.msecsTo(time) >= m_settleMs) {
    pending->after = latest.snapshot;
    m_store->AddCalibration(*pending);
    m_pendingCalibrations.erase(pending);
  }
}

void Recorder::OnReading(const QByteArray& reply, int address, const QDateTime& time) {
  OnReading(std::vector<std::uint8_t>(reply.begin(), reply.end()), address, time);
}

WriteRecord Recorder::NewWrite(int address, int reg, const QString& value, const QDateTime& queued) const {
  WriteRecord w;
  w.token = QUuid::createUuid().toString(QUuid::WithoutBraces);
  w.serial = m_latest.value(address).serial;
  w.address = address;
  w.reg = reg;
  w.value = value;
  w.queued = queued;
  return w;
}

QString Recorder::OnWriteQueued(int address, int reg, const QString& value, const QDateTime& time) {
  // Any later write (a filter, the unit, the pressure, another command) may
  // show in the next reading, which then no longer says what the calibration
  // alone did: a calibration still waiting is written with "after" unknown.
  // The write itself is in the write log, so the record stays explainable.
  if (auto pending = m_pendingCalibrations.find(address); pending != m_pendingCalibrations.end()) {
    m_store->AddCalibration(*pending);
    m_pendingCalibrations.erase(pending);
  }
  const WriteRecord w = NewWrite(address, reg, value, time);
  m_store->AddWrite(w);
  m_pendingWrites[WriteKey(address, reg, value)].append(w.token);
  return w.token;
}

void Recorder::Finish(int address, int reg, const QString& value, WriteRecord::Outcome outcome, const QString& why,
                      const QDateTime& time) {
  auto tokens = m_pendingWrites.find(WriteKey(address, reg, value));
  if (tokens != m_pendingWrites.end() && !tokens->isEmpty()) {
    m_store->FinishWrite(tokens->takeFirst(), time, outcome, why);
    if (tokens->isEmpty()) m_pendingWrites.erase(tokens);
    return;
  }
  // An outcome without its request (recording started in between): keep it
  // whole rather than lose it.
  WriteRecord w = NewWrite(address, reg, value, time);
  w.finished = time;
  w.outcome = outcome;
  w.reason = why;
  m_store->AddWrite(w);
}

void Recorder::OnWriteConfirmed(int address, int reg, const QString& value, const QDateTime& time) {
  Finish(address, reg, value, WriteRecord::Confirmed, QString(), time);
}

void Recorder::OnWriteFailed(int address, int reg, const QString& value, const QString& why, const QDateTime& time) {
  Finish(address, reg, value, WriteRecord::Failed, why, time);
}

void Recorder::OnCalibration(int address, protocol::CommandValue command, const QString& operatorName,
                             const protocol::StabilityVerdict& verdict, const QDateTime& time) {
  // A second command before the first one's "after" came: the first is
  // written as far as it is known.
  auto earlier = m_pendingCalibrations.find(address);
  if (earlier != m_pendingCalibrations.end()) {
    m_store->AddCalibration(*earlier);
    m_pendingCalibrations.erase(earlier);
  }
  CalibrationRecord c;
  c.kind = CalibrationKind(command);
  c.address = address;
  c.operatorName = operatorName;
  c.time = time;
  c.stable = verdict.stable;
  c.stabilityText = VerdictText(verdict);
  if (auto latest = m_latest.find(address); latest != m_latest.end()) {
    c.serial = latest->serial;
    c.before = latest->snapshot;
  }
  m_pendingCalibrations.insert(address, c);
}

void Recorder::FlushPendingCalibrations() {
  for (const CalibrationRecord& c : std::as_const(m_pendingCalibrations)) m_store->AddCalibration(c);
  m_pendingCalibrations.clear();
}

}  // namespace records
