// The floor of the start-up and memory figures: the least a Qt Widgets
// program does to show one empty dialog of the main window's size.
//   bench-floor-dialog --size WxH --first-paint   prints "FIRST_PAINT <ns> <w> <h>" and ends
//   bench-floor-dialog --size WxH                 stays up until its standard input ends
//   bench-floor-dialog --size WxH --tick-ms N     the same with an idle timer of period N
//                                                 (what a timer of that period costs alone)
//   bench-floor-dialog ... --label TEXT           the dialog shows TEXT in one label (what the
//                                                 first text, fonts included, costs alone)
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

class FirstPaintReporter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_seen) {
      m_seen = true;
      const QSize size = static_cast<QWidget*>(watched)->size();
      QTimer::singleShot(0, this, [size] {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        std::printf("FIRST_PAINT %lld %d %d\n", static_cast<long long>(ns.count()), size.width(),
                    size.height());
        std::fflush(stdout);
        QCoreApplication::quit();
      });
    }
    return false;
  }

 private:
  bool m_seen = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  int width = 640;
  int height = 480;
  bool firstPaint = false;
  int tickMs = 0;
  QString label;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--first-paint") == 0) {
      firstPaint = true;
    } else if (std::strcmp(argv[i], "--label") == 0 && i + 1 < argc) {
      label = QString::fromUtf8(argv[++i]);
    } else if (std::strcmp(argv[i], "--tick-ms") == 0 && i + 1 < argc) {
      tickMs = std::atoi(argv[++i]);
      if (tickMs <= 0) {
        std::fprintf(stderr, "bad --tick-ms %s\n", argv[i]);
        return 2;
      }
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "bad --size %s\n", argv[i]);
        return 2;
      }
    } else {
      std::fprintf(stderr, "usage: %s [--size WxH] [--first-paint] [--tick-ms N] [--label TEXT]\n", argv[0]);
      return 2;
    }
  }

  QDialog dialog;
  dialog.resize(width, height);
  if (!label.isEmpty()) (new QLabel(label, &dialog))->move(10, 10);
  if (firstPaint) dialog.installEventFilter(new FirstPaintReporter(&dialog));

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  input.setEnabled(!firstPaint);

  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &dialog, [] {});
  if (tickMs > 0) tick.start(tickMs);

  dialog.show();
  return app.exec();
}
