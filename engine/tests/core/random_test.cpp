#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "core/core.h"

TEST(Random, TheSameSeedRepeatsTheSameSequence) {
  auto draw = [] {
    std::vector<int> v;
    for (int i = 0; i < 50; ++i) v.push_back(RandInt(0, 1000));
    return v;
  };
  SeedRnd(37171650);
  const auto a = draw();
  SeedRnd(37171650);
  EXPECT_EQ(draw(), a);
  SeedRnd(37171651);
  EXPECT_NE(draw(), a);
}

TEST(Random, IntegersCoverBothEndsOfTheRangeAndNothingElse) {
  SeedRnd(1);
  std::set<int> seen;
  for (int i = 0; i < 2000; ++i) {
    const int r = RandInt(2, 4);
    ASSERT_GE(r, 2);
    ASSERT_LE(r, 4);
    seen.insert(r);
  }
  EXPECT_EQ(seen, (std::set<int>{2, 3, 4}));
  EXPECT_EQ(RandInt(5, 5), 5);
  const int swapped = RandInt(9, 7);
  EXPECT_TRUE(swapped >= 7 && swapped <= 9);
  // The full span holds 2^32 values: a width that overflows would divide by zero, pin the draws to
  // one end or fold them onto a few values of one sign.
  int negative = 0;
  std::set<int> distinct, topBits;  // topBits: the top three bits of each draw, eight buckets
  for (int i = 0; i < 4000; ++i) {
    const int r = RandInt(INT32_MIN, INT32_MAX);
    negative += r < 0;
    distinct.insert(r);
    topBits.insert(static_cast<int>(static_cast<uint32_t>(r) >> 29));
  }
  EXPECT_GT(negative, 1600);
  EXPECT_LT(negative, 2400);
  EXPECT_GT(distinct.size(), 3990u);
  EXPECT_EQ(topBits.size(), 8u);
  for (int i = 0; i < 1000; ++i) {
    const double d = RandReal(0.7, 1.3);
    ASSERT_GE(d, 0.7);
    ASSERT_LE(d, 1.3);
  }
}
