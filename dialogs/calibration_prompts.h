#pragma once
#include <QDialog>

#include "protocol/app_state.h"

class CImageButton;
class QLabel;
class QTimer;
struct CalibrationPromptKind;

// The prompts that lead the operator to a calibration command. Only the last
// OK of a sequence queues the command (a write of register 34 at
// currentAddress); cancel or Esc at any step queues nothing. There is no timed
// wait: the operator decides when the sensor is ready.
//
// Every prompt is this one window; what sets one apart (its template, the
// stability line, what its OK does) is a row of the table in the .cpp. The
// named subclasses only pick their row, so callers and scripted tests can tell
// the steps apart by type.
class CCalibrationPrompt : public QDialog {
  Q_OBJECT

 public:
  CImageButton* OkButton() const { return m_ok; }
  CImageButton* CancelButton() const { return m_cancel; }
  // The wait prompts' "稳定"/"未稳定" line under their message; nullptr elsewhere.
  QLabel* StabilityLabel() const { return m_stability; }

 protected:
  CCalibrationPrompt(const CalibrationPromptKind& kind, protocol::AppState& state, QWidget* parent);

 private:
  void OnOk();
  // A small line under `message` that shows whether the reading has been
  // stable over the last minute, refreshed from the shared state.
  void AddStabilityIndicator(QWidget* message);
  void ShowStability();

  const CalibrationPromptKind& m_kind;
  protocol::AppState& m_state;
  CImageButton* m_ok = nullptr;
  CImageButton* m_cancel = nullptr;
  QLabel* m_stability = nullptr;
  QTimer* m_stabilityTimer = nullptr;
};

// Zero calibration, first step (template 156): "下一步" hands over to
// CZeroCalWaitDlg.
class CZeroCalDlg final : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CZeroCalDlg(protocol::AppState& state, QWidget* parent = nullptr);
};

// Air calibration, first step (template 157): "下一步" hands over to
// CAirCalWaitDlg.
class CAirCalDlg final : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CAirCalDlg(protocol::AppState& state, QWidget* parent = nullptr);
};

// Zero calibration, second step (template 159): "确定" queues StartZeroCal.
class CZeroCalWaitDlg final : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CZeroCalWaitDlg(protocol::AppState& state, QWidget* parent = nullptr);
};

// Air calibration, second step (template 160): "确定" queues StartAirCal.
class CAirCalWaitDlg final : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CAirCalWaitDlg(protocol::AppState& state, QWidget* parent = nullptr);
};

// Restore of the factory calibration (template 161): "确定" queues
// RestoreFactoryCal.
class CFactoryResetDlg final : public CCalibrationPrompt {
  Q_OBJECT

 public:
  explicit CFactoryResetDlg(protocol::AppState& state, QWidget* parent = nullptr);
};
