#include "dialogs/value_entry_dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <utility>

#include "dialogs/dialog_support.h"
#include "dialogs/window_setup.h"
#include "protocol/display_rules.h"
#include "protocol/entry_parse.h"
#include "protocol/registers.h"
#include "ui_int_input_dialog.h"
#include "ui_value_input_dialog.h"

namespace {

// A caption bar without a close box.
constexpr Qt::WindowFlags kEntryWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

// Shows a refusal over the entry window and hands the box back to the
// operator with the typed text selected, so it can be corrected at once.
void Refuse(QWidget* window, QLineEdit* box, const char* text) {
  ui::ShowMessage(window, ui::SensorText(text));
  box->setFocus(Qt::OtherFocusReason);
  box->selectAll();
}

}  // namespace

// ---------------------------------------------------------------- integers

CIntInputDlg::CIntInputDlg(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, kEntryWindowFlags), m_state(state), m_ui(new Ui::CIntInputDlg) {
  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, 137, 80);
  m_ui->valueBox->setText(QString::fromStdString(protocol::FormatUnsigned(m_value)));
  connect(m_ui->okButton, &QPushButton::clicked, this, &CIntInputDlg::OnOk);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CIntInputDlg::~CIntInputDlg() = default;

void CIntInputDlg::showEvent(QShowEvent* event) {
  const char* range = protocol::IntegerEntryRangeText(m_state.entryKind);
  m_ui->rangeLabel->setText(range ? QString::fromUtf8(range) : QString());
  QDialog::showEvent(event);
}

QLineEdit* CIntInputDlg::ValueBox() const { return m_ui->valueBox; }

void CIntInputDlg::OnOk() {
  const std::optional<std::uint32_t> parsed =
      protocol::ParseEntryInteger(m_ui->valueBox->text().toStdString());
  if (!parsed) {
    Refuse(this, m_ui->valueBox, entry_texts::kIntegerParse);
    return;
  }
  m_value = *parsed;

  if (const char* refusal = protocol::IntegerEntryRangeError(m_state.entryKind, m_value)) {
    ui::ShowMessage(this, ui::SensorText(refusal));
    return;
  }
  protocol::LinkState& link = m_state.link;
  // A kind no opener pairs with this window queues nothing.
  if (auto write = protocol::IntegerEntryWrite(m_state.entryKind, link.currentAddress, m_value)) {
    protocol::QueueWrite(link, std::move(write->frame), write->reg);
    if (write->reg == protocol::DeviceAddress) {
      // The sensor answers at its new address from now on: the link counts as
      // lost at once, and the echo of this write drops the connection.
      link.sensorConnected = false;
      link.deviceFound = false;
      link.manualAddressing = true;
    }
  }
  accept();
}

// ----------------------------------------------------------------- numbers

CValueInputDlg::CValueInputDlg(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, kEntryWindowFlags), m_state(state), m_ui(new Ui::CValueInputDlg) {
  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, 118, 87);
  m_ui->valueBox->setText(QString::fromStdString(protocol::FormatG6(m_value)));
  connect(m_ui->okButton, &QPushButton::clicked, this, &CValueInputDlg::OnOk);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CValueInputDlg::~CValueInputDlg() = default;

void CValueInputDlg::showEvent(QShowEvent* event) {
  const char* range = protocol::NumberEntryRangeText(m_state.entryKind);
  m_ui->rangeLabel->setText(range ? QString::fromUtf8(range) : QString());
  QDialog::showEvent(event);
}

QLineEdit* CValueInputDlg::ValueBox() const { return m_ui->valueBox; }

void CValueInputDlg::OnOk() {
  const std::optional<float> parsed =
      protocol::ParseEntryNumber(m_ui->valueBox->text().toStdString());
  if (!parsed) {
    Refuse(this, m_ui->valueBox, entry_texts::kNumberParse);
    return;
  }
  m_value = *parsed;

  if (const char* refusal = protocol::NumberEntryRangeError(m_state.entryKind, m_value)) {
    ui::ShowMessage(this, ui::SensorText(refusal));
    return;
  }
  protocol::LinkState& link = m_state.link;
  // Any other kind is never paired with this window: nothing is queued.
  if (auto write = protocol::NumberEntryWrite(m_state.entryKind, link.currentAddress, m_value))
    protocol::QueueWrite(link, std::move(write->frame), write->reg);
  accept();
}
