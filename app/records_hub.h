#pragma once
#include <QObject>
#include <QPointer>

#include "records/record_settings_dialog.h"

class QAction;
class QMenu;
class QWidget;

namespace records {
class CalibrationRecordsWindow;
}  // namespace records

// Joins the records to the main window: "标定记录" and "记录设置…" in its
// window menu, after the views' entries and before the About entry.
class RecordsHub : public QObject {
  Q_OBJECT

 public:
  // The hub becomes a child of `mainWindow`.
  RecordsHub(QWidget* mainWindow, QMenu* windowMenu);
  ~RecordsHub() override;

  QAction* CalibrationsAction() const { return m_calibrationsAction.data(); }
  QAction* SettingsAction() const { return m_settingsAction.data(); }

  // The calibrations window, made on first use; it reads the database the
  // operator chose at the moment it is shown.
  void ShowCalibrations();
  records::CalibrationRecordsWindow* Calibrations() const { return m_calibrations; }
  // The settings, window-modal without blocking the event loop.
  void ShowSettings();
  records::RecordSettingsDialog* Settings() const { return m_settings.data(); }

 signals:
  // The operator chose another database in "记录设置".
  void DatabaseChosen();

 private:
  QPointer<QWidget> m_mainWindow;
  QPointer<QAction> m_calibrationsAction;
  QPointer<QAction> m_settingsAction;
  records::CalibrationRecordsWindow* m_calibrations = nullptr;
  QPointer<records::RecordSettingsDialog> m_settings;
};
