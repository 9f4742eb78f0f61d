// bench-trend-replies: what one accepted reply costs the views with a long
// trend behind it, the trend window hidden and shown. The views are fed
// through the hub's own slots, exactly as the main window's signals feed
// them; "shown" includes the repaint the reply causes.
//   prints "RESULT hidden_ms@N=... shown_ms@N=... shown5min_ms@N=..." for
// N = 1000 and 43200 points, the shown window spanning the whole run (its
// widest plot) and its default five minutes.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

#include "app/sensor_tool_app.h"
#include "protocol/app_state.h"
#include "protocol/registers.h"
#include "views/trend_window.h"
#include "views/views_hub.h"

namespace {

std::int64_t CpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Replies with values that wander, so every column of the plot has a spread.
QByteArray Reply(int i) {
  protocol::RegisterBlock block;
  block.regs[protocol::DeviceType] = protocol::kSensorDeviceType;
  block.regs[protocol::Unit] = 1;
  block.SetFloat(protocol::DoValue, 8.0f + static_cast<float>((i * 7919) % 200) / 100.0f);
  block.SetFloat(protocol::Temperature, 20.0f + static_cast<float>((i * 104729) % 300) / 100.0f);
  const protocol::RtuFrame f = block.PollReply(1);
  return QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<int>(f.size()));
}

struct Cost {
  double hiddenMs = 0;
  double shownMs = 0;       // the whole run on screen
  double shownShortMs = 0;  // the default span, 5 minutes (150 points)
};

Cost Measure(int points) {
  protocol::AppState state;
  qint64 clock = 0;
  views::ViewsHub hub(nullptr, state, nullptr, {[&clock] { return clock; }, nullptr});
  const QByteArray replies[] = {Reply(0), Reply(1), Reply(2), Reply(3), Reply(4), Reply(5), Reply(6)};
  int n = 0;
  auto feed = [&] {
    clock = 2000LL * n;
    hub.OnReplyAccepted(replies[n % 7], clock);
    ++n;
  };
  while (n < points) feed();

  Cost cost;
  constexpr int kHidden = 5000;
  std::int64_t t0 = CpuNs();
  for (int i = 0; i < kHidden; ++i) {
    feed();
    QCoreApplication::processEvents();
  }
  cost.hiddenMs = static_cast<double>(CpuNs() - t0) / 1e6 / kHidden;

  hub.ShowTrend();
  auto* span = hub.Trend()->findChild<QComboBox*>(QStringLiteral("spanList"));
  constexpr int kShown = 300;
  for (auto [index, out] : {std::pair<int, double*>{3, &cost.shownMs}, std::pair<int, double*>{0, &cost.shownShortMs}}) {
    span->setCurrentIndex(index);
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    t0 = CpuNs();
    for (int i = 0; i < kShown; ++i) {
      feed();
      QCoreApplication::processEvents();  // the repaint of the plot
    }
    *out = static_cast<double>(CpuNs() - t0) / 1e6 / kShown;
  }
  hub.Trend()->hide();
  return cost;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  std::printf("RESULT");
  for (int points : {1000, views::TrendWindow::kMaxPoints}) {
    const Cost c = Measure(points);
    std::printf(" hidden_ms@%d=%.4f shown_ms@%d=%.4f shown5min_ms@%d=%.4f", points, c.hiddenMs, points, c.shownMs,
                points, c.shownShortMs);
  }
  std::printf("\n");
  return 0;
}
