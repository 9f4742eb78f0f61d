// Helpers for checking what a button painted.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QImage>
#include <QMouseEvent>
#include <QPalette>
#include <QRect>
#include <QWidget>

#include <cstdlib>
#include <functional>

#include "controls/image_button.h"

namespace pixels {

inline QImage Grab(QWidget& w) {
  return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QRgb At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0x00FFFFFFu; }
inline QRgb Opaque(ColourRef c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)) & 0x00FFFFFFu; }
inline QRgb Plain(const QColor& c) { return c.rgb() & 0x00FFFFFFu; }

inline bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

// Bounding box of the pixels inside `area` for which `match` holds.
inline QRect BoxWhere(const QImage& image, const QRect& area,
                      const std::function<bool(QRgb)>& match) {
  QRect box;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (match(At(image, x, y))) box |= QRect(x, y, 1, 1);
  return box;
}

inline int CountWhere(const QImage& image, const QRect& area,
                      const std::function<bool(QRgb)>& match) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (match(At(image, x, y))) ++n;
  return n;
}

// Interior of a button image: everything but the one-pixel frame.
inline QRect Interior(const QImage& image) { return image.rect().adjusted(1, 1, -1, -1); }

inline void SendMouse(QWidget* w, QEvent::Type type, const QPoint& pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(w, &event);
}

inline void Move(QWidget* w, const QPoint& pos, Qt::MouseButtons buttons = Qt::NoButton) {
  SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

// Processes events until `done` holds or a generous timeout passes; the
// result says whether it held.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(5);
  }
  return true;
}

// A palette with distinct frame colours, set on a window before its buttons
// are made so they take their colours from it.
inline QPalette TestPalette() {
  QPalette pal;
  pal.setColor(QPalette::Button, QColor(212, 208, 200));
  pal.setColor(QPalette::ButtonText, QColor(0, 0, 0));
  pal.setColor(QPalette::Light, QColor(255, 255, 255));
  pal.setColor(QPalette::Dark, QColor(90, 90, 90));
  return pal;
}

}  // namespace pixels
