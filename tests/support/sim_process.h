#pragma once
// Runs the simulated sensor on a pseudo-terminal for end-to-end tests and
// reads back the frames it received.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess() { Stop(); }

  // Starts the simulator bound to `linkPath` with `extraArgs`; waits until it
  // says READY. Returns false (and leaves the reason in Error()) otherwise.
  bool Start(const QString& linkPath, const QStringList& extraArgs) {
    m_logPath = m_dir.filePath(QStringLiteral("sim.log"));
    QStringList args{QStringLiteral("--link"), linkPath, QStringLiteral("--log"), m_logPath};
    args += extraArgs;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(SENSOR_SIM_PATH), args);
    if (!m_process.waitForStarted(10000)) {
      m_error = m_process.errorString();
      return false;
    }
    QElapsedTimer clock;
    clock.start();
    QByteArray out;
    while (clock.elapsed() < 10000) {
      m_process.waitForReadyRead(200);
      out += m_process.readAllStandardOutput();
      if (out.contains("READY")) return true;
      if (m_process.state() == QProcess::NotRunning) break;
    }
    m_error = QString::fromUtf8(out + m_process.readAllStandardError());
    return false;
  }

  void Stop() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
      m_process.kill();
      m_process.waitForFinished(2000);
    }
  }

  // Frames the simulator received with a good CRC, in order, as hex text.
  QStringList ReceivedFrames() const { return LogLines(QStringLiteral("RX ")); }
  QStringList SentFrames() const { return LogLines(QStringLiteral("TX ")); }
  QString Error() const { return m_error; }
  QProcess& Process() { return m_process; }

 private:
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
};

// "05 03 00 00 00 24 44 55" for a frame.
template <typename Bytes>
QString HexText(const Bytes& bytes) {
  QStringList parts;
  for (auto b : bytes) parts << QStringLiteral("%1").arg(static_cast<unsigned>(static_cast<unsigned char>(b)), 2, 16, QLatin1Char('0')).toUpper();
  return parts.join(QLatin1Char(' '));
}
