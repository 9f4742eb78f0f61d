// The trend's point store: a ring numbered by sequence, searched by time.
#include <gtest/gtest.h>

#include <algorithm>

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

  // A ring that grows as points come: through its growth steps, past its
  // capacity and round again, every point held is the one numbered so.
  views::TrendStore grown(1000);
  for (int i = 0; i < 2300; ++i) {
    grown.Add({1000LL * i, static_cast<double>(i), 0});
    ASSERT_EQ(grown.Size(), std::min<std::size_t>(static_cast<std::size_t>(i) + 1, 1000u)) << i;
    ASSERT_EQ(grown.AtSeq(grown.FirstSeq()).ms, 1000LL * static_cast<std::int64_t>(grown.FirstSeq())) << i;
    ASSERT_EQ(grown.AtSeq(grown.EndSeq() - 1).oxygen, static_cast<double>(i)) << i;
  }
  EXPECT_EQ(grown.Capacity(), 1000u);
  EXPECT_EQ(grown.FirstSeq(), 1300u);
  for (std::uint64_t seq = grown.FirstSeq(); seq < grown.EndSeq(); ++seq)
    ASSERT_EQ(grown.AtSeq(seq).oxygen, static_cast<double>(seq)) << seq;
  EXPECT_EQ(grown.SeqAtOrAfter(1500000), 1500u);
}

}  // namespace
