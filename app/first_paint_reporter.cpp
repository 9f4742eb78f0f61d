#include "app/first_paint_reporter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

bool FirstPaintReporter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && !m_seen) {
    m_seen = true;
    const QSize size = static_cast<QWidget*>(watched)->size();
    // Queued, so the whole window (children included) has been painted.
    QTimer::singleShot(0, this, [size] {
      const auto ns =
          std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
      std::printf("FIRST_PAINT %lld %d %d\n", static_cast<long long>(ns.count()), size.width(), size.height());
      std::fflush(stdout);
      QCoreApplication::quit();
    });
  }
  return false;
}
