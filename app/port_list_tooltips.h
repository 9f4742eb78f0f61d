#pragma once
#include <QElapsedTimer>
#include <QObject>

class QComboBox;

// The tooltips of the port list ("COMn" -> the device it opens), filled when
// the operator reaches for the list (a press, a key, a tooltip) rather than
// at start-up: listing the system's ports walks the device tree, and most
// runs never look. Filled afresh each time, so an adapter plugged in since
// shows up; links in the port directory are read first and the system is
// asked only for numbers without one.
class PortListToolTips : public QObject {
  Q_OBJECT

 public:
  // Becomes a child of `list`, whose items are COM1, COM2, ... in order.
  explicit PortListToolTips(QComboBox* list);

  // Fills the tooltips now.
  void Fill();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QComboBox* m_list;
  QElapsedTimer m_filled;  // one fill serves the burst of events of one reach
};
