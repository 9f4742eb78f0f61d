#include "views/trend_history.h"

#include <QFileInfo>
#include <cmath>

#include "protocol/display_rules.h"
#include "records/record_database.h"

namespace views {

namespace {

// A stored NULL stays NaN, a gap in the line rather than a number.
double Shown(double v, float (*rule)(float)) {
  return std::isfinite(v) ? static_cast<double>(rule(static_cast<float>(v))) : v;
}

TrendPoint PointOf(const records::ReadingRecord& r) {
  TrendPoint p;
  p.ms = r.time.toMSecsSinceEpoch();
  // As the live trend shows them: as the main window shows them.
  p.oxygen = Shown(r.doValue, protocol::DoValueShown);
  p.unit = static_cast<std::uint16_t>(r.unit);
  p.temperature = Shown(r.temperature, protocol::CutTo2Decimals);
  p.mgPerL = r.mgPerL;
  p.saturation = r.saturation;
  p.plausibility = static_cast<protocol::Plausibility>(r.plausibility);
  return p;
}

// Opens the database for one question. A missing SQLite file is not made:
// there is simply no history yet.
bool OpenForReading(records::RecordDatabase& db, const records::DatabaseTarget& target, QString* error) {
  if (target.kind == records::DatabaseTarget::SQLite && !QFileInfo::exists(target.file)) {
    *error = TrendHistory::tr("没有记录: %1").arg(target.Describe());
    return false;
  }
  return db.Open(target, error);
}

}  // namespace

TrendHistory::TrendHistory(QObject* parent) : QObject(parent), m_worker(new QObject) {
  m_worker->moveToThread(&m_thread);
  connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
  m_thread.setObjectName(QStringLiteral("trendHistory"));
  m_thread.start();
}

TrendHistory::~TrendHistory() {
  m_thread.quit();
  m_thread.wait();
}

void TrendHistory::AskSerials() {
  if (m_busy) return;
  m_busy = true;
  const records::DatabaseTarget target = m_target;
  // The destructor waits for the worker thread, so `self` outlives every
  // question; an answer posted to it after it is gone is dropped by Qt.
  TrendHistory* self = this;
  QMetaObject::invokeMethod(m_worker, [self, target] {
    QString error;
    QList<quint32> serials;
    {
      records::RecordDatabase db;
      if (OpenForReading(db, target, &error)) serials = db.Serials(&error);
    }
    QMetaObject::invokeMethod(self, [self, serials, error] {
      self->m_busy = false;
      emit self->SerialsRead(serials, error);
    }, Qt::QueuedConnection);
  }, Qt::QueuedConnection);
}

void TrendHistory::AskSpan(quint32 serial, const QDateTime& from, const QDateTime& to) {
  if (m_busy) return;
  m_busy = true;
  const records::DatabaseTarget target = m_target;
  // The destructor waits for the worker thread, so `self` outlives every
  // question; an answer posted to it after it is gone is dropped by Qt.
  TrendHistory* self = this;
  QMetaObject::invokeMethod(m_worker, [self, target, serial, from, to] {
    QString error;
    std::vector<TrendPoint> points;
    bool cut = false;
    {
      records::RecordDatabase db;
      if (OpenForReading(db, target, &error)) {
        records::RecordFilter filter;
        filter.serial = serial;
        filter.since = from;
        filter.until = to;
        filter.limit = kMaxPoints + 1;  // one more tells that the span was cut
        const QList<records::ReadingRecord> rows = db.Readings(filter, &error);
        cut = rows.size() > kMaxPoints;
        points.reserve(static_cast<std::size_t>(std::min<qsizetype>(rows.size(), kMaxPoints)));
        for (qsizetype i = 0; i < rows.size() && i < kMaxPoints; ++i) points.push_back(PointOf(rows[i]));
      }
    }
    QMetaObject::invokeMethod(self, [self, points = std::move(points), cut, error] {
      self->m_busy = false;
      emit self->SpanRead(points, cut, error);
    }, Qt::QueuedConnection);
  }, Qt::QueuedConnection);
}

}  // namespace views
