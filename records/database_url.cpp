#include "records/database_url.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace records {

QString DatabaseTarget::Describe() const {
  if (kind == SQLite) return QDir::toNativeSeparators(file);
  const QString where = host.startsWith('/') ? host : QStringLiteral("%1:%2").arg(host).arg(port);
  return QStringLiteral("PostgreSQL %1@%2/%3").arg(user, where, database);
}

QString DefaultDatabaseFile() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/sensortool/records.sqlite");
}

// Kept under a fixed name for the same reason as the default file.
QString SavedDatabaseUrl() {
  return QSettings(QStringLiteral("sensortool"), QStringLiteral("records")).value(QStringLiteral("database")).toString();
}

void SaveDatabaseUrl(const QString& url) {
  QSettings(QStringLiteral("sensortool"), QStringLiteral("records")).setValue(QStringLiteral("database"), url);
}

bool ChosenDatabase(const QString& given, DatabaseTarget* target, QString* error) {
  return ParseDatabaseUrl(given.isEmpty() ? SavedDatabaseUrl() : given, target, error);
}

namespace {

bool ParsePostgres(const QString& rest, DatabaseTarget* t, QString* error) {
  // rest = [user[:password]@][host][:port]/database[?key=value&...]
  QString path = rest;
  QString query;
  if (const int q = path.indexOf('?'); q >= 0) {
    query = path.mid(q + 1);
    path.truncate(q);
  }
  const int slash = path.indexOf('/');
  if (slash < 0 || slash == path.size() - 1) {
    *error = QStringLiteral("连接串缺少数据库名：postgresql://用户@主机:端口/数据库");
    return false;
  }
  QString authority = path.left(slash);
  t->database = QUrl::fromPercentEncoding(path.mid(slash + 1).toUtf8());
  if (const int at = authority.lastIndexOf('@'); at >= 0) {
    const QString userInfo = authority.left(at);
    authority = authority.mid(at + 1);
    const int colon = userInfo.indexOf(':');
    t->user = QUrl::fromPercentEncoding(userInfo.left(colon).toUtf8());
    if (colon >= 0) t->password = QUrl::fromPercentEncoding(userInfo.mid(colon + 1).toUtf8());
  }
  QString portText;
  if (const int colon = authority.lastIndexOf(':'); colon >= 0 && !authority.startsWith('[')) {
    portText = authority.mid(colon + 1);
    authority.truncate(colon);
  }
  t->host = QUrl::fromPercentEncoding(authority.toUtf8());
  const QUrlQuery params(query);
  for (const auto& [key, value] : params.queryItems(QUrl::FullyDecoded)) {
    if (key == QLatin1String("host")) t->host = value;
    else if (key == QLatin1String("port")) portText = value;
    else if (key == QLatin1String("user")) t->user = value;
    else if (key == QLatin1String("password")) t->password = value;
    else if (key == QLatin1String("dbname")) t->database = value;
  }
  if (!portText.isEmpty()) {
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
      *error = QStringLiteral("端口无效：%1").arg(portText);
      return false;
    }
    t->port = port;
  }
  if (t->host.isEmpty()) t->host = QStringLiteral("localhost");
  return true;
}

}  // namespace

bool ParseDatabaseUrl(const QString& text, DatabaseTarget* target, QString* error) {
  DatabaseTarget t;
  const QString s = text.trimmed();
  if (s.isEmpty()) {
    t.file = DefaultDatabaseFile();
  } else if (s.startsWith(QLatin1String("postgresql://")) || s.startsWith(QLatin1String("postgres://"))) {
    t.kind = DatabaseTarget::PostgreSQL;
    if (!ParsePostgres(s.mid(s.indexOf(QLatin1String("://")) + 3), &t, error)) return false;
  } else if (s.startsWith(QLatin1String("sqlite://"))) {
    t.file = QUrl::fromPercentEncoding(s.mid(9).toUtf8());
    if (t.file.isEmpty()) {
      *error = QStringLiteral("SQLite 连接串缺少文件路径：sqlite:///路径/records.sqlite");
      return false;
    }
  } else if (s.contains(QLatin1String("://"))) {
    *error = QStringLiteral("不支持的数据库：%1（可用 postgresql://… 或 SQLite 文件路径）").arg(s.left(s.indexOf(':')));
    return false;
  } else {
    t.file = s;
  }
  *target = t;
  return true;
}

DatabaseTarget SavedDatabaseTarget() {
  DatabaseTarget target;
  QString error;
  if (!ChosenDatabase(QString(), &target, &error)) ParseDatabaseUrl(QString(), &target, &error);
  return target;
}

}  // namespace records
