#pragma once
// Runs the simulated sensor as a child process, as a user or a script would:
// bound to a link with a frame log for end-to-end tests (Start), or with any
// arguments to see how the program itself behaves (the two-argument form).
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <string>
#include <vector>

class SimProcess {
 public:
  SimProcess() = default;
  // Starts `program` with `args` at once; WaitReady() tells when it serves.
  SimProcess(const std::string& program, const std::vector<std::string>& args) {
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    Launch(QString::fromStdString(program), list);
  }
  ~SimProcess() { Stop(); }

  // Starts the simulator bound to `linkPath` with `extraArgs`; waits until it
  // says READY. Returns false (and leaves the reason in Error()) otherwise.
  bool Start(const QString& linkPath, const QStringList& extraArgs) {
    m_logPath = m_dir.filePath(QStringLiteral("sim.log"));
    Launch(QStringLiteral(SENSOR_SIM_PATH),
           QStringList{QStringLiteral("--link"), linkPath, QStringLiteral("--log"), m_logPath} + extraArgs);
    if (!m_process.waitForStarted(10000)) {
      m_error = m_process.errorString();
      return false;
    }
    if (!WaitReady().empty()) return true;
    m_error = QString::fromStdString(Stdout() + Stderr());
    return false;
  }

  // Waits for the "READY <device>" line; returns the device, empty on failure.
  std::string WaitReady(int timeoutMs = 10000) {
    QElapsedTimer clock;
    clock.start();
    while (!m_out.contains('\n') && clock.elapsed() < timeoutMs) {
      m_process.waitForReadyRead(200);
      m_out += m_process.readAllStandardOutput();
      if (m_process.state() == QProcess::NotRunning) {
        m_out += m_process.readAllStandardOutput();
        break;
      }
    }
    const QByteArray line = m_out.left(m_out.indexOf('\n'));
    return line.startsWith("READY ") ? line.mid(6).toStdString() : std::string();
  }

  // SIGTERM, then the exit code (-1 when it did not exit normally).
  int Stop() { return Signal(SIGTERM); }
  int Signal(int sig) {
    if (m_process.state() == QProcess::NotRunning) return ExitCode();
    ::kill(static_cast<pid_t>(m_process.processId()), sig);
    if (!m_process.waitForFinished(5000)) {
      m_process.kill();
      m_process.waitForFinished(2000);
    }
    return ExitCode();
  }
  int Wait(int timeoutMs = 30000) {
    m_process.waitForFinished(timeoutMs);
    return ExitCode();
  }

  std::string Stdout() {
    m_out += m_process.readAllStandardOutput();
    return m_out.toStdString();
  }
  std::string Stderr() {
    m_err += m_process.readAllStandardError();
    return m_err.toStdString();
  }

  // Frames the simulator received with a good CRC, in order, as hex text.
  QStringList ReceivedFrames() const { return LogLines(QStringLiteral("RX ")); }
  QStringList SentFrames() const { return LogLines(QStringLiteral("TX ")); }
  QString Error() const { return m_error; }
  QProcess& Process() { return m_process; }
  qint64 pid() const { return m_process.processId(); }

 private:
  void Launch(const QString& program, const QStringList& args) {
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(program, args);
  }
  int ExitCode() const {
    return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit
               ? m_process.exitCode()
               : -1;
  }
  QStringList LogLines(const QString& prefix) const {
    QFile log(m_logPath);
    QStringList frames;
    if (!log.open(QIODevice::ReadOnly)) return frames;
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines)
      if (line.startsWith(prefix)) frames << line.mid(prefix.size()).trimmed();
    return frames;
  }

  QTemporaryDir m_dir;
  QString m_logPath;
  QProcess m_process;
  QString m_error;
  QByteArray m_out;
  QByteArray m_err;
};

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs sensor-sim to its end (for --help, --version and refusals).
inline RunResult RunToEnd(const std::string& program, const std::vector<std::string>& args) {
  SimProcess p(program, args);
  RunResult r;
  r.exitCode = p.Wait();
  r.out = p.Stdout();
  r.err = p.Stderr();
  return r;
}

// "05 03 00 00 00 24 44 55" for a frame.
template <typename Bytes>
QString HexText(const Bytes& bytes) {
  QStringList parts;
  for (auto b : bytes) parts << QStringLiteral("%1").arg(static_cast<unsigned>(static_cast<unsigned char>(b)), 2, 16, QLatin1Char('0')).toUpper();
  return parts.join(QLatin1Char(' '));
}
