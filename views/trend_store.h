#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "protocol/oxygen_physics.h"

namespace views {

// One accepted reply as the trend shows it: when, the values as the main
// window shows them, the oxygen in both units and whether physics believes it.
struct TrendPoint {
  std::int64_t ms = 0;  // ms since 1970, UTC
  double oxygen = 0;    // in the sensor's unit
  double temperature = 0;
  double mgPerL = std::numeric_limits<double>::quiet_NaN();
  double saturation = std::numeric_limits<double>::quiet_NaN();  // %
  protocol::Plausibility plausibility = protocol::Plausibility::Plausible;
  std::uint16_t unit = 1;  // the unit of `oxygen`: 0 = % saturation, otherwise mg/L
  std::uint8_t address = 0;  // the sensor that answered: a switch shows in the points

  bool Implausible() const {
    return plausibility == protocol::Plausibility::UnitsDisagree ||
           plausibility == protocol::Plausibility::SaturationOutOfRange;
  }
};

// A decoded poll reply received at `ms`, checked by the rule the records use.
TrendPoint TrendPointOf(const protocol::SensorReading& reading, std::int64_t ms);

// The trend of this run, kept whether or not a window shows it: a ring of the
// newest `capacity` points. Adding is O(1) and never allocates once full, so a
// day-long session costs every reply the same. The ring grows to its capacity
// as points come (doubling), so a short session, or one never connected,
// does not hold a day's worth of memory. Points are numbered by
// sequence (the first point ever added is 0), so a reader can tell which
// points it has already taken and which have dropped out meanwhile.
class TrendStore {
 public:
  explicit TrendStore(std::size_t capacity);

  void Add(const TrendPoint& point);

  std::size_t Size() const { return m_size; }
  std::size_t Capacity() const { return m_capacity; }
  // Sequence of the oldest point held, and one past the newest.
  std::uint64_t FirstSeq() const { return m_end - m_size; }
  std::uint64_t EndSeq() const { return m_end; }
  // The point numbered `seq`; FirstSeq() <= seq < EndSeq().
  const TrendPoint& AtSeq(std::uint64_t seq) const;
  // The first point at or after `ms` (EndSeq() when none); points are in
  // time order, so this is a binary search.
  std::uint64_t SeqAtOrAfter(std::int64_t ms) const;

 private:
  std::size_t m_capacity;
  std::vector<TrendPoint> m_ring;  // grows up to m_capacity, then wraps
  std::size_t m_size = 0;
  std::uint64_t m_end = 0;
};

}  // namespace views
