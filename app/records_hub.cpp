#include "app/records_hub.h"

#include <QAction>
#include <QDateTime>
#include <QEvent>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>

#include "dialogs/dialog_support.h"
#include "records/calibration_records_window.h"
#include "records/database_url.h"
#include "records/link_recording.h"
#include "records/record_format.h"
#include "records/record_store.h"
#include "records/recorder.h"

namespace {

// The database as chosen now; an unreadable choice falls back to the default
// file, whose place every message names.
records::DatabaseTarget ChosenTarget() { return records::SavedDatabaseTarget(); }

}  // namespace

RecordsHub::RecordsHub(QWidget* mainWindow, protocol::AppState& state, QMenu* windowMenu)
    : QObject(mainWindow), m_mainWindow(mainWindow), m_state(state) {
  OpenStore();
  if (mainWindow) mainWindow->installEventFilter(this);
  else m_windowPainted = true;
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
  m_calibrationsAction = add(QString(), "calibrationRecordsAction");
  m_settingsAction = add(QString(), "recordSettingsAction");
  RetranslateMenu();
  connect(m_calibrationsAction, &QAction::triggered, this, &RecordsHub::ShowCalibrations);
  connect(m_settingsAction, &QAction::triggered, this, &RecordsHub::ShowSettings);
}

RecordsHub::~RecordsHub() {
  delete m_calibrations;
  CloseStore();
}

void RecordsHub::OpenStore() {
  const records::DatabaseTarget target = ChosenTarget();
  m_store = std::make_unique<records::RecordStore>(target);
  m_recorder = std::make_unique<records::Recorder>(m_store.get());
  // The verdict recorded with a calibration is the one the operator sees.
  m_joiner = std::make_unique<records::LinkRecording>(m_state.link, *m_recorder, &m_state.stability);
  m_droppedTold = false;
  // The store speaks from its writer thread; the messages are shown here.
  const QString where = target.Describe();
  connect(m_store.get(), &records::RecordStore::Unavailable, this,
          [this, where](const QString& reason) { Tell(records::UnavailableMessage(where, reason)); });
  connect(m_store.get(), &records::RecordStore::Restored, this, [this, where] {
    m_droppedTold = false;
    Tell(records::RestoredMessage(where));
  });
  connect(m_store.get(), &records::RecordStore::RowsDropped, this, [this](qint64 total) {
    if (m_droppedTold) return;
    m_droppedTold = true;
    Tell(records::DroppedMessage(total));
  });
  // A database chosen while the window is up is opened at once, so an
  // unreachable one is told now rather than with the first row.
  if (m_windowPainted) m_store->Start();
}

bool RecordsHub::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_mainWindow && event->type() == QEvent::Paint && !m_windowPainted) {
    m_windowPainted = true;
    watched->removeEventFilter(this);
    // After this paint has reached the screen; a row that came earlier
    // has started the store already.
    QTimer::singleShot(0, this, [this] {
      if (m_store) m_store->Start();
    });
  }
  return QObject::eventFilter(watched, event);
}

void RecordsHub::CloseStore() {
  m_joiner.reset();    // a write still without an outcome is recorded as failed
  m_recorder.reset();  // writes the calibrations still waiting for their "after"
  if (m_store) m_store->disconnect(this);
  m_store.reset();     // writes what it can, then stops its thread
}

void RecordsHub::Tell(const QString& text) {
  ui::ShowMessage(m_mainWindow, text, QMessageBox::Warning);
}

QString RecordsHub::WriteValueText(const protocol::RtuFrame& frame, int reg) {
  return records::LinkRecording::WriteValueText(frame, reg);
}

void RecordsHub::OnReplyAccepted(const QByteArray& reply, qint64 /*ms*/) {
  if (m_joiner) m_joiner->OnReplyAccepted(reply);
}

void RecordsHub::OnLinkEvent(const protocol::LinkEvent& event) {
  if (m_joiner) m_joiner->OnLinkEvent(event);
}

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
    // From now on the records go to the new database, and the calibrations
    // window reads it from its next showing.
    delete m_calibrations;
    m_calibrations = nullptr;
    CloseStore();
    OpenStore();
    emit DatabaseChosen();
  });
  dialog->open();
}

void RecordsHub::RetranslateMenu() {
  if (m_calibrationsAction) m_calibrationsAction->setText(tr("标定记录"));
  if (m_settingsAction) m_settingsAction->setText(tr("记录设置…"));
}
