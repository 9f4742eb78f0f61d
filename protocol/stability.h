#pragma once
#include <cstdint>
#include <deque>

namespace protocol {

// How much the readings may move within the window and still count as stable.
// The oxygen limit depends on the unit the sensor reports in.
struct StabilityThresholds {
  double doSpreadMgL = 0.05;      // max - min of the oxygen value in mg/L
  double doSpreadPercent = 0.5;   // max - min of the oxygen value in % saturation
  double phaseSpreadDeg = 0.1;    // max - min of the phase difference in degrees
};

// The answer to "has the reading been stable over the last window?".
struct StabilityVerdict {
  bool stable = false;
  // Why not, when not stable.
  enum class Reason { Stable, NoData, TooShort, Gap, UnitChanged, DoMoving, PhaseMoving };
  Reason reason = Reason::NoData;
  int samples = 0;           // samples inside the window
  double doSpread = 0;       // max - min of the oxygen value inside the window
  double phaseSpread = 0;    // max - min of the phase difference inside the window
  std::uint16_t unit = 1;    // unit of the newest sample
};

// Watches the oxygen value and the phase difference of the accepted replies
// and tells whether both stayed within their thresholds over the last window
// (a minute by default). A verdict of stable needs readings that cover the
// whole window without a silence longer than `maxGapMs`, the newest of them
// no older than `maxGapMs`, all in the same unit. Times are milliseconds on
// any monotonic clock, the same for every call.
class StabilityMonitor {
 public:
  static constexpr std::int64_t kDefaultWindowMs = 60000;
  static constexpr std::int64_t kDefaultMaxGapMs = 5000;
  static constexpr int kMinSamples = 3;

  explicit StabilityMonitor(std::int64_t windowMs = kDefaultWindowMs, StabilityThresholds thresholds = {},
                            std::int64_t maxGapMs = kDefaultMaxGapMs);

  // One accepted reading. Samples older than the window are dropped.
  void AddSample(std::int64_t ms, float doValue, std::uint16_t unit, float phaseDiff);
  // Re-evaluates at `ms` without a new sample, so silence ages the verdict.
  void Tick(std::int64_t ms);
  void Clear();

  // The verdict at `nowMs` (not before the newest sample).
  StabilityVerdict Evaluate(std::int64_t nowMs) const;
  // The verdict as of the last AddSample or Tick.
  const StabilityVerdict& Latest() const { return m_latest; }
  bool HasEverBeenFed() const { return m_fed; }

  std::int64_t WindowMs() const { return m_windowMs; }
  const StabilityThresholds& Thresholds() const { return m_thresholds; }

 private:
  struct Sample {
    std::int64_t ms;
    double doValue;
    std::uint16_t unit;
    double phaseDiff;
  };
  void Prune(std::int64_t nowMs);

  std::int64_t m_windowMs;
  StabilityThresholds m_thresholds;
  std::int64_t m_maxGapMs;
  std::deque<Sample> m_samples;
  StabilityVerdict m_latest;
  bool m_fed = false;
};

// "稳定" or "未稳定", as every window shows the verdict.
const char* StabilityText(const StabilityVerdict& verdict);

}  // namespace protocol
