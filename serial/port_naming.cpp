#include "serial/port_naming.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QtGlobal>
#include <algorithm>

namespace {

// Compares names with runs of digits taken as numbers: ttyUSB2 < ttyUSB10.
int NaturalCompare(const QString& a, const QString& b) {
  int i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (a[i].isDigit() && b[j].isDigit()) {
      int ei = i, ej = j;
      while (ei < a.size() && a[ei].isDigit()) ++ei;
      while (ej < b.size() && b[ej].isDigit()) ++ej;
      // Compare the digit runs as numbers of any length: drop leading zeros,
      // then the longer run is larger, else compare digit by digit.
      int si = i, sj = j;
      while (si + 1 < ei && a[si] == QLatin1Char('0')) ++si;
      while (sj + 1 < ej && b[sj] == QLatin1Char('0')) ++sj;
      if (ei - si != ej - sj) return (ei - si) < (ej - sj) ? -1 : 1;
      const int byDigits = QStringView(a).mid(si, ei - si).compare(QStringView(b).mid(sj, ej - sj));
      if (byDigits != 0) return byDigits;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
      ++i;
      ++j;
    }
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool IsAdapterPort(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  return name.contains(QLatin1String("USB"), Qt::CaseInsensitive) ||
         name.contains(QLatin1String("ACM"), Qt::CaseInsensitive) ||
         name.contains(QLatin1String("usbserial"), Qt::CaseInsensitive) ||
         name.contains(QLatin1String("usbmodem"), Qt::CaseInsensitive);
}

}  // namespace

QString PortLinkPath(const QString& directory, int number) {
  return QDir(directory).filePath(QStringLiteral("COM%1").arg(number));
}

QStringList OrderSystemPorts(const QStringList& devicePaths) {
  QStringList ports = devicePaths;
  ports.removeDuplicates();
  std::stable_sort(ports.begin(), ports.end(), [&](const QString& a, const QString& b) {
    const bool adapterA = IsAdapterPort(a);
    const bool adapterB = IsAdapterPort(b);
    if (adapterA != adapterB) return adapterA;
    const QString nameA = QFileInfo(a).fileName();
    const QString nameB = QFileInfo(b).fileName();
    // Order by kind (ttyACM before ttyUSB, both numbered), then by number.
    const int byName = NaturalCompare(nameA, nameB);
    if (byName != 0) return byName < 0;
    return a < b;
  });
  return ports;
}

QString ResolvePortNameIn(const QString& directory, int number, const QStringList& systemPorts) {
  return ResolvePortNameIn(directory, number, SystemPortLister([&systemPorts] { return systemPorts; }));
}

QString ResolvePortNameIn(const QString& directory, int number, const SystemPortLister& listSystemPorts) {
  if (number < kFirstPortNumber || number > kLastPortNumber) return QString();
  if (!directory.isEmpty()) {
    const QFileInfo link(PortLinkPath(directory, number));
    if (link.isSymLink()) {
      // Open the device itself rather than the link, so that the lock taken on
      // open carries the device's name and two numbers bound to one device
      // still exclude each other.
      const QString target = link.symLinkTarget();
      const QString canonical = QFileInfo(target).canonicalFilePath();
      return canonical.isEmpty() ? target : canonical;
    }
  }
  const QStringList ordered = OrderSystemPorts(listSystemPorts ? listSystemPorts() : QStringList());
  if (number <= ordered.size()) return ordered.at(number - 1);
  return QString();
}

QStringList ResolvePortNamesIn(const QString& directory, int count, const SystemPortLister& listSystemPorts) {
  bool listed = false;
  QStringList systemPorts;
  const SystemPortLister once = [&] {
    if (!listed && listSystemPorts) systemPorts = listSystemPorts();
    listed = true;
    return systemPorts;
  };
  QStringList names;
  for (int n = kFirstPortNumber; n < kFirstPortNumber + count; ++n) names << ResolvePortNameIn(directory, n, once);
  return names;
}

namespace {

// Its own settings file, whatever the application's name: the bindings belong
// to the machine's adapters, not to one build of the window.
QSettings PortSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("sensortool"),
                   QStringLiteral("ports"));
}

QString BindingKey(int number) { return QStringLiteral("bindings/COM%1").arg(number); }

// Like a link, a binding holds even while its device is unplugged, so the open
// fails clearly instead of reaching another device.
QString BoundDevice(const QString& bound) {
  const QString canonical = QFileInfo(bound).canonicalFilePath();
  return canonical.isEmpty() ? bound : canonical;
}

}  // namespace

QString SavedPortBinding(int number) {
  if (number < kFirstPortNumber || number > kLastPortNumber) return QString();
  return PortSettings().value(BindingKey(number)).toString();
}

void SavePortBinding(int number, const QString& device) {
  if (number < kFirstPortNumber || number > kLastPortNumber) return;
  QSettings settings = PortSettings();
  if (device.isEmpty())
    settings.remove(BindingKey(number));
  else
    settings.setValue(BindingKey(number), device);
}

QStringList SystemPortPaths() {
  QStringList paths;
  const auto ports = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : ports) paths << info.systemLocation();
  return paths;
}

QString ResolvePortName(int number) {
#ifdef Q_OS_WIN
  if (number < kFirstPortNumber || number > kLastPortNumber) return QString();
  return QStringLiteral("COM%1").arg(number);
#else
  const QString bound = SavedPortBinding(number);
  if (!bound.isEmpty()) return BoundDevice(bound);
  return ResolvePortNameIn(PortDirectory(), number, SystemPortLister(SystemPortPaths));
#endif
}

QStringList ResolvePortNames(int count) {
#ifdef Q_OS_WIN
  QStringList names;
  for (int n = kFirstPortNumber; n < kFirstPortNumber + count; ++n) names << ResolvePortName(n);
  return names;
#else
  // Saved bindings win over the links and the system's order.
  QStringList names = ResolvePortNamesIn(PortDirectory(), count, SystemPortLister(SystemPortPaths));
  for (int i = 0; i < names.size(); ++i) {
    const QString bound = SavedPortBinding(kFirstPortNumber + i);
    if (!bound.isEmpty()) names[i] = BoundDevice(bound);
  }
  return names;
#endif
}
