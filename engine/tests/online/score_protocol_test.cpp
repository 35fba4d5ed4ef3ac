#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "core/core.h"
#include "fake_server.h"
#include "online/online.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

const std::string LoginPrefix = "/enscore/login.php?week=900&input=";
const std::string UploadPrefix = "/enscore/scores.php?Week=900&Input=";
const std::string TablePath = "/enscore/tables/900/1.txt";  // Medium, level 0, no flags
const std::string MissingPage = "<html><head><title>404 Not Found</title></head><body>no table</body></html>";

// The target of a request as the client wrote it: what follows "GET /", up to " HTTP/1.0".
std::string Target(const std::string& request) {
  if (request.rfind("GET /", 0) != 0) return "";
  const size_t end = request.find(" HTTP/1.0\n");
  return end == std::string::npos ? "" : request.substr(5, end - 5);
}

// One table entry: the main fields, then the thirty per-level values 1..30.
std::string Entry(int64_t score, const std::string& name, int64_t timestamp, int mode = 1) {
  std::string perLevel;
  for (int i = 1; i <= 30; ++i) perLevel += (i > 1 ? "|" : "") + std::to_string(i);
  return std::to_string(score) + "|" + name + "|0|" + std::to_string(timestamp) + "|0|" + std::to_string(mode) +
         "|0|0\n" + perLevel;
}

// A table of entries scoring first, first + step, ... with timestamps 1, 2, ...
std::string Table(int count, int64_t first, int64_t step = 1) {
  std::string body;
  for (int i = 0; i < count; ++i) body += (i ? "\n" : "") + Entry(first + step * i, "P" + std::to_string(i), i + 1);
  return body;
}

std::shared_ptr<Scores> Record(int64_t score, int32_t mode, int64_t timestamp, int32_t level = 0,
                               int32_t flags = 0) {
  auto r = std::make_shared<Scores>();
  r->Score = score;
  r->Name = "Local";
  r->GameMode = mode;
  r->Timestamp = timestamp;
  r->Level = level;
  r->GameFlags = flags;
  r->Best[30] = 1;
  return r;
}

}  // namespace

class ScoreProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    BuildDefaultKey();
    Core.Difficulty = 1;
    Online.ServerHost = "127.0.0.1";
    Online.ReadLimitMs = 1000;
    Online.RequestLimitMs = 2000;
    ScoreLists.OnlineUser = "tester";
    ScoreLists.OnlinePassword = "secret";
  }

  // A server that answers logins with loginBody, tables with tableReply (a whole reply) and uploads with "OK".
  void Serve(const std::string& loginBody, const std::string& tableReply = FakeServer::Ok("")) {
    Serve(loginBody, FakeServer::Answer(tableReply));
  }
  // The same with the table's answer made by a handler (at tablePath).
  void Serve(const std::string& loginBody, FakeServer::Handler table) {
    server = std::make_unique<FakeServer>([=, this](int fd, const std::string& request) {
      const std::string target = Target(request);
      if (target.rfind(LoginPrefix, 0) == 0) FakeServer::WriteAll(fd, FakeServer::Ok(loginBody));
      else if (target == tablePath) table(fd, request);
      else if (target.rfind(UploadPrefix, 0) == 0) FakeServer::WriteAll(fd, FakeServer::Ok("OK"));
    });
    Online.ServerPort = server->port();
  }
  // The request targets the server received.
  std::vector<std::string> Targets() {
    std::vector<std::string> out;
    for (const std::string& request : server->requests()) out.push_back(Target(request));
    return out;
  }
  // The plain texts of the uploads the server received.
  std::vector<std::string> Uploads() {
    std::vector<std::string> out;
    for (const std::string& target : Targets())
      if (target.rfind(UploadPrefix, 0) == 0) out.push_back(Unscramble(target.substr(UploadPrefix.size()), ""));
    return out;
  }

  std::string tablePath = TablePath;
  std::unique_ptr<FakeServer> server;
};

TEST_F(ScoreProtocolTest, EachOfTheSeventeenCharactersBecomesAnUnderscore) {
  std::string text = "*\"'-+&?{}[]~#\\/:;";
  FilterCredential(text);
  EXPECT_EQ(text, std::string(17, '_'));
  std::string kept = "Ab9 |.,!=()\xE9";
  FilterCredential(kept);
  EXPECT_EQ(kept, "Ab9 |.,!=()\xE9");
}

TEST_F(ScoreProtocolTest, ALoginCarriesTheFilteredNamesInsideTwoScramblings) {
  Serve("Welcome!|Hello");
  ScoreLists.OnlineUser = "ann-marie:x";
  ScoreLists.OnlinePassword = "se-cret;";
  const LoginResult result = Login();
  EXPECT_TRUE(result.LoggedIn);
  EXPECT_EQ(result.Motd, std::vector<std::string>{"Hello"});
  EXPECT_EQ(ScoreLists.OnlineUser, "ann_marie_x");
  EXPECT_EQ(ScoreLists.OnlinePassword, "se_cret_");

  const std::vector<std::string> targets = Targets();
  ASSERT_EQ(targets.size(), 1u);
  const std::string token = Scramble("ann_marie_x|se_cret_", ThisIdentity().GameCode);
  EXPECT_EQ(token, CredentialToken());
  EXPECT_EQ(targets[0], LoginPrefix + Scramble("ann_marie_x|" + token, ""));
  const std::string input = Unscramble(targets[0].substr(LoginPrefix.size()), "");
  EXPECT_EQ(Unscramble(Field(input, "|", 2), ThisIdentity().GameCode), "ann_marie_x|se_cret_");
}

TEST_F(ScoreProtocolTest, LoginRepliesDecideTheResultAndTheMessageOfTheDay) {
  std::string motd25;
  std::vector<std::string> first19;
  for (int i = 1; i <= 25; ++i) {
    motd25 += (i > 1 ? "\n" : "") + std::string("line ") + std::to_string(i);
    if (i <= 19) first19.push_back("line " + std::to_string(i));
  }
  struct Case {
    std::string body;
    bool loggedIn;
    std::vector<std::string> motd;
  };
  const Case cases[] = {
      {"Welcome!", true, {}},  // no "|": logged in, no lines
      {"Password Correct|Hello there", true, {"Hello there"}},
      {"Welcome!|" + motd25, true, first19},
      {"Welcome!|  padded  \n second", true, {"padded", "second"}},
      {"Password Correct|a\n\nlater", true, {"a"}},  // the body ends at its first empty line
      {"WRONG PASSWORD", false, {}},
      {"", false, {}},
      {"welcome!|lower case", false, {}},
      {MissingPage, false, {}},
  };
  for (const Case& c : cases) {
    Serve(c.body);
    const LoginResult result = Login();
    EXPECT_EQ(result.LoggedIn, c.loggedIn) << c.body;
    EXPECT_EQ(result.Motd, c.motd) << c.body;
    EXPECT_EQ(result.Failure, c.loggedIn ? "" : "WRONG PASSWORD") << c.body;
  }
  server.reset();  // nobody listening: an ordinary failure
  EXPECT_EQ(Login().Failure, "WRONG PASSWORD");
  // A server that never answers: the login gives up after the time limit.
  Online.ReadLimitMs = 200;
  FakeServer silent([&](int, const std::string&) {
    while (silent.running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  Online.ServerPort = silent.port();
  EXPECT_EQ(Login().Failure, "WRONG PASSWORD");
}

TEST_F(ScoreProtocolTest, CredentialsTooShortFailWithoutTraffic) {
  Serve("Welcome!|whatever the server says");
  struct Case {
    std::string user, password, failure;
  };
  const Case cases[] = {
      {"abc", "longpassword", "USERNAME TOO SHORT"},
      {"", "", "USERNAME TOO SHORT"},
      {"XXX", "-+-", "USERNAME TOO SHORT"},  // a damaged credentials line of the score file
      {"abcd", "-+-", "PASSWORD TOO SHORT"},
      {"abcd", "abc", "PASSWORD TOO SHORT"},
  };
  for (const Case& c : cases) {
    ScoreLists.OnlineUser = c.user;
    ScoreLists.OnlinePassword = c.password;
    const LoginResult result = Login();
    EXPECT_FALSE(result.LoggedIn) << c.user << "/" << c.password;
    EXPECT_EQ(result.Failure, c.failure) << c.user << "/" << c.password;
    EXPECT_EQ(SubmitScore("00"), "WRONG PASSWORD");
    UploadScore(*Record(5, 1, 1));
  }
  EXPECT_TRUE(server->requests().empty());
}

TEST(ReplyBody, TheBodyUpToItsFirstEmptyLine) {
  struct Case {
    std::string reply, body;
  };
  const Case cases[] = {
      {"HTTP/1.0 200 OK\nServer: x\n\nline one\nline two", "line one\nline two"},
      {"HTTP/1.0 200 OK\n\nfirst\n\nskipped\n\nagain", "firstagain"},  // a further empty line switches back on
      {"HTTP/1.0 200 OK\nno blank line", ""},
      {"", ""},
      {"\n\n", ""},
      {"H\n\n\nx", "\nx"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReplyBody(c.reply), c.body) << c.reply;
}

TEST_F(ScoreProtocolTest, TableEntriesAreReadWithComplementedGameMode) {
  const std::string body = Entry(1500, "  Ann  ", 64667939696, 1) + "\n" +
                           "an empty entry\nits second line\n" +
                           "-7|Bob|-5|12|-2|-3|-4|-1\n-1|2|x\n" + Entry(9, "Cy", 3, 2147483647);
  Serve("", FakeServer::Ok(body));
  ScoreLists.LocalBest = Record(1, 1, 1);
  const TableRefresh refresh = RefreshOnlineTable();
  EXPECT_TRUE(refresh.Reached);
  EXPECT_FALSE(refresh.MissingTable);
  EXPECT_EQ(refresh.Entries, 3);

  std::vector<std::shared_ptr<Scores>>& online = ScoreLists.OnlineScores;
  ASSERT_EQ(online.size(), 3u);  // sorted newest first
  const Scores& ann = *online[0];
  EXPECT_EQ(ann.Score, 1500);
  EXPECT_EQ(ann.Name, "Ann");
  EXPECT_EQ(ann.Timestamp, 64667939696);
  EXPECT_EQ(ann.GameMode, -2);
  for (int i = 1; i <= 30; ++i) EXPECT_EQ(ann.Best[i], i);
  const Scores& bob = *online[1];
  EXPECT_EQ(bob.Score, -7);
  EXPECT_EQ(bob.Badges, 5);
  EXPECT_EQ(bob.Level, 2);
  EXPECT_EQ(bob.GameMode, -4);
  EXPECT_EQ(bob.GameFlags, 4);
  EXPECT_EQ(bob.Quit, 1);
  EXPECT_EQ(bob.Best[1], 1);
  EXPECT_EQ(bob.Best[2], 2);
  EXPECT_EQ(bob.Best[3], 0);
  EXPECT_EQ(online[2]->GameMode, INT32_MIN);  // the largest game mode complements without overflow
  EXPECT_EQ(ReadOnlineTable(body).size(), 3u);
  EXPECT_EQ(ReadOnlineTable(Table(40, 1)).size(), 30u) << "at most 30 entries";
}

TEST_F(ScoreProtocolTest, TheLocalBestIsOfferedAtMostOnceWhenTheTableHasRoomForIt) {
  struct Case {
    std::string what, tableReply;
    int64_t localBest;  // -1: none
    bool uploaded;
  };
  const Case cases[] = {
      {"30 entries all above", FakeServer::Ok(Table(30, 1000)), 999, false},
      {"30 entries, one equal", FakeServer::Ok(Table(30, 1000)), 1010, true},
      {"30 entries, all lower", FakeServer::Ok(Table(30, 1000)), 5000, true},
      {"12 entries all above", FakeServer::Ok(Table(12, 1000)), 10, true},
      {"12 entries, no local best", FakeServer::Ok(Table(12, 1000)), -1, false},
      {"missing table", "HTTP/1.0 404 Not Found\r\n\r\n" + MissingPage, 10, true},
      {"missing table, no local best", "HTTP/1.0 404 Not Found\r\n\r\n" + MissingPage, -1, false},
      {"no reply at all", "", 10, false},
  };
  for (const Case& c : cases) {
    Serve("", c.tableReply);
    ScoreLists.OnlineScores.clear();
    ScoreLists.LocalBest = c.localBest < 0 ? nullptr : Record(c.localBest, 1, 77);
    const TableRefresh refresh = RefreshOnlineTable();
    EXPECT_EQ(refresh.Uploaded, c.uploaded) << c.what;
    const std::vector<std::string> uploads = Uploads();
    ASSERT_EQ(uploads.size(), c.uploaded ? 1u : 0u) << c.what;
    if (c.uploaded) {
      EXPECT_EQ(uploads[0], "tester|" + CredentialToken() + "|" + UploadLine(*ScoreLists.LocalBest)) << c.what;
    }
    EXPECT_EQ(Targets().front(), TablePath) << c.what;
    // The table shown is the one downloaded: it is not fetched again after the upload.
    EXPECT_EQ(Targets().size(), c.uploaded ? 2u : 1u) << c.what;
  }
  EXPECT_EQ(UploadLine(*Record(5, 1, 77)),
            "5|Local|0|77|0|1|0|0|" + std::string(ListSeparator) + "|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|1");
}

TEST_F(ScoreProtocolTest, TheFirstStepRemovesOnlyTheShownVariantsRecords) {
  auto& online = ScoreLists.OnlineScores;
  online = {Record(1, ~1, 1), Record(2, ~0, 2), Record(3, ~1, 3, 1), Record(4, ~1, 4), Record(5, 1, 5)};
  RemoveOnlineTable();
  ASSERT_EQ(online.size(), 3u);
  EXPECT_EQ(online[0]->Score, 2);
  EXPECT_EQ(online[1]->Score, 3);
  EXPECT_EQ(online[2]->Score, 5);
}

TEST_F(ScoreProtocolTest, OnlineRecordsNeverReachTheScoreFile) {
  TempDir dir;
  ASSERT_TRUE(ChangeDir(dir.path()));
  LoadScores();  // no file yet: saving allowed
  ScoreLists.LocalScores = {Record(700, 1, 10), Record(300, 0, 20)};
  ScoreLists.LocalBest = ScoreLists.LocalScores[0];
  Serve("", FakeServer::Ok(Table(5, 1000)));
  RefreshOnlineTable();
  ASSERT_EQ(ScoreLists.OnlineScores.size(), 5u);
  // Even an online record that found its way into the local list stays out of the file.
  ScoreLists.LocalScores.push_back(ScoreLists.OnlineScores[0]);
  ASSERT_TRUE(SaveScores());

  ResetScoresState();
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 2u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Score, 300);
  EXPECT_EQ(ScoreLists.LocalScores[1]->Score, 700);
  EXPECT_EQ(ScoreLists.OnlineUser, "tester");
}

// A table that does not arrive whole, and a server's error page, are no table: nothing is read from
// them and the local best is not offered as if the table were empty. A whole table and the page of
// a missing table keep their meaning.
TEST_F(ScoreProtocolTest, ACutOrFailedTableIsNoTable) {
  Online.ReadLimitMs = 300;  // the cut-off table waits out this much silence
  const std::string table = Table(2, 12344);  // the last entry: 12345|P1|0|2|0|1|0|0
  const std::string cut = FakeServer::Ok(table.substr(0, table.rfind("|0|2|")));  // ends in "12345|P1"
  const std::string length = "Content-Length: " + std::to_string(table.size());
  struct Case {
    std::string what;
    FakeServer::Handler table;
    bool reached, missing;
    size_t entries;
    bool uploaded;
  };
  const Case cases[] = {
      {"whole table", FakeServer::Answer("HTTP/1.0 200 OK\r\n" + length + "\r\n\r\n" + table), true, false, 2, true},
      {"missing table page", FakeServer::Answer("HTTP/1.0 404 Not Found\r\n\r\n" + MissingPage), true, true, 0, true},
      {"cut mid-line, then silence", FakeServer::Stall(cut), false, false, 0, false},
      {"shorter than its length", FakeServer::Answer("HTTP/1.0 200 OK\r\n" + length + "0\r\n\r\n" + table), false,
       false, 0, false},
      {"500 page", FakeServer::Answer("HTTP/1.0 500 Internal Server Error\r\n\r\n" + MissingPage), false, false, 0, false},
      {"503 page", FakeServer::Answer("HTTP/1.0 503 Service Unavailable\r\n\r\nbusy"), false, false, 0, false},
      {"reset mid-body", FakeServer::Reset(cut), false, false, 0, false},
  };
  for (const Case& c : cases) {
    Serve("", c.table);
    ScoreLists.OnlineScores.clear();
    ScoreLists.LocalBest = Record(10, 1, 77);
    const TableRefresh refresh = RefreshOnlineTable();
    EXPECT_EQ(refresh.Reached, c.reached) << c.what;
    EXPECT_EQ(refresh.MissingTable, c.missing) << c.what;
    EXPECT_EQ(refresh.Entries, static_cast<int>(c.entries)) << c.what;
    EXPECT_EQ(ScoreLists.OnlineScores.size(), c.entries) << c.what;
    if (c.entries == 2 && ScoreLists.OnlineScores.size() == 2) {
      EXPECT_EQ(ScoreLists.OnlineScores[0]->Score, 12345) << "the newest entry, read whole";
    }
    EXPECT_EQ(refresh.Uploaded, c.uploaded) << c.what;
    EXPECT_EQ(Uploads().size(), c.uploaded ? 1u : 0u) << c.what;
  }
}

// A variant with a level and flags has its own table: the request names its id, and a refresh
// replaces that variant's online records only.
TEST_F(ScoreProtocolTest, AVariantWithLevelAndFlagsHasATableOfItsOwn) {
  Core.Difficulty = 2;
  Core.Level = 3;
  Core.GameFlags = 4;
  EXPECT_EQ(TableId(), "4302");
  tablePath = "/enscore/tables/900/4302.txt";
  Serve("", FakeServer::Ok("700|Ann|0|9|3|2|4|0\n0\n800|Bob|0|8|3|2|4|0\n0"));
  auto& online = ScoreLists.OnlineScores;
  online = {Record(1, ~2, 1, 3, 4), Record(2, ~2, 2, 0, 4), Record(3, ~2, 3, 3, 0),
            Record(4, ~1, 4, 3, 4), Record(5, ~2, 5, 4, 3), Record(6, ~2, 6, 3, 4)};
  RemoveOnlineTable();
  std::vector<int64_t> kept;
  for (const auto& r : online) kept.push_back(r->Score);
  EXPECT_EQ(kept, (std::vector<int64_t>{2, 3, 4, 5}));

  RefreshOnlineTable();
  EXPECT_EQ(Targets().front(), tablePath);
  std::vector<int64_t> variant;
  for (const auto& r : online)
    if (r->GameMode == ~2 && r->Level == 3 && r->GameFlags == 4) variant.push_back(r->Score);
  EXPECT_EQ(variant, (std::vector<int64_t>{700, 800}));  // newest first
  EXPECT_EQ(online.size(), 6u);
}

// Blanks at either end of a typed name or password do not count: the login sends the trimmed
// names, and the score file gives back, after a restart, exactly the credentials that were sent.
TEST_F(ScoreProtocolTest, CredentialsAreTrimmedBeforeTheyAreSentOrSaved) {
  TempDir dir;
  ASSERT_TRUE(ChangeDir(dir.path()));
  LoadScores();  // no file yet: saving allowed
  Serve("Welcome!|Hi");
  ScoreLists.OnlineUser = " anne ";
  ScoreLists.OnlinePassword = "  pass word\t";
  ASSERT_TRUE(Login().LoggedIn);
  EXPECT_EQ(ScoreLists.OnlineUser, "anne");
  EXPECT_EQ(ScoreLists.OnlinePassword, "pass word");
  ASSERT_EQ(Targets().size(), 1u);
  const std::string sent = Unscramble(Targets()[0].substr(LoginPrefix.size()), "");
  EXPECT_EQ(sent, "anne|" + Scramble("anne|pass word", ThisIdentity().GameCode));

  ASSERT_TRUE(SaveScores());
  ResetScoresState();
  LoadScores();
  EXPECT_EQ(ScoreLists.OnlineUser, "anne");
  EXPECT_EQ(ScoreLists.OnlinePassword, "pass word");
  ASSERT_TRUE(Login().LoggedIn);
  ASSERT_EQ(Targets().size(), 2u);
  EXPECT_EQ(Targets()[1], Targets()[0]) << "the same account after the restart";

  // Names still as typed when the program closes are saved trimmed too.
  ScoreLists.OnlineUser = "bob ";  // blanks inside the line the file keeps
  ScoreLists.OnlinePassword = " word";
  ASSERT_TRUE(SaveScores());
  ResetScoresState();
  LoadScores();
  EXPECT_EQ(ScoreLists.OnlineUser, "bob");
  EXPECT_EQ(ScoreLists.OnlinePassword, "word");
}
