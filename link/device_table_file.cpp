#include "link/device_table_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace sensorlink {

QString DeviceTablePath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/sensortool/devices.tsv");
}

protocol::DeviceTable LoadDeviceTable(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  // A table is a few hundred lines at most; anything far larger is not one.
  const QByteArray text = file.read(1 << 20);
  return protocol::DeviceTable::FromText(text.toStdString()).value_or(protocol::DeviceTable{});
}

bool SaveDeviceTable(const protocol::DeviceTable& table, const QString& path, QString* error) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  const std::string text = table.ToText();
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace sensorlink
