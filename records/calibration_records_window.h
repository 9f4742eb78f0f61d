#pragma once
#include <QDialog>
#include <QFutureWatcher>
#include <QList>

#include "records/database_url.h"
#include "records/record_types.h"

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace records {

// "标定记录": the calibrations in the records database, filtered by serial
// number and time, with the selection exported to CSV or, one at a time, to
// a PDF calibration certificate. Queries run off the window's thread, so a
// slow server never freezes it.
class CalibrationRecordsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit CalibrationRecordsWindow(const DatabaseTarget& target, QWidget* parent = nullptr);
  ~CalibrationRecordsWindow() override;

  // Shows the calibrations of one sensor (0: every sensor) and queries.
  void ShowSerial(quint32 serial);
  // Runs the query with the filters as they stand; Loaded() when done.
  void Refresh();

  const QList<CalibrationRecord>& Rows() const { return m_rows; }
  QList<CalibrationRecord> SelectedRows() const;
  QString StatusText() const;

  // The exports behind the buttons, without the file dialog.
  bool ExportCsv(const QString& path, QString* error) const;
  bool ExportCertificate(const QString& path, QString* error) const;

 signals:
  void Loaded();

 private:
  struct Result {
    QList<CalibrationRecord> rows;
    QString error;
  };
  void OnLoaded();
  void UpdateButtons();
  void AskExportCsv();
  void AskExportCertificate();

  DatabaseTarget m_target;
  QLineEdit* m_serial;
  QCheckBox* m_useSince;
  QDateTimeEdit* m_since;
  QCheckBox* m_useUntil;
  QDateTimeEdit* m_until;
  QPushButton* m_query;
  QTableWidget* m_table;
  QPushButton* m_csv;
  QPushButton* m_pdf;
  QLabel* m_status;
  QFutureWatcher<Result> m_watcher;
  bool m_pending = false;  // filters changed while a query ran
  QList<CalibrationRecord> m_rows;
};

}  // namespace records
