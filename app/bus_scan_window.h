#pragma once
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

#include "protocol/device_table.h"

class QProgressBar;
class QPushButton;
class QTableWidget;

namespace sensorlink {
class BusScan;
class SensorLink;
}  // namespace sensorlink

// "设备管理": the device table kept between runs, a bus scan that fills it,
// and the choice of the sensor the main window connects to. The scan runs
// on the main window's own link, so the line carries one conversation at a
// time; the main window hears of it through ScanRunning and shows no
// sensor's values meanwhile.
class CBusScanWindow : public QDialog {
  Q_OBJECT

 public:
  // `connectTo` connects the main window to an address and returns why it
  // cannot (empty when it did).
  CBusScanWindow(sensorlink::SensorLink& link, std::function<QString(std::uint8_t)> connectTo,
                 QWidget* parent = nullptr);

  // Starts a scan; false (after telling the operator why) while a write waits.
  bool StartScan();
  bool Scanning() const;
  // The addresses a scan asks. Tests narrow it so a scan takes a second, not 40.
  void SetScanRange(std::uint8_t first, std::uint8_t last);
  // Reads the saved table afresh (each time the window is opened).
  void ReloadTable();
  const protocol::DeviceTable& Table() const { return m_table; }
  // Asks where "保存…" writes the table (a file dialog); tests replace it.
  void SetSavePathChooser(std::function<QString()> choose) { m_choosePath = std::move(choose); }

 signals:
  void ScanRunning(bool running);

 protected:
  void hideEvent(QHideEvent* event) override;
  // Enter on the list chooses its entry rather than closing the window.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowTable();
  void SaveTable();
  void OnFinished(bool cancelled);
  void ConnectToSelected();
  void RemoveSelected();
  void SaveAs();
  // The address of the selected row, 0 when none is selected.
  std::uint8_t SelectedAddress() const;
  void ShowScanning(bool scanning);

  sensorlink::BusScan* m_scan;
  std::function<QString(std::uint8_t)> m_connectTo;
  std::function<QString()> m_choosePath;
  protocol::DeviceTable m_table;
  std::uint8_t m_first = protocol::kScanFirstAddress;
  std::uint8_t m_last = protocol::kScanLastAddress;
  QTableWidget* m_list = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_scanButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_connectButton = nullptr;
  QPushButton* m_removeButton = nullptr;
  QPushButton* m_saveAsButton = nullptr;
};
