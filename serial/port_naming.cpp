#include "serial/port_naming.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>
#include <QtGlobal>
#include <algorithm>

#ifndef Q_OS_WIN
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char kDirectoryName[] = "sensortool-ports";

#ifndef Q_OS_WIN
// Creates `path` with mode 0700 when missing; accepts an existing directory
// only if it belongs to this user and nobody else can write into it, so that
// another user cannot plant COMn links for us.
bool EnsurePrivateDirectory(const QString& path) {
  const QByteArray native = QFile::encodeName(path);
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 0022) != 0 && ::chmod(native.constData(), 0700) != 0) return false;
  return true;
}
#endif

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

QString PortDirectory() {
#ifdef Q_OS_WIN
  return QString();
#else
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  QString path;
  if (!runtime.isEmpty()) {
    path = QDir(QFile::decodeName(runtime)).filePath(QLatin1String(kDirectoryName));
  } else {
    path = QDir(QDir::tempPath())
               .filePath(QStringLiteral("%1-%2").arg(QLatin1String(kDirectoryName)).arg(::geteuid()));
  }
  return EnsurePrivateDirectory(path) ? path : QString();
#endif
}

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
  const QStringList ordered = OrderSystemPorts(systemPorts);
  if (number <= ordered.size()) return ordered.at(number - 1);
  return QString();
}

namespace {

// Its own settings file, whatever the application's name: the bindings belong
// to the machine's adapters, not to one build of the window.
QSettings PortSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("sensortool"),
                   QStringLiteral("ports"));
}

QString BindingKey(int number) { return QStringLiteral("bindings/COM%1").arg(number); }

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
  // A saved binding wins; like a link, it binds even while its device is
  // unplugged, so the open fails clearly instead of reaching another device.
  const QString bound = SavedPortBinding(number);
  if (!bound.isEmpty()) {
    const QString canonical = QFileInfo(bound).canonicalFilePath();
    return canonical.isEmpty() ? bound : canonical;
  }
  return ResolvePortNameIn(PortDirectory(), number, SystemPortPaths());
#endif
}
