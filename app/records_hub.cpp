#include "app/records_hub.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

#include "records/calibration_records_window.h"
#include "records/database_url.h"
#include "records/record_settings_dialog.h"

namespace {

// The database as chosen now; an unreadable choice falls back to the default
// file, and the window says what it reads.
records::DatabaseTarget ChosenTarget() {
  records::DatabaseTarget target;
  QString error;
  if (!records::ParseDatabaseUrl(records::SavedDatabaseUrl(), &target, &error))
    records::ParseDatabaseUrl(QString(), &target, &error);
  return target;
}

}  // namespace

RecordsHub::RecordsHub(QWidget* mainWindow, QMenu* windowMenu) : QObject(mainWindow), m_mainWindow(mainWindow) {
  if (!windowMenu) return;
  // Before the About entry's separator, the last one in the menu.
  QAction* before = nullptr;
  for (QAction* a : windowMenu->actions())
    if (a->isSeparator()) before = a;
  windowMenu->insertSeparator(before);
  auto add = [&](const QString& text, const char* name) {
    auto* action = new QAction(text, windowMenu);
    action->setObjectName(QLatin1String(name));
    windowMenu->insertAction(before, action);
    return action;
  };
  m_calibrationsAction = add(QStringLiteral("标定记录"), "calibrationRecordsAction");
  m_settingsAction = add(QStringLiteral("记录设置…"), "recordSettingsAction");
  connect(m_calibrationsAction, &QAction::triggered, this, &RecordsHub::ShowCalibrations);
  connect(m_settingsAction, &QAction::triggered, this, &RecordsHub::ShowSettings);
}

RecordsHub::~RecordsHub() { delete m_calibrations; }

void RecordsHub::ShowCalibrations() {
  // A top-level window of its own (no parent), so hiding the main window
  // while a sensor window is up leaves it on screen; the hub deletes it.
  if (!m_calibrations) {
    m_calibrations = new records::CalibrationRecordsWindow(ChosenTarget());
    m_calibrations->setObjectName(QStringLiteral("calibrationRecordsWindow"));
    m_calibrations->setModal(false);
  }
  m_calibrations->show();
  m_calibrations->raise();
  m_calibrations->activateWindow();
  m_calibrations->Refresh();
}

void RecordsHub::ShowSettings() {
  if (m_settings) {
    m_settings->raise();
    m_settings->activateWindow();
    return;
  }
  auto* dialog = new records::RecordSettingsDialog(m_mainWindow);
  dialog->setObjectName(QStringLiteral("recordSettingsDialog"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_settings = dialog;
  connect(dialog, &QDialog::accepted, this, [this] {
    // The calibrations window reads the new database from its next showing.
    delete m_calibrations;
    m_calibrations = nullptr;
    emit DatabaseChosen();
  });
  dialog->open();
}
