#include "protocol/stability.h"

#include "protocol/translatable_text.h"

#include <algorithm>
#include <cmath>

namespace protocol {

StabilityMonitor::StabilityMonitor(std::int64_t windowMs, StabilityThresholds thresholds, std::int64_t maxGapMs)
    : m_windowMs(std::max<std::int64_t>(1, windowMs)),
      m_thresholds(thresholds),
      m_maxGapMs(std::max<std::int64_t>(1, maxGapMs)) {}

void StabilityMonitor::AddSample(std::int64_t ms, float doValue, std::uint16_t unit, float phaseDiff) {
  // A clock that went backwards would leave the deque unordered; such a
  // sample starts the window afresh.
  if (!m_samples.empty() && ms < m_samples.back().ms) m_samples.clear();
  m_samples.push_back({ms, static_cast<double>(doValue), unit, static_cast<double>(phaseDiff)});
  m_fed = true;
  Prune(ms);
  m_latest = Evaluate(ms);
}

void StabilityMonitor::Tick(std::int64_t ms) {
  Prune(ms);
  m_latest = Evaluate(ms);
}

void StabilityMonitor::Clear() {
  m_samples.clear();
  m_latest = StabilityVerdict{};
  m_fed = false;
}

void StabilityMonitor::Prune(std::int64_t nowMs) {
  while (!m_samples.empty() && m_samples.front().ms < nowMs - m_windowMs) m_samples.pop_front();
}

StabilityVerdict StabilityMonitor::Evaluate(std::int64_t nowMs) const {
  using Reason = StabilityVerdict::Reason;
  StabilityVerdict v;
  const std::int64_t from = nowMs - m_windowMs;
  auto first = std::find_if(m_samples.begin(), m_samples.end(), [from](const Sample& s) { return s.ms >= from; });
  auto last = std::find_if(first, m_samples.end(), [nowMs](const Sample& s) { return s.ms > nowMs; });
  if (first == last) {
    v.reason = Reason::NoData;
    return v;
  }

  double doMin = first->doValue, doMax = first->doValue;
  double phMin = first->phaseDiff, phMax = first->phaseDiff;
  bool unitChanged = false;
  bool finite = true;
  std::int64_t widestGap = 0;
  const Sample* previous = nullptr;
  for (auto it = first; it != last; ++it) {
    ++v.samples;
    doMin = std::min(doMin, it->doValue);
    doMax = std::max(doMax, it->doValue);
    phMin = std::min(phMin, it->phaseDiff);
    phMax = std::max(phMax, it->phaseDiff);
    if (!std::isfinite(it->doValue) || !std::isfinite(it->phaseDiff)) finite = false;
    if (it->unit != first->unit) unitChanged = true;
    if (previous) widestGap = std::max(widestGap, it->ms - previous->ms);
    previous = &*it;
  }
  const Sample& newest = *std::prev(last);
  v.unit = newest.unit;
  v.doSpread = doMax - doMin;
  v.phaseSpread = phMax - phMin;

  if (nowMs - newest.ms > m_maxGapMs || widestGap > m_maxGapMs) {
    v.reason = Reason::Gap;
  } else if (v.samples < kMinSamples || first->ms > from + m_maxGapMs) {
    v.reason = Reason::TooShort;
  } else if (unitChanged) {
    v.reason = Reason::UnitChanged;
  } else if (!finite || v.doSpread > (newest.unit == 0 ? m_thresholds.doSpreadPercent : m_thresholds.doSpreadMgL)) {
    v.reason = Reason::DoMoving;
  } else if (v.phaseSpread > m_thresholds.phaseSpreadDeg) {
    v.reason = Reason::PhaseMoving;
  } else {
    v.reason = Reason::Stable;
    v.stable = true;
  }
  return v;
}

const char* StabilityText(const StabilityVerdict& verdict) { return verdict.stable ? SENSOR_TEXT("SensorTexts", "稳定") : SENSOR_TEXT("SensorTexts", "未稳定"); }

}  // namespace protocol
