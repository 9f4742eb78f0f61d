#pragma once
#include <QDialog>
#include <QStringList>
#include <QIcon>
#include <QPoint>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "link/sensor_link.h"
#include "protocol/app_state.h"

class CMSComm;
class CImageButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QUrl;
class QAction;
class RecordsHub;
class CBusScanWindow;
class WindowTransport;
namespace views {
class ViewsHub;
}

namespace Ui {
class CMainDlg;
}

// The main window: opens the port, starts the search, shows the live values,
// and opens the sensor windows. The link to the sensor (polling, writing, the
// port reset and its reopen) runs in its SensorLink over the serial
// component; the window shows what the link reports.
class CMainDlg : public QDialog, private sensorlink::WindowHooks {
  Q_OBJECT

 public:
  explicit CMainDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CMainDlg() override;

  CMSComm& Comm() { return *m_comm; }
  sensorlink::SensorLink& Link() { return *m_link; }
  protocol::AppState& State() { return m_state; }
  // Opens a file or web address with the desktop's default handler; tests replace it.
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { m_openUrl = std::move(opener); }
  // Where "使用帮助" looks for the manual in the language in force, in order.
  static QStringList HelpFileCandidates();
  // The window menu that a frameless window offers on its background and Alt+Space.
  QMenu* WindowMenu() { return m_windowMenu; }
  int PortNumberSelected() const;
  bool PortResetRunning() const { return m_link->PortResetRunning(); }
  // "关闭串口": stops polling and writing, closes the port and shows the window
  // as before the first "打开", so another port (or the replugged one) can be opened.
  void ClosePort();
  // True when leaving now would drop something: a write still waiting for its
  // echo, or a recording that is running.
  bool LeavingLosesWork() const;
  // Connects to the sensor at `address` as the automatic connection does once
  // it has found one, the port staying open; how the operator switches
  // between the sensors of one line. Returns why it cannot (empty when it did).
  QString ConnectToAddress(std::uint8_t address);
  // "设备管理", while it is open (tests reach its list and its scan range here).
  CBusScanWindow* BusScanWindow() const { return m_busScanWindow; }
  bool BusScanRunning() const { return m_scanning; }
  // The clock the receive path's time stamps come from.
  qint64 ClockMs() const { return m_link->ClockMs(); }

 signals:
  // The link's own, passed on for the views and records that watch the line:
  // after every pass of the receive path; every frame handed to the port,
  // every batch of bytes received (with the receive clock in ms), and every
  // poll reply taken into rxBuf after its check.
  void BytesHandled();
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
  void OnDisplayTimer();
  void OnReturnTimer();
  void OnAbout();
  void OnPortSettings();
  // "扫描总线" opens "设备管理" and starts a scan; "设备管理…" only opens it.
  void OnDeviceManager(bool scanNow);
  void ShowScanRunning(bool running);

 private:
  enum class SensorWindow { Config, FactoryInfo, Signal };

  // What a port number is bound to (the identity a reopen compares) and the
  // device that binding leads to now.
  struct PortChoice {
    int number = 0;
    QString binding;
    QString device;
  };

  void SetUpControls();
  void SetUpWindowMenu();
  void ConnectLink();
  // sensorlink::WindowHooks
  void BeforeTick() override;
  void PullControls() override;
  void PushControls() override;
  void ShowNotConnected() override;
  QString BeforeReopen() override;

  static PortChoice ResolvePort(int number);
  // Gives the component the chosen device by name; the number stays for its messages.
  void BindPort(const PortChoice& choice);
  void ShowOpened();
  void ShowResetStarted();
  void ShowPortDown(const QString& reason);
  void Report(const protocol::LinkEvent& event);
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
  WindowTransport* m_transport = nullptr;  // the serial component or a network binding
  CBusScanWindow* m_busScanWindow = nullptr;
  bool m_scanning = false;  // a bus scan holds the link: no sensor's values are shown
  sensorlink::SensorLink* m_link = nullptr;
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
  QAction* m_busScanAction = nullptr;
  QAction* m_deviceManagerAction = nullptr;
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

  QTimer m_displayTimer;  // display refresh, 1000 ms
  QTimer m_returnTimer;   // return check, 27 ms
  bool m_portFailureReported = false;
  bool m_portMessageOpen = false;
  PortChoice m_opened;   // the port last opened, and what it was bound to then
  PortChoice m_binding;  // the port given to the component for the next open

  bool m_moveMode = false;
  QPoint m_dragOffset;
};
