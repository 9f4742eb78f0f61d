#include "dialogs/calibration_prompts.h"

#include <QLabel>
#include <QTimer>

#include "controls/image_button.h"
#include "dialogs/dialog_support.h"
#include "dialogs/window_setup.h"
#include "protocol/registers.h"
#include "ui_air_cal_dialog.h"
#include "ui_air_cal_wait_dialog.h"
#include "ui_factory_reset_dialog.h"
#include "ui_zero_cal_dialog.h"
#include "ui_zero_cal_wait_dialog.h"

namespace {

// A caption bar without a close box.
constexpr Qt::WindowFlags kPromptWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

CCalibrationPrompt::CCalibrationPrompt(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, kPromptWindowFlags), m_state(state) {}

void CCalibrationPrompt::SetUpPrompt(CImageButton* ok, CImageButton* cancel) {
  dialogs::SetUpTemplate(this, 187, 94);
  m_ok = ok;
  m_cancel = cancel;
  dialogs::ColourImageButton(cancel);
  dialogs::ColourImageButton(ok);
  connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CCalibrationPrompt::AddStabilityIndicator(QWidget* message) {
  m_stability = new QLabel(this);
  m_stability->setObjectName(QStringLiteral("stabilityLabel"));
  m_stability->setAccessibleName(tr("稳定性"));
  m_stability->setAccessibleName(tr("测量稳定性"));
  m_stability->setAlignment(Qt::AlignCenter);
  QFont small = font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  m_stability->setFont(small);
  const QRect above = message->geometry();
  m_stability->setGeometry(above.x(), above.bottom() + 1, above.width(), m_stability->fontMetrics().height() + 2);
  m_stabilityTimer = new QTimer(this);
  connect(m_stabilityTimer, &QTimer::timeout, this, &CCalibrationPrompt::ShowStability);
  m_stabilityTimer->start(500);
  ShowStability();
}

void CCalibrationPrompt::ShowStability() {
  const protocol::StabilityVerdict& verdict = m_state.stability.Latest();
  m_stability->setText(ui::SensorText(protocol::StabilityText(verdict)));
  m_stability->setStyleSheet(verdict.stable ? QStringLiteral("color: rgb(18,118,18);")
                                            : QStringLiteral("color: rgb(200,17,17);"));
}

// ------------------------------------------------------ zero calibration

CZeroCalDlg::CZeroCalDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(state, parent), m_ui(new Ui::CZeroCalDlg) {
  m_ui->setupUi(this);
  SetUpPrompt(m_ui->okButton, m_ui->cancelButton);
}

CZeroCalDlg::~CZeroCalDlg() = default;

void CZeroCalDlg::OnOk() {
  // This prompt ends and the wait prompt takes its place over the same parent.
  done(QDialog::Accepted);
  CZeroCalWaitDlg wait(m_state, parentWidget());
  wait.exec();
}

CZeroCalWaitDlg::CZeroCalWaitDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(state, parent), m_ui(new Ui::CZeroCalWaitDlg) {
  m_ui->setupUi(this);
  SetUpPrompt(m_ui->okButton, m_ui->cancelButton);
  AddStabilityIndicator(m_ui->promptLabel);
}

CZeroCalWaitDlg::~CZeroCalWaitDlg() = default;

void CZeroCalWaitDlg::OnOk() {
  protocol::QueueWrite(m_state.link, protocol::StartZeroCal(m_state.link.currentAddress),
                       protocol::Command);
  accept();
}

// ------------------------------------------------------- air calibration

CAirCalDlg::CAirCalDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(state, parent), m_ui(new Ui::CAirCalDlg) {
  m_ui->setupUi(this);
  SetUpPrompt(m_ui->okButton, m_ui->cancelButton);
}

CAirCalDlg::~CAirCalDlg() = default;

void CAirCalDlg::OnOk() {
  done(QDialog::Accepted);
  CAirCalWaitDlg wait(m_state, parentWidget());
  wait.exec();
}

CAirCalWaitDlg::CAirCalWaitDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(state, parent), m_ui(new Ui::CAirCalWaitDlg) {
  m_ui->setupUi(this);
  SetUpPrompt(m_ui->okButton, m_ui->cancelButton);
  AddStabilityIndicator(m_ui->promptLabel);
}

CAirCalWaitDlg::~CAirCalWaitDlg() = default;

void CAirCalWaitDlg::OnOk() {
  protocol::QueueWrite(m_state.link, protocol::StartAirCal(m_state.link.currentAddress),
                       protocol::Command);
  accept();
}

// ------------------------------------------------ factory calibration back

CFactoryResetDlg::CFactoryResetDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(state, parent), m_ui(new Ui::CFactoryResetDlg) {
  m_ui->setupUi(this);
  SetUpPrompt(m_ui->okButton, m_ui->cancelButton);
}

CFactoryResetDlg::~CFactoryResetDlg() = default;

void CFactoryResetDlg::OnOk() {
  protocol::QueueWrite(m_state.link, protocol::RestoreFactoryCal(m_state.link.currentAddress),
                       protocol::Command);
  accept();
}
