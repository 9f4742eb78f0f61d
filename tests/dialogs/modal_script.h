#pragma once
// Drives modal windows from tests: each step waits until the top modal window
// satisfies its condition, then acts on it (clicks, types, reads its text).
// Message boxes met on the way are recorded. A step that never comes true
// within the time limit makes the script close every modal window, so a
// faulty window cannot hang the test run.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "dialogs/dialog_support.h"

class ModalScript {
 public:
  using Condition = std::function<bool(QWidget*)>;
  using Action = std::function<void(QWidget*)>;

  explicit ModalScript(int limitMs = 10000) : m_limitMs(limitMs) {
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
  }

  // Waits for a modal window of type T (other than `except`) and acts on it.
  template <typename T>
  ModalScript& On(Action action, QWidget* except = nullptr) {
    m_steps.push_back({[except](QWidget* w) { return w != except && qobject_cast<T*>(w); },
                       std::move(action)});
    return *this;
  }

  // Waits for a message box, records its text and presses its OK button.
  ModalScript& AcknowledgeMessage() {
    return On<QMessageBox>([this](QWidget* w) {
      auto* box = static_cast<QMessageBox*>(w);
      m_messages << box->text();
      m_captions << box->windowTitle();
      box->button(QMessageBox::Ok)->click();
    });
  }

  void Start() {
    m_elapsed.start();
    m_timer.start();
  }
  bool Finished() const { return m_next >= m_steps.size(); }
  bool TimedOut() const { return m_timedOut; }
  const QStringList& Messages() const { return m_messages; }
  const QStringList& Captions() const { return m_captions; }

 private:
  struct Step {
    Condition condition;
    Action action;
  };

  void Tick() {
    if (Finished()) {
      m_timer.stop();
      return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal->isVisible() && m_steps[m_next].condition(modal)) {
      // Acted on from a fresh event: an action that opens a modal window runs
      // a nested loop, and a timer does not fire again inside its own handler.
      const Action action = m_steps[m_next++].action;
      QPointer<QWidget> target(modal);
      QTimer::singleShot(0, modal, [action, target] {
        if (target) action(target);
      });
      return;
    }
    if (m_elapsed.elapsed() > m_limitMs) {
      m_timedOut = true;
      m_timer.stop();
      while (QWidget* w = QApplication::activeModalWidget()) {
        if (auto* d = qobject_cast<QDialog*>(w)) d->done(QDialog::Rejected);
        else w->close();
        QApplication::processEvents();
      }
      // A window run with exec() while already visible is not registered as
      // modal; end it too.
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->done(QDialog::Rejected);
      }
    }
  }

  std::vector<Step> m_steps;
  std::size_t m_next = 0;
  QTimer m_timer;
  QElapsedTimer m_elapsed;
  int m_limitMs;
  bool m_timedOut = false;
  QStringList m_messages;
  QStringList m_captions;
};

// Clicks a button by its control id inside a window; false when there is no
// such button or it cannot be clicked.
inline bool ClickControl(QWidget* window, int id) {
  auto* button = qobject_cast<QAbstractButton*>(ui::FindControl(window, id));
  if (!button || !button->isVisible() || !button->isEnabled()) return false;
  QTest::mouseClick(button, Qt::LeftButton);
  return true;
}
