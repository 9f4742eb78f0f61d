#pragma once
#include <QDialog>
#include <QPoint>
#include <QTimer>

#include "protocol/app_state.h"

class QLabel;

// What the three sensor windows (configuration, signal, factory information)
// have in common: a frameless popup the operator drags by its background, a
// 900 ms refresh timer ("timer 1"), focus parked on the first static label
// whenever it lands in a value box, so no caret shows there, and leaving through "返回" or Esc, which tells the
// main window to show itself again.
class CSensorWindow : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRefreshPeriodMs = 900;

  QTimer& RefreshTimer() { return m_refreshTimer; }

  // "返回" and Esc: childDialogState = 9, then the cancel result.
  void reject() override;

 protected:
  CSensorWindow(protocol::AppState& state, QWidget* parent);

  // Call at the end of the subclass's initialisation: starts the timer.
  void StartRefreshTimer();
  // Moves the keyboard focus to the label (the first static of the template)
  // when a value box holds it or nothing does; a focused button keeps it.
  void ParkFocus(QLabel* label);
  // One tick of the refresh timer.
  virtual void Refresh() = 0;


  protocol::AppState& m_state;

 private:
  QTimer m_refreshTimer;
};
