// The floor of the start-up and memory figures: the least a Qt Widgets
// program does to show one empty dialog of the main window's size.
//   bench-floor-dialog --size WxH --first-paint   prints "FIRST_PAINT <ns> <w> <h>" and ends
//   bench-floor-dialog --size WxH                 stays up until its standard input ends
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstdio>
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
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--first-paint") == 0) {
      firstPaint = true;
    } else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "bad --size %s\n", argv[i]);
        return 2;
      }
    } else {
      std::fprintf(stderr, "usage: %s [--size WxH] [--first-paint]\n", argv[0]);
      return 2;
    }
  }

  QDialog dialog;
  dialog.resize(width, height);
  if (firstPaint) dialog.installEventFilter(new FirstPaintReporter(&dialog));

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  input.setEnabled(!firstPaint);

  dialog.show();
  return app.exec();
}
