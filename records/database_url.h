#pragma once
#include <QString>

namespace records {

// Where the records live: an SQLite file or a PostgreSQL server.
struct DatabaseTarget {
  enum Kind { SQLite, PostgreSQL };
  Kind kind = SQLite;
  QString file;       // SQLite
  QString host;       // PostgreSQL: a name, an address, or a socket folder (starts with '/')
  int port = 5432;
  QString user;
  QString password;
  QString database;

  // For messages: the target without the password.
  QString Describe() const;
};

// Reads what the operator typed:
//   ""                                     the default SQLite file
//   /path/records.sqlite, sqlite:///path   an SQLite file
//   postgresql://user@host:port/db         a server over TCP
//   postgresql://user@%2Frun%2Fpg/db       a server on a Unix socket in /run/pg
//   postgresql://user@/db?host=/run/pg     the same, as libpq also writes it
// Returns false with the reason in *error for anything else.
bool ParseDatabaseUrl(const QString& text, DatabaseTarget* target, QString* error);

// The SQLite file used when no database is given: records.sqlite in the
// user's data folder, under "sensortool" whatever the program (the window,
// the CLI) calls itself, so all of them find the same records.
QString DefaultDatabaseFile();

// The database the operator chose in the window ("记录设置"), shared with
// the CLI; empty for the default file.
QString SavedDatabaseUrl();
void SaveDatabaseUrl(const QString& url);
// The saved choice as a target; the default file when it no longer parses.
DatabaseTarget SavedDatabaseTarget();

// The database a program works with: `given` (the CLI's --db) when not
// empty, else the one chosen in the window, else the default file; false
// with the reason in *error when that choice cannot be read.
bool ChosenDatabase(const QString& given, DatabaseTarget* target, QString* error);

}  // namespace records
