#pragma once
#include <QString>

#include "protocol/device_table.h"

namespace sensorlink {

// Where the device table lives between runs: beside the records, in the
// user's data folder, so the window and the command line share one table.
QString DeviceTablePath();

// The table saved at `path`; empty when there is none yet or the file is not
// a device table (it is then left alone, not overwritten by a load).
protocol::DeviceTable LoadDeviceTable(const QString& path = DeviceTablePath());

// Writes the table whole or not at all (a crash mid-write keeps the old
// file). False with the system's reason in `error`.
bool SaveDeviceTable(const protocol::DeviceTable& table, const QString& path, QString* error);

}  // namespace sensorlink
