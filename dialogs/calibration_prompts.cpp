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

// One row of the prompt table.
struct CalibrationPromptKind {
  // Builds the template's widgets and texts into the window.
  void (*applyForm)(QDialog* window);
  // The wait prompts show whether the reading has settled.
  bool showsStability;
  // A first step's OK opens the next prompt; the last step's OK queues the
  // command. Exactly one of the two is set.
  void (*openNext)(protocol::AppState& state, QWidget* parent);
  protocol::RtuFrame (*command)(std::uint8_t address);
};

namespace {

// A caption bar without a close box.
constexpr Qt::WindowFlags kPromptWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// The generated form only places widgets the window then owns; nothing
// retranslates a prompt while it is open, so the form need not outlive setup.
template <typename Form>
void ApplyForm(QDialog* window) {
  Form().setupUi(window);
}

template <typename Prompt>
void OpenPrompt(protocol::AppState& state, QWidget* parent) {
  Prompt next(state, parent);
  next.exec();
}

constexpr CalibrationPromptKind kZeroCal{&ApplyForm<Ui::CZeroCalDlg>, false, &OpenPrompt<CZeroCalWaitDlg>, nullptr};
constexpr CalibrationPromptKind kAirCal{&ApplyForm<Ui::CAirCalDlg>, false, &OpenPrompt<CAirCalWaitDlg>, nullptr};
constexpr CalibrationPromptKind kZeroCalWait{&ApplyForm<Ui::CZeroCalWaitDlg>, true, nullptr, &protocol::StartZeroCal};
constexpr CalibrationPromptKind kAirCalWait{&ApplyForm<Ui::CAirCalWaitDlg>, true, nullptr, &protocol::StartAirCal};
constexpr CalibrationPromptKind kFactoryReset{&ApplyForm<Ui::CFactoryResetDlg>, false, nullptr,
                                              &protocol::RestoreFactoryCal};

}  // namespace

CCalibrationPrompt::CCalibrationPrompt(const CalibrationPromptKind& kind, protocol::AppState& state,
                                       QWidget* parent)
    : QDialog(parent, kPromptWindowFlags), m_kind(kind), m_state(state) {
  kind.applyForm(this);
  dialogs::SetUpTemplate(this, 187, 94);
  m_ok = findChild<CImageButton*>(QStringLiteral("okButton"));
  m_cancel = findChild<CImageButton*>(QStringLiteral("cancelButton"));
  dialogs::ColourImageButton(m_cancel);
  dialogs::ColourImageButton(m_ok);
  connect(m_ok, &QPushButton::clicked, this, &CCalibrationPrompt::OnOk);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (kind.showsStability) AddStabilityIndicator(findChild<QLabel*>(QStringLiteral("promptLabel")));
}

void CCalibrationPrompt::OnOk() {
  if (m_kind.command) {
    protocol::QueueWrite(m_state.link, m_kind.command(m_state.link.currentAddress), protocol::Command);
    accept();
    return;
  }
  // This prompt ends and the next one takes its place over the same parent.
  done(QDialog::Accepted);
  m_kind.openNext(m_state, parentWidget());
}

void CCalibrationPrompt::AddStabilityIndicator(QWidget* message) {
  m_stability = new QLabel(this);
  m_stability->setObjectName(QStringLiteral("stabilityLabel"));
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

CZeroCalDlg::CZeroCalDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(kZeroCal, state, parent) {}
CAirCalDlg::CAirCalDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(kAirCal, state, parent) {}
CZeroCalWaitDlg::CZeroCalWaitDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(kZeroCalWait, state, parent) {}
CAirCalWaitDlg::CAirCalWaitDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(kAirCalWait, state, parent) {}
CFactoryResetDlg::CFactoryResetDlg(protocol::AppState& state, QWidget* parent)
    : CCalibrationPrompt(kFactoryReset, state, parent) {}
