#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/core.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

std::shared_ptr<Scores> Record(int64_t timestamp, int64_t score = 0) {
  auto r = std::make_shared<Scores>();
  r->Timestamp = timestamp;
  r->Score = score;
  return r;
}

}  // namespace

TEST(ScoreOrder, CompareIsTheTimeDifferenceInThirtyTwoBits) {
  Scores a, b;
  a.Timestamp = 100;
  b.Timestamp = 250;
  EXPECT_EQ(a.Compare(&b), 150);
  EXPECT_EQ(b.Compare(&a), -150);
  EXPECT_EQ(a.Compare(nullptr), 1);
  b.Timestamp = 100 + (int64_t{1} << 32) + 7;  // only the low 32 bits of the difference remain
  EXPECT_EQ(a.Compare(&b), 7);
  b.Timestamp = INT64_MIN;  // no overflow at the ends of the range
  a.Timestamp = INT64_MAX;
  EXPECT_EQ(a.Compare(&b), 1);
}

TEST(ScoreOrder, SortsNewestFirstKeepingTheOrderOfEqualTimes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::shared_ptr<Scores>> list;
    const int n = static_cast<int>(rng() % 40);
    for (int i = 0; i < n; ++i) list.push_back(Record(64667939696 + rng() % 6, i));  // many equal times
    std::vector<std::shared_ptr<Scores>> expected = list;
    std::stable_sort(expected.begin(), expected.end(),
                     [](const auto& x, const auto& y) { return x->Timestamp > y->Timestamp; });
    SortScores(list);
    ASSERT_EQ(list, expected) << "round " << round;
  }
}

TEST(ScoreOrder, ATimeOrderThatThirtyTwoBitsCannotHoldStillKeepsEveryRecord) {
  // Differences above 2^31 seconds compare the wrong way round, so no order is consistent; the sort
  // must still end with the same records, each once.
  std::mt19937_64 rng(11);
  std::vector<std::shared_ptr<Scores>> list;
  for (int i = 0; i < 1000; ++i) list.push_back(Record(static_cast<int64_t>(rng()), i));
  list.insert(list.begin() + 500, nullptr);
  std::vector<std::shared_ptr<Scores>> before = list;
  SortScores(list);
  EXPECT_EQ(list.front(), nullptr);  // a missing record goes first, as Compare places it
  auto byAddress = std::less<std::shared_ptr<Scores>>();
  std::sort(before.begin(), before.end(), byAddress);
  std::sort(list.begin(), list.end(), byAddress);
  EXPECT_EQ(list, before);
}

TEST(ScoreLine, MainFieldsThenTheSeparatorThenThirtyPerLevelValues) {
  Scores r;
  r.Score = 1200;
  r.Name = "Player";
  r.Badges = 5;
  r.Timestamp = 64667939696;
  r.GameMode = 1;
  r.Best[0] = 99;  // never written
  r.Best[1] = 4;
  r.Best[30] = -2;
  const std::string line = ScoreLine(r);
  EXPECT_EQ(line, "1200|Player|5|64667939696|0|1|0|0]{=*\xA7?K31mY8^4|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|-2");
  EXPECT_EQ(ListSeparator.size(), 13u);
  r.Score = -5;
  r.Quit = 1;
  EXPECT_EQ(ScoreLine(r, "|X|").substr(0, 38), "-5|Player|5|64667939696|0|1|0|1|X|4|0|");
}

TEST(ScoreLine, NamesNeverSplitTheRecord) {
  struct Case {
    std::string typed, stored;
  } cases[] = {
      {"Player", "Player"},
      {"a|b||c", "abc"},
      {"  Jos\xE9 ", "Jos\xE9"},
      {"x" + std::string(ListSeparator) + "y", "xy"},
      {"]{=*" + std::string(ListSeparator) + "\xA7?K31mY8^", ""},  // the removal closes up a second one
      {"|", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StorableName(c.typed), c.stored) << c.typed;
    Scores r;
    r.Name = c.typed;
    EXPECT_EQ(Field(Field(ScoreLine(r), ListSeparator, 1), "|", 2), c.stored) << c.typed;
    EXPECT_EQ(Field(Field(ScoreLine(r), ListSeparator, 1), "|", 9), "-+-") << c.typed;
  }
  EXPECT_TRUE(IsNameChar('a'));
  EXPECT_TRUE(IsNameChar(' '));
  EXPECT_TRUE(IsNameChar(0xE9));
  EXPECT_FALSE(IsNameChar('|'));
  EXPECT_FALSE(IsNameChar('\t'));
  EXPECT_FALSE(IsNameChar(13));
  EXPECT_FALSE(IsNameChar(0x20AC));  // the euro sign has no 8-bit code
}

class FinishedGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    Core.LocalNow = [this] { return DateTimeText{date, time}; };
  }
  std::string date = "07 Dec 2011", time = "12:34:56";
};

TEST_F(FinishedGameTest, TheRecordTakesTheGameAndTheCurrentState) {
  Core.Difficulty = 2;
  Core.GameBadges = 5;
  ScoreLists.PlayerName = " Ann|a ";
  std::array<int32_t, 31> best{};
  best[0] = 77;
  best[1] = 3;
  best[30] = 9;
  const auto r = StoreFinishedGame(1200, best, 1);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Score, 1200);
  EXPECT_EQ(r->Timestamp, 64667939696);
  EXPECT_EQ(r->Badges, 5);
  EXPECT_EQ(r->Name, "Anna");
  EXPECT_EQ(r->Best[0], 0);
  EXPECT_EQ(r->Best[1], 3);
  EXPECT_EQ(r->Best[30], 9);
  EXPECT_EQ(r->Level, 0);
  EXPECT_EQ(r->GameMode, 2);
  EXPECT_EQ(r->GameFlags, 0);
  EXPECT_EQ(r->Quit, 1);
  EXPECT_EQ(ScoreLists.LastRecord, r);
  EXPECT_EQ(ScoreLists.LocalScores, std::vector<std::shared_ptr<Scores>>{r});
  EXPECT_EQ(ScoreLists.PlayerName, " Ann|a ");  // the name being edited stays as typed
}

TEST_F(FinishedGameTest, GamesEndingInTheSameSecondKeepTheOrderTheyWereAdded) {
  const auto older = StoreFinishedGame(10, {}, 0);
  time = "12:35:00";
  const auto first = StoreFinishedGame(20, {}, 0);
  const auto second = StoreFinishedGame(30, {}, 0);
  EXPECT_EQ(ScoreLists.LocalScores, (std::vector<std::shared_ptr<Scores>>{first, second, older}));
}
