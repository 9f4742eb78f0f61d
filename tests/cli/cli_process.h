#pragma once
// Runs the built sensortool-cli and collects what it printed.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct CliRun {
  int exitCode = -1;
  bool finished = false;
  QString out;
  QString err;
};

inline CliRun RunProgram(const QString& program, const QStringList& args, const QByteArray& input = QByteArray(),
                         int timeoutMs = 120000) {
  QProcess process;
  process.setProcessChannelMode(QProcess::SeparateChannels);
  process.start(program, args);
  CliRun run;
  if (!process.waitForStarted(10000)) {
    run.err = process.errorString();
    return run;
  }
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  run.finished = process.waitForFinished(timeoutMs);
  if (!run.finished) {
    process.kill();
    process.waitForFinished(2000);
  }
  run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

inline CliRun RunCli(const QStringList& args, const QByteArray& input = QByteArray(), int timeoutMs = 120000) {
  return RunProgram(QStringLiteral(SENSORTOOL_CLI_PATH), args, input, timeoutMs);
}

// The client under a bash command line that gives its standard output a
// fate, e.g. `"$0" "$@" > /dev/full`; the command's exit status is the run's.
inline CliRun RunCliInShell(const QString& script, const QStringList& args, int timeoutMs = 60000) {
  return RunProgram(QStringLiteral("bash"),
                    QStringList{QStringLiteral("-c"), script, QStringLiteral(SENSORTOOL_CLI_PATH)} + args,
                    QByteArray(), timeoutMs);
}

// For failure messages.
inline std::string Describe(const CliRun& run) {
  return ("exit " + QString::number(run.exitCode) + "\n--- stdout\n" + run.out + "--- stderr\n" + run.err)
      .toStdString();
}
