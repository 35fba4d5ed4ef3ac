#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "core/core.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

std::shared_ptr<Scores> Record(int64_t score, const std::string& name, int64_t timestamp, int32_t mode = 1) {
  auto r = std::make_shared<Scores>();
  r->Score = score;
  r->Name = name;
  r->Timestamp = timestamp;
  r->GameMode = mode;
  return r;
}

void ExpectSameRecords(const std::vector<std::shared_ptr<Scores>>& got,
                       const std::vector<std::shared_ptr<Scores>>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const Scores &a = *got[i], &b = *want[i];
    EXPECT_EQ(a.Score, b.Score) << i;
    EXPECT_EQ(a.Timestamp, b.Timestamp) << i;
    EXPECT_EQ(a.Badges, b.Badges) << i;
    EXPECT_EQ(a.Name, b.Name) << i;
    EXPECT_EQ(a.Best, b.Best) << i;
    EXPECT_EQ(a.Level, b.Level) << i;
    EXPECT_EQ(a.GameMode, b.GameMode) << i;
    EXPECT_EQ(a.GameFlags, b.GameFlags) << i;
    EXPECT_EQ(a.Quit, b.Quit) << i;
  }
}

}  // namespace

// Each test runs in a fresh folder that holds the score file, as the game's folder does.
class ScoreFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    ChangeDir(dir.path());
    BuildDefaultKey();
    Core.LocalNow = [] { return DateTimeText{"07 Dec 2011", "12:34:56"}; };
    ASSERT_TRUE(OpenDebugLog(dir.file("Debug.txt")));
  }
  void TearDown() override { CloseDebugLog(); }

  // A score file as this program writes it, from record texts.
  void WriteScoreFile(const std::string& credentials, const std::vector<std::string>& recordTexts) {
    std::vector<std::string> lines{Scramble(credentials, ThisIdentity().GameCode)};
    for (const std::string& text : recordTexts) lines.push_back(Scramble(text, ""));
    ASSERT_TRUE(WriteTextFileAtomic(path(), lines));
  }
  std::string path() const { return dir.file(ScoreFileName); }
  // Loads as a new run would.
  void Reload() {
    ResetScoresState();
    LoadScores();
  }
  std::vector<std::string> Log() {
    CloseDebugLog();
    return ReadLines(dir.file("Debug.txt"));
  }

  TempDir dir;
};

TEST_F(ScoreFileTest, AListSavedLoadsBackIdentical) {
  LoadScores();  // no file yet: nothing read, saving allowed
  EXPECT_EQ(ScoreLists.PlayerName, "Player");
  auto& list = ScoreLists.LocalScores;
  list.push_back(Record(1200, "Player", 64667939696));
  list.push_back(Record(-5, "Jos\xE9 M\xFCller", 64667939000, 0));
  list.push_back(Record(INT64_MAX, "", 64667939696));  // same second as the first: stays after it
  list.push_back(Record(INT64_MIN, "x\x01y", 64667939999, 2));
  list.back()->Badges = 1 << 30;
  list.back()->Quit = 1;
  list.back()->Level = 3;
  list.back()->GameFlags = 12;
  for (int i = 1; i <= 30; ++i) list.back()->Best[i] = i * 1000003;
  list.push_back(Record(999, "Online", 64667939997, ~1));  // from an online table: never written
  ScoreLists.OnlineUser = "ann";
  ScoreLists.OnlinePassword = "s3cr\xE9t";
  ASSERT_TRUE(SaveScores());

  const auto lines = ReadLines(path());
  ASSERT_EQ(lines.size(), 5u);
  for (const std::string& line : lines) EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(ReadFile(path()).substr(lines[0].size(), 2), "\r\n");

  std::vector<std::shared_ptr<Scores>> saved;
  for (const auto& r : list)
    if (r->GameMode >= 0) saved.push_back(r);
  Reload();
  ExpectSameRecords(ScoreLists.LocalScores, saved);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Name, "x\x01y");  // newest first
  EXPECT_EQ(ScoreLists.PlayerName, "x\x01y");
  EXPECT_EQ(ScoreLists.OnlineUser, "ann");
  EXPECT_EQ(ScoreLists.OnlinePassword, "s3cr\xE9t");

  // And the file written again from what was read is the same file.
  const std::string bytes = ReadFile(path());
  ASSERT_TRUE(SaveScores());
  EXPECT_EQ(ReadFile(path()), bytes);
}

TEST_F(ScoreFileTest, AShuffledFileLoadsNewestFirstWithTheNameOfItsFirstRecordLine) {
  const std::string tail = std::string(ListSeparator) + "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";
  WriteScoreFile("|", {"3|Carl|0|300|0|1|0|0" + tail, "5|Eve|0|500|0|1|0|0" + tail, "1|Ann|0|100|0|1|0|0" + tail,
                       "4|Dan|0|300|0|1|0|0" + tail, "2|Bob|0|200|0|1|0|0" + tail});
  LoadScores();
  std::string names;
  for (const auto& r : ScoreLists.LocalScores) names += r->Name + " ";
  EXPECT_EQ(names, "Eve Carl Dan Bob Ann ");  // equal times (Carl, Dan) keep the file's order
  EXPECT_EQ(ScoreLists.PlayerName, "Carl");     // the first record line, not the newest or the last
  EXPECT_EQ(ScoreLists.OnlineUser, "");
  EXPECT_EQ(ScoreLists.OnlinePassword, "");
}

// A run killed in the middle of a save leaves at most its half-written temporary copy; the next run
// reads the whole file beside it and removes the copy (of this version's writes and older ones').
TEST_F(ScoreFileTest, AHalfWrittenCopyFromAKilledRunIsIgnoredAndRemoved) {
  const std::string tail = std::string(ListSeparator) + "0";
  WriteScoreFile("|", {"7|Kept|0|300|0|1|0|0" + tail});
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);  // the killed run's process id is gone
  WriteFile(path() + ".tmp", "3F2A\r\n00");
  WriteFile(path() + ".tmp." + std::to_string(child) + ".00ff00ff00ff00ff", "3F2A\r\n00");
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Name, "Kept");
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"Debug.txt", ScoreFileName}));
}

// Lines that cannot be read are gone from the next save, so the file as it was is kept beside it
// first: once per damaged load, replacing an older copy, as private as the score file.
TEST_F(ScoreFileTest, ADamagedFileIsKeptAsItWasBeforeItIsRewritten) {
  WriteScoreFile("ann|pw", {"7|Ann|0|100|0|1|0|0", "8|Bob|0|200|0|1|0|0"});
  std::string bytes = ReadFile(path());
  bytes[bytes.find('\n') + 5] ^= 1;  // the first record line fails its checksum
  WriteFile(path(), bytes);
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.OnlineUser, "ann");
  EXPECT_EQ(ReadFile(path() + DamagedCopySuffix), bytes);
  struct stat st;
  ASSERT_EQ(::stat((path() + DamagedCopySuffix).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "\tScore file: the file as it was is kept in nuscores.dat.bad"),
            log.end());
  StoreFinishedGame(1, {}, 0);
  EXPECT_NE(ReadFile(path()), bytes);
  EXPECT_EQ(ReadFile(path() + DamagedCopySuffix), bytes);  // the save leaves the copy alone

  // A damaged line 1 alone (the credentials) is damage too, and its copy replaces the older one; a
  // whole file makes no copy.
  for (const bool damaged : {true, false}) {
    ::unlink((path() + DamagedCopySuffix).c_str());
    if (damaged) WriteFile(path() + DamagedCopySuffix, "an older copy");
    WriteScoreFile("ann|pw", {"7|Ann|0|100|0|1|0|0"});
    bytes = ReadFile(path());
    if (damaged) bytes[3] ^= 1;
    WriteFile(path(), bytes);
    Reload();
    EXPECT_EQ(ScoreLists.LocalScores.size(), 1u);
    EXPECT_EQ(FileExists(path() + DamagedCopySuffix), damaged);
    if (damaged) {
      EXPECT_EQ(ReadFile(path() + DamagedCopySuffix), bytes);
    }
  }
}

TEST_F(ScoreFileTest, ANewScoreFileIsPrivate) {
  LoadScores();
  StoreFinishedGame(1, {}, 0);
  struct stat st;
  ASSERT_EQ(::stat(path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);  // line 1 holds the online credentials
}

TEST_F(ScoreFileTest, ADamagedFileLoadsWhatIsValidAndDropsTheRest) {
  const std::string valid = Scramble("7|Valid|0|64667939696|0|1|0|0", "");
  std::string flipped = valid;
  flipped[10] = flipped[10] == '0' ? '1' : '0';
  std::string junkLine;
  std::mt19937 rng(3);
  for (int i = 0; i < 1000; ++i) {
    const char c = static_cast<char>(rng() % 256);
    junkLine.push_back(c == '\n' ? 'x' : c);  // random bytes, one line
  }
  const std::string bytes =
      "not a header\r\n" + valid + "\r\n" +
      flipped + "\r\n" +                                          // a failed checksum
      valid.substr(1) + "\r\n" +                                  // an odd length, shifted
      Scramble("no field separator", "") + "\r\n" +               // no "|": no record
      "\r\n" + "1|\r\n" + "|\n" +                                 // empty and too short to hold a record
      std::string(1 << 20, 'A') + "\r\n" +                        // a megabyte line
      junkLine + "\n" +
      Scramble("9|Fields|missing", "") + "\r\n" +              // missing fields read 0
      Scramble(std::string(5000, '|'), "") + "\n" +              // a valid line of nothing but separators
      std::string(valid.rbegin(), valid.rend());                  // no line end at the end
  WriteFile(path(), bytes);
  LoadScores();
  EXPECT_EQ(ScoreLists.OnlineUser, "XXX");  // a failed header
  EXPECT_EQ(ScoreLists.OnlinePassword, "-+-");
  ASSERT_EQ(ScoreLists.LocalScores.size(), 3u);
  EXPECT_EQ(ScoreLists.PlayerName, "Valid");
  EXPECT_EQ(ScoreLists.LocalScores[0]->Name, "Valid");
  EXPECT_EQ(ScoreLists.LocalScores[1]->Score, 9);
  EXPECT_EQ(ScoreLists.LocalScores[1]->Name, "Fields");
  EXPECT_EQ(ScoreLists.LocalScores[1]->Timestamp, 0);
  EXPECT_EQ(ScoreLists.LocalScores[2]->Score, 0);
  EXPECT_EQ(ScoreLists.LocalScores[2]->Name, "");
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "\tScore file: 10 damaged lines dropped"), log.end());
}

TEST_F(ScoreFileTest, NumbersReadBackAsTheirAbsoluteValues) {
  WriteScoreFile("u|p|extra", {"-12|  Spaced Name  |-5|-64667939696|-1|-2|-3|-1" + std::string(ListSeparator) +
                               "-4|$10|%11|x|99999999999"});
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  const Scores& r = *ScoreLists.LocalScores[0];
  EXPECT_EQ(r.Score, -12);
  EXPECT_EQ(r.Name, "Spaced Name");
  EXPECT_EQ(r.Timestamp, -64667939696);
  EXPECT_EQ((std::vector<int32_t>{r.Badges, r.Level, r.GameMode, r.GameFlags, r.Quit}),
            (std::vector<int32_t>{5, 1, 2, 3, 1}));
  EXPECT_EQ((std::vector<int32_t>(r.Best.begin() + 1, r.Best.begin() + 7)),
            (std::vector<int32_t>{4, 16, 3, 0, 2147483647, 0}));
  EXPECT_EQ(ScoreLists.OnlineUser, "u");
  EXPECT_EQ(ScoreLists.OnlinePassword, "p");
}

TEST_F(ScoreFileTest, TheFileIsReadOnlyTheFirstTime) {
  WriteScoreFile("ann|pw", {"7|Ann|0|100|0|1|0|0"});
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  // A game finished since, and names edited since, survive the loader running again.
  ScoreLists.LocalScores.push_back(Record(8, "Bob", 200));
  ScoreLists.PlayerName = "Bob";
  ScoreLists.OnlineUser = "bob";
  WriteScoreFile("carl|pw", {});
  LoadScores();
  EXPECT_EQ(ScoreLists.LocalScores.size(), 2u);
  EXPECT_EQ(ScoreLists.PlayerName, "Bob");
  EXPECT_EQ(ScoreLists.OnlineUser, "bob");
  EXPECT_EQ(ScoreLists.OnlinePassword, "pw");
}

TEST_F(ScoreFileTest, AFinishedGameIsOnDiskAtOnce) {
  WriteScoreFile("|", {"7|Ann|0|100|0|1|0|0"});
  LoadScores();
  ScoreLists.PlayerName = "Bob";
  StoreFinishedGame(4200, {}, 0);
  // The program is killed here: the next run still has the game.
  Reload();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 2u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Score, 4200);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Timestamp, 64667939696);
  EXPECT_EQ(ScoreLists.PlayerName, "Bob");
  EXPECT_EQ(FolderEntries(dir.path()), (std::vector<std::string>{"Debug.txt", ScoreFileName}));
}

TEST_F(ScoreFileTest, AFileNotYetReadIsNeverReplaced) {
  WriteScoreFile("|", {"7|Ann|0|100|0|1|0|0"});
  const std::string bytes = ReadFile(path());
  // A game stored, or the program closed, before the loader has run.
  StoreFinishedGame(1, {}, 0);
  EXPECT_FALSE(SaveScores());
  EXPECT_EQ(ReadFile(path()), bytes);
}

TEST_F(ScoreFileTest, AFailedSaveLeavesTheOldFileWholeAndIsLogged) {
  WriteScoreFile("|", {"7|Ann|0|100|0|1|0|0"});
  const std::string bytes = ReadFile(path());
  LoadScores();
  {
    FileSizeLimit full(static_cast<long>(bytes.size()));  // as on a full disk, for root too
    StoreFinishedGame(1, {}, 0);
    EXPECT_FALSE(SaveScores());
  }
  EXPECT_EQ(ReadFile(path()), bytes);
  const auto log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "\tCould not write the score file"), log.end());
}

TEST_F(ScoreFileTest, SavesGoToTheFileThatWasRead) {
  LoadScores();
  ::mkdir(dir.file("elsewhere").c_str(), 0755);
  ChangeDir(dir.file("elsewhere"));
  StoreFinishedGame(1, {}, 0);
  EXPECT_TRUE(FileExists(path()));
  EXPECT_FALSE(FileExists(dir.file("elsewhere/") + ScoreFileName));
}

TEST_F(ScoreFileTest, ALargeShuffledFileLoadsInOrder) {
  // Many records with few distinct times: the order must be newest first and stable.
  std::mt19937 rng(5);
  std::vector<std::string> texts;
  std::vector<int64_t> times;
  for (int i = 0; i < 20000; ++i) {
    times.push_back(64667939696 + rng() % 500);
    texts.push_back(std::to_string(i) + "|P|0|" + std::to_string(times.back()) + "|0|1|0|0");
  }
  WriteScoreFile("|", texts);
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), texts.size());
  for (size_t i = 1; i < ScoreLists.LocalScores.size(); ++i) {
    const Scores &a = *ScoreLists.LocalScores[i - 1], &b = *ScoreLists.LocalScores[i];
    ASSERT_TRUE(a.Timestamp > b.Timestamp || (a.Timestamp == b.Timestamp && a.Score < b.Score)) << i;
  }
}
