#include <gtest/gtest.h>

#include <limits>

#include "core/core.h"
#include "test_game/test_game.h"

TEST(TextToInt, ReadsTheRuntimesWay) {
  struct Case {
    const char* text;
    int64_t value;
  } cases[] = {
      {"800", 800},      {"  42", 42},      {"-1024", -1024},  {"+7", 7},      {"$1F", 31},
      {"$ff", 255},      {"%101", 5},       {"%102", 2},       {"12abc", 12},  {"abc", 0},
      {"", 0},           {"-+-", 0},        {"- 5", 0},        {"-$10", -16},  {"3.9", 3},
      {"\t 9", 9},       {"99999999999999999999999", std::numeric_limits<int64_t>::max()},
      {"-99999999999999999999999", std::numeric_limits<int64_t>::min()},
  };
  for (const Case& c : cases) EXPECT_EQ(TextToLong(c.text), c.value) << '"' << c.text << '"';
}

TEST(TextToInt, SaturatesAtThirtyTwoBits) {
  EXPECT_EQ(TextToInt("-99999999999"), std::numeric_limits<int>::min());
  EXPECT_EQ(TextToInt("99999999999"), std::numeric_limits<int>::max());
  EXPECT_EQ(AbsInt(TextToInt("-99999999999")), std::numeric_limits<int>::max());
  EXPECT_EQ(AbsInt(-1024), 1024);
}

TEST(TruncToInt, TruncatesTowardZeroAndSaturates) {
  EXPECT_EQ(TruncToInt(2.9), 2);
  EXPECT_EQ(TruncToInt(-2.9), -2);
  EXPECT_EQ(TruncToInt(1e30), std::numeric_limits<int>::max());
  EXPECT_EQ(TruncToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(ZeroPad, KeepsTheLastDigits) {
  EXPECT_EQ(ZeroPad(7, 3), "007");
  EXPECT_EQ(ZeroPad(900, 3), "900");
  EXPECT_EQ(ZeroPad(1234, 3), "234");
  EXPECT_EQ(GameFolder(TestGameIdentity), "900/");
  const GameIdentity early{.WeekNumber = 7};
  EXPECT_EQ(GameFolder(early), "007/");
  EXPECT_EQ(WindowTitle(TestGameIdentity), "#900 : Tessel Probe");
}

TEST(Field, SplitsTrimmedText) {
  EXPECT_EQ(Field("a|b", "|", 1), "a");
  EXPECT_EQ(Field("a|b", "|", 2), "b");
  EXPECT_EQ(Field("a|b", "|", 3), "-+-");
  EXPECT_EQ(Field("ab", "|", 2), "-+-");
  EXPECT_EQ(Field("  ab  ", "|", 1), "ab");
  EXPECT_EQ(Field("a||c", "|", 2), "");
  EXPECT_EQ(Field("a||c", "|", 3), "c");
  EXPECT_EQ(Field("12,5", ",", 2), "5");
  EXPECT_EQ(Field("a|", "|", 2), "");
}

TEST(Field, SkipsASeparatorOfSeveralCharactersWhole) {
  const std::string sep = "]{=*\xA7?K31mY8^";
  const std::string line = "1200|Player|5" + sep + "7|0|0";
  EXPECT_EQ(Field(line, sep, 1), "1200|Player|5");
  EXPECT_EQ(Field(line, sep, 2), "7|0|0");
  EXPECT_EQ(Field(line, sep, 3), "-+-");
}

TEST(Text, CaseTrimAndEightBitConversions) {
  EXPECT_EQ(Upper("Gfx Engine"), "GFX ENGINE");
  EXPECT_EQ(Trim(" \t x y \r"), "x y");
  EXPECT_TRUE(StartsWithNoCase("OpenAL Default", "OPENAL"));
  EXPECT_FALSE(StartsWithNoCase("Open", "OPENAL"));
  EXPECT_EQ(Latin1FromUtf8("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(Latin1FromUtf8("\xE2\x82\xAC" "a"), "a");  // the euro sign is above 255: left out
  EXPECT_EQ(Latin1FromUtf8("\xC3"), "");               // cut short
  EXPECT_EQ(Latin1FromUtf8("\x80x"), "x");             // a stray continuation byte
  EXPECT_EQ(Utf8FromLatin1("\xA7"), "\xC2\xA7");
}
