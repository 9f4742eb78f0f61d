#include "soak_engine.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <map>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sstream>
#include <termios.h>
#include <unistd.h>

#include "app/main_dialog.h"
#include "dialogs/dialog_support.h"
#include "protocol/registers.h"
#include "protocol/rtu_frame.h"
#include "uitexts/link_texts.h"
#include "serial/comm.h"
#include "serial/port_naming.h"
#include "soak_log.h"

namespace soak {
namespace {

const QString kPortLost = QStringLiteral("串口断开");
const QString kSucceeded = QString::fromUtf8(ui_texts::kOperationSucceeded);
const QString kWriteUnanswered = QString::fromUtf8(ui_texts::kWriteUnanswered);
const QString kCheckError = QString::fromUtf8(ui_texts::kCheckError);
const QString kUnknownDevice = QString::fromUtf8(ui_texts::kUnknownDevice);
constexpr int kStallTickMs = 5;
constexpr int kPortNumber = 1;
// No unplug this close to the end, so the run ends with the sensor plugged in.
constexpr int kQuietTailCycles = 80;

bool MakeRaw(int fd) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Points `link` at `target`, replacing an older link in one step.
bool PlaceLink(const QString& link, const QString& target) {
  const QByteArray temp = QFile::encodeName(link + QStringLiteral(".new"));
  ::unlink(temp.constData());
  if (::symlink(QFile::encodeName(target).constData(), temp.constData()) != 0) return false;
  return ::rename(temp.constData(), QFile::encodeName(link).constData()) == 0;
}

void WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // a full buffer or a closed line drops the rest, as a real line would
    }
  }
}

bool IsCleanReply(const Bytes& chunk, std::uint8_t address) {
  if (chunk.size() == protocol::kPollReplyLength)
    return chunk[0] == address && chunk[1] == protocol::kFunctionReadHolding &&
           chunk[2] == protocol::kPollByteCount && chunk[protocol::kDeviceTypeOffset] == protocol::kSensorDeviceType &&
           protocol::HasValidCrc(chunk.data(), chunk.size());
  if (chunk.size() == 8)
    return chunk[0] == address && chunk[1] == protocol::kFunctionWriteMultiple &&
           protocol::HasValidCrc(chunk.data(), chunk.size());
  return false;
}

// The operator at the soak: confirms "操作成功" at once, but leaves a port
// message up for a while, as someone away from the desk would, so that port
// losses meet a message that is still open.
class Operator : public QObject {
 public:
  explicit Operator(std::function<int()> holdMs) : m_holdMs(std::move(holdMs)) {
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &Operator::Look);
    m_timer.start();
    m_clock.start();
  }
  QStringList texts;
  int mostPortBoxesOpen = 0;
  void AnswerEverythingNow() { m_now = true; }

  void Look() {
    int portBoxesOpen = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      if (!m_seen.count(box)) {
        m_seen[box] = {m_clock.elapsed(), IsPortMessage(box->text()) ? m_holdMs() : 0};
        texts << box->text();
      }
      portBoxesOpen += IsPortMessage(box->text());
    }
    mostPortBoxesOpen = std::max(mostPortBoxesOpen, portBoxesOpen);
    auto* top = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!top || !m_seen.count(top)) return;
    const auto [since, hold] = m_seen[top];
    if (!m_now && m_clock.elapsed() - since < hold) return;
    m_seen.erase(top);
    if (QAbstractButton* ok = top->button(QMessageBox::Ok)) ok->click();
    else if (!top->buttons().isEmpty()) top->buttons().first()->click();
  }

  static bool IsPortMessage(const QString& text) { return text.contains(QStringLiteral("串口")); }

 private:
  std::function<int()> m_holdMs;
  QTimer m_timer;
  QElapsedTimer m_clock;
  std::map<QMessageBox*, std::pair<qint64, int>> m_seen;
  bool m_now = false;
};

// One run of the soak. The "line" is a pseudo-terminal pair this object owns:
// the window opens its slave side as COM1, and every byte between the window
// and the simulator passes through here, where noise is added. Unplugging
// closes that line and kills the simulator, as pulling a USB adapter does.
class Soak : public QObject {
 public:
  explicit Soak(const SoakConfig& config) : m_config(config), m_rng(config.seed) {}
  ~Soak() override {
    Teardown();
    // Simulators still ending must not report to a soak that is going away.
    for (QProcess* p : findChildren<QProcess*>()) {
      disconnect(p, nullptr, this, nullptr);
      if (p->state() != QProcess::NotRunning) {
        p->kill();
        p->waitForFinished(2000);
      }
    }
  }

  SoakResult Run();

 private:
  int Draw(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
  Bytes Noise(int lo, int hi) {
    Bytes noise(static_cast<std::size_t>(Draw(lo, hi)));
    for (auto& b : noise) b = static_cast<std::uint8_t>(Draw(0, 255));
    return noise;
  }
  qint64 Now() const { return m_clock.elapsed(); }
  // With SOAK_TRACE set, the soak's own events go to stderr with their time.
  void Trace(const std::string& what) const {
    if (m_trace) std::fprintf(stderr, "%8lld ms  cycle %6d  %s\n", static_cast<long long>(Now()), m_result.cycles, what.c_str());
  }

  void Fail(const std::string& why) {
    if (m_result.setupError.empty()) m_result.setupError = why;
    m_loop.quit();
  }

  // Simulator and line.
  void StartSimulator();
  void Plug();
  void Unplug();
  void CloseLine();
  void Teardown();
  void FromWindow();
  void FromSensor();
  void NoiseBetween();

  // Probes on the window.
  void Watch();
  void OnConnected();
  void OnPollTick();
  void OnDisplayTick();
  void OnReplyAccepted(const QByteArray& reply);
  void SampleShown();
  void OnStallTick();
  void FaultEnded() {
    m_pending = true;
    m_pendingSince = Now();
  }

  void Finish();

  SoakConfig m_config;
  const bool m_trace = qEnvironmentVariableIsSet("SOAK_TRACE");
  std::mt19937 m_rng;
  SoakResult m_result;
  QEventLoop m_loop;
  QElapsedTimer m_clock;
  QTemporaryDir m_dir;
  QString m_simLink;
  QString m_comLink;

  protocol::AppState m_state;
  std::unique_ptr<CMainDlg> m_window;
  std::unique_ptr<Operator> m_answers;
  QLineEdit* m_doBox = nullptr;
  QLineEdit* m_temperatureBox = nullptr;
  QLineEdit* m_commStateBox = nullptr;

  std::uint8_t m_address = 1;
  QPointer<QProcess> m_sim;
  std::vector<QString> m_simLogs;
  QByteArray m_simOutput;
  bool m_plugged = false;
  bool m_firstPlug = true;
  int m_lineMaster = -1;   // window side
  int m_lineHeld = -1;     // keeps the window side's terminal up between opens
  int m_sensorFd = -1;     // simulator side
  std::unique_ptr<QSocketNotifier> m_fromWindow;
  std::unique_ptr<QSocketNotifier> m_fromSensor;
  bool m_noiseInsideArmed = false;
  bool m_awaitingReply = false;
  int m_unanswered = 0;
  int m_nextUnplug = 0;

  QTimer m_watch;
  QTimer m_stallTimer;
  QTimer m_deadline;
  bool m_connected = false;
  bool m_finished = false;
  qint64 m_connectedAt = 0;
  qint64 m_lastStallTick = -1;
  bool m_resetSeen = false;

  bool m_pending = false;
  qint64 m_pendingSince = 0;
  qint64 m_lastAcceptedAt = -1;
  std::uint64_t m_acceptedBefore = 0;
  std::uint64_t m_rejectedBefore = 0;
  std::set<Bytes> m_rxBufFrames;
  std::set<ShownPair> m_shown;
  bool m_sampleQueued = false;
  std::set<Bytes> m_queuedWrites;
};

SoakResult Soak::Run() {
  m_clock.start();
  if (!m_dir.isValid()) {
    m_result.setupError = "no temporary directory";
    return m_result;
  }
  const QString portDir = PortDirectory();
  if (portDir.isEmpty()) {
    m_result.setupError = "no private port directory";
    return m_result;
  }
  m_comLink = PortLinkPath(portDir, kPortNumber);
  QFile::remove(m_comLink);
  m_simLink = m_dir.filePath(QStringLiteral("sensor-line"));
  m_address = static_cast<std::uint8_t>(Draw(1, 5));
  m_nextUnplug = Draw(m_config.unplugMinCycles, m_config.unplugMaxCycles);

  m_window = std::make_unique<CMainDlg>(m_state);
  m_window->show();
  m_answers = std::make_unique<Operator>(
      [this] { return Draw(0, 2 * m_config.unplugMaxCycles * m_config.pollMs); });
  m_doBox = ui::Control<QLineEdit>(m_window.get(), 1016);
  m_temperatureBox = ui::Control<QLineEdit>(m_window.get(), 1017);
  m_commStateBox = ui::Control<QLineEdit>(m_window.get(), 1031);
  if (!m_doBox || !m_temperatureBox || !m_commStateBox) {
    m_result.setupError = "the window lacks its value boxes";
    return m_result;
  }

  // Probes. Connected after the window's own handlers, so they run after them.
  connect(m_window.get(), &CMainDlg::ReplyAccepted, this, &Soak::OnReplyAccepted);
  connect(m_window->findChild<QTimer*>(QStringLiteral("searchPollTimer")), &QTimer::timeout, this,
          &Soak::OnPollTick);
  connect(m_window->findChild<QTimer*>(QStringLiteral("displayTimer")), &QTimer::timeout, this,
          &Soak::OnDisplayTick);
  for (QLineEdit* box : {m_doBox, m_temperatureBox})
    connect(box, &QLineEdit::textChanged, this, [this] {
      if (m_sampleQueued) return;
      m_sampleQueued = true;
      QTimer::singleShot(0, this, &Soak::SampleShown);
    });
  connect(m_commStateBox, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (!m_connected) return;
    if (text == kCheckError) ++m_result.checkErrorsShown;
    if (text == kUnknownDevice) ++m_result.unknownDeviceShown;
  });
  m_watch.setInterval(10);
  connect(&m_watch, &QTimer::timeout, this, &Soak::Watch);
  m_watch.start();
  m_stallTimer.setTimerType(Qt::PreciseTimer);
  m_stallTimer.setInterval(kStallTickMs);
  connect(&m_stallTimer, &QTimer::timeout, this, &Soak::OnStallTick);

  // A generous bound: every cycle three times over, the unplugs, and the search.
  const qint64 expectedMs = static_cast<qint64>(m_config.cycles) * m_config.pollMs;
  const qint64 unplugs = m_config.cycles / std::max(1, m_config.unplugMinCycles) + 1;
  m_deadline.setSingleShot(true);
  m_deadline.setInterval(static_cast<int>(std::min<qint64>(
      3 * expectedMs + unplugs * (m_config.downMaxMs + 5000) + 60000, 24LL * 3600 * 1000)));
  connect(&m_deadline, &QTimer::timeout, this, [this] {
    m_result.timedOut = true;
    m_answers->AnswerEverythingNow();
    m_loop.quit();
  });
  m_deadline.start();

  StartSimulator();
  m_loop.exec();
  Finish();
  return m_result;
}

void Soak::StartSimulator() {
  const int n = ++m_result.simRuns;
  const QString logPath = m_dir.filePath(QStringLiteral("sim-%1.log").arg(n));
  m_simLogs.push_back(logPath);
  auto period = [this](int min) { return QString::number(Draw(min, 3 * min)); };
  const QStringList args{
      QStringLiteral("--link"), m_simLink,
      QStringLiteral("--log"), logPath,
      QStringLiteral("--address"), QString::number(m_address),
      QStringLiteral("--seed"), QString::number(Draw(1, 1000000)),
      QStringLiteral("--drop-byte-every"), period(m_config.dropByteEvery),
      QStringLiteral("--flip-bit-every"), period(m_config.flipBitEvery),
      QStringLiteral("--noise-every"), period(m_config.noiseEvery),
      QStringLiteral("--foreign-address-every"), period(m_config.foreignAddressEvery),
      QStringLiteral("--foreign-type-every"), period(m_config.foreignTypeEvery),
      // The first replies are clean, so the search finds the sensor at once.
      QStringLiteral("--silent-after"), QString::number(Draw(10, std::max(11, m_config.unplugMinCycles / 2))),
      QStringLiteral("--silent-polls"), QString::number(Draw(2, 7)),
  };
  auto* sim = new QProcess(this);
  m_sim = sim;
  m_simOutput.clear();
  sim->setProcessChannelMode(QProcess::SeparateChannels);
  connect(sim, &QProcess::readyReadStandardOutput, this, [this, sim] {
    if (sim != m_sim) return;
    m_simOutput += sim->readAllStandardOutput();
    if (!m_plugged && m_simOutput.contains("READY")) Plug();
  });
  connect(sim, &QProcess::finished, this, [this, sim](int code, QProcess::ExitStatus) {
    if (sim == m_sim && !m_finished)
      Fail("the simulator ended by itself (exit " + std::to_string(code) + "): " +
           sim->readAllStandardError().toStdString());
    sim->deleteLater();
  });
  sim->start(m_config.simPath, args);
  Trace("simulator started: " + args.join(QLatin1Char(' ')).toStdString());
}

void Soak::Plug() {
  m_sensorFd = ::open(QFile::encodeName(m_simLink).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_sensorFd < 0 || !MakeRaw(m_sensorFd)) return Fail("cannot open the simulator's line");
  m_lineMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_lineMaster < 0 || ::grantpt(m_lineMaster) != 0 || ::unlockpt(m_lineMaster) != 0)
    return Fail("cannot create a pseudo-terminal");
  const QString slave = QString::fromLocal8Bit(::ptsname(m_lineMaster));
  m_lineHeld = ::open(QFile::encodeName(slave).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (m_lineHeld < 0 || !MakeRaw(m_lineHeld)) return Fail("cannot set up the window's line");
  if (!PlaceLink(m_comLink, slave)) return Fail("cannot bind COM1");

  m_fromWindow = std::make_unique<QSocketNotifier>(m_lineMaster, QSocketNotifier::Read);
  connect(m_fromWindow.get(), &QSocketNotifier::activated, this, &Soak::FromWindow);
  m_fromSensor = std::make_unique<QSocketNotifier>(m_sensorFd, QSocketNotifier::Read);
  connect(m_fromSensor.get(), &QSocketNotifier::activated, this, &Soak::FromSensor);
  m_plugged = true;
  m_awaitingReply = false;
  m_unanswered = 0;

  if (m_firstPlug) {
    m_firstPlug = false;
    // The operator picks COM1, opens it and starts the automatic connection.
    ui::Control<QComboBox>(m_window.get(), 1000)->setCurrentIndex(kPortNumber - 1);
    QTest::mouseClick(ui::Control<QPushButton>(m_window.get(), 1002), Qt::LeftButton);
    QTest::mouseClick(ui::Control<QPushButton>(m_window.get(), 1026), Qt::LeftButton);
  } else {
    FaultEnded();  // plugged in again
  }
}

void Soak::CloseLine() {
  m_fromWindow.reset();
  m_fromSensor.reset();
  for (int* fd : {&m_lineMaster, &m_lineHeld, &m_sensorFd}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
  m_plugged = false;
}

void Soak::Unplug() {
  ++m_result.unplugs;
  Trace("unplugged");
  CloseLine();
  QFile::remove(m_comLink);
  QProcess* old = m_sim;
  m_sim = nullptr;  // its end is expected now
  if (old) old->terminate();
  QTimer::singleShot(Draw(m_config.downMinMs, m_config.downMaxMs), this, [this] {
    if (m_finished) return;
    // Before the sensor returns: the window must have noticed, closed its
    // port and said so.
    if (m_commStateBox->text() == kPortLost && !m_window->Comm().PortOpen()) ++m_result.portLossShown;
    Trace("before replug the window shows \"" + m_commStateBox->text().toStdString() + "\", port " +
          (m_window->Comm().PortOpen() ? "open" : "closed"));
    StartSimulator();
  });
}

void Soak::Teardown() {
  CloseLine();
  if (QProcess* sim = m_sim) {
    m_sim = nullptr;
    sim->terminate();
    if (!sim->waitForFinished(5000)) sim->kill();
    sim->waitForFinished(2000);
  }
  if (!m_comLink.isEmpty()) QFile::remove(m_comLink);
}

void Soak::FromWindow() {
  std::uint8_t buf[512];
  const ssize_t n = ::read(m_lineMaster, buf, sizeof buf);
  if (n <= 0) return;
  if (m_sensorFd >= 0) WriteAll(m_sensorFd, Bytes(buf, buf + n));
  if (!m_connected) return;
  // A request while the previous one is still unanswered: the sensor is silent.
  if (m_awaitingReply) ++m_unanswered;
  m_awaitingReply = true;
}

void Soak::FromSensor() {
  std::uint8_t buf[512];
  const ssize_t n = ::read(m_sensorFd, buf, sizeof buf);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  if (n <= 0) {
    // The simulator's side hung up without being unplugged by us.
    m_fromSensor->setEnabled(false);
    return;
  }
  Bytes chunk(buf, buf + n);
  m_awaitingReply = false;
  if (!m_connected) {
    WriteAll(m_lineMaster, chunk);
    return;
  }
  if (m_unanswered > 0) {
    if (m_unanswered >= 2) ++m_result.silences;
    Trace("reply after " + std::to_string(m_unanswered) + " unanswered requests");
    m_unanswered = 0;
    FaultEnded();
  }
  if (m_noiseInsideArmed && LooksLikePollReply(chunk)) {
    m_noiseInsideArmed = false;
    const auto at = static_cast<std::ptrdiff_t>(Draw(3, static_cast<int>(chunk.size()) - 3));
    const Bytes noise = Noise(1, 4);
    chunk.insert(chunk.begin() + at, noise.begin(), noise.end());
    ++m_result.repliesFaultedOnLine;
    WriteAll(m_lineMaster, chunk);
    FaultEnded();
    return;
  }
  WriteAll(m_lineMaster, chunk);
  if (!IsCleanReply(chunk, m_address)) FaultEnded();
}

void Soak::NoiseBetween() {
  if (!m_plugged || m_finished) return;
  ++m_result.noiseBursts;
  WriteAll(m_lineMaster, Noise(1, 6));
  FaultEnded();
}

void Soak::Watch() {
  if (m_connected) {
    if (m_window->PortResetRunning() && !m_resetSeen && m_plugged) ++m_result.portResets;
    if (m_window->PortResetRunning() != m_resetSeen)
      Trace(std::string("port reset ") + (m_window->PortResetRunning() ? "begins" : "ends"));
    m_resetSeen = m_window->PortResetRunning();
    return;
  }
  const QTimer* poll = m_window->findChild<QTimer*>(QStringLiteral("searchPollTimer"));
  if (m_state.link.deviceFound && poll->isActive() && poll->interval() == protocol::kPollPeriodMs) OnConnected();
}

void Soak::OnConnected() {
  m_connected = true;
  m_result.started = true;
  m_connectedAt = Now();
  m_acceptedBefore = m_state.link.repliesAccepted;
  m_rejectedBefore = m_state.link.repliesRejected;
  // Speed-up: the periods of the window's and its link's timers, set from
  // outside after the sensor was found; the write cycle is started as opening
  // a sensor window starts it.
  m_window->findChild<QTimer*>(QStringLiteral("searchPollTimer"))->setInterval(m_config.pollMs);
  m_window->findChild<QTimer*>(QStringLiteral("displayTimer"))->setInterval(m_config.displayMs);
  sensorlink::SensorLink::Periods periods;
  periods.pollMs = m_config.pollMs;
  periods.writeMs = m_config.writeMs;
  m_window->Link().SetPeriods(periods);
  m_window->Link().StartWriteCycle();
  m_lastStallTick = -1;
  m_stallTimer.start();
}

void Soak::OnPollTick() {
  if (!m_connected || m_finished) return;
  ++m_result.cycles;
  protocol::LinkState& link = m_state.link;

  if (link.sensorConnected && Chance(m_config.writeChance)) {
    // Mostly into an empty slot; sometimes replacing the outstanding write.
    protocol::RtuFrame frame;
    std::uint8_t reg = 0;
    if (Chance(0.5)) {
      frame = protocol::WriteFilter(link.currentAddress, static_cast<std::uint16_t>(Draw(1, 99)));
      reg = protocol::Filter;
    } else {
      frame = protocol::WritePressure(link.currentAddress, 90.0f + 0.5f * static_cast<float>(Draw(0, 40)));
      reg = protocol::Pressure;
    }
    if (link.pendingWriteReg == 0 || Chance(0.2)) {
      m_queuedWrites.insert(frame);
      ++m_result.writesQueued;
      protocol::QueueWrite(link, frame, reg);
    }
  }
  if (m_plugged && Chance(m_config.noiseBetweenChance))
    QTimer::singleShot(Draw(m_config.pollMs / 4, 3 * m_config.pollMs / 4), this, &Soak::NoiseBetween);
  if (m_plugged && Chance(m_config.noiseInsideChance)) m_noiseInsideArmed = true;

  if (m_plugged && m_result.cycles >= m_nextUnplug && m_result.cycles + kQuietTailCycles < m_config.cycles) {
    Unplug();
    m_nextUnplug = m_result.cycles + Draw(m_config.unplugMinCycles, m_config.unplugMaxCycles);
  }
  if (m_result.cycles >= m_config.cycles) {
    // Open messages hold the window's nested loops; answer them so the run can end.
    m_answers->AnswerEverythingNow();
    m_loop.quit();
  }
}

void Soak::OnDisplayTick() {
  if (!m_connected || !m_pending) return;
  const protocol::LinkState& link = m_state.link;
  if (m_lastAcceptedAt <= m_pendingSince || link.crcError || !link.sensorConnected) return;
  // A good value is on screen when the boxes show what the latest accepted
  // reply decodes to.
  const ShownPair expected = ShownFor(Bytes(link.rxBuf.begin(), link.rxBuf.begin() + protocol::kPollReplyLength));
  if (m_doBox->text().toStdString() != expected.first || m_temperatureBox->text().toStdString() != expected.second)
    return;
  m_result.longestRecoveryMs = std::max(m_result.longestRecoveryMs, static_cast<int>(Now() - m_pendingSince));
  ++m_result.faultEpisodes;
  Trace("good value after " + std::to_string(Now() - m_pendingSince) + " ms");
  m_pending = false;
}

void Soak::OnReplyAccepted(const QByteArray& reply) {
  if (!m_connected) return;
  if (m_state.link.currentAddress != m_address) Trace("polling address " + std::to_string(m_state.link.currentAddress));
  m_rxBufFrames.insert(Bytes(reply.begin(), reply.end()));
  m_lastAcceptedAt = Now();
}

void Soak::SampleShown() {
  m_sampleQueued = false;
  if (!m_connected) return;
  m_shown.insert({m_doBox->text().toStdString(), m_temperatureBox->text().toStdString()});
}

void Soak::OnStallTick() {
  const qint64 now = Now();
  if (m_lastStallTick >= 0)
    m_result.longestStallMs = std::max(m_result.longestStallMs, static_cast<int>(now - m_lastStallTick - kStallTickMs));
  m_lastStallTick = now;
}

void Soak::Finish() {
  m_result.seconds = m_connected ? (Now() - m_connectedAt) / 1000.0 : 0;
  // A fault whose good value never came counts with its age.
  if (m_pending) {
    m_result.longestRecoveryMs = std::max(m_result.longestRecoveryMs, static_cast<int>(Now() - m_pendingSince));
  }
  m_finished = true;
  m_stallTimer.stop();
  m_watch.stop();
  m_answers->Look();
  m_result.mostPortMessagesOpen = m_answers->mostPortBoxesOpen;
  Teardown();
  m_window->hide();

  std::vector<SimLog> logs;
  for (const QString& path : m_simLogs) {
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) logs.push_back(ParseSimLog(file.readAll().toStdString()));
  }
  const LogVerdict verdict = Analyse(logs, m_queuedWrites);
  m_result.pollRepliesSent = verdict.pollRepliesSent;
  m_result.checkedRepliesSent = verdict.checkedReplies;
  m_result.repliesAccepted = static_cast<int>(m_state.link.repliesAccepted - m_acceptedBefore);
  m_result.repliesRejected = static_cast<int>(m_state.link.repliesRejected - m_rejectedBefore);
  m_result.valuesShown = static_cast<int>(m_shown.size());
  m_result.valuesUnexplained = CountUnexplained(m_shown, verdict.allowedShown);
  for (const Bytes& frame : m_rxBufFrames) m_result.rxBufUnexplained += verdict.checkedFrames.count(frame) == 0;
  m_result.writesReceived = verdict.writesReceived;
  m_result.writesWrong = verdict.writesNotQueued;
  m_result.requestsBadCrc = verdict.requestsBadCrc;
  for (const QString& text : m_answers->texts) {
    ++m_result.messageBoxes;
    if (text == kSucceeded) {
      ++m_result.writesConfirmed;
    } else if (text == kWriteUnanswered) {
      ++m_result.writesFailedShown;
    } else if (Operator::IsPortMessage(text)) {
      ++m_result.portMessageBoxes;
    } else {
      m_result.otherMessages.push_back(text.toStdString());
    }
  }
}

}  // namespace

SoakResult RunSoak(const SoakConfig& config) {
  Soak soak(config);
  return soak.Run();
}

int RecoveryLimitMs(const SoakConfig& config) {
  // Reopen retry period 2000 ms, or the reset's 900 ms wait, whichever is
  // longer, then up to two polls and two display refreshes, and a second for
  // a loaded machine.
  return 2000 + 2 * config.pollMs + 2 * config.displayMs + 1000;
}

std::string Report(const SoakConfig& config, const SoakResult& r) {
  std::ostringstream out;
  out << "seed                           " << config.seed << "\n"
      << "timer periods (poll/display/write ms) " << config.pollMs << "/" << config.displayMs << "/"
      << config.writeMs << "\n"
      << "poll cycles run                " << r.cycles << " in " << r.seconds << " s" << (r.timedOut ? " (TIMED OUT)" : "")
      << "\n"
      << "simulator runs / unplugs       " << r.simRuns << " / " << r.unplugs << "\n"
      << "port loss shown, port closed   " << r.portLossShown << " of " << r.unplugs << "\n"
      << "silences / port resets         " << r.silences << " / " << r.portResets << "\n"
      << "poll replies sent              " << r.pollRepliesSent << " (intact " << r.checkedRepliesSent << ")\n"
      << "noise inside replies / bursts  " << r.repliesFaultedOnLine << " / " << r.noiseBursts << "\n"
      << "replies accepted / rejected    " << r.repliesAccepted << " / " << r.repliesRejected
      << " (incomplete, never judged: " << (r.pollRepliesSent - r.repliesAccepted - r.repliesRejected) << ")\n"
      << "check errors / unknown device  " << r.checkErrorsShown << " / " << r.unknownDeviceShown << "\n"
      << "values shown / unexplained     " << r.valuesShown << " / " << r.valuesUnexplained << "\n"
      << "rxBuf contents unexplained     " << r.rxBufUnexplained << "\n"
      << "writes queued / received / wrong / confirmed / failed shown  " << r.writesQueued << " / "
      << r.writesReceived << " / " << r.writesWrong << " / " << r.writesConfirmed << " / " << r.writesFailedShown
      << "\n"
      << "requests received broken       " << r.requestsBadCrc << "\n"
      << "fault episodes / longest fault end to good value  " << r.faultEpisodes << " / " << r.longestRecoveryMs
      << " ms\n"
      << "message boxes (port / other)   " << r.messageBoxes << " (" << r.portMessageBoxes << " / "
      << r.otherMessages.size() << ")\n"
      << "most port messages open at once  " << r.mostPortMessagesOpen << "\n"
      << "longest event-loop stall       " << r.longestStallMs << " ms\n";
  if (!r.setupError.empty()) out << "error                          " << r.setupError << "\n";
  return out.str();
}

std::vector<std::string> Failures(const SoakConfig& config, const SoakResult& r, int recoveryLimitMs) {
  std::vector<std::string> f;
  auto need = [&f](bool ok, const std::string& what) {
    if (!ok) f.push_back(what);
  };
  need(r.setupError.empty(), "set-up: " + r.setupError);
  need(r.started, "the window never found the sensor");
  need(!r.timedOut, "the run timed out");
  need(r.cycles >= config.cycles, "fewer cycles than asked for");
  need(r.valuesUnexplained == 0, "values shown that no checked reply carried");
  need(r.rxBufUnexplained == 0, "rxBuf held bytes that were no checked reply");
  need(r.writesWrong == 0, "writes reached the sensor that were never queued");
  need(r.requestsBadCrc == 0, "requests reached the sensor broken on a clean line");
  need(r.writesConfirmed + r.writesFailedShown <= r.writesQueued, "more confirmations and failures than writes");
  need(r.portLossShown == r.unplugs, "an unplug was not shown with the port closed");
  need(r.portMessageBoxes <= r.unplugs, "more port messages than unplugs");
  need(r.mostPortMessagesOpen <= 1, "port messages piled up on one another");
  need(r.otherMessages.empty(), "unexpected message boxes");
  need(r.longestRecoveryMs <= recoveryLimitMs,
       "a fault took " + std::to_string(r.longestRecoveryMs) + " ms to the next good value (limit " +
           std::to_string(recoveryLimitMs) + ")");
  need(r.longestStallMs < config.stallLimitMs, "the event loop stalled " + std::to_string(r.longestStallMs) +
                                                    " ms (limit " + std::to_string(config.stallLimitMs) + ")");
  // The run must have met every kind of fault, or it proves nothing.
  need(r.checkErrorsShown > 0, "no check error was met");
  need(r.unknownDeviceShown > 0, "no reply of another device type was met");
  need(r.silences > 0, "no silence was met");
  need(r.repliesFaultedOnLine > 0 && r.noiseBursts > 0, "no noise on the line was met");
  need(r.cycles < config.unplugMaxCycles + kQuietTailCycles || r.unplugs > 0, "no unplug happened");
  need(r.writesConfirmed > 0, "no write was confirmed");
  return f;
}

}  // namespace soak
