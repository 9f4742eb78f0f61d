#pragma once
#include <QFont>
#include <QUrl>
#include <cstdint>
#include <functional>
#include <memory>

#include "dialogs/sensor_window.h"

class CImageButton;
class QLineEdit;

namespace Ui {
class CFactoryInfoDlg;
}

// The factory information window (template 154): software version, serial
// number, factory zero and air calibration, the last three changeable through
// the entry windows, and the maker's logo, which opens the maker's web site.
class CFactoryInfoDlg : public CSensorWindow {
  Q_OBJECT

 public:
  // The page the logo button opens.
  static const char* const kMakerWebAddress;

  explicit CFactoryInfoDlg(protocol::AppState& state, QWidget* parent = nullptr);
  ~CFactoryInfoDlg() override;

  // How a web address is opened; the desktop's default handler unless
  // replaced (tests, or a main window that routes it). The result is ignored.
  void SetUrlOpener(std::function<bool(const QUrl&)> opener) { m_openUrl = std::move(opener); }

  QLineEdit* Box(int controlId) const;
  CImageButton* Button(int controlId) const;
  const QFont& BoxFont() const { return m_font; }

 protected:
  void Refresh() override;

 private:
  void DecodeMembers();
  void ShowMembers();
  void OnIntegerEntry(int kind);
  void OnNumberEntry(int kind);
  void OnLogo();

  std::unique_ptr<Ui::CFactoryInfoDlg> m_ui;
  QFont m_font;
  float m_softwareVersion = 0;
  std::int32_t m_serialNumber = 0;
  float m_factoryZeroCal = 0;
  float m_factoryAirCal = 0;
  std::function<bool(const QUrl&)> m_openUrl;
};
