#include "records/record_database.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimeZone>
#include <QVariant>

namespace records {
namespace {

QAtomicInt g_connections;

// NULL for a number that is not one, so no reader ever sees a made-up value.
QVariant Num(double v) { return std::isfinite(v) ? QVariant(v) : QVariant(QMetaType(QMetaType::Double)); }
double Num(const QVariant& v) { return v.isNull() ? kNoValue : v.toDouble(); }
QVariant Ms(const QDateTime& t) { return t.isValid() ? QVariant(t.toMSecsSinceEpoch()) : QVariant(QMetaType(QMetaType::LongLong)); }
QDateTime Time(const QVariant& v) {
  return v.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(v.toLongLong(), Qt::UTC);
}

QString Fail(const QSqlError& e) {
  const QString text = e.text().trimmed();
  return text.isEmpty() ? QStringLiteral("未知数据库错误") : text;
}

// Each migration step takes the schema from version i to i + 1. Types are
// the ones both SQLite and PostgreSQL read the same; only the key differs.
QStringList MigrationStep(int from, bool postgres) {
  const QString key = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
  switch (from) {
    case 0:
      return {
          QStringLiteral("CREATE TABLE IF NOT EXISTS readings (id %1, time_ms BIGINT NOT NULL, serial BIGINT NOT NULL,"
                         " address INTEGER NOT NULL, do_value DOUBLE PRECISION, unit INTEGER NOT NULL,"
                         " temperature DOUBLE PRECISION, status INTEGER NOT NULL, phase_diff DOUBLE PRECISION,"
                         " mg_per_l DOUBLE PRECISION, saturation DOUBLE PRECISION, plausibility INTEGER NOT NULL)").arg(key),
          QStringLiteral("CREATE INDEX IF NOT EXISTS readings_serial_time ON readings (serial, time_ms)"),
          QStringLiteral("CREATE TABLE IF NOT EXISTS writes (id %1, token VARCHAR(64) NOT NULL UNIQUE, serial BIGINT NOT NULL,"
                         " address INTEGER NOT NULL, reg INTEGER NOT NULL, value TEXT NOT NULL, queued_ms BIGINT NOT NULL,"
                         " finished_ms BIGINT, outcome INTEGER NOT NULL, reason TEXT)").arg(key),
          QStringLiteral("CREATE INDEX IF NOT EXISTS writes_serial_time ON writes (serial, queued_ms)"),
          QStringLiteral("CREATE TABLE IF NOT EXISTS calibrations (id %1, time_ms BIGINT NOT NULL, kind VARCHAR(16) NOT NULL,"
                         " serial BIGINT NOT NULL, address INTEGER NOT NULL, operator_name TEXT NOT NULL,"
                         " do_before DOUBLE PRECISION, unit_before INTEGER NOT NULL, temperature_before DOUBLE PRECISION,"
                         " pressure_before DOUBLE PRECISION, zero_cal_before DOUBLE PRECISION, air_cal_before DOUBLE PRECISION,"
                         " do_after DOUBLE PRECISION, unit_after INTEGER NOT NULL, temperature_after DOUBLE PRECISION,"
                         " pressure_after DOUBLE PRECISION, zero_cal_after DOUBLE PRECISION, air_cal_after DOUBLE PRECISION,"
                         " stable INTEGER NOT NULL, stability_text TEXT NOT NULL)").arg(key),
          QStringLiteral("CREATE INDEX IF NOT EXISTS calibrations_serial_time ON calibrations (serial, time_ms)"),
      };
    default:
      return {};
  }
}

void AddFilter(const RecordFilter& f, const QString& timeColumn, QString* sql, QVariantList* binds) {
  QStringList where;
  if (f.serial) {
    where << QStringLiteral("serial = ?");
    *binds << QVariant(static_cast<qlonglong>(*f.serial));
  }
  if (f.since.isValid()) {
    where << timeColumn + QStringLiteral(" >= ?");
    *binds << f.since.toMSecsSinceEpoch();
  }
  if (f.until.isValid()) {
    where << timeColumn + QStringLiteral(" <= ?");
    *binds << f.until.toMSecsSinceEpoch();
  }
  if (!where.isEmpty()) *sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
  *sql += QStringLiteral(" ORDER BY %1, id").arg(timeColumn);
  if (f.limit > 0) *sql += QStringLiteral(" LIMIT %1").arg(f.limit);
}

bool Run(QSqlQuery& q, const QVariantList& binds, QString* error) {
  for (const QVariant& v : binds) q.addBindValue(v);
  if (q.exec()) return true;
  *error = Fail(q.lastError());
  return false;
}

}  // namespace

RecordDatabase::RecordDatabase()
    : m_name(QStringLiteral("records-%1").arg(g_connections.fetchAndAddRelaxed(1))) {}

RecordDatabase::~RecordDatabase() { Close(); }

bool RecordDatabase::Open(const DatabaseTarget& target, QString* error) {
  Close();
  error->clear();
  m_postgres = target.kind == DatabaseTarget::PostgreSQL;
  const QString driver = m_postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
  if (!QSqlDatabase::isDriverAvailable(driver)) {
    *error = QStringLiteral("缺少 Qt 数据库驱动 %1（Debian 软件包 %2）")
                 .arg(driver, m_postgres ? QStringLiteral("libqt6sql6-psql") : QStringLiteral("libqt6sql6-sqlite"));
    return false;
  }
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_name);
    if (m_postgres) {
      db.setHostName(target.host);
      db.setPort(target.port);
      db.setUserName(target.user);
      db.setPassword(target.password);
      db.setDatabaseName(target.database);
      // A server that does not answer must not hold the writer for long.
      db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    } else {
      QDir().mkpath(QFileInfo(target.file).absolutePath());
      db.setDatabaseName(target.file);
      // The window writes while the CLI may read the same file.
      db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    }
    if (db.open()) {
      if (!m_postgres) QSqlQuery(QStringLiteral("PRAGMA journal_mode=WAL"), db);
    } else {
      *error = Fail(db.lastError());
    }
  }
  if (!error->isEmpty() || !Migrate(error)) {
    Close();
    return false;
  }
  return true;
}

void RecordDatabase::Close() {
  if (!QSqlDatabase::contains(m_name)) return;
  {
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(m_name);
}

bool RecordDatabase::IsOpen() const {
  return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

int RecordDatabase::SchemaVersion() {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  if (!q.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) || !q.next()) return -1;
  return q.value(0).isNull() ? 0 : q.value(0).toInt();
}

bool RecordDatabase::Migrate(QString* error) {
  QSqlDatabase db = QSqlDatabase::database(m_name, false);
  QSqlQuery q(db);
  if (!db.tables().contains(QStringLiteral("schema_version")) &&
      !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))) {
    *error = Fail(q.lastError());
    return false;
  }
  int version = SchemaVersion();
  if (version > kSchemaVersion) {
    *error = QStringLiteral("数据库的记录格式（版本 %1）比本程序（版本 %2）新，请升级本程序").arg(version).arg(kSchemaVersion);
    return false;
  }
  while (version < kSchemaVersion) {
    // One step per transaction, so a failure leaves a consistent version.
    db.transaction();
    for (const QString& sql : MigrationStep(version, m_postgres)) {
      if (!q.exec(sql)) {
        *error = Fail(q.lastError());
        db.rollback();
        return false;
      }
    }
    q.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
    q.addBindValue(version + 1);
    if (!q.exec() || !db.commit()) {
      *error = Fail(q.lastError().isValid() ? q.lastError() : db.lastError());
      db.rollback();
      return false;
    }
    ++version;
  }
  return true;
}

bool RecordDatabase::Begin() { return QSqlDatabase::database(m_name, false).transaction(); }

bool RecordDatabase::Commit(QString* error) {
  QSqlDatabase db = QSqlDatabase::database(m_name, false);
  if (db.commit()) return true;
  *error = Fail(db.lastError());
  return false;
}

void RecordDatabase::Rollback() { QSqlDatabase::database(m_name, false).rollback(); }

bool RecordDatabase::Insert(const ReadingRecord& r, QString* error) {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.prepare(QStringLiteral("INSERT INTO readings (time_ms, serial, address, do_value, unit, temperature, status,"
                           " phase_diff, mg_per_l, saturation, plausibility) VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
  return Run(q, {Ms(r.time), static_cast<qlonglong>(r.serial), r.address, Num(r.doValue), r.unit, Num(r.temperature),
                 r.status, Num(r.phaseDiff), Num(r.mgPerL), Num(r.saturation), r.plausibility},
             error);
}

bool RecordDatabase::Insert(const WriteRecord& w, QString* error) {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.prepare(QStringLiteral("INSERT INTO writes (token, serial, address, reg, value, queued_ms, finished_ms, outcome, reason)"
                           " VALUES (?,?,?,?,?,?,?,?,?)"));
  return Run(q, {w.token, static_cast<qlonglong>(w.serial), w.address, w.reg, w.value, Ms(w.queued), Ms(w.finished),
                 static_cast<int>(w.outcome), w.reason},
             error);
}

bool RecordDatabase::FinishWrite(const QString& token, const QDateTime& finished, WriteRecord::Outcome outcome,
                                 const QString& reason, QString* error) {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.prepare(QStringLiteral("UPDATE writes SET finished_ms = ?, outcome = ?, reason = ? WHERE token = ?"));
  return Run(q, {Ms(finished), static_cast<int>(outcome), reason, token}, error);
}

bool RecordDatabase::Insert(const CalibrationRecord& c, QString* error) {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.prepare(QStringLiteral(
      "INSERT INTO calibrations (time_ms, kind, serial, address, operator_name,"
      " do_before, unit_before, temperature_before, pressure_before, zero_cal_before, air_cal_before,"
      " do_after, unit_after, temperature_after, pressure_after, zero_cal_after, air_cal_after, stable, stability_text)"
      " VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
  const SensorSnapshot& b = c.before;
  const SensorSnapshot& a = c.after;
  return Run(q, {Ms(c.time), c.kind, static_cast<qlonglong>(c.serial), c.address, c.operatorName,
                 Num(b.doValue), b.unit, Num(b.temperature), Num(b.pressure), Num(b.zeroCal), Num(b.airCal),
                 Num(a.doValue), a.unit, Num(a.temperature), Num(a.pressure), Num(a.zeroCal), Num(a.airCal),
                 c.stable ? 1 : 0, c.stabilityText},
             error);
}

QList<ReadingRecord> RecordDatabase::Readings(const RecordFilter& f, QString* error) {
  QString sql = QStringLiteral("SELECT time_ms, serial, address, do_value, unit, temperature, status, phase_diff,"
                               " mg_per_l, saturation, plausibility FROM readings");
  QVariantList binds;
  AddFilter(f, QStringLiteral("time_ms"), &sql, &binds);
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.setForwardOnly(true);
  QList<ReadingRecord> rows;
  if (!q.prepare(sql)) {
    *error = Fail(q.lastError());
    return rows;
  }
  if (!Run(q, binds, error)) return rows;
  while (q.next()) {
    ReadingRecord r;
    r.time = Time(q.value(0));
    r.serial = static_cast<quint32>(q.value(1).toLongLong());
    r.address = q.value(2).toInt();
    r.doValue = Num(q.value(3));
    r.unit = q.value(4).toInt();
    r.temperature = Num(q.value(5));
    r.status = q.value(6).toInt();
    r.phaseDiff = Num(q.value(7));
    r.mgPerL = Num(q.value(8));
    r.saturation = Num(q.value(9));
    r.plausibility = q.value(10).toInt();
    rows << r;
  }
  return rows;
}

QList<quint32> RecordDatabase::Serials(QString* error) {
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.setForwardOnly(true);
  QList<quint32> serials;
  if (!q.prepare(QStringLiteral("SELECT DISTINCT serial FROM readings ORDER BY serial"))) {
    *error = Fail(q.lastError());
    return serials;
  }
  if (!Run(q, {}, error)) return serials;
  while (q.next()) serials << static_cast<quint32>(q.value(0).toLongLong());
  return serials;
}

QList<WriteRecord> RecordDatabase::Writes(const RecordFilter& f, QString* error) {
  QString sql = QStringLiteral("SELECT token, serial, address, reg, value, queued_ms, finished_ms, outcome, reason FROM writes");
  QVariantList binds;
  AddFilter(f, QStringLiteral("queued_ms"), &sql, &binds);
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.setForwardOnly(true);
  QList<WriteRecord> rows;
  if (!q.prepare(sql)) {
    *error = Fail(q.lastError());
    return rows;
  }
  if (!Run(q, binds, error)) return rows;
  while (q.next()) {
    WriteRecord w;
    w.token = q.value(0).toString();
    w.serial = static_cast<quint32>(q.value(1).toLongLong());
    w.address = q.value(2).toInt();
    w.reg = q.value(3).toInt();
    w.value = q.value(4).toString();
    w.queued = Time(q.value(5));
    w.finished = Time(q.value(6));
    w.outcome = static_cast<WriteRecord::Outcome>(q.value(7).toInt());
    w.reason = q.value(8).toString();
    rows << w;
  }
  return rows;
}

QList<CalibrationRecord> RecordDatabase::Calibrations(const RecordFilter& f, QString* error) {
  QString sql = QStringLiteral(
      "SELECT time_ms, kind, serial, address, operator_name,"
      " do_before, unit_before, temperature_before, pressure_before, zero_cal_before, air_cal_before,"
      " do_after, unit_after, temperature_after, pressure_after, zero_cal_after, air_cal_after, stable, stability_text"
      " FROM calibrations");
  QVariantList binds;
  AddFilter(f, QStringLiteral("time_ms"), &sql, &binds);
  QSqlQuery q(QSqlDatabase::database(m_name, false));
  q.setForwardOnly(true);
  QList<CalibrationRecord> rows;
  if (!q.prepare(sql)) {
    *error = Fail(q.lastError());
    return rows;
  }
  if (!Run(q, binds, error)) return rows;
  auto snapshot = [&q](int first) {
    SensorSnapshot s;
    s.doValue = Num(q.value(first));
    s.unit = q.value(first + 1).toInt();
    s.temperature = Num(q.value(first + 2));
    s.pressure = Num(q.value(first + 3));
    s.zeroCal = Num(q.value(first + 4));
    s.airCal = Num(q.value(first + 5));
    return s;
  };
  while (q.next()) {
    CalibrationRecord c;
    c.time = Time(q.value(0));
    c.kind = q.value(1).toString();
    c.serial = static_cast<quint32>(q.value(2).toLongLong());
    c.address = q.value(3).toInt();
    c.operatorName = q.value(4).toString();
    c.before = snapshot(5);
    c.after = snapshot(11);
    c.stable = q.value(17).toInt() != 0;
    c.stabilityText = q.value(18).toString();
    rows << c;
  }
  return rows;
}

}  // namespace records
