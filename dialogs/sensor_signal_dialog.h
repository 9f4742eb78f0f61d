#pragma once
#include <QFont>
#include <cstdint>
#include <memory>

#include "dialogs/sensor_window.h"

class CImageButton;
class QLineEdit;

namespace Ui {
class CSensorSignalDlg;
}

// The optical diagnostics window (template 152): phase difference, red and
// green phase, amplitude and gain. Read-only: it sends and queues nothing.
// It opens with the snapshot the main window took when its button was pressed
// and then follows the poll reply in rxBuf every 900 ms.
class CSensorSignalDlg : public CSensorWindow {
  Q_OBJECT

 public:
  explicit CSensorSignalDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CSensorSignalDlg() override;

  QLineEdit* Box(int controlId) const;
  CImageButton* Button(int controlId) const;
  const QFont& BoxFont() const { return m_font; }

 protected:
  void Refresh() override;

 private:
  void ShowMembers();

  std::unique_ptr<Ui::CSensorSignalDlg> m_ui;
  QFont m_font;
  float m_phaseDiff = 0;
  float m_redPhase = 0;
  float m_greenPhase = 0;
  std::uint32_t m_redAmplitude = 0;
  std::uint32_t m_redGain = 0;
  std::uint32_t m_greenAmplitude = 0;
  std::uint32_t m_greenGain = 0;
};
