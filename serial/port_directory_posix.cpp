// The per-user port directory, on systems where a COMn name is a link we make.
#include <QDir>
#include <QFile>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "serial/port_naming.h"

namespace {

const char kDirectoryName[] = "sensortool-ports";

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

}  // namespace

QString PortDirectory() {
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  QString path;
  if (!runtime.isEmpty()) {
    path = QDir(QFile::decodeName(runtime)).filePath(QLatin1String(kDirectoryName));
  } else {
    path = QDir(QDir::tempPath())
               .filePath(QStringLiteral("%1-%2").arg(QLatin1String(kDirectoryName)).arg(::geteuid()));
  }
  return EnsurePrivateDirectory(path) ? path : QString();
}
