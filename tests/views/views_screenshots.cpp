// Pictures of the trend window, the traffic window, the window menu with the
// recording entry and a calibration wait prompt, for the manual. The tool runs
// offscreen against the simulated sensor for a little over a minute, so the
// stability verdict has a full window to judge.
//   views_screenshots <output folder> [seconds]
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "app/main_dialog.h"
#include "app/sensor_tool_app.h"
#include "dialogs/calibration_prompts.h"
#include "dialogs/dialog_support.h"
#include "gui_helpers.h"
#include "serial/port_naming.h"
#include "sim_process.h"
#include "views/traffic_window.h"
#include "views/trend_window.h"
#include "views/views_hub.h"

int main(int argc, char* argv[]) {
  static QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  if (argc < 2) {
    std::fprintf(stderr, "usage: views_screenshots <output folder> [seconds]\n");
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 75;

  SimProcess sim;
  if (!sim.Start(QDir(PortDirectory()).filePath(QStringLiteral("COM1")),
                 {"--address", "5", "--flip-bit-every", "9", "--noise-every", "13", "--seed", "4"})) {
    std::fprintf(stderr, "sensor-sim: %s\n", qPrintable(sim.Error()));
    return 1;
  }
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  views::ViewsHub* hub = window.findChild<views::ViewsHub*>();
  QTemporaryDir recordDir;
  hub->SetPathChooser([&] { return recordDir.filePath(QStringLiteral("record.csv")); });

  ui::Control<QComboBox>(&window, 1000)->setCurrentIndex(0);
  QTest::mouseClick(ui::Control<QPushButton>(&window, 1002), Qt::LeftButton);
  QTest::mouseClick(ui::Control<QPushButton>(&window, 1026), Qt::LeftButton);
  hub->RecordAction()->trigger();
  hub->ShowTrend();
  hub->ShowTraffic();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < seconds * 1000) QTest::qWait(200);

  hub->Traffic()->Refresh();
  bool ok = hub->Trend()->grab().save(out.filePath(QStringLiteral("trend_window.png")));
  ok = hub->Traffic()->grab().save(out.filePath(QStringLiteral("traffic_window.png"))) && ok;

  QMenu* menu = window.WindowMenu();
  menu->popup(window.mapToGlobal(QPoint(40, 40)));
  QTest::qWait(200);
  ok = menu->grab().save(out.filePath(QStringLiteral("window_menu_views.png"))) && ok;
  menu->hide();

  CZeroCalWaitDlg wait(state);
  wait.show();
  QTest::qWait(700);
  ok = wait.grab().save(out.filePath(QStringLiteral("calibration_wait_stability.png"))) && ok;
  std::printf("%s: %d accepted, %d rejected; stability %s\n", ok ? "saved" : "FAILED",
              static_cast<int>(state.link.repliesAccepted), static_cast<int>(state.link.repliesRejected),
              qPrintable(hub->Trend()->StabilityShown()));
  return ok ? 0 : 1;
}
