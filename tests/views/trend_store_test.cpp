// The trend's point store: a ring numbered by sequence, searched by time.
#include <gtest/gtest.h>

#include "views/trend_store.h"

namespace {

TEST(TrendStore, KeepsTheNewestPointsNumberedAndFindsThemByTime) {
  views::TrendStore store(4);
  EXPECT_EQ(store.Size(), 0u);
  EXPECT_EQ(store.SeqAtOrAfter(0), store.EndSeq());
  // Six points 1 s apart into a ring of four: the first two drop out.
  for (int i = 0; i < 6; ++i) store.Add({1000LL * i, 8.0 + i, 20.0 - i});
  EXPECT_EQ(store.Size(), 4u);
  EXPECT_EQ(store.Capacity(), 4u);
  EXPECT_EQ(store.FirstSeq(), 2u);
  EXPECT_EQ(store.EndSeq(), 6u);
  for (std::uint64_t seq = store.FirstSeq(); seq < store.EndSeq(); ++seq) {
    EXPECT_EQ(store.AtSeq(seq).ms, static_cast<std::int64_t>(1000 * seq)) << seq;
    EXPECT_EQ(store.AtSeq(seq).oxygen, 8.0 + static_cast<double>(seq)) << seq;
    EXPECT_EQ(store.AtSeq(seq).temperature, 20.0 - static_cast<double>(seq)) << seq;
  }
  struct Case {
    std::int64_t ms;
    std::uint64_t seq;
  };
  const Case cases[] = {
      {-5, 2},    {0, 2},     // before what is held: the oldest held
      {2000, 2},  {2001, 3},  // exactly on a point, and just after it
      {4500, 5},  {5000, 5},  //
      {5001, 6},  {99999, 6},  // after the newest: one past it
  };
  for (const Case& c : cases) EXPECT_EQ(store.SeqAtOrAfter(c.ms), c.seq) << c.ms;
}

}  // namespace
