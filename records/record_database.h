#pragma once
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include "records/database_url.h"
#include "records/record_types.h"

namespace records {

// The schema version this program writes. Older databases are migrated up
// on open; a newer one (a newer program shares the server) is refused, as
// this program would not know what its rows mean.
constexpr int kSchemaVersion = 1;

// One connection to the records database, usable from the thread that
// opened it only (a Qt SQL rule). Creates and migrates the schema on open.
class RecordDatabase {
 public:
  RecordDatabase();
  ~RecordDatabase();
  RecordDatabase(const RecordDatabase&) = delete;
  RecordDatabase& operator=(const RecordDatabase&) = delete;

  bool Open(const DatabaseTarget& target, QString* error);
  void Close();
  bool IsOpen() const;
  int SchemaVersion();

  bool Begin();
  bool Commit(QString* error);
  void Rollback();

  bool Insert(const ReadingRecord& r, QString* error);
  bool Insert(const WriteRecord& w, QString* error);
  bool FinishWrite(const QString& token, const QDateTime& finished, WriteRecord::Outcome outcome,
                   const QString& reason, QString* error);
  bool Insert(const CalibrationRecord& c, QString* error);

  // Rows in time order. On failure an empty list and the reason in *error.
  QList<ReadingRecord> Readings(const RecordFilter& filter, QString* error);
  QList<WriteRecord> Writes(const RecordFilter& filter, QString* error);
  QList<CalibrationRecord> Calibrations(const RecordFilter& filter, QString* error);
  // The serial numbers that have readings, ascending.
  QList<quint32> Serials(QString* error);

 private:
  bool Migrate(QString* error);

  QString m_name;
  bool m_postgres = false;
};

}  // namespace records
