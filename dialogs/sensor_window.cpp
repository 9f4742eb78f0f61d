#include "dialogs/sensor_window.h"

#include "dialogs/dialog_support.h"

#include <QLabel>
#include <QLineEdit>

CSensorWindow::CSensorWindow(protocol::AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_state(state) {
  m_refreshTimer.setInterval(kRefreshPeriodMs);
  connect(&m_refreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
  ui::MoveByBackground(this);
}

void CSensorWindow::StartRefreshTimer() { m_refreshTimer.start(); }

void CSensorWindow::ParkFocus(QLabel* label) {
  // A label takes no focus from the mouse or Tab, but it can hold it: keys then
  // go to the window (Esc leaves) and no box shows a caret. Only a caret in a
  // value box is moved: a button the operator reached with Tab keeps the focus,
  // and a screen reader hears no focus change at every refresh.
  QWidget* focused = focusWidget();
  if (focused != nullptr && focused != label && !qobject_cast<QLineEdit*>(focused)) return;
  if (focused != label) label->setFocus(Qt::OtherFocusReason);
}

void CSensorWindow::reject() {
  m_state.childDialogState = protocol::kChildDialogEnded;
  m_refreshTimer.stop();
  QDialog::reject();
}
