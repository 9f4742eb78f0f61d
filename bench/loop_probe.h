#pragma once
// How long the event loop goes without coming back to wait for input.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>

class QCoreApplication;

// A busy stretch starts with the first event delivered after the loop last
// blocked and ends when the loop is about to block again (in whichever loop is
// running, so the time a modal window waits in its own loop is not counted).
// The longest stretch is the longest time a click would have waited. Costs two
// clock reads per stretch, so it can run while CPU time is measured.
class LoopStallProbe : public QObject {
 public:
  explicit LoopStallProbe(QCoreApplication& app);

  // Forgets what was seen so far (a stretch under way is still counted).
  void Reset();
  double LongestStallMs() const { return m_longestNs / 1e6; }
  std::int64_t Stretches() const { return m_stretches; }
  // Class of the object that received the first event of the longest stretch.
  const char* LongestStallReceiver() const { return m_longestReceiver; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnAboutToBlock();

  QElapsedTimer m_clock;
  bool m_busy = false;
  std::int64_t m_startNs = 0;
  const char* m_receiver = "";
  std::int64_t m_longestNs = 0;
  const char* m_longestReceiver = "";
  std::int64_t m_stretches = 0;
};

// A 5 ms timer that records the largest delay of its ticks: the view of a
// timer waiting for the loop. Only for runs whose CPU time is not measured.
class TimerGapProbe : public QObject {
 public:
  explicit TimerGapProbe(QObject* parent = nullptr);
  void Start();
  // Longest gap between ticks beyond the 5 ms period.
  double LongestLateMs() const { return m_longestNs / 1e6; }

 private:
  QTimer m_timer;
  QElapsedTimer m_clock;
  std::int64_t m_lastNs = -1;
  std::int64_t m_longestNs = 0;
};
