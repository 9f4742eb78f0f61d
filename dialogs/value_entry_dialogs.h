#pragma once
#include <QDialog>
#include <cstdint>
#include <memory>

#include "protocol/app_state.h"
#include "protocol/entry_rules.h"

class QLineEdit;

namespace Ui {
class CIntInputDlg;
class CValueInputDlg;
}  // namespace Ui

// Message texts of the value entry windows, shared with every other entry of
// sensor values.
namespace entry_texts = protocol::entry_texts;

// Entry of one whole number (template 163). state.entryKind, set by the opener
// just before the modal run, selects the register: 0 filter, 2 device address,
// 3 serial number. OK checks the value and queues the write; the window sends
// nothing itself. The box opens showing 0, with the accepted range under it.
class CIntInputDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CIntInputDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CIntInputDlg() override;

  QLineEdit* ValueBox() const;
  std::uint32_t Value() const { return m_value; }

 protected:
  // The kind is set after construction, just before the modal run.
  void showEvent(QShowEvent* event) override;

 private slots:
  void OnOk();

 private:
  protocol::AppState& m_state;
  std::unique_ptr<Ui::CIntInputDlg> m_ui;
  std::uint32_t m_value = 0;
};

// Entry of one decimal number (template 164). state.entryKind selects the
// register: 1 pressure, 2 zero calibration value, 3 air calibration value,
// 4 factory zero calibration, 5 factory air calibration.
class CValueInputDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CValueInputDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CValueInputDlg() override;

  QLineEdit* ValueBox() const;
  float Value() const { return m_value; }

 protected:
  void showEvent(QShowEvent* event) override;

 private slots:
  void OnOk();

 private:
  protocol::AppState& m_state;
  std::unique_ptr<Ui::CValueInputDlg> m_ui;
  float m_value = 0;
};
