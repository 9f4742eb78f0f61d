#pragma once
// A throw-away PostgreSQL server for tests: a fresh cluster in a temporary
// folder, reachable only on a Unix socket in that folder, owned by an
// unprivileged user when the tests run as root (the server refuses root).
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <unistd.h>

#include "records/database_url.h"

class PgTestServer {
 public:
  // The folder of initdb and pg_ctl, or empty when PostgreSQL is missing.
  static QString BinDir() {
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    if (!onPath.isEmpty()) return QFileInfo(onPath).absolutePath();
    QDir lib(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
      const QString bin = lib.filePath(*it + QStringLiteral("/bin"));
      if (QFileInfo::exists(bin + QStringLiteral("/initdb")) && QFileInfo::exists(bin + QStringLiteral("/pg_ctl")))
        return bin;
    }
    return {};
  }

  ~PgTestServer() {
    if (m_started) Stop();
  }

  // Creates the cluster and starts it. On failure returns false with what
  // the tools said in *error.
  bool Create(QString* error) {
    m_bin = BinDir();
    if (m_bin.isEmpty() || !m_dir.isValid()) {
      *error = QStringLiteral("PostgreSQL server binaries not found");
      return false;
    }
    m_dir.setAutoRemove(true);
    if (geteuid() == 0 && !Run(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("nobody"), m_dir.path()}, error,
                               /*asServerUser=*/false))
      return false;
    return Run(m_bin + QStringLiteral("/initdb"),
               {QStringLiteral("-D"), DataDir(), QStringLiteral("-U"), QStringLiteral("records"),
                QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync"),
                QStringLiteral("--no-instructions")},
               error) &&
           Start(error);
  }

  bool Start(QString* error) {
    m_started = Run(m_bin + QStringLiteral("/pg_ctl"),
                    {QStringLiteral("start"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                     QStringLiteral("-D"), DataDir(), QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                     QStringLiteral("-o"),
                     QStringLiteral("-k %1 -c listen_addresses='' -p 5432 -c fsync=off").arg(m_dir.path())},
                    error);
    return m_started;
  }

  bool Stop(QString* error = nullptr) {
    QString ignored;
    m_started = false;
    return Run(m_bin + QStringLiteral("/pg_ctl"),
               {QStringLiteral("stop"), QStringLiteral("-w"), QStringLiteral("-m"), QStringLiteral("fast"),
                QStringLiteral("-D"), DataDir()},
               error ? error : &ignored);
  }

  // The connection string an operator would type for this server.
  QString Url() const {
    return QStringLiteral("postgresql://records@%1/postgres")
        .arg(QString::fromUtf8(QUrl::toPercentEncoding(m_dir.path())));
  }

  records::DatabaseTarget Target() const {
    records::DatabaseTarget t;
    QString error;
    records::ParseDatabaseUrl(Url(), &t, &error);
    return t;
  }

 private:
  QString DataDir() const { return m_dir.filePath(QStringLiteral("data")); }

  bool Run(const QString& program, const QStringList& args, QString* error, bool asServerUser = true) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir.path());
    if (asServerUser && geteuid() == 0) {
      p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                     QStringLiteral("--clear-groups"), QStringLiteral("--")}
                                             << program << args);
    } else {
      p.start(program, args);
    }
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
      *error = program + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
      return false;
    }
    return true;
  }

  QString m_bin;
  QTemporaryDir m_dir;
  bool m_started = false;
};
