#include <gtest/gtest.h>

#include <regex>

#include "core/core.h"
#include "support/test_support.h"

namespace {

// Fixes "now" for the code under test.
void SetNow(const std::string& date, const std::string& time) {
  Core.LocalNow = [date, time] { return DateTimeText{date, time}; };
}

int64_t StampAt(const std::string& date, const std::string& time) {
  SetNow(date, time);
  return MakeTimestamp("");
}

}  // namespace

class DatesTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
};

TEST_F(DatesTest, TimestampsEncodeTheLocalDateAndTime) {
  EXPECT_EQ(StampAt("07 Dec 2011", "12:34:56"), 64667939696);
  EXPECT_EQ(StampAt("07 DEC 2011", "12:34:56"), 64667939696);  // the month in any letter case
  // December carries over into the next year's month 0, and still sorts before January.
  const int64_t lastSecond = StampAt("31 Dec 2011", "23:59:59");
  const int64_t firstSecond = StampAt("01 Jan 2012", "00:00:00");
  EXPECT_LT(lastSecond, firstSecond);
  EXPECT_EQ(FormatDate(lastSecond), "31-12-2011");
  EXPECT_EQ(FormatTime(lastSecond), "23:59:59");
  EXPECT_EQ(FormatDate(firstSecond), "01-01-2012");
  EXPECT_EQ(FormatDate(StampAt("31 May 2013", "09:05:03")), "31-05-2013");
  EXPECT_EQ(FormatTime(StampAt("31 May 2013", "09:05:03")), "09:05:03");
  EXPECT_EQ(FormatDate(StampAt("07 Dec 2011", "12:34:56")) + ", " + FormatTime(64667939696), "07-12-2011, 12:34:56");
}

TEST_F(DatesTest, AGivenDateTakesTheCurrentTime) {
  SetNow("07 Dec 2011", "09:05:03");
  EXPECT_EQ(FormatDate(MakeTimestamp("15 mar 1999")), "15-03-1999");
  EXPECT_EQ(FormatTime(MakeTimestamp("15 mar 1999")), "09:05:03");
}

TEST_F(DatesTest, AMonthNotInEnglishSortsBeforeTheWholeYear) {
  SetNow("07 Dez 2011", "12:00:00");
  const int64_t german = MakeTimestamp("");
  EXPECT_LT(german, StampAt("01 Jan 2011", "00:00:00"));
  // Short or odd texts read what they can and never fail.
  for (const char* odd : {"", "7", "07 Dec", "xx yyy zzzz", "-7 Dec -2011"}) {
    SetNow(odd, "1");
    EXPECT_GE(MakeTimestamp(""), 0) << odd;
  }
}

TEST_F(DatesTest, TheLocalClockGivesTheRuntimesTexts) {
  const DateTimeText now = CurrentDateTime();
  EXPECT_TRUE(std::regex_match(now.Date, std::regex("[0-3][0-9] (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{4}")))
      << now.Date;
  EXPECT_TRUE(std::regex_match(now.Time, std::regex("[0-2][0-9]:[0-5][0-9]:[0-6][0-9]"))) << now.Time;
  const int64_t today = MakeTimestamp("");
  EXPECT_GT(today, StampAt("01 Jan 2020", "00:00:00"));
}

TEST(TestBit, BadgeNIsBitNMinusOne) {
  EXPECT_EQ(TestBit(4, 3), 1);
  EXPECT_EQ(TestBit(4, 2), 0);
  EXPECT_EQ(TestBit(4, 1), 0);
  EXPECT_EQ(TestBit(5, 1), 1);
  EXPECT_EQ(TestBit(INT32_MIN, 32), 1);
  EXPECT_EQ(TestBit(-1, 0), 0);
  EXPECT_EQ(TestBit(-1, 33), 0);
}
