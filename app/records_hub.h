#pragma once
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include "protocol/app_state.h"
#include "protocol/link_events.h"
#include "records/record_settings_dialog.h"

class QAction;
class QEvent;
class QMenu;
class QWidget;

namespace records {
class CalibrationRecordsWindow;
class LinkRecording;
class RecordStore;
class Recorder;
}  // namespace records

// Joins the records to the main window: keeps every accepted reading, every
// write the operator asked for with its outcome, and every calibration in
// the database the operator chose, and puts "标定记录" and "记录设置…" into
// the window menu, after the views' entries and before the About entry.
// The database's own troubles (unreachable, back again, readings given up)
// are told once each in a message box; the rows wait in memory meanwhile.
class RecordsHub : public QObject {
  Q_OBJECT

 public:
  // The hub becomes a child of `mainWindow` and listens to the writes placed
  // on `state`'s link until it goes.
  RecordsHub(QWidget* mainWindow, protocol::AppState& state, QMenu* windowMenu);
  // A write still without an outcome is recorded as failed: nobody saw it
  // confirmed, and the record must not say otherwise.
  ~RecordsHub() override;

  QAction* CalibrationsAction() const { return m_calibrationsAction.data(); }
  QAction* SettingsAction() const { return m_settingsAction.data(); }
  // The menu entries' texts in the language in force.
  void RetranslateMenu();

  // The calibrations window, made on first use; it reads the database the
  // operator chose at the moment it is made.
  void ShowCalibrations();
  records::CalibrationRecordsWindow* Calibrations() const { return m_calibrations; }
  // The settings, window-modal without blocking the event loop.
  void ShowSettings();
  records::RecordSettingsDialog* Settings() const { return m_settings.data(); }

  records::RecordStore* Store() const { return m_store.get(); }

  // An accepted poll reply (the main window's ReplyAccepted).
  void OnReplyAccepted(const QByteArray& reply, qint64 ms);
  // What the write cycle reported about the pending write.
  void OnLinkEvent(const protocol::LinkEvent& event);

  // The value a write frame carries, as the windows show it: a whole number,
  // the serial number unsigned, a float register's value as a number.
  static QString WriteValueText(const protocol::RtuFrame& frame, int reg);

 signals:
  // The operator chose another database in "记录设置"; the records go there now.
  void DatabaseChosen();

 private:
  // Opens the database once the main window has first painted: the SQL
  // driver and the writer thread are not what the operator waits for.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void OpenStore();
  void CloseStore();
  void Tell(const QString& text);

  QPointer<QWidget> m_mainWindow;
  protocol::AppState& m_state;
  QPointer<QAction> m_calibrationsAction;
  QPointer<QAction> m_settingsAction;
  records::CalibrationRecordsWindow* m_calibrations = nullptr;
  QPointer<records::RecordSettingsDialog> m_settings;
  std::unique_ptr<records::RecordStore> m_store;
  std::unique_ptr<records::Recorder> m_recorder;
  std::unique_ptr<records::LinkRecording> m_joiner;  // the link's happenings into m_recorder
  bool m_droppedTold = false;                // since the store last came back
  bool m_windowPainted = false;
};
