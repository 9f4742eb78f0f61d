#pragma once
#include <QDialog>
#include <memory>

#include "protocol/app_state.h"

class CImageButton;
class QLabel;
class QTimer;

namespace Ui {
class CZeroCalDlg;
class CAirCalDlg;
class CZeroCalWaitDlg;
class CAirCalWaitDlg;
class CFactoryResetDlg;
}  // namespace Ui

// The prompts that lead the operator to a calibration command. Only the last
// OK of a sequence queues the command (a write of register 34 at
// currentAddress); cancel or Esc at any step queues nothing. There is no timed
// wait: the operator decides when the sensor is ready.
class CCalibrationPrompt : public QDialog {
  Q_OBJECT

 public:
  CImageButton* OkButton() const { return m_ok; }
  CImageButton* CancelButton() const { return m_cancel; }
  // The wait prompts' "稳定"/"未稳定" line under their message; nullptr elsewhere.
  QLabel* StabilityLabel() const { return m_stability; }

 protected:
  CCalibrationPrompt(protocol::AppState& state, QWidget* parent);
  // Converts the template, attaches and colours the two image buttons and
  // connects OK to OnOk and cancel to reject.
  void SetUpPrompt(CImageButton* ok, CImageButton* cancel);
  virtual void OnOk() = 0;
  // A small line under `message` that shows whether the reading has been
  // stable over the last minute, refreshed from the shared state.
  void AddStabilityIndicator(QWidget* message);

  protocol::AppState& m_state;

 private:
  void ShowStability();

  CImageButton* m_ok = nullptr;
  CImageButton* m_cancel = nullptr;
  QLabel* m_stability = nullptr;
  QTimer* m_stabilityTimer = nullptr;
};

// Zero calibration, first step (template 156): "下一步" hands over to
// CZeroCalWaitDlg.
class CZeroCalDlg : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CZeroCalDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CZeroCalDlg() override;

 protected:
  void OnOk() override;

 private:
  std::unique_ptr<Ui::CZeroCalDlg> m_ui;
};

// Air calibration, first step (template 157): "下一步" hands over to
// CAirCalWaitDlg.
class CAirCalDlg : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CAirCalDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CAirCalDlg() override;

 protected:
  void OnOk() override;

 private:
  std::unique_ptr<Ui::CAirCalDlg> m_ui;
};

// Zero calibration, second step (template 159): "确定" queues StartZeroCal.
class CZeroCalWaitDlg : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CZeroCalWaitDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CZeroCalWaitDlg() override;

 protected:
  void OnOk() override;

 private:
  std::unique_ptr<Ui::CZeroCalWaitDlg> m_ui;
};

// Air calibration, second step (template 160): "确定" queues StartAirCal.
class CAirCalWaitDlg : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CAirCalWaitDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CAirCalWaitDlg() override;

 protected:
  void OnOk() override;

 private:
  std::unique_ptr<Ui::CAirCalWaitDlg> m_ui;
};

// Restore of the factory calibration (template 161): "确定" queues
// RestoreFactoryCal.
class CFactoryResetDlg : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CFactoryResetDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CFactoryResetDlg() override;

 protected:
  void OnOk() override;

 private:
  std::unique_ptr<Ui::CFactoryResetDlg> m_ui;
};
