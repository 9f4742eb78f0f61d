#pragma once
// Helpers for driving real windows offscreen.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

// Answers every message box that comes up while it lives: records its text and
// presses its default (OK) button, so modal boxes never block a test.
class MessageBoxAnswerer : public QObject {
 public:
  MessageBoxAnswerer() {
    m_timer.setInterval(20);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start();
  }
  QStringList texts;

  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || box == m_last) return;
    m_last = box;
    texts << box->text();
    QAbstractButton* ok = box->button(QMessageBox::Ok);
    if (!ok && !box->buttons().isEmpty()) ok = box->buttons().first();
    if (ok) ok->click();
  }

 private:
  QTimer m_timer;
  QPointer<QMessageBox> m_last;
};

// Runs `action` once the next modal window (other than a message box the
// answerer handles) is up; the window is passed in.
inline void WhenModalShows(std::function<void(QWidget*)> action, QWidget* except = nullptr) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, action, except] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == except || qobject_cast<QMessageBox*>(modal)) return;
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}
