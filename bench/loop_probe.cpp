#include "loop_probe.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>

namespace {
constexpr int kGapPeriodMs = 5;
}

LoopStallProbe::LoopStallProbe(QCoreApplication& app) : QObject(&app) {
  m_clock.start();
  app.installEventFilter(this);
  connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock, this,
          &LoopStallProbe::OnAboutToBlock, Qt::DirectConnection);
}

void LoopStallProbe::Reset() {
  m_longestNs = 0;
  m_longestReceiver = "";
  m_stretches = 0;
}

bool LoopStallProbe::eventFilter(QObject* watched, QEvent*) {
  if (!m_busy) {
    m_busy = true;
    m_startNs = m_clock.nsecsElapsed();
    m_receiver = watched->metaObject()->className();
  }
  return false;
}

void LoopStallProbe::OnAboutToBlock() {
  if (!m_busy) return;
  m_busy = false;
  ++m_stretches;
  const std::int64_t length = m_clock.nsecsElapsed() - m_startNs;
  if (length > m_longestNs) {
    m_longestNs = length;
    m_longestReceiver = m_receiver;
  }
}

TimerGapProbe::TimerGapProbe(QObject* parent) : QObject(parent) {
  m_timer.setTimerType(Qt::PreciseTimer);
  m_timer.setInterval(kGapPeriodMs);
  connect(&m_timer, &QTimer::timeout, this, [this] {
    const std::int64_t now = m_clock.nsecsElapsed();
    if (m_lastNs >= 0) m_longestNs = std::max<std::int64_t>(m_longestNs, now - m_lastNs - kGapPeriodMs * std::int64_t{1000000});
    m_lastNs = now;
  });
}

void TimerGapProbe::Start() {
  m_clock.start();
  m_lastNs = -1;
  m_longestNs = 0;
  m_timer.start();
}
