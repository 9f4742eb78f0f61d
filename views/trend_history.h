#pragma once
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QThread>
#include <vector>

#include "records/database_url.h"
#include "views/trend_store.h"

namespace views {

// Reads past readings for the trend from the records database on a thread of
// its own, so a long span or a slow server never holds up the window. One
// question at a time; the answer comes back as a signal on the asking thread.
class TrendHistory : public QObject {
  Q_OBJECT

 public:
  // A span with more readings than this shows its first ones only (four
  // days at one every 2 s), which bounds the memory and the first plot.
  static constexpr int kMaxPoints = 4 * 43200;

  explicit TrendHistory(QObject* parent = nullptr);
  // Waits for a question still being answered.
  ~TrendHistory() override;

  void SetTarget(const records::DatabaseTarget& target) { m_target = target; }
  const records::DatabaseTarget& Target() const { return m_target; }
  bool Busy() const { return m_busy; }

  // The serial numbers with readings, ascending.
  void AskSerials();
  // The readings of `serial` from `from` to `to`, both inclusive.
  void AskSpan(quint32 serial, const QDateTime& from, const QDateTime& to);

 signals:
  void SerialsRead(const QList<quint32>& serials, const QString& error);
  // `cut` when the span held more than kMaxPoints readings.
  void SpanRead(const std::vector<views::TrendPoint>& points, bool cut, const QString& error);

 private:
  QThread m_thread;
  QObject* m_worker = nullptr;  // lives on m_thread; questions run in its context
  records::DatabaseTarget m_target;
  bool m_busy = false;
};

}  // namespace views
