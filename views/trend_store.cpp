#include "views/trend_store.h"

#include <algorithm>

#include "protocol/display_rules.h"

namespace views {

TrendPoint TrendPointOf(const protocol::SensorReading& reading, std::int64_t ms) {
  const protocol::OxygenCheck check = protocol::CheckOxygen(reading);
  TrendPoint p;
  p.ms = ms;
  p.oxygen = static_cast<double>(protocol::DoValueShown(reading.doValue));
  p.unit = reading.unit;
  p.temperature = static_cast<double>(protocol::CutTo2Decimals(reading.temperature));
  p.mgPerL = check.reported.mgPerL;
  p.saturation = check.reported.saturation;
  p.plausibility = check.verdict;
  return p;
}

TrendStore::TrendStore(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

void TrendStore::Add(const TrendPoint& point) {
  if (m_ring.size() < m_capacity) {
    // Still growing: nothing has wrapped, so the next slot is the end. The
    // last step reserves exactly the capacity, never more.
    if (m_ring.size() == m_ring.capacity())
      m_ring.reserve(std::min(m_capacity, std::max<std::size_t>(2 * m_ring.size(), 256)));
    m_ring.push_back(point);
  } else {
    m_ring[m_end % m_capacity] = point;
  }
  ++m_end;
  if (m_size < m_capacity) ++m_size;
}

const TrendPoint& TrendStore::AtSeq(std::uint64_t seq) const { return m_ring[seq % m_capacity]; }

std::uint64_t TrendStore::SeqAtOrAfter(std::int64_t ms) const {
  std::uint64_t lo = FirstSeq(), hi = m_end;
  while (lo < hi) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (AtSeq(mid).ms < ms)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

}  // namespace views
