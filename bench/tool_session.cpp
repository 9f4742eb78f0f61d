// The tool itself, run exactly as sensortool runs it, with an operator who
// opens COM1, connects, and opens the configuration window. Used by
// sensortool-bench for the figures taken while the tool polls.
//   --mode minute  prints "MEASURING" once the configuration window is up and
//                  "RESULT ..." when standard input ends, then closes the windows
//   --mode main    as minute, with only the main window up (no configuration window)
//   --mode reset   as above, but ends by itself once a port reset (the sensor
//                  fell silent) has finished and a reply came in after it
// Errors print "ERROR <text>" and exit with status 2.
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "app/main_dialog.h"
#include "app/sensor_tool_app.h"
#include "dialogs/dialog_support.h"
#include "loop_probe.h"
#include "serial/comm.h"

namespace {

constexpr int kConnectTimeoutMs = 30000;
constexpr int kResetTimeoutMs = 60000;

[[noreturn]] void Fail(const char* text) {
  std::printf("ERROR %s\n", text);
  std::fflush(stdout);
  std::_Exit(2);
}

class SessionDriver : public QObject {
 public:
  SessionDriver(CSensorToolApp& tool, LoopStallProbe& probe, bool resetMode, bool mainOnly)
      : m_tool(tool),
        m_probe(probe),
        m_resetMode(resetMode),
        m_mainOnly(mainOnly),
        m_input(STDIN_FILENO, QSocketNotifier::Read) {
    m_input.setEnabled(false);
    connect(&m_input, &QSocketNotifier::activated, this, [this] {
      char buffer[256];
      if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
        m_input.setEnabled(false);
        Finish();
      }
    });
  }

  void Begin() {
    m_window = m_tool.MainWindow();
    if (!m_window) Fail("no main window");
    ui::Control<QPushButton>(m_window, 1002)->click();
    if (!m_window->Comm().PortOpen()) Fail("COM1 did not open");
    ui::Control<QPushButton>(m_window, 1026)->click();

    // Watch for the connection only until it is made, so the watch costs
    // nothing in the measured time.
    auto* watch = new QTimer(this);
    QObject::connect(watch, &QTimer::timeout, this, [this, watch] {
      if (!m_window->State().link.sensorConnected) {
        if (++m_watchTicks * 50 > kConnectTimeoutMs) Fail("the sensor was not found");
        return;
      }
      watch->stop();
      watch->deleteLater();
      if (m_mainOnly) {
        std::printf("MEASURING main\n");
        std::fflush(stdout);
        m_probe.Reset();
        m_acceptedAtStart = m_window->State().link.repliesAccepted;
        m_input.setEnabled(true);
        return;
      }
      QTimer::singleShot(300, this, &SessionDriver::ConfigWindowUp);
      // Runs the configuration window modally; returns when it closes.
      ui::Control<QPushButton>(m_window, 1036)->click();
    });
    watch->start(50);
  }

 private:
  void ConfigWindowUp() {
    m_config = QApplication::activeModalWidget();
    if (!m_config || m_config == m_window || !m_config->isVisible()) Fail("the configuration window did not open");
    // What the window's own backing store takes: a raster image of its size.
    const qreal dpr = m_config->devicePixelRatioF();
    const long long backingKb =
        static_cast<long long>(m_config->width() * dpr) * static_cast<long long>(m_config->height() * dpr) * 4 / 1024;
    std::printf("MEASURING %s backing_kb=%lld\n", m_config->metaObject()->className(), backingKb);
    std::fflush(stdout);
    m_probe.Reset();
    m_acceptedAtStart = m_window->State().link.repliesAccepted;
    if (!m_resetMode) {
      m_input.setEnabled(true);
      return;
    }
    m_gaps.Start();
    auto* watch = new QTimer(this);
    QObject::connect(watch, &QTimer::timeout, this, [this, watch] {
      if (m_window->PortResetRunning()) {
        m_resetSeen = true;
        m_acceptedAfterReset = m_window->State().link.repliesAccepted;
      } else if (m_resetSeen && m_window->State().link.repliesAccepted > m_acceptedAfterReset) {
        watch->stop();
        Finish();
      } else if (++m_watchTicks * 20 > kResetTimeoutMs) {
        Fail("no port reset was seen");
      }
    });
    m_watchTicks = 0;
    watch->start(20);
  }

  void Finish() {
    const protocol::LinkState& link = m_window->State().link;
    std::printf("RESULT stall_ms=%.3f stretches=%lld receiver=%s replies=%llu refused=%llu connected=%d reset=%d",
                m_probe.LongestStallMs(), static_cast<long long>(m_probe.Stretches()),
                m_probe.LongestStallReceiver(),
                static_cast<unsigned long long>(link.repliesAccepted - m_acceptedAtStart),
                static_cast<unsigned long long>(link.repliesRejected), link.sensorConnected ? 1 : 0,
                m_resetSeen ? 1 : 0);
    if (m_resetMode) std::printf(" timer_late_ms=%.3f", m_gaps.LongestLateMs());
    std::printf("\n");
    std::fflush(stdout);
    // Leave as the operator would: close the configuration window, then the main window.
    if (m_config) QMetaObject::invokeMethod(m_config, "reject", Qt::QueuedConnection);
    QTimer::singleShot(100, m_window, &QDialog::reject);
  }

  CSensorToolApp& m_tool;
  LoopStallProbe& m_probe;
  bool m_resetMode;
  bool m_mainOnly;
  QSocketNotifier m_input;
  TimerGapProbe m_gaps;
  CMainDlg* m_window = nullptr;
  QWidget* m_config = nullptr;
  int m_watchTicks = 0;
  bool m_resetSeen = false;
  std::uint64_t m_acceptedAtStart = 0;
  std::uint64_t m_acceptedAfterReset = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const char* mode = argc == 3 && std::strcmp(argv[1], "--mode") == 0 ? argv[2] : "";
  const bool resetMode = std::strcmp(mode, "reset") == 0;
  const bool mainOnly = std::strcmp(mode, "main") == 0;
  if (!resetMode && !mainOnly && std::strcmp(mode, "minute") != 0) {
    std::fprintf(stderr, "usage: %s --mode minute|main|reset\n", argv[0]);
    return 2;
  }

  LoopStallProbe probe(app);
  CSensorToolApp tool(app);
  SessionDriver driver(tool, probe, resetMode, mainOnly);
  QTimer::singleShot(0, &driver, &SessionDriver::Begin);
  return tool.Run();
}
