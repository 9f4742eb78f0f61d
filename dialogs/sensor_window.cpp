#include "dialogs/sensor_window.h"

#include <QLabel>
#include <QMouseEvent>
#include <QWindow>

CSensorWindow::CSensorWindow(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_state(state) {
  m_refreshTimer.setInterval(kRefreshPeriodMs);
  connect(&m_refreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
}

void CSensorWindow::StartRefreshTimer() { m_refreshTimer.start(); }

void CSensorWindow::ParkFocus(QLabel* label) {
  // A label takes no focus from the mouse or Tab, but it can hold it: keys then
  // go to the window (Esc leaves) and no box shows a caret.
  label->setFocus(Qt::OtherFocusReason);
}

void CSensorWindow::reject() {
  m_state.childDialogState = protocol::kChildDialogEnded;
  m_refreshTimer.stop();
  QDialog::reject();
}

void CSensorWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    // No caption bar: the window is moved by dragging its background.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    return;
  }
  QDialog::mousePressEvent(event);
}

void CSensorWindow::mouseMoveEvent(QMouseEvent* event) {
  if (m_dragging && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - m_dragOffset);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CSensorWindow::mouseReleaseEvent(QMouseEvent* event) {
  m_dragging = false;
  QDialog::mouseReleaseEvent(event);
}
