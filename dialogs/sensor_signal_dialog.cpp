#include "dialogs/sensor_signal_dialog.h"

#include <QLineEdit>

#include "controls/image_button.h"
#include "dialogs/dialog_support.h"
#include "dialogs/window_setup.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "ui_sensor_signal_dialog.h"

namespace {

constexpr int kWidthDu = 425;
constexpr int kHeightDu = 324;

constexpr int kValueBoxes[] = {1029, 1030, 1031, 1032, 1033, 1034, 1035};

QString Shown(float value) { return QString::fromStdString(protocol::FormatG6(value)); }
QString Shown(std::uint32_t value) { return QString::fromStdString(protocol::FormatUnsigned(value)); }

}  // namespace

CSensorSignalDlg::CSensorSignalDlg(protocol::AppState& state, QWidget* parent)
    : CSensorWindow(state, parent), m_ui(new Ui::CSensorSignalDlg) {
  // The values of the moment the operator pressed the button.
  const protocol::SignalSnapshot& s = state.signalSnapshot;
  m_phaseDiff = protocol::CutTo2Decimals(s.phaseDiff);
  m_redPhase = protocol::CutTo2Decimals(s.redPhase);
  m_greenPhase = protocol::CutTo2Decimals(s.greenPhase);
  m_redAmplitude = s.redAmplitude;
  m_redGain = s.redGain;
  m_greenAmplitude = s.greenAmplitude;
  m_greenGain = s.greenGain;

  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, kWidthDu, kHeightDu);
  ShowMembers();

  StartRefreshTimer();
  dialogs::ColourImageButton(Button(1025));
  dialogs::ColourImageButton(Button(58112));

  m_font = ui::CellFont(QStringLiteral("Arial"), 55, 28, 100);
  const QColor boxBack = ui::FromColourRef(Rgb(157, 195, 252));
  for (int id : kValueBoxes) {
    QLineEdit* box = Box(id);
    box->setFont(m_font);
    const bool phase = id <= 1031;
    ui::SetControlColours(box, ui::FromColourRef(phase ? Rgb(177, 87, 27) : Rgb(87, 67, 75)), boxBack);
  }
  ShowMembers();

  connect(Button(58112), &QPushButton::clicked, this, &CSensorSignalDlg::reject);
}

CSensorSignalDlg::~CSensorSignalDlg() = default;

QLineEdit* CSensorSignalDlg::Box(int controlId) const {
  return ui::Control<QLineEdit>(const_cast<CSensorSignalDlg*>(this), controlId);
}

CImageButton* CSensorSignalDlg::Button(int controlId) const {
  return ui::Control<CImageButton>(const_cast<CSensorSignalDlg*>(this), controlId);
}

void CSensorSignalDlg::ShowMembers() {
  ui::SetBoxText(m_ui->phaseDiffBox, Shown(m_phaseDiff));
  ui::SetBoxText(m_ui->redPhaseBox, Shown(m_redPhase));
  ui::SetBoxText(m_ui->greenPhaseBox, Shown(m_greenPhase));
  ui::SetBoxText(m_ui->redAmplitudeBox, Shown(m_redAmplitude));
  ui::SetBoxText(m_ui->redGainBox, Shown(m_redGain));
  ui::SetBoxText(m_ui->greenAmplitudeBox, Shown(m_greenAmplitude));
  ui::SetBoxText(m_ui->greenGainBox, Shown(m_greenGain));
}

void CSensorSignalDlg::Refresh() {
  const protocol::SensorReading r = protocol::DecodePollReply(m_state.link.rxBuf.data());
  m_phaseDiff = protocol::CutTo2Decimals(r.phaseDiff);
  m_redPhase = protocol::CutTo2Decimals(r.redPhase);
  m_greenPhase = protocol::CutTo2Decimals(r.greenPhase);
  m_redAmplitude = r.redAmplitude;
  m_redGain = r.redGain;
  m_greenAmplitude = r.greenAmplitude;
  m_greenGain = r.greenGain;
  ParkFocus(m_ui->titleLabel);
  if (!m_state.link.crcError) ShowMembers();
}
