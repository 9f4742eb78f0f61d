#pragma once
#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>

#include "views/traffic_log.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace views {

// The entries of a TrafficLog as table rows: time, direction, bytes, verdict.
// Refresh() brings the rows in line with the log after entries were added or
// dropped, with row insert and remove notifications so the view keeps its
// selection and position.
class TrafficModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { TimeColumn, DirectionColumn, AddressColumn, BytesColumn, VerdictColumn, ColumnCount };

  // `epochOffsetMs` turns the log's clock into ms since 1970.
  TrafficModel(const TrafficLog& log, qint64 epochOffsetMs, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  void Refresh();
  // The entry shown in `row`, or nullptr.
  const TrafficEntry* EntryAt(int row) const;
  // "HH:mm:ss.zzz" of a log time.
  QString TimeText(std::int64_t ms) const;
  // One line of text per row: time, direction, bytes, verdict, tab-separated.
  QString RowText(int row) const;

 private:
  const TrafficLog& m_log;
  qint64 m_epochOffsetMs;
  std::uint64_t m_first = 0;  // seq of the entry in row 0
  int m_count = 0;
};

// "通信监视": every frame on the line with its time, direction, bytes and
// verdict, the counters, and a copy to the clipboard. Read-only: it sends
// nothing and changes nothing.
class TrafficWindow : public QWidget {
  Q_OBJECT

 public:
  TrafficWindow(const TrafficLog& log, qint64 epochOffsetMs, QWidget* parent = nullptr);

  // Takes new entries and counters from the log.
  void Refresh();
  // Copies the selected rows, or every row when none is selected, with the
  // counters line first.
  void CopyToClipboard();

  TrafficModel* Model() const { return m_model; }
  QString CountersText() const;

 private:
  const TrafficLog& m_log;
  TrafficModel* m_model = nullptr;
  QTableView* m_table = nullptr;
  QLabel* m_counters = nullptr;
  QCheckBox* m_follow = nullptr;
  QPushButton* m_copy = nullptr;
};

}  // namespace views
