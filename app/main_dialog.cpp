#include "app/main_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFontMetrics>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <algorithm>

#include "app/about_dialog.h"
#include "app/bus_scan_window.h"
#include "app/window_transport.h"
#include "app/language.h"
#include "app/port_settings_dialog.h"
#include "app/records_hub.h"
#include "app/sensor_windows.h"
#include "controls/image_button.h"
#include "dialogs/dialog_support.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "res/string_table.h"
#include "serial/comm.h"
#include "app/port_list_tooltips.h"
#include "serial/port_naming.h"
#include "transports/port_address.h"
#include "ui_main_dialog.h"
#include "uitexts/link_texts.h"
#include "views/views_hub.h"

namespace {

constexpr int kPortCount = 15;
constexpr int kTemplateWidthDu = 487;
constexpr int kTemplateHeightDu = 394;

QString PortInUseText() { return CMainDlg::tr("该端口已经被打开或者被占用！"); }
QString OpenPortFirstText() { return CMainDlg::tr("请先打开串口."); }
QString ConnectSensorFirstText() { return CMainDlg::tr("请先连接传感器."); }
constexpr const char* kPortLost = SENSOR_TEXT("SensorTexts", "串口断开");
constexpr const char* kScanning = SENSOR_TEXT("SensorTexts", "扫描中");

QString Utf8(const char* text) { return QString::fromUtf8(text); }
QString Utf8(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

CMainDlg::CMainDlg(protocol::AppState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_ui(std::make_unique<Ui::CMainDlg>()) {
  m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

  // The font first: the template's fields lay out their text as they are
  // made, and would otherwise load and measure the default face for nothing.
  setFont(ui::MainWindowFont());
  m_ui->setupUi(this);
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  ui::ApplyDialogUnits(this, kTemplateWidthDu, kTemplateHeightDu);

  m_comm = new CMSComm(this);
  m_comm->setObjectName(QStringLiteral("comm"));
  m_comm->setProperty("controlId", 1015);
  m_transport = new WindowTransport(*m_comm, this);
  m_link = new sensorlink::SensorLink(*m_transport, m_state.link, this);
  m_link->setObjectName(QStringLiteral("link"));
  m_link->SetWindowHooks(this);

  m_statusText = ui_texts::kNotConnected;
  m_temperatureUnitText = QStringLiteral("℃");
  m_doUnitText = QStringLiteral("mg/L");
  m_commStateText = ui_texts::kNoConnection;

  SetUpControls();
  SetUpWindowMenu();
  ui::MoveByBackground(this);
  // Trend, line traffic and recording: entries of the window menu, fed by this window's signals.
  m_views = new views::ViewsHub(this, m_state, m_windowMenu,
                                {[this] { return ClockMs(); }, [this] { return PortResetRunning(); }});
  connect(m_views, &views::ViewsHub::RecordingChanged, this, &CMainDlg::ShowRecording);
  // Calibration records and where they are kept: entries after the views'.
  m_records = new RecordsHub(this, m_state, m_windowMenu);
  m_records->setObjectName(QStringLiteral("recordsHub"));
  connect(this, &CMainDlg::ReplyAccepted, m_records, &RecordsHub::OnReplyAccepted);
  PushControls();

  ConnectLink();
  connect(m_ui->openButton, &QPushButton::clicked, this, &CMainDlg::OnOpenPort);
  connect(m_ui->autoConnectButton, &QPushButton::clicked, this, &CMainDlg::OnAutoConnect);
  connect(m_ui->configButton, &QPushButton::clicked, this, &CMainDlg::OnSensorConfig);
  connect(m_ui->factoryButton, &QPushButton::clicked, this, &CMainDlg::OnFactoryInfo);
  connect(m_ui->signalButton, &QPushButton::clicked, this, &CMainDlg::OnSensorSignal);
  connect(m_ui->helpButton, &QPushButton::clicked, this, &CMainDlg::OnHelp);
  connect(m_ui->exitButton, &QPushButton::clicked, this, &QDialog::reject);

  // Named children so tools and tests can look at their periods, beside the link's.
  for (const auto& [timer, name] :
       {std::pair{&m_displayTimer, "displayTimer"}, std::pair{&m_returnTimer, "returnTimer"}}) {
    timer->setParent(this);
    timer->setObjectName(QLatin1String(name));
  }
  connect(&m_displayTimer, &QTimer::timeout, this, &CMainDlg::OnDisplayTimer);
  connect(&m_returnTimer, &QTimer::timeout, this, &CMainDlg::OnReturnTimer);

  m_ui->portList->setFocus();
}

CMainDlg::~CMainDlg() = default;

void CMainDlg::ConnectLink() {
  using sensorlink::SensorLink;
  connect(m_link, &SensorLink::FrameSent, this, &CMainDlg::FrameSent);
  connect(m_link, &SensorLink::BytesArrived, this, &CMainDlg::BytesArrived);
  connect(m_link, &SensorLink::ReplyAccepted, this, &CMainDlg::ReplyAccepted);
  connect(m_link, &SensorLink::BytesHandled, this, &CMainDlg::BytesHandled);
  connect(m_link, &SensorLink::Event, this, &CMainDlg::Report);
  connect(m_link, &SensorLink::AddressPolled, this, [this](std::uint8_t address) {
    if (!m_scanning) m_addressShown = address;
  });
  // The sensor moved to a new address: its values are no longer refreshed.
  connect(m_link, &SensorLink::Disconnected, &m_displayTimer, &QTimer::stop);
  connect(m_link, &SensorLink::PortResetStarted, this, &CMainDlg::ShowResetStarted);
  connect(m_link, &SensorLink::PortReopened, this, &CMainDlg::ShowOpened);
  connect(m_link, &SensorLink::PortLost, this, &CMainDlg::ShowPortDown);
  connect(m_link, &SensorLink::ReopenFailed, this, &CMainDlg::ShowPortDown);
}

void CMainDlg::SetUpControls() {
  QCoreApplication::setApplicationName(ui::ApplicationName());

  m_appIcon = QIcon(QStringLiteral(":/icons/128.png"));
  setWindowIcon(m_appIcon);

  const std::uint32_t kButtonBack = 0x8B7B60;
  const std::uint32_t kOpenFocusBack = 0x3CC4A9;
  CImageButton* buttons[] = {m_ui->openButton,   m_ui->manualConnectButton, m_ui->autoConnectButton,
                             m_ui->configButton, m_ui->factoryButton,       m_ui->signalButton,
                             m_ui->exitButton,   m_ui->helpButton};
  m_ui->openButton->LoadIcons(129, 0);
  for (CImageButton* b : buttons) {
    const bool connectionButton = b == m_ui->openButton || b == m_ui->manualConnectButton;
    b->SetStateColour(ColourIdleBack, kButtonBack);
    b->SetStateColour(ColourFocusBack, connectionButton ? kOpenFocusBack : kButtonBack);
  }
  for (CImageButton* b : buttons) b->ShiftStateColour(ColourHotBack, 10);

  m_portOpenIcon = QIcon(QStringLiteral(":/icons/131.png"));
  m_portClosedIcon = QIcon(QStringLiteral(":/icons/132.png"));
  ShowPortState(false);

  setWindowTitle(tr("Tarn 一体化荧光法溶解氧仪管理工具"));
  for (int n = 1; n <= kPortCount; ++n) m_ui->portList->addItem(QStringLiteral("COM%1").arg(n));
  m_ui->portList->setCurrentIndex(0);
  // Their devices as tooltips, looked up when the operator reaches for the list.
  new PortListToolTips(m_ui->portList);

  const QFont valueFont = ui::CellFont(QStringLiteral("Arial"), 66, 33, 100);
  const QFont textFont = ui::CellFont(QStringLiteral("Arial"), 33, 17, 100);
  for (QWidget* w : {static_cast<QWidget*>(m_ui->doValueBox), static_cast<QWidget*>(m_ui->temperatureBox),
                     static_cast<QWidget*>(m_ui->doUnitBox), static_cast<QWidget*>(m_ui->temperatureUnitBox)})
    w->setFont(valueFont);
  for (QWidget* w : {static_cast<QWidget*>(m_ui->statusBox), static_cast<QWidget*>(m_ui->secondStatusBox),
                     static_cast<QWidget*>(m_ui->commStateBox), static_cast<QWidget*>(m_ui->addressBox)})
    w->setFont(textFont);

  const QColor dialogBack = ui::FromColourRef(0xFCC39D);
  const QColor dialogText = ui::FromColourRef(0x4B4466);
  const QColor valueText = ui::FromColourRef(0x1B57B1);
  ui::SetControlColours(m_ui->statusBox, ui::FromColourRef(0x127612), dialogBack);
  ui::SetControlColours(m_ui->doValueBox, valueText, dialogBack);
  ui::SetControlColours(m_ui->temperatureBox, valueText, dialogBack);
  ui::SetControlColours(m_ui->secondStatusBox, ui::FromColourRef(0x1111FF), dialogBack);
  ui::SetControlColours(m_ui->addressBox, valueText, dialogBack);
  for (QLineEdit* box : {m_ui->doUnitBox, m_ui->temperatureUnitBox, m_ui->commStateBox})
    ui::SetControlColours(box, dialogText, dialogBack);
}

void CMainDlg::SetUpWindowMenu() {
  m_windowMenu = new QMenu(this);
  m_windowMenu->setObjectName(QStringLiteral("windowMenu"));
  m_moveAction = m_windowMenu->addAction(QString(), this, [this] {
    m_moveMode = true;
    m_dragOffset = QCursor::pos() - frameGeometry().topLeft();
    grabMouse(Qt::SizeAllCursor);
  });
  m_minimizeAction = m_windowMenu->addAction(QString(), this, &QWidget::showMinimized);
  m_closeAction = m_windowMenu->addAction(QString(), this, &QDialog::reject);
  // The port commands follow the window commands; the views' entries go after
  // them, before the About entry's separator.
  m_closePortAction = m_windowMenu->addAction(QString(), this, &CMainDlg::ClosePort);
  m_closePortAction->setObjectName(QStringLiteral("closePortAction"));
  m_portSettingsAction = m_windowMenu->addAction(QString(), this, &CMainDlg::OnPortSettings);
  m_portSettingsAction->setObjectName(QStringLiteral("portSettingsAction"));
  m_busScanAction = m_windowMenu->addAction(QString(), this, [this] { OnDeviceManager(true); });
  m_busScanAction->setObjectName(QStringLiteral("busScanAction"));
  m_deviceManagerAction = m_windowMenu->addAction(QString(), this, [this] { OnDeviceManager(false); });
  m_deviceManagerAction->setObjectName(QStringLiteral("deviceManagerAction"));
  connect(m_windowMenu, &QMenu::aboutToShow, this, [this] {
    m_closePortAction->setEnabled(m_openButtonUsed || PortResetRunning());
    m_busScanAction->setEnabled(m_state.link.portOpen && !m_scanning);
  });
  const QString about = LoadResourceString(101);
  if (!about.isEmpty()) {
    m_windowMenu->addSeparator();
    m_aboutAction = m_windowMenu->addAction(about, this, &CMainDlg::OnAbout);
    m_aboutAction->setObjectName(QStringLiteral("aboutAction"));
  }
  SetWindowMenuTexts();
}

void CMainDlg::SetWindowMenuTexts() {
  m_moveAction->setText(tr("移动(&M)"));
  m_minimizeAction->setText(tr("最小化(&N)"));
  m_closeAction->setText(tr("关闭(&C)"));
  m_closePortAction->setText(tr("关闭串口"));
  m_portSettingsAction->setText(tr("串口设置…"));
  m_busScanAction->setText(tr("扫描总线"));
  m_deviceManagerAction->setText(tr("设备管理…"));
  if (m_aboutAction) m_aboutAction->setText(LoadResourceString(101));
}

void CMainDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) {
    // The template's texts, then those this window sets itself; the state
    // boxes keep their meaning and change only their words.
    m_ui->retranslateUi(this);
    setWindowTitle(tr("Tarn 一体化荧光法溶解氧仪管理工具"));
    SetWindowMenuTexts();
    if (m_views) m_views->RetranslateMenu();
    if (m_records) m_records->RetranslateMenu();
    ShowPortState(m_portShownOpen);
    if (m_recordingMark) {
      m_recordingMark->setText(tr("● 记录中"));
      PlaceRecordingMark();
      if (m_views) {
        const auto& recorder = m_views->Recorder();
        ShowRecording(recorder.IsRecording(), recorder.Path(), recorder.RowsWritten());
      }
    }
    PushControls();
  }
  QDialog::changeEvent(event);
}

int CMainDlg::PortNumberSelected() const { return m_ui->portList->currentIndex() + 1; }

// ---- data exchange ----

void CMainDlg::PullControls() {
  bool ok = false;
  const uint value = m_ui->addressBox->text().trimmed().toUInt(&ok, 10);
  if (ok && value <= 255) m_addressShown = static_cast<std::uint8_t>(value);
}

void CMainDlg::PushControls() {
  ui::SetBoxText(m_ui->doValueBox, Utf8(protocol::FormatG6(m_doValue)));
  ui::SetBoxText(m_ui->temperatureBox, Utf8(protocol::FormatG6(m_temperature)));
  ui::SetBoxText(m_ui->addressBox, Utf8(protocol::FormatUnsigned(m_addressShown)));
  ui::SetBoxText(m_ui->statusBox, ui::SensorText(m_statusText));
  ui::SetBoxText(m_ui->temperatureUnitBox, m_temperatureUnitText);
  ui::SetBoxText(m_ui->doUnitBox, m_doUnitText);
  ui::SetBoxText(m_ui->secondStatusBox, ui::SensorText(m_secondStatusText));
  ui::SetBoxText(m_ui->commStateBox, ui::SensorText(m_commStateText));
}

void CMainDlg::BeforeTick() {
  // The scan sets the address it asks itself; the box must not take it back.
  if (m_scanning) return;
  PullControls();
  if (m_state.link.manualAddressing) m_state.link.currentAddress = m_addressShown;
}

// ---- port ----

CMainDlg::PortChoice CMainDlg::ResolvePort(int number) {
  // The binding is the operator's saved one, else the number's link in the
  // port directory, else the device the system's port order gives: a link
  // counts as itself, so a link pointed at a new device is still the same binding.
  PortChoice choice{number, SavedPortBinding(number), ResolvePortName(number)};
  const QString dir = PortDirectory();
  if (choice.binding.isEmpty() && !dir.isEmpty() && QFileInfo(PortLinkPath(dir, number)).isSymLink())
    choice.binding = PortLinkPath(dir, number);
  if (choice.binding.isEmpty()) choice.binding = choice.device;
  return choice;
}

void CMainDlg::BindPort(const PortChoice& choice) {
  // An open port keeps its device: the component refuses another while open.
  if (m_comm->PortOpen()) ui::ShowMessage(this, PortInUseText());
  m_comm->SetCommPort(static_cast<short>(choice.number));
  // A network binding ("tcp://HOST:PORT", "rtu+tcp://HOST:PORT") leads the
  // link through that connection; everything else is a serial device.
  const transports::PortSpecResult parsed = transports::ParsePortSpec(choice.binding.toStdString());
  if (parsed.error == transports::PortSpecError::None && parsed.spec.kind != transports::PortKind::Serial) {
    m_transport->UseNetwork(parsed.spec);
  } else {
    m_transport->UseSerial();
    m_comm->SetDevice(choice.device);
  }
  m_binding = choice;
}

void CMainDlg::ShowPortState(bool open) {
  m_portShownOpen = open;
  const QIcon& icon = open ? m_portOpenIcon : m_portClosedIcon;
  m_ui->portIcon->setPixmap(icon.pixmap(QSize(32, 32)));
  m_ui->openButton->setText(open ? tr("已打开") : tr("打开"));
}

void CMainDlg::OnOpenPort() {
  if (m_openButtonUsed) return;
  if (m_comm->PortOpen()) ui::ShowMessage(this, PortInUseText());
  BindPort(ResolvePort(PortNumberSelected()));
  if (!m_link->Open()) {
    ui::ShowMessage(this, m_transport->LastError());
    return;
  }
  m_openButtonUsed = true;
  ShowOpened();
}

void CMainDlg::ShowOpened() {
  m_opened = m_binding;
  m_ui->portList->setEnabled(false);
  PushControls();
  ShowPortState(true);
  m_portFailureReported = false;
}

void CMainDlg::ClosePort() {
  // Nothing of the old link may go on: no poll, no write, no reopen attempt, no scan.
  if (m_busScanWindow) m_busScanWindow->close();
  m_displayTimer.stop();
  m_link->Close();
  m_link->ForgetSensor();
  m_portFailureReported = false;
  m_openButtonUsed = false;
  m_opened = {};
  ShowNotConnected();
  m_ui->portList->setEnabled(true);
  ShowPortState(false);
  m_ui->portList->setFocus(Qt::OtherFocusReason);
}

void CMainDlg::ShowResetStarted() {
  // While the port is closed another number may be picked: the reopen takes it.
  m_ui->portList->setEnabled(true);
  PushControls();
  ShowPortState(false);
}

QString CMainDlg::BeforeReopen() {
  const PortChoice choice = ResolvePort(PortNumberSelected());
  // Once a device has vanished, its number can lead to another device (the
  // next port the system lists): the same number reopens only what it was
  // bound to when it was opened.
  if (choice.number == m_opened.number && choice.binding != m_opened.binding)
    return tr("串口 COM%1 的设备已断开。").arg(choice.number);
  BindPort(choice);
  return {};
}

void CMainDlg::ShowPortDown(const QString& reason) {
  // The device is missing: said once; the link keeps trying quietly and
  // comes back by itself when the device returns.
  m_commStateText = kPortLost;
  PushControls();
  if (m_portFailureReported) return;
  m_portFailureReported = true;
  ShowPortMessage(reason);
}

void CMainDlg::ShowPortMessage(const QString& text) {
  // One port message at a time: losses while an earlier one is still
  // unanswered add no further boxes on top of it.
  if (m_portMessageOpen) return;
  m_portMessageOpen = true;
  ui::ShowMessage(this, text);
  m_portMessageOpen = false;
}

void CMainDlg::ShowNotConnected() {
  ShowValuesAsOld(false);
  m_doValue = 0;
  m_temperature = 0;
  m_statusText = ui_texts::kNotConnected;
  m_secondStatusText = " ";
  m_commStateText = ui_texts::kNoConnection;
  PushControls();
}

void CMainDlg::SetCommStateText(const char* text) {
  // The state goes on screen at once: while a failed check freezes the values,
  // "校验错误" is exactly what the operator must see.
  m_commStateText = text;
  ui::SetBoxText(m_ui->commStateBox, ui::SensorText(m_commStateText));
}

void CMainDlg::ShowValuesAsOld(bool old) {
  if (old == m_valuesShownOld) return;
  m_valuesShownOld = old;
  // Grey, not blank: the operator still sees the last reading, and sees that
  // it is not live.
  const QColor dialogBack = ui::FromColourRef(0xFCC39D);
  const QColor grey = ui::FromColourRef(0x8C8C8C);
  ui::SetControlColours(m_ui->doValueBox, old ? grey : ui::FromColourRef(0x1B57B1), dialogBack);
  ui::SetControlColours(m_ui->temperatureBox, old ? grey : ui::FromColourRef(0x1B57B1), dialogBack);
  ui::SetControlColours(m_ui->statusBox, old ? grey : ui::FromColourRef(0x127612), dialogBack);
  ui::SetControlColours(m_ui->secondStatusBox, old ? grey : ui::FromColourRef(0x1111FF), dialogBack);
}

void CMainDlg::Report(const protocol::LinkEvent& event) {
  // Recorded before any message box holds the operator up.
  if (m_records) m_records->OnLinkEvent(event);
  const bool silence = event.kind == protocol::LinkEventKind::NoReply;
  // While the port is lost, "串口断开" says more than "无应答" ever could.
  // A scan's probes say nothing about the connected sensor: "扫描中" stays.
  if (m_scanning) return;
  const char* state = ui_texts::CommStateText(event);
  if (state && !(silence && PortResetRunning())) SetCommStateText(state);
  if (silence) ShowValuesAsOld(true);
  if (event.kind == protocol::LinkEventKind::ReplyAccepted) ShowValuesAsOld(false);
  const std::string message = ui_texts::MessageText(event, ui::SensorTextUtf8);
  if (!message.empty())
    ui::ShowMessage(this, Utf8(message), ui_texts::IsFailure(event) ? QMessageBox::Warning : QMessageBox::Information);
}

// ---- connection and timers ----

void CMainDlg::OnAutoConnect() {
  PullControls();
  protocol::LinkState& link = m_state.link;
  if (!link.portOpen) {
    ui::ShowMessage(this, OpenPortFirstText());
    return;
  }
  if (m_scanning) {
    ui::ShowMessage(this, tr("正在扫描总线，请等扫描结束或取消扫描。"));
    return;
  }
  if (!link.manualAddressing) return;  // a search or its connection is running

  m_doValue = 0;
  m_temperature = 0;
  m_statusText = ui_texts::kNotConnected;
  m_secondStatusText = " ";
  std::fill(link.rxBuf.begin() + 2, link.rxBuf.begin() + 79, 0);
  PushControls();

  // A write meant for the sensor last connected must not reach whatever the search finds.
  link.pendingWriteReg = 0;
  m_link->StartSearch();
  m_displayTimer.start(protocol::kDisplayPeriodMs);
}

QString CMainDlg::ConnectToAddress(std::uint8_t address) {
  protocol::LinkState& link = m_state.link;
  if (!link.portOpen) return OpenPortFirstText();
  if (m_scanning) return tr("正在扫描总线，请等扫描结束或取消扫描。");
  // The write's echo is checked against the address it was sent to.
  if (m_link->HasPendingWrite()) return tr("有未完成的写入，请等它完成后再切换传感器。");
  // As the automatic connection does once it has found a sensor: the values
  // of the last one go, the held address polls every 2 s, the sensor windows
  // talk to it.
  m_doValue = 0;
  m_temperature = 0;
  m_statusText = ui_texts::kNotConnected;
  m_secondStatusText = " ";
  std::fill(link.rxBuf.begin() + 2, link.rxBuf.begin() + 79, 0);
  link.crcError = false;
  // The box first: each tick takes the address from it.
  m_addressShown = address;
  PushControls();
  m_link->ConnectTo(address);
  m_displayTimer.start(protocol::kDisplayPeriodMs);
  return {};
}

void CMainDlg::OnDeviceManager(bool scanNow) {
  if (scanNow && !m_state.link.portOpen) {
    ui::ShowMessage(this, OpenPortFirstText());
    return;
  }
  if (!m_busScanWindow) {
    // Made anew for each opening, in the language in force then.
    m_busScanWindow = new CBusScanWindow(
        *m_link, [this](std::uint8_t address) { return ConnectToAddress(address); }, this);
    connect(m_busScanWindow, &CBusScanWindow::ScanRunning, this, &CMainDlg::ShowScanRunning);
    connect(m_busScanWindow, &QDialog::finished, this, [this] {
      m_busScanWindow->deleteLater();
      m_busScanWindow = nullptr;
    });
  }
  m_busScanWindow->show();
  m_busScanWindow->raise();
  m_busScanWindow->activateWindow();
  if (scanNow && !m_busScanWindow->Scanning()) m_busScanWindow->StartScan();
}

void CMainDlg::ShowScanRunning(bool running) {
  m_scanning = running;
  // The probed sensors' replies pass through the same receive buffer: no
  // refresh may show them as the connected sensor's values.
  m_displayTimer.stop();
  ShowNotConnected();
  if (running) SetCommStateText(kScanning);
}

void CMainDlg::OnDisplayTimer() {
  BeforeTick();
  const protocol::LinkState& link = m_state.link;
  if (link.sensorConnected && link.deviceFound && link.currentAddress != 0) {
    // While the last reply failed its check the members keep the last good
    // values, so the next good reply cannot push values decoded from a bad one.
    if (link.crcError) return;
    const protocol::SensorReading r = protocol::DecodePollReply(link.rxBuf.data());
    m_doValue = protocol::DoValueShown(r.doValue);
    m_temperature = protocol::CutTo2Decimals(r.temperature);
    if (r.status == 1) {
      m_secondStatusText = protocol::StatusText(r.status);
      m_statusText = " ";
    } else {
      m_statusText = protocol::StatusText(r.status);
      m_secondStatusText = " ";
    }
    m_doUnitText = Utf8(protocol::UnitText(r.unit));
    m_temperatureUnitText = QStringLiteral("℃");
    PushControls();
  } else {
    ShowNotConnected();
  }
}

void CMainDlg::OnReturnTimer() {
  BeforeTick();
  if (m_state.childDialogState == protocol::kChildDialogEnded) {
    show();
    m_state.childDialogState = 0;
    // Nothing can hand back again until the next sensor window opens, which
    // starts this timer anew; resting it spares a wake-up every 27 ms for days.
    m_returnTimer.stop();
  }
}

// ---- sensor windows ----

void CMainDlg::OnSensorConfig() { OpenSensorWindow(SensorWindow::Config); }
void CMainDlg::OnFactoryInfo() { OpenSensorWindow(SensorWindow::FactoryInfo); }
void CMainDlg::OnSensorSignal() { OpenSensorWindow(SensorWindow::Signal); }

void CMainDlg::OpenSensorWindow(SensorWindow which) {
  if (!m_state.link.sensorConnected) {
    ui::ShowMessage(this, ConnectSensorFirstText());
    return;
  }
  if (which == SensorWindow::Signal) {
    const protocol::SensorReading r = protocol::DecodePollReply(m_state.link.rxBuf.data());
    m_state.signalSnapshot = {r.phaseDiff,    r.redPhase,          r.greenPhase,    r.redAmplitude,
                              r.redGain,      r.greenAmplitude,    r.greenGain};
  }
  hide();
  m_returnTimer.start(27);
  if (which != SensorWindow::Signal) m_link->StartWriteCycle();

  switch (which) {
    case SensorWindow::Config: RunSensorConfigWindow(m_state, this); break;
    case SensorWindow::FactoryInfo: RunFactoryInfoWindow(m_state, this, m_openUrl); break;
    case SensorWindow::Signal: RunSensorSignalWindow(m_state, this); break;
  }
}

// ---- help, about, keys, window menu ----

QStringList CMainDlg::HelpFileCandidates() {
  const QString name = i18n::ManualFileName(i18n::LanguageInForce());
  // The working directory first, as always; then beside the program (an
  // unpacked build); then where the package installs its documentation,
  // relative to the program (an unpacked or relocated package) and absolute.
  const QDir programDir(QCoreApplication::applicationDirPath());
  return {QDir::current().absoluteFilePath(name), programDir.absoluteFilePath(name),
          QDir::cleanPath(programDir.absoluteFilePath(QStringLiteral(SENSORTOOL_DOC_FROM_BIN "/") + name)),
          QDir(QStringLiteral(SENSORTOOL_DOC_DIR)).absoluteFilePath(name)};
}

void CMainDlg::OnHelp() {
  const QStringList candidates = HelpFileCandidates();
  const auto found = std::find_if(candidates.begin(), candidates.end(),
                                  [](const QString& path) { return QFileInfo(path).isFile(); });
  if (found == candidates.end()) {
    QStringList shown;
    for (const QString& path : candidates) shown << QDir::toNativeSeparators(path);
    ui::ShowMessage(this, tr("找不到使用帮助 help.pdf，已查找：\n%1").arg(shown.join(QLatin1Char('\n'))));
    return;
  }
  if (!m_openUrl(QUrl::fromLocalFile(*found)))
    ui::ShowMessage(this, tr("没有可以打开 PDF 文件的程序。使用帮助位于：\n%1")
                              .arg(QDir::toNativeSeparators(*found)));
}

void CMainDlg::OnPortSettings() {
  CPortSettingsDlg settings(ListSystemPorts(), this);
  if (settings.exec() != QDialog::Accepted) return;
  // The entries keep their texts; their tooltips are looked up afresh the
  // next time the list is reached for. An open port stays on its device until
  // it is closed.
}

void CMainDlg::OnAbout() {
  CAboutDlg about(m_appIcon, this);
  about.exec();
}

bool CMainDlg::LeavingLosesWork() const {
  return m_state.link.pendingWriteReg != 0 || (m_views != nullptr && m_views->Recorder().IsRecording());
}

bool CMainDlg::ConfirmLeave() {
  if (!LeavingLosesWork()) return true;
  const bool writing = m_state.link.pendingWriteReg != 0;
  const bool recording = m_views != nullptr && m_views->Recorder().IsRecording();
  const QString what = writing && recording ? tr("有未完成的写入/正在记录")
                       : writing            ? tr("有未完成的写入")
                                            : tr("正在记录");
  QMessageBox box(QMessageBox::Question, ui::ApplicationName(), what + tr("，确定退出？"),
                  QMessageBox::Yes | QMessageBox::No, this);
  // A second Enter, pressed out of habit, must not confirm what the first one started.
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void CMainDlg::ShowRecording(bool recording, const QString& path, qint64 rows) {
  if (m_recordingMark == nullptr) {
    // On the title line of the communication state, right-aligned, so no
    // template control moves.
    m_recordingMark = new QLabel(tr("● 记录中"), m_ui->commStateGroup);
    m_recordingMark->setObjectName(QStringLiteral("recordingMark"));
    ui::SetControlColours(m_recordingMark, QColor(200, 0, 0), ui::FromColourRef(0xFCC39D));
    m_recordingMark->setAutoFillBackground(false);
    PlaceRecordingMark();
  }
  m_recordingMark->setVisible(recording);
  m_recordingMark->setToolTip(recording ? tr("%1\n%2 行").arg(QDir::toNativeSeparators(path)).arg(rows)
                                        : QString());
  m_recordingMark->setAccessibleName(recording ? tr("记录中") : QString());
}

void CMainDlg::PlaceRecordingMark() {
  // As wide as its words, which differ between languages.
  const QFontMetrics fm(m_recordingMark->font());
  const int width = fm.horizontalAdvance(m_recordingMark->text()) + 4;
  m_recordingMark->setGeometry(m_ui->commStateGroup->width() - width - 6, 0, width, fm.height());
}

void CMainDlg::EndWithOk() {
  PullControls();
  accept();
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
  if (m_moveMode) {
    const int step = 8;
    QPoint delta;
    switch (event->key()) {
      case Qt::Key_Left: delta = {-step, 0}; break;
      case Qt::Key_Right: delta = {step, 0}; break;
      case Qt::Key_Up: delta = {0, -step}; break;
      case Qt::Key_Down: delta = {0, step}; break;
      default:
        m_moveMode = false;
        releaseMouse();
        return;
    }
    move(pos() + delta);
    return;
  }
  if (event->key() == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
    m_windowMenu->popup(mapToGlobal(QPoint(0, 0)));
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // A focused push button takes Enter as its own click; otherwise Enter
    // ends the window as OK does.
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (button && button->isVisible() && button->isEnabled()) {
      button->click();
      return;
    }
    if (ConfirmLeave()) EndWithOk();
    return;
  }
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier && !ConfirmLeave()) return;
  QDialog::keyPressEvent(event);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) { m_windowMenu->popup(event->globalPos()); }

void CMainDlg::mousePressEvent(QMouseEvent* event) {
  if (m_moveMode) {
    m_moveMode = false;
    releaseMouse();
    return;
  }
  QDialog::mousePressEvent(event);
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_moveMode) {
    move(event->globalPosition().toPoint() - m_dragOffset);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

