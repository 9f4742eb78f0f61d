// The stability monitor fed with samples at the poll period.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "protocol/stability.h"

using protocol::StabilityMonitor;
using protocol::StabilityVerdict;
using Reason = protocol::StabilityVerdict::Reason;

namespace {

constexpr std::int64_t kPoll = 2000;

// Feeds samples every 2 s from `from` to `to` (inclusive) with values from `f(t)`.
template <typename F>
void Feed(StabilityMonitor& m, std::int64_t from, std::int64_t to, F f, std::uint16_t unit = 1) {
  for (std::int64_t t = from; t <= to; t += kPoll) {
    const auto [doValue, phase] = f(t);
    m.AddSample(t, doValue, unit, phase);
  }
}

}  // namespace

TEST(Stability, SettlesOnlyAfterAFullMinuteWithinTheThresholds) {
  StabilityMonitor m;
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::NoData);
  EXPECT_STREQ(protocol::StabilityText(m.Latest()), "未稳定");

  // Readings that jitter within 0.02 mg/L and 0.04 degrees.
  auto calm = [](std::int64_t t) {
    const int k = static_cast<int>(t / kPoll) % 3;
    return std::pair<float, float>{8.00f + 0.01f * k, 30.00f + 0.02f * k};
  };
  Feed(m, 0, 30000, calm);
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::TooShort);  // half a minute is not a minute

  Feed(m, 32000, 56000, calm);
  EXPECT_TRUE(m.Latest().stable) << static_cast<int>(m.Latest().reason);
  EXPECT_STREQ(protocol::StabilityText(m.Latest()), "稳定");
  EXPECT_NEAR(m.Latest().doSpread, 0.02, 1e-5);
  EXPECT_NEAR(m.Latest().phaseSpread, 0.04, 1e-5);
  EXPECT_EQ(m.Latest().samples, 29);

  // A step of 0.2 mg/L: not stable until the step has left the window.
  Feed(m, 58000, 70000, [](std::int64_t) { return std::pair<float, float>{8.2f, 30.0f}; });
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::DoMoving);
  EXPECT_NEAR(m.Latest().doSpread, 0.2, 1e-5);
  Feed(m, 72000, 116000, [](std::int64_t) { return std::pair<float, float>{8.2f, 30.0f}; });
  EXPECT_FALSE(m.Latest().stable);  // the window still holds the calm reading taken at 56 s
  Feed(m, 118000, 122000, [](std::int64_t) { return std::pair<float, float>{8.2f, 30.0f}; });
  EXPECT_TRUE(m.Latest().stable);
  EXPECT_EQ(m.Latest().doSpread, 0.0);

  // The phase moving alone is enough to be unstable.
  Feed(m, 124000, 130000, [](std::int64_t t) { return std::pair<float, float>{8.2f, 30.0f + 0.1f * (t - 122000) / kPoll}; });
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::PhaseMoving);
}

TEST(Stability, ThresholdFollowsTheUnitAndSilenceAgesTheVerdict) {
  // 0.3 of spread: stable in % saturation (limit 0.5), not in mg/L (limit 0.05).
  auto wobble = [](std::int64_t t) {
    return std::pair<float, float>{(t / kPoll) % 2 ? 95.3f : 95.0f, 27.8f};
  };
  StabilityMonitor percent;
  Feed(percent, 0, 60000, wobble, 0);
  EXPECT_TRUE(percent.Latest().stable);
  EXPECT_EQ(percent.Latest().unit, 0);
  StabilityMonitor mg;
  Feed(mg, 0, 60000, wobble, 1);
  EXPECT_FALSE(mg.Latest().stable);
  EXPECT_EQ(mg.Latest().reason, Reason::DoMoving);

  // The unit changing inside the window.
  StabilityMonitor changed;
  Feed(changed, 0, 30000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; }, 1);
  Feed(changed, 32000, 62000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; }, 0);
  EXPECT_FALSE(changed.Latest().stable);
  EXPECT_EQ(changed.Latest().reason, Reason::UnitChanged);

  // Stable, then the replies stop: a tick past the allowed silence says so.
  StabilityMonitor m;
  Feed(m, 0, 60000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; });
  ASSERT_TRUE(m.Latest().stable);
  m.Tick(64000);
  EXPECT_TRUE(m.Latest().stable);
  m.Tick(65001);
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::Gap);
  // Replies again: the hole inside the window keeps it unstable until it
  // has moved out.
  Feed(m, 70000, 118000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; });
  EXPECT_FALSE(m.Latest().stable);
  EXPECT_EQ(m.Latest().reason, Reason::Gap);
  Feed(m, 120000, 130000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; });
  EXPECT_TRUE(m.Latest().stable);

  // A value that is not a number is never stable; Clear forgets everything.
  m.AddSample(132000, std::numeric_limits<float>::quiet_NaN(), 1, 27.8f);
  EXPECT_FALSE(m.Latest().stable);
  m.Clear();
  EXPECT_FALSE(m.HasEverBeenFed());
  EXPECT_EQ(m.Evaluate(132000).reason, Reason::NoData);

  // A shorter window and its own thresholds.
  StabilityMonitor quick(6000, {0.05, 0.5, 0.01});
  Feed(quick, 0, 6000, [](std::int64_t) { return std::pair<float, float>{8.0f, 27.8f}; });
  EXPECT_TRUE(quick.Latest().stable);
  quick.AddSample(8000, 8.0f, 1, 27.82f);
  EXPECT_FALSE(quick.Latest().stable);
  EXPECT_EQ(quick.Latest().reason, Reason::PhaseMoving);
}
