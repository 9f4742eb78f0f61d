#pragma once
#include <QDialog>
#include <QStringList>
#include <QElapsedTimer>
#include <QIcon>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "protocol/app_state.h"
#include "protocol/receive_path.h"

class CMSComm;
class CImageButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QUrl;
class QAction;
class RecordsHub;
namespace views {
class ViewsHub;
}

namespace Ui {
class CMainDlg;
}

// The main window: opens the port, searches for the sensor, polls it, shows
// the live values, and opens the sensor windows. It owns the serial component
// and implements what the receive path needs of its window.
class CMainDlg : public QDialog, public protocol::LinkWindow {
  Q_OBJECT

 public:
  explicit CMainDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CMainDlg() override;

  CMSComm& Comm() { return *m_comm; }
  protocol::AppState& State() { return m_state; }
  // Opens a file or web address with the desktop's default handler; tests replace it.
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { m_openUrl = std::move(opener); }
  // Where "使用帮助" looks for the manual in the language in force, in order.
  static QStringList HelpFileCandidates();
  // The window menu that a frameless window offers on its background and Alt+Space.
  QMenu* WindowMenu() { return m_windowMenu; }
  int PortNumberSelected() const;
  bool PortResetRunning() const { return m_portResetRunning; }
  // "关闭串口": stops polling and writing, closes the port and shows the window
  // as before the first "打开", so another port (or the replugged one) can be opened.
  void ClosePort();
  // True when leaving now would drop something: a write still waiting for its
  // echo, or a recording that is running.
  bool LeavingLosesWork() const;
  // The clock the receive path's time stamps come from.
  qint64 ClockMs() const { return m_clock.elapsed(); }

  // What the receive path asks of its window.
  void PullControls() override;
  void PushControls() override;
  void RestartPollTimer(int periodMs) override;
  void StopPollAndDisplayTimers() override;
  void BeginPortReset() override;
  void ShowNotConnected() override;
  void SetAddressShown(std::uint8_t address) override;
  void Report(const protocol::LinkEvent& event) override;
  void SendFrame(const protocol::RtuFrame& frame) override;

 signals:
  // After every pass of the receive path.
  void BytesHandled();
  // Line traffic, for views that watch the link: every frame handed to the
  // port, every batch of bytes received (with the receive clock in ms), and
  // every poll reply taken into rxBuf after its check.
  void FrameSent(const QByteArray& frame, qint64 ms);
  void BytesArrived(const QByteArray& bytes, qint64 ms);
  void ReplyAccepted(const QByteArray& reply, qint64 ms);

 protected:
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private slots:
  void OnOpenPort();
  void OnAutoConnect();
  void OnSensorConfig();
  void OnFactoryInfo();
  void OnSensorSignal();
  void OnHelp();
  void OnComm();
  void OnPortFailed(const QString& text);
  void OnDisplayTimer();
  void OnWriteTimer();
  void OnReturnTimer();
  void OnSearchPollTimer();
  void OnAbout();
  void OnPortSettings();
  void FinishPortReset();

 private:
  enum class SensorWindow { Config, FactoryInfo, Signal };

  void SetUpControls();
  void SetUpWindowMenu();
  void TickPrologue();
  bool RunOpeningSequence(int portNumber);
  void ShowPortState(bool open);
  void ShowPortMessage(const QString& text);
  void OpenSensorWindow(SensorWindow which);
  void EndWithOk();
  void SetCommStateText(const char* text);
  void SetWindowMenuTexts();
  void PlaceRecordingMark();
  void ShowValuesAsOld(bool old);
  // Asks before Enter or Esc ends the program with work in hand; true = leave.
  bool ConfirmLeave();
  void ShowRecording(bool recording, const QString& path, qint64 rows);

  protocol::AppState& m_state;
  std::unique_ptr<Ui::CMainDlg> m_ui;
  CMSComm* m_comm = nullptr;
  QElapsedTimer m_clock;
  std::function<bool(const QUrl&)> m_openUrl;
  QMenu* m_windowMenu = nullptr;
  QAction* m_closePortAction = nullptr;
  views::ViewsHub* m_views = nullptr;
  RecordsHub* m_records = nullptr;
  bool m_portShownOpen = false;
  QAction* m_moveAction = nullptr;
  QAction* m_minimizeAction = nullptr;
  QAction* m_closeAction = nullptr;
  QAction* m_portSettingsAction = nullptr;
  QAction* m_aboutAction = nullptr;
  QLabel* m_recordingMark = nullptr;  // "● 记录中" beside the communication state's title

  // Members shown in the controls.
  float m_doValue = 0;
  float m_temperature = 0;
  std::uint8_t m_addressShown = 0;
  // The state texts as the libraries word them (see SENSOR_TEXT), put into
  // the language in use whenever they are shown.
  const char* m_statusText = "";
  QString m_temperatureUnitText;
  QString m_doUnitText;
  const char* m_secondStatusText = "";
  const char* m_commStateText = "";
  bool m_openButtonUsed = false;
  bool m_valuesShownOld = false;  // the value boxes are greyed: no reply for a poll period

  QIcon m_appIcon;
  QIcon m_portOpenIcon;
  QIcon m_portClosedIcon;

  QTimer m_displayTimer;     // 1: display refresh, 1000 ms
  QTimer m_writeTimer;       // 2: pending-write cycle, 900 ms
  QTimer m_returnTimer;      // 3: return check, 27 ms
  QTimer m_searchPollTimer;  // 4: search 600 ms, poll 2000 ms
  QTimer m_portResetWait;    // the 900 ms pause inside a port reset
  bool m_portResetRunning = false;
  bool m_portFailureReported = false;
  bool m_portMessageOpen = false;
  int m_openedPort = 0;        // the port number last opened, and what it was bound to then
  QString m_openedBinding;

  bool m_moveMode = false;
  QPoint m_dragOffset;
};
