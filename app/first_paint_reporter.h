#pragma once
#include <QObject>

// For the start-up benchmark: installed on a window, it waits for that
// window's first paint to finish, prints "FIRST_PAINT <steady clock ns>
// <width> <height>" on standard output and ends the program. The tool and the
// benchmark's floor dialog report through this one class, so both figures
// are taken at the same moment of their start-up.
class FirstPaintReporter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool m_seen = false;
};
