#include "dialogs/sensor_config_dialog.h"

#include <QLineEdit>

#include "controls/image_button.h"
#include "dialogs/calibration_prompts.h"
#include "dialogs/dialog_support.h"
#include "dialogs/value_entry_dialogs.h"
#include "dialogs/window_setup.h"
#include "protocol/display_rules.h"
#include "protocol/entry_parse.h"
#include "protocol/receive_path.h"
#include "protocol/registers.h"
#include "ui_sensor_config_dialog.h"

namespace {

constexpr int kWidthDu = 426;
constexpr int kHeightDu = 321;

constexpr int kValueBoxes[] = {1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036};
constexpr int kImageButtons[] = {1025, 1026, 1027, 1028, 1048, 58112, 1042, 1043, 1044, 1047, 1045};

QString Shown(float value) { return QString::fromStdString(protocol::FormatG6(value)); }
QString Shown(std::uint32_t value) { return QString::fromStdString(protocol::FormatUnsigned(value)); }

}  // namespace

CSensorConfigDlg::CSensorConfigDlg(protocol::AppState& state, QWidget* parent)
    : CSensorWindow(state, parent), m_ui(new Ui::CSensorConfigDlg) {
  // The first display already shows the latest values.
  DecodeMembers();

  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, kWidthDu, kHeightDu);
  ShowMembers();

  for (int id : kImageButtons) dialogs::ColourImageButton(Button(id));
  StartRefreshTimer();

  m_font = ui::CellFont(QStringLiteral("Arial"), 55, 28, 100);
  const QColor boxBack = ui::FromColourRef(Rgb(65, 206, 241));
  for (int id : kValueBoxes) {
    QLineEdit* box = Box(id);
    box->setFont(m_font);
    const bool live = id == 1034 || id == 1035;
    ui::SetControlColours(box, ui::FromColourRef(live ? Rgb(177, 87, 27) : Rgb(87, 67, 75)), boxBack);
  }

  connect(Button(1026), &QPushButton::clicked, this, &CSensorConfigDlg::OnUnitChange);
  connect(Button(1027), &QPushButton::clicked, this,
          [this] { OnIntegerEntry(protocol::EntryFilter); });
  connect(Button(1042), &QPushButton::clicked, this,
          [this] { OnIntegerEntry(protocol::EntryDeviceAddress); });
  connect(Button(1028), &QPushButton::clicked, this,
          [this] { OnNumberEntry(protocol::EntryPressure); });
  connect(Button(1043), &QPushButton::clicked, this,
          [this] { OnNumberEntry(protocol::EntryZeroCalValue); });
  connect(Button(1045), &QPushButton::clicked, this,
          [this] { OnNumberEntry(protocol::EntryAirCalValue); });
  connect(Button(1044), &QPushButton::clicked, this, &CSensorConfigDlg::OnZeroCalibration);
  connect(Button(1047), &QPushButton::clicked, this, &CSensorConfigDlg::OnAirCalibration);
  connect(Button(1048), &QPushButton::clicked, this, &CSensorConfigDlg::OnFactoryCalibration);
  connect(Button(58112), &QPushButton::clicked, this, &CSensorConfigDlg::reject);
}

CSensorConfigDlg::~CSensorConfigDlg() = default;

QLineEdit* CSensorConfigDlg::Box(int controlId) const {
  return ui::Control<QLineEdit>(const_cast<CSensorConfigDlg*>(this), controlId);
}

CImageButton* CSensorConfigDlg::Button(int controlId) const {
  return ui::Control<CImageButton>(const_cast<CSensorConfigDlg*>(this), controlId);
}

void CSensorConfigDlg::DecodeMembers() {
  const protocol::SensorReading r = protocol::DecodePollReply(m_state.link.rxBuf.data());
  m_filter = r.filter;
  m_pressure = protocol::CutTo2Decimals(r.pressure);
  m_zeroCalValue = protocol::CutTo2Decimals(r.zeroCalValue);
  m_airCalValue = protocol::CutTo3Decimals(r.airCalValue);
  m_deviceAddress = r.deviceAddress;
  m_phaseDiff = protocol::CutTo2Decimals(r.phaseDiff);
  m_temperature = protocol::CutTo2Decimals(r.temperature);
  m_unitText = QString::fromUtf8(protocol::UnitText(r.unit));
}

void CSensorConfigDlg::ShowMembers() {
  ui::SetBoxText(m_ui->unitBox, m_unitText);
  ui::SetBoxText(m_ui->filterBox, Shown(m_filter));
  ui::SetBoxText(m_ui->pressureBox, Shown(m_pressure));
  ui::SetBoxText(m_ui->zeroCalBox, Shown(m_zeroCalValue));
  ui::SetBoxText(m_ui->airCalBox, Shown(m_airCalValue));
  ui::SetBoxText(m_ui->addressBox, Shown(m_deviceAddress));
  ui::SetBoxText(m_ui->phaseBox, Shown(m_phaseDiff));
  ui::SetBoxText(m_ui->temperatureBox, Shown(m_temperature));
  ui::SetBoxText(m_ui->statusBox, m_statusText);
}

void CSensorConfigDlg::PullBoxes() {
  auto pullInteger = [](QLineEdit* box, std::uint32_t& member) {
    if (const auto v = protocol::ParseEntryInteger(box->text().toStdString())) member = *v;
  };
  auto pullNumber = [](QLineEdit* box, float& member) {
    if (const auto v = protocol::ParseEntryNumber(box->text().toStdString())) member = *v;
  };
  m_unitText = m_ui->unitBox->text();
  pullInteger(m_ui->filterBox, m_filter);
  pullNumber(m_ui->pressureBox, m_pressure);
  pullNumber(m_ui->zeroCalBox, m_zeroCalValue);
  pullNumber(m_ui->airCalBox, m_airCalValue);
  pullInteger(m_ui->addressBox, m_deviceAddress);
  pullNumber(m_ui->phaseBox, m_phaseDiff);
  pullNumber(m_ui->temperatureBox, m_temperature);
  m_statusText = m_ui->statusBox->text();
}

void CSensorConfigDlg::Refresh() {
  DecodeMembers();
  ParkFocus(m_ui->titleLabel);
  // A reply that failed its CRC freezes the boxes until a good one arrives.
  if (!m_state.link.crcError) ShowMembers();
}

void CSensorConfigDlg::OnUnitChange() {
  PullBoxes();
  const std::uint16_t unit = protocol::DecodeU16(m_state.link.rxBuf.data(), protocol::Unit);
  // The address this window shows is the sensor's own register 32; when it
  // reads 0 or differs from the connected address, only the connected one
  // would ever echo the write.
  const std::uint8_t address = protocol::UnitChangeAddress(m_state.link, m_deviceAddress);
  protocol::QueueWrite(m_state.link, protocol::WriteUnit(address, protocol::ToggledUnit(unit)),
                       protocol::Unit);
}

void CSensorConfigDlg::OnIntegerEntry(int kind) {
  CIntInputDlg entry(m_state, this);
  m_state.entryKind = kind;
  entry.exec();
}

void CSensorConfigDlg::OnNumberEntry(int kind) {
  CValueInputDlg entry(m_state, this);
  m_state.entryKind = kind;
  entry.exec();
}

void CSensorConfigDlg::OnZeroCalibration() {
  PullBoxes();
  CZeroCalDlg prompt(m_state, this);
  prompt.exec();
}

void CSensorConfigDlg::OnAirCalibration() {
  PullBoxes();
  CAirCalDlg prompt(m_state, this);
  prompt.exec();
}

void CSensorConfigDlg::OnFactoryCalibration() {
  PullBoxes();
  CFactoryResetDlg prompt(m_state, this);
  prompt.exec();
}
