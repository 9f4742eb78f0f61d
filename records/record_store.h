#pragma once
#include <QMutex>
#include <QObject>
#include <QThread>

#include <deque>
#include <mutex>
#include <variant>

#include "records/database_url.h"
#include "records/record_types.h"

namespace records {

class RecordWriter;

// The records the program keeps, written on a thread of their own so the
// window never waits for a disk or a server. Rows are handed over in memory
// and written in batches, each batch one transaction. When the database
// cannot be reached or written, Unavailable() is emitted once, the rows wait
// in memory (readings up to a bound, the oldest dropped first and counted;
// writes and calibrations always kept) and are written when it returns.
class RecordStore : public QObject {
  Q_OBJECT

 public:
  struct Options {
    int maxPendingReadings = 100000;  // about a day of readings at one a second
    int batchIntervalMs = 500;        // how long rows gather before a batch is written
    int retryIntervalMs = 3000;       // how often an unavailable database is tried again
  };
  struct Stats {
    qint64 written = 0;   // rows (and write outcomes) in the database
    qint64 pending = 0;   // waiting in memory
    qint64 dropped = 0;   // readings given up because the bound was hit
    bool available = false;
    QString lastError;
  };

  explicit RecordStore(const DatabaseTarget& target, QObject* parent = nullptr);
  RecordStore(const DatabaseTarget& target, Options options, QObject* parent = nullptr);
  // Writes what it can (waiting at most for one attempt), then stops the
  // thread. What could not be written is counted in a warning on stderr.
  ~RecordStore() override;

  const DatabaseTarget& Target() const { return m_target; }

  // Starts the writer thread, which opens the database at once (creating the
  // schema, telling an unreachable one). Called by the first row and by
  // WaitUntilWritten, so a store nobody writes to costs no thread, no SQL
  // driver and no database file; a window calls it once it is on screen.
  void Start();

  // Cheap and thread-safe: the row is queued and the call returns at once.
  void AddReading(const ReadingRecord& reading);
  void AddWrite(const WriteRecord& write);
  void FinishWrite(const QString& token, const QDateTime& finished, WriteRecord::Outcome outcome,
                   const QString& reason = QString());
  void AddCalibration(const CalibrationRecord& calibration);

  Stats CurrentStats() const;
  // Asks for everything pending to be written now and waits up to
  // `timeoutMs` for it; true when nothing is left. For the CLI, tests and
  // shutdown, never for the window's own thread while it runs.
  bool WaitUntilWritten(int timeoutMs);

 signals:
  // The database could not be opened or written; rows are kept meanwhile.
  // Emitted once per outage, from the writer thread.
  void Unavailable(const QString& reason);
  // The database took the kept rows again after an outage.
  void Restored();
  // The in-memory bound was hit: `total` readings have been given up so far.
  void RowsDropped(qint64 total);

 private:
  friend class RecordWriter;
  struct FinishedWrite {
    QString token;
    QDateTime finished;
    WriteRecord::Outcome outcome;
    QString reason;
  };
  using Op = std::variant<ReadingRecord, WriteRecord, FinishedWrite, CalibrationRecord>;

  void Enqueue(Op op);

  DatabaseTarget m_target;
  Options m_options;
  QThread m_thread;
  RecordWriter* m_writer = nullptr;
  std::once_flag m_started;  // rows may come from any thread

  mutable QMutex m_mutex;  // guards everything below
  std::deque<Op> m_queue;
  qint64 m_inFlight = 0;   // ops the writer has taken and not yet committed
  qint64 m_queuedReadings = 0;
  Stats m_stats;
};

}  // namespace records
