#include "records/record_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QtDebug>

#include "records/record_database.h"

namespace records {

// Lives on the store's thread and owns the only connection that writes.
class RecordWriter : public QObject {
 public:
  // The timer is a child so that it moves to the writer's thread with it.
  explicit RecordWriter(RecordStore* store) : m_store(store), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { Flush(); });
  }

  // New rows: write them after the batch interval, unless an attempt is
  // already planned (after an outage that is the retry interval).
  void Poke() {
    if (!m_timer->isActive()) m_timer->start(m_store->m_options.batchIntervalMs);
  }

  // Writes everything queued now, in batches of one transaction each.
  // Also the first call and every retry: opening the database creates the
  // schema and tells an unreachable one before any row waits for it.
  bool Flush() {
    m_timer->stop();
    QString error;
    bool ok = EnsureOpen(&error);
    while (ok) {
      std::deque<RecordStore::Op> batch;
      {
        QMutexLocker lock(&m_store->m_mutex);
        const std::size_t n = std::min<std::size_t>(m_store->m_queue.size(), kBatchRows);
        if (n == 0) break;
        for (std::size_t i = 0; i < n; ++i) {
          if (std::holds_alternative<ReadingRecord>(m_store->m_queue.front())) --m_store->m_queuedReadings;
          batch.push_back(std::move(m_store->m_queue.front()));
          m_store->m_queue.pop_front();
        }
        m_store->m_inFlight = static_cast<qint64>(n);
      }
      ok = Write(batch, &error);
      QMutexLocker lock(&m_store->m_mutex);
      m_store->m_inFlight = 0;
      if (ok) {
        m_store->m_stats.written += static_cast<qint64>(batch.size());
      } else {
        // Back to the front, in order, to be tried again when it returns.
        for (auto it = batch.rbegin(); it != batch.rend(); ++it) {
          if (std::holds_alternative<ReadingRecord>(*it)) ++m_store->m_queuedReadings;
          m_store->m_queue.push_front(std::move(*it));
        }
      }
    }
    {
      QMutexLocker lock(&m_store->m_mutex);
      m_store->m_stats.available = ok;
      m_store->m_stats.lastError = ok ? QString() : error;
    }
    if (!ok) {
      if (!m_reported) {
        m_reported = true;
        emit m_store->Unavailable(error);
      }
      m_timer->start(m_store->m_options.retryIntervalMs);
    } else if (m_reported) {
      m_reported = false;
      emit m_store->Restored();
    }
    ReportDrops();
    return ok;
  }

  void Shutdown() {
    m_timer->stop();
    m_db.Close();
  }

 private:
  static constexpr std::size_t kBatchRows = 500;

  bool EnsureOpen(QString* error) {
    if (m_db.IsOpen()) return true;
    return m_db.Open(m_store->m_target, error);
  }

  bool Write(const std::deque<RecordStore::Op>& batch, QString* error) {
    if (!EnsureOpen(error)) return false;
    if (!m_db.Begin()) {
      // A connection the server has dropped fails here: open afresh next time.
      *error = QStringLiteral("无法开始事务");
      m_db.Close();
      return false;
    }
    for (const RecordStore::Op& op : batch) {
      bool ok = false;
      if (const auto* r = std::get_if<ReadingRecord>(&op)) ok = m_db.Insert(*r, error);
      else if (const auto* w = std::get_if<WriteRecord>(&op)) ok = m_db.Insert(*w, error);
      else if (const auto* f = std::get_if<RecordStore::FinishedWrite>(&op))
        ok = m_db.FinishWrite(f->token, f->finished, f->outcome, f->reason, error);
      else if (const auto* c = std::get_if<CalibrationRecord>(&op)) ok = m_db.Insert(*c, error);
      if (!ok) {
        m_db.Rollback();
        m_db.Close();
        return false;
      }
    }
    if (!m_db.Commit(error)) {
      m_db.Rollback();
      m_db.Close();
      return false;
    }
    return true;
  }

  void ReportDrops() {
    qint64 dropped;
    {
      QMutexLocker lock(&m_store->m_mutex);
      dropped = m_store->m_stats.dropped;
    }
    if (dropped != m_reportedDrops) {
      m_reportedDrops = dropped;
      emit m_store->RowsDropped(dropped);
    }
  }

  RecordStore* m_store;
  RecordDatabase m_db;
  QTimer* m_timer;
  bool m_reported = false;  // an outage has been announced and not yet ended
  qint64 m_reportedDrops = 0;
};

RecordStore::RecordStore(const DatabaseTarget& target, QObject* parent) : RecordStore(target, Options(), parent) {}

RecordStore::RecordStore(const DatabaseTarget& target, Options options, QObject* parent)
    : QObject(parent), m_target(target), m_options(options) {
  m_thread.setObjectName(QStringLiteral("records"));
}

void RecordStore::Start() {
  std::call_once(m_started, [this] {
    m_writer = new RecordWriter(this);
    m_writer->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_writer, &QObject::deleteLater);
    m_thread.start();
    QMetaObject::invokeMethod(m_writer, [w = m_writer] { w->Flush(); }, Qt::QueuedConnection);
  });
}

RecordStore::~RecordStore() {
  if (!m_writer) return;  // never started: no thread ran, nothing is pending
  QMetaObject::invokeMethod(
      m_writer, [w = m_writer] { w->Flush(); w->Shutdown(); }, Qt::BlockingQueuedConnection);
  m_thread.quit();
  m_thread.wait();
  const Stats s = CurrentStats();
  if (s.pending > 0)
    qWarning().noquote() << QStringLiteral("记录数据库不可用，%1 条记录未能写入（%2）：%3")
                                .arg(s.pending)
                                .arg(m_target.Describe(), s.lastError);
}

void RecordStore::Enqueue(Op op) {
  {
    QMutexLocker lock(&m_mutex);
    if (std::holds_alternative<ReadingRecord>(op) && m_queuedReadings >= m_options.maxPendingReadings) {
      // Over the bound: the oldest waiting reading makes room. Writes and
      // calibrations are few and are never given up.
      ++m_stats.dropped;
      auto oldest = std::find_if(m_queue.begin(), m_queue.end(),
                                 [](const Op& o) { return std::holds_alternative<ReadingRecord>(o); });
      if (oldest == m_queue.end()) return;  // bound 0: nothing to make room with
      m_queue.erase(oldest);
      --m_queuedReadings;
    }
    if (std::holds_alternative<ReadingRecord>(op)) ++m_queuedReadings;
    m_queue.push_back(std::move(op));
  }
  Start();
  QMetaObject::invokeMethod(m_writer, [w = m_writer] { w->Poke(); }, Qt::QueuedConnection);
}

void RecordStore::AddReading(const ReadingRecord& reading) { Enqueue(reading); }
void RecordStore::AddWrite(const WriteRecord& write) { Enqueue(write); }
void RecordStore::FinishWrite(const QString& token, const QDateTime& finished, WriteRecord::Outcome outcome,
                              const QString& reason) {
  Enqueue(FinishedWrite{token, finished, outcome, reason});
}
void RecordStore::AddCalibration(const CalibrationRecord& calibration) { Enqueue(calibration); }

RecordStore::Stats RecordStore::CurrentStats() const {
  QMutexLocker lock(&m_mutex);
  Stats s = m_stats;
  s.pending = static_cast<qint64>(m_queue.size()) + m_inFlight;
  return s;
}

bool RecordStore::WaitUntilWritten(int timeoutMs) {
  Start();
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    QMetaObject::invokeMethod(m_writer, [w = m_writer] { w->Flush(); }, Qt::BlockingQueuedConnection);
    if (CurrentStats().pending == 0) return true;
    if (clock.elapsed() >= timeoutMs) return false;
    QThread::msleep(50);
  }
}

}  // namespace records
