// Writes the pictures of the windows used by the README and the user manual:
// the tool is driven offscreen against the simulated sensor, as an operator
// would drive it, and each window is grabbed to a PNG file.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <functional>

#include "app/main_dialog.h"
#include "app/sensor_tool_app.h"
#include "dialogs/dialog_support.h"
#include "serial/port_naming.h"

namespace {

bool WaitFor(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

bool Save(QWidget* window, const QString& path) {
  QApplication::processEvents();
  const bool ok = window->grab().save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
  QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: screenshots SENSOR_SIM OUTPUT_DIR\n");
    return 2;
  }
  const QString simPath = QString::fromLocal8Bit(argv[1]);
  const QDir out(QString::fromLocal8Bit(argv[2]));
  QDir().mkpath(out.path());

  CSensorToolApp::ApplyDialogLook(app);
  QTranslator translator;
  CSensorToolApp::LoadChineseTranslations(app, translator);

  QProcess sim;
  sim.start(simPath, {QStringLiteral("--com"), QStringLiteral("1"), QStringLiteral("--address"), QStringLiteral("1"),
                      QStringLiteral("--seed"), QStringLiteral("1")});
  // The simulator binds itself as COM1 in the port directory once it is ready.
  if (!sim.waitForStarted(5000) || !WaitFor([] { return !ResolvePortName(1).isEmpty() && QFileInfo::exists(ResolvePortName(1)); }, 10000)) {
    std::fprintf(stderr, "screenshots: the simulated sensor did not come up\n");
    return 1;
  }

  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  ui::Control<QPushButton>(&window, 1002)->click();
  ui::Control<QPushButton>(&window, 1026)->click();
  const bool connected = WaitFor(
      [&] {
        return state.link.sensorConnected && ui::Control<QLineEdit>(&window, 1016)->text() != QStringLiteral("0");
      },
      20000);
  if (!connected) {
    std::fprintf(stderr, "screenshots: no connection to the simulated sensor\n");
    return 1;
  }
  WaitFor([] { return false; }, 1500);  // one more refresh
  bool ok = Save(&window, out.filePath(QStringLiteral("main_window.png")));

  sim.terminate();
  sim.waitForFinished(3000);
  return ok ? 0 : 1;
}
