#include <gtest/gtest.h>

#include <random>

#include "core/core.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

// The record line of a Medium game scored 1200 by "Player" with badges 1 and 3 on 7 December 2011
// at 12:34:56.
const std::string RecordText = "1200|Player|5|64667939696|0|1|0|0" + std::string(ListSeparator) +
                               "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

bool IsUpperHex(const std::string& s) {
  return s.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

}  // namespace

class ScrambleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    BuildDefaultKey();
  }
};

// Known answers worked out by hand from the format's rules, independently of this code, with keys
// given (each game's default key and code are checked by that game's own tests).
TEST_F(ScrambleTest, KnownAnswers) {
  EXPECT_EQ(Scramble("A", "K"), "413030303139357B7B7A7D737C");
  EXPECT_EQ(Scramble("Hello, World", "ab"), "37333B6C2F23546C716F674B666F6F333332525151565254");
}

TEST_F(ScrambleTest, RoundTripsAnyEightBitTextWithAnyKey) {
  std::mt19937 rng(900);
  auto text = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
      const int pick = static_cast<int>(rng() % 10);
      if (pick == 0) s += '|';
      else if (pick == 1) s += ListSeparator;
      else s.push_back(static_cast<char>(rng() % 256));
    }
    return s;
  };
  for (int round = 0; round < 2000; ++round) {
    // Mostly record-sized texts, now and then one long enough for the checksum to wrap many times.
    const std::string plain = text(round % 100 == 0 ? 5000 : 1 + rng() % 120);
    // Key lengths 0 (the default key), 1 and longer, with any byte including 0.
    const std::string key = round % 3 == 0 ? std::string() : text(1 + rng() % 20);
    const std::string scrambled = Scramble(plain, key);
    ASSERT_EQ(scrambled.size(), 2 * (plain.size() + 12));
    ASSERT_TRUE(IsUpperHex(scrambled)) << scrambled;
    ASSERT_EQ(Unscramble(scrambled, key), plain) << "round " << round;
  }
}

TEST_F(ScrambleTest, TextsTooShortToScrambleOrUnscramble) {
  EXPECT_EQ(Scramble("", ""), "");
  EXPECT_EQ(Scramble("", "K"), "");
  // 13 digits or fewer decode to six characters or fewer: no room for a checksum and a text.
  for (const char* text : {"", "4", "41", "413030303139", "4130303031393", "41303030313935",
                           "413030303139357B7B7A7D", "413030303139357B7B7A7D737"})
    EXPECT_EQ(Unscramble(text, "K"), "XXX") << text;
  // A text of n characters needs 2 x (n + 12) digits; a trailing odd digit is ignored.
  EXPECT_EQ(Unscramble("413030303139357B7B7A7D737C", "K"), "A");
  EXPECT_EQ(Unscramble("413030303139357B7B7A7D737C0", "K"), "A");
}

TEST_F(ScrambleTest, ADamagedLineUnscramblesToXXXNeverToAnotherText) {
  const std::string line = Scramble(RecordText, "");
  int unchanged = 0;
  for (size_t p = 0; p < line.size(); ++p) {
    for (char digit : std::string("0123456789ABCDEF")) {
      if (digit == line[p]) continue;
      std::string damaged = line;
      damaged[p] = digit;
      const std::string back = Unscramble(damaged, "");
      // A change can leave both checksums intact only where the digits read the same number.
      if (back != "XXX") {
        EXPECT_EQ(back, RecordText) << "digit " << p << " -> " << digit;
        ++unchanged;
      }
    }
  }
  EXPECT_LE(unchanged, 3);
}

TEST_F(ScrambleTest, LowerCaseDigitsAndAWrongKeyFail) {
  std::string lower = Scramble(RecordText, "");
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(Unscramble(lower, ""), "XXX");
  EXPECT_EQ(Unscramble(Scramble(RecordText, ""), ThisIdentity().GameCode), "XXX");
  EXPECT_EQ(Unscramble(Scramble(RecordText, ThisIdentity().GameCode), ""), "XXX");
}

TEST_F(ScrambleTest, EachPositionTakesTheKeyCharacterAfterIt) {
  // Position i uses key character (i mod m) + 1, so a key repeated end to end acts as the key itself
  // and a one-character key XORs every position with that character.
  EXPECT_EQ(Scramble(RecordText, "K"), Scramble(RecordText, "KKK"));
  EXPECT_EQ(Scramble(RecordText, "ab"), Scramble(RecordText, "abab"));
  EXPECT_NE(Scramble(RecordText, "ab"), Scramble(RecordText, "ba"));
  // The default key is used when none is given, even before start-up has built it.
  const std::string withDefault = Scramble(RecordText, ScoreLists.DefaultKey);
  ResetScoresState();
  EXPECT_EQ(Scramble(RecordText, ""), withDefault);
}

TEST(HexToInt, UpperCaseDigitsOnly) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {{"FF", 255}, {"0A", 10}, {"1F", 31}, {"ff", 0}, {"fF", 15}, {"G1", 1},
               {"-1", 1},   {"", 0},    {"7FFFFFFF", 2147483647}, {"FFFFFFFF", -1}, {"100000000", 0}};
  for (const Case& c : cases) EXPECT_EQ(HexToInt(c.text), c.value) << c.text;
}
