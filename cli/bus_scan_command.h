#pragma once
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/bus_scan.h"
#include "protocol/device_table.h"

namespace sensorlink {
class SensorLink;
}

namespace cli {

class StopRequests;

// `search --all`: every address of the line asked in turn through the link's
// bus scan, progress on stderr, then the list of the sensors that answered on
// stdout, and those sensors put into the device table the window shares.
// Ctrl-C or SIGTERM ends the scan early; what was found is still printed.
class BusScanCommand : public QObject {
  Q_OBJECT

 public:
  BusScanCommand(sensorlink::SensorLink& link, std::uint8_t lastAddress, bool json, bool progressOnTty,
                 QObject* parent = nullptr);
  ~BusScanCommand() override;

  // False when the link refused to scan (a write is still waiting).
  bool Start();
  // The line is gone mid-scan: what was found is printed, the run failed.
  void Abandon(const QString& reason);

 signals:
  // kExitOk, kExitFailed (nothing found, the line lost) or kExitCancelled.
  void Finished(int exitCode);

 private:
  void OnProgress(int asked, int total, std::uint8_t address);
  void OnSensorFound(const protocol::DeviceEntry& entry);
  void OnScanFinished(bool cancelled);
  void Conclude(int exitCode);
  void EndProgressLine();

  sensorlink::BusScan scan_;
  std::uint8_t lastAddress_;
  bool json_;
  bool progressOnTty_;
  bool progressOpen_ = false;
  bool done_ = false;
  bool lineLost_ = false;
  std::unique_ptr<StopRequests> stops_;
};

// The list as a table: address, serial number (as printed on the sensor),
// software version and dissolved oxygen as the windows show them.
std::string DeviceListText(const std::vector<protocol::DeviceEntry>& entries);
// The list as a JSON array of objects with English keys.
std::string DeviceListJson(const std::vector<protocol::DeviceEntry>& entries);

// Puts `entries` into the device table file at `path` (the sensors found
// again replace their older entries); false with the reason in `error`.
bool RememberDevices(const std::vector<protocol::DeviceEntry>& entries, const QString& path, QString* error);

}  // namespace cli
