#pragma once
#include <QFont>
#include <QString>
#include <cstdint>
#include <memory>

#include "dialogs/sensor_window.h"

class CImageButton;
class QLineEdit;

namespace Ui {
class CSensorConfigDlg;
}

// The configuration and calibration window (template 153): unit, filter,
// atmospheric pressure, bus address and the two current calibration values,
// with the live phase difference and temperature; the entry windows and
// calibration prompts queue the writes. It never touches the serial port: it
// shows what the latest poll reply in rxBuf holds, refreshed every 900 ms.
class CSensorConfigDlg : public CSensorWindow {
  Q_OBJECT

 public:
  explicit CSensorConfigDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CSensorConfigDlg() override;

  QLineEdit* Box(int controlId) const;
  CImageButton* Button(int controlId) const;
  const QFont& BoxFont() const { return m_font; }

 protected:
  void Refresh() override;

 private:
  // Members from the poll reply in rxBuf, with the display rules applied.
  void DecodeMembers();
  // Members -> boxes, and boxes -> members (the boxes are read-only, so
  // pulling only undoes member changes the boxes did not show).
  void ShowMembers();
  void PullBoxes();

  void OnUnitChange();
  void OnIntegerEntry(int kind);
  void OnNumberEntry(int kind);
  void OnZeroCalibration();
  void OnAirCalibration();
  void OnFactoryCalibration();

  std::unique_ptr<Ui::CSensorConfigDlg> m_ui;
  QFont m_font;
  std::uint32_t m_filter = 0;
  float m_pressure = 0;
  float m_zeroCalValue = 0;
  float m_airCalValue = 0;
  std::uint32_t m_deviceAddress = 0;
  float m_phaseDiff = 0;
  float m_temperature = 0;
  QString m_unitText;
  QString m_statusText;  // box 1037: starts empty and stays so
};
