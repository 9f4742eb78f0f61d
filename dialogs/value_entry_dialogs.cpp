#include "dialogs/value_entry_dialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <optional>

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
  ui::ShowMessage(window, QString::fromUtf8(text));
  box->setFocus(Qt::OtherFocusReason);
  box->selectAll();
}

}  // namespace

// ---------------------------------------------------------------- integers

CIntInputDlg::CIntInputDlg(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, kEntryWindowFlags), m_state(state), m_ui(new Ui::CIntInputDlg) {
  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, 137, 68);
  m_ui->valueBox->setText(QString::fromStdString(protocol::FormatUnsigned(m_value)));
  connect(m_ui->okButton, &QPushButton::clicked, this, &CIntInputDlg::OnOk);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CIntInputDlg::~CIntInputDlg() = default;

QLineEdit* CIntInputDlg::ValueBox() const { return m_ui->valueBox; }

void CIntInputDlg::OnOk() {
  const std::optional<std::uint32_t> parsed =
      protocol::ParseEntryInteger(m_ui->valueBox->text().toStdString());
  if (!parsed) {
    Refuse(this, m_ui->valueBox, entry_texts::kIntegerParse);
    return;
  }
  m_value = *parsed;

  protocol::LinkState& link = m_state.link;
  const std::uint8_t address = link.currentAddress;
  switch (m_state.entryKind) {
    case protocol::EntryFilter:
      if (m_value < 1 || m_value > 99) {
        ui::ShowMessage(this, QString::fromUtf8(entry_texts::kFilterRange));
        return;
      }
      protocol::QueueWrite(link, protocol::WriteFilter(address, static_cast<std::uint16_t>(m_value)),
                           protocol::Filter);
      break;
    case protocol::EntryDeviceAddress:
      if (m_value < 1 || m_value > 254) {
        ui::ShowMessage(this, QString::fromUtf8(entry_texts::kAddressRange));
        return;
      }
      protocol::QueueWrite(
          link, protocol::WriteDeviceAddress(address, static_cast<std::uint16_t>(m_value)),
          protocol::DeviceAddress);
      // The sensor answers at its new address from now on: the link counts as
      // lost at once, and the echo of this write drops the connection.
      link.sensorConnected = false;
      link.deviceFound = false;
      link.manualAddressing = true;
      break;
    case protocol::EntrySerialNumber:
      protocol::QueueWrite(link, protocol::WriteSerialNumber(address, m_value),
                           protocol::SerialNumber);
      break;
    default:
      // No opener pairs this window with another kind; queue nothing.
      break;
  }
  accept();
}

// ----------------------------------------------------------------- numbers

CValueInputDlg::CValueInputDlg(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, kEntryWindowFlags), m_state(state), m_ui(new Ui::CValueInputDlg) {
  m_ui->setupUi(this);
  dialogs::SetUpTemplate(this, 118, 75);
  m_ui->valueBox->setText(QString::fromStdString(protocol::FormatG6(m_value)));
  connect(m_ui->okButton, &QPushButton::clicked, this, &CValueInputDlg::OnOk);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

CValueInputDlg::~CValueInputDlg() = default;

QLineEdit* CValueInputDlg::ValueBox() const { return m_ui->valueBox; }

void CValueInputDlg::OnOk() {
  const std::optional<float> parsed =
      protocol::ParseEntryNumber(m_ui->valueBox->text().toStdString());
  if (!parsed) {
    Refuse(this, m_ui->valueBox, entry_texts::kNumberParse);
    return;
  }
  m_value = *parsed;

  protocol::LinkState& link = m_state.link;
  const std::uint8_t address = link.currentAddress;
  const int kind = m_state.entryKind;
  if (kind == protocol::EntryPressure) {
    if (m_value < 50.0f || m_value > 200.0f) {
      ui::ShowMessage(this, QString::fromUtf8(entry_texts::kPressureRange));
      return;
    }
    protocol::QueueWrite(link, protocol::WritePressure(address, m_value), protocol::Pressure);
  } else if (kind >= protocol::EntryZeroCalValue && kind <= protocol::EntryFactoryAirCal) {
    if (m_value < 0.0f || m_value > 20000.0f) {
      ui::ShowMessage(this, QString::fromUtf8(entry_texts::kCalibrationRange));
      return;
    }
    switch (kind) {
      case protocol::EntryZeroCalValue:
        protocol::QueueWrite(link, protocol::WriteZeroCalValue(address, m_value),
                             protocol::ZeroCalValue);
        break;
      case protocol::EntryAirCalValue:
        protocol::QueueWrite(link, protocol::WriteAirCalValue(address, m_value),
                             protocol::AirCalValue);
        break;
      case protocol::EntryFactoryZeroCal:
        protocol::QueueWrite(link, protocol::WriteFactoryZeroCal(address, m_value),
                             protocol::FactoryZeroCal);
        break;
      default:
        protocol::QueueWrite(link, protocol::WriteFactoryAirCal(address, m_value),
                             protocol::FactoryAirCal);
        break;
    }
  }
  // Any other kind is never paired with this window: nothing is queued.
  accept();
}
