#include "dialogs/factory_info_dialog.h"

#include <QDesktopServices>
#include <QLineEdit>

#include "controls/image_button.h"
#include "dialogs/dialog_support.h"
#include "dialogs/value_entry_dialogs.h"
#include "dialogs/window_setup.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "ui_factory_info_dialog.h"

namespace {

constexpr int kWidthDu = 426;
constexpr int kHeightDu = 324;

constexpr int kValueBoxes[] = {1029, 1030, 1031, 1032};
constexpr int kColouredButtons[] = {1025, 58112, 1026, 1027, 1028};
constexpr unsigned kLogoBitmap = 1056;

QString Shown(float value) { return QString::fromStdString(protocol::FormatG6(value)); }

}  // namespace

const char* const CFactoryInfoDlg::kMakerWebAddress = "https://www.korvanta.example";

CFactoryInfoDlg::CFactoryInfoDlg(protocol::AppState& state, QWidget* parent)
    : CSensorWindow(state, parent), m_ui(new Ui::CFactoryInfoDlg) {
  m_openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  DecodeMembers();

  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, kWidthDu, kHeightDu);
  ShowMembers();

  StartRefreshTimer();
  for (int id : kColouredButtons) dialogs::ColourImageButton(Button(id));
  CImageButton* logo = Button(1033);
  logo->m_useDisabledImage = false;
  // The logo's background is its pure-green key colour in both slots, so the
  // button face shows through around the mark instead of a green block.
  logo->LoadBitmaps(kLogoBitmap, Rgb(0, 255, 0), kLogoBitmap, Rgb(0, 255, 0));

  m_font = ui::CellFont(QStringLiteral("Arial"), 44, 22, 100);
  for (int id : kValueBoxes) Box(id)->setFont(m_font);

  connect(Button(1026), &QPushButton::clicked, this,
          [this] { OnIntegerEntry(protocol::EntrySerialNumber); });
  connect(Button(1027), &QPushButton::clicked, this,
          [this] { OnNumberEntry(protocol::EntryFactoryZeroCal); });
  connect(Button(1028), &QPushButton::clicked, this,
          [this] { OnNumberEntry(protocol::EntryFactoryAirCal); });
  connect(logo, &QPushButton::clicked, this, &CFactoryInfoDlg::OnLogo);
  connect(Button(58112), &QPushButton::clicked, this, &CFactoryInfoDlg::reject);
}

CFactoryInfoDlg::~CFactoryInfoDlg() = default;

QLineEdit* CFactoryInfoDlg::Box(int controlId) const {
  return ui::Control<QLineEdit>(const_cast<CFactoryInfoDlg*>(this), controlId);
}

CImageButton* CFactoryInfoDlg::Button(int controlId) const {
  return ui::Control<CImageButton>(const_cast<CFactoryInfoDlg*>(this), controlId);
}

void CFactoryInfoDlg::DecodeMembers() {
  const protocol::SensorReading r = protocol::DecodePollReply(m_state.link.rxBuf.data());
  m_softwareVersion = protocol::VersionShown(r.softwareVersion);
  m_serialNumber = protocol::SerialShown(r.serialNumber);
  m_factoryZeroCal = protocol::CutTo2Decimals(r.factoryZeroCal);
  m_factoryAirCal = protocol::CutTo3Decimals(r.factoryAirCal);
}

void CFactoryInfoDlg::ShowMembers() {
  ui::SetBoxText(m_ui->versionBox, Shown(m_softwareVersion));
  ui::SetBoxText(m_ui->serialBox, QString::fromStdString(protocol::FormatSigned(m_serialNumber)));
  ui::SetBoxText(m_ui->factoryZeroBox, Shown(m_factoryZeroCal));
  ui::SetBoxText(m_ui->factoryAirBox, Shown(m_factoryAirCal));
}

void CFactoryInfoDlg::Refresh() {
  DecodeMembers();
  ParkFocus(m_ui->titleLabel);
  if (!m_state.link.crcError) ShowMembers();
}

void CFactoryInfoDlg::OnIntegerEntry(int kind) {
  CIntInputDlg entry(m_state, this);
  m_state.entryKind = kind;
  entry.exec();
}

void CFactoryInfoDlg::OnNumberEntry(int kind) {
  CValueInputDlg entry(m_state, this);
  m_state.entryKind = kind;
  entry.exec();
}

void CFactoryInfoDlg::OnLogo() {
  if (m_openUrl) m_openUrl(QUrl(QString::fromLatin1(kMakerWebAddress)));
}
