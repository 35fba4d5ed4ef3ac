#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <latch>
#include <map>
#include <atomic>
#include <mutex>
#include <thread>
#include <functional>
#include <future>

#include "core/core.h"
#include "scores/scores.h"
#include "server/score_service.h"
#include "scores/scramble.h"
#include "support/test_support.h"
#include "test_game/test_game.h"
#include "hashing_hold.h"
#include "server/score_store.h"
#include "server/web_pages.h"
#include "test_postgres.h"

namespace {

// A second game the service serves beside the test game.
const GameIdentity OtherGame{.WeekNumber = 901, .TitleWord1 = "Other", .TitleWord2 = "Game",
                             .Tagline = "Another key", .GameCode = "OTHER901", .ExecutableName = "other-game"};

// The parameters exactly as a game makes them, with that game's scrambling and keys (the test game's
// unless another is given).
std::string LoginInput(const std::string& user, const std::string& password, const GameIdentity& game = TestGameIdentity) {
  return ScrambleWithKey(user + "|" + Scramble(user + "|" + password, game.GameCode), MakeDefaultKey(game));
}
std::string UploadInput(const std::string& user, const std::string& password, const std::string& uploadLine,
                        const GameIdentity& game = TestGameIdentity) {
  return ScrambleWithKey(user + "|" + Scramble(user + "|" + password, game.GameCode) + "|" + uploadLine,
                         MakeDefaultKey(game));
}
// An upload line: the main fields given, thirty per-level values 1..30.
std::string Line(const std::string& main, int bestCount = 30) {
  std::string best;
  for (int i = 1; i <= bestCount; ++i) best += (i > 1 ? "|" : "") + std::to_string(i);
  return main + "|" + std::string(ListSeparator) + "|" + best;
}
std::string PerLevel() {
  std::string best;
  for (int i = 1; i <= 30; ++i) best += (i > 1 ? "|" : "") + std::to_string(i);
  return best;
}

// Runs SQL on a SQLite file through a connection of its own, as another program would.
void RunSqliteSql(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int r = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(r, SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

long FileBytes(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

}  // namespace

// The two kinds of store the same cases run against.
enum class StoreKind { Sqlite, Postgres };
void PrintTo(StoreKind kind, std::ostream* out) { *out << (kind == StoreKind::Sqlite ? "sqlite" : "postgresql"); }

// A service over a store of the test's own (a SQLite file in a temporary folder, or a new database
// on the tests' PostgreSQL server), with a fake clock and the log kept.
class ScoreServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    BuildDefaultKey();
    if (kind == StoreKind::Postgres) {
      std::string reason;
      if (!TestPostgresReady(reason)) {
        if (TestPostgresRequired()) FAIL() << "no PostgreSQL for the tests (VQ_REQUIRE_POSTGRES=1): " << reason;
        GTEST_SKIP() << "no PostgreSQL for the tests: " << reason;
      }
    }
    Start();
  }
  // Where the store of that name is: a file of the test's folder, or a database made for it on
  // first use.
  std::string Where(const std::string& name) {
    if (kind == StoreKind::Sqlite) return dir.file(name);
    std::string& uri = databases[name];
    if (uri.empty()) {
      std::string error;
      uri = NewTestDatabase(error);
      EXPECT_FALSE(uri.empty()) << error;
    }
    return uri;
  }
  // Runs SQL on the store through a connection of its own, as another program would.
  void RunSql(const std::string& sql) {
    if (kind == StoreKind::Sqlite) {
      RunSqliteSql(dir.file(dbName), sql);
      return;
    }
    std::string out;
    EXPECT_TRUE(RunPostgresSql(Where(dbName), sql, out)) << out;
  }
  // Everything the store keeps, as bytes: the file, or the rows of its tables.
  std::string StoredBytes() {
    if (kind == StoreKind::Sqlite) return ReadFile(dir.file(dbName)) + ReadFile(dir.file(dbName + "-wal"));
    std::string out;
    EXPECT_TRUE(RunPostgresSql(Where(dbName), "SELECT u::text FROM users u UNION ALL SELECT r::text FROM records r", out))
        << out;
    return out;
  }
  void Start() {
    service.reset();
    ServiceOptions options;
    options.DatabasePath = Where(dbName);
    options.Motd = {"Hi", "There"};
    options.LightHashing = true;
    options.Games = {&TestGameIdentity, &OtherGame};
    options.Log = [this](const std::string& line) {
      std::lock_guard<std::mutex> lock(logMutex);
      log.push_back(line);
    };
    options.Limits = limits;
    options.ClockMs = [this] { return clockMs.load(); };
    options.WhileHashing = [this] {
      ++hashes;
      if (whileHashing) whileHashing();
    };
    service = std::make_unique<ScoreService>(options);
    ASSERT_TRUE(service->Ready()) << service->Error();
  }
  ServiceReply Login(const std::string& user, const std::string& password, const GameIdentity& game = TestGameIdentity) {
    return service->Handle("//enscore/login.php",
                           {{"week", std::to_string(game.WeekNumber)}, {"input", LoginInput(user, password, game)}},
                           Address);
  }
  ServiceReply Upload(const std::string& user, const std::string& password, const std::string& line,
                      const GameIdentity& game = TestGameIdentity) {
    return service->Handle("//enscore/scores.php",
                           {{"Week", std::to_string(game.WeekNumber)}, {"Input", UploadInput(user, password, line, game)}},
                           Address);
  }
  ServiceReply Table(const std::string& week, const std::string& id) {
    return service->Handle("//enscore/tables/" + week + "/" + id + ".txt", {}, Address);
  }

  StoreKind kind = StoreKind::Sqlite;
  std::map<std::string, std::string> databases;  // PostgreSQL's, by name
  TempDir dir;
  std::mutex logMutex;
  std::vector<std::string> log;
  std::string dbName = "scores.db";
  std::string Address = "192.0.2.1";  // the client's address
  HashLimits limits;                  // for the next Start
  std::atomic<int64_t> clockMs{1000000};
  std::atomic<int> hashes{0};         // password hashes computed
  std::function<void()> whileHashing;  // runs in each hashing slot
  std::unique_ptr<ScoreService> service;
};

// The cases whose answers are the store's, run against each kind.
class EachStore : public ScoreServiceTest, public ::testing::WithParamInterface<StoreKind> {
 protected:
  void SetUp() override {
    kind = GetParam();
    ScoreServiceTest::SetUp();
  }
};
INSTANTIATE_TEST_SUITE_P(Stores, EachStore, ::testing::Values(StoreKind::Sqlite, StoreKind::Postgres),
                         [](const ::testing::TestParamInfo<StoreKind>& info) {
                           return info.param == StoreKind::Sqlite ? "sqlite" : "postgresql";
                         });

TEST_P(EachStore, ANewNameRegistersAndOnlyItsPasswordLogsInAgain) {
  ServiceReply r = Login("Ann_Lee", "p_ss_word");
  EXPECT_EQ(r.Status, 200);
  EXPECT_EQ(r.Body, "Welcome!|Hi\nThere");
  r = Login("Ann_Lee", "p_ss_word");
  EXPECT_EQ(r.Body, "Password Correct|Hi\nThere");
  r = Login("Ann_Lee", "another");
  EXPECT_EQ(r.Status, 403);
  EXPECT_EQ(r.Body, "WRONG PASSWORD");
  EXPECT_EQ(Login("ann_lee", "another").Body.substr(0, 8), "Welcome!") << "names are case-sensitive";
  // Names are 8-bit text: every byte is kept, and Latin-1 letters differ by case too.
  EXPECT_EQ(Login("Zo\xEB_R\xE5y", "secret").Body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Login("Zo\xCB_R\xE5y", "secret").Body.substr(0, 8), "Welcome!");

  Start();  // a restarted server knows its users
  EXPECT_EQ(Login("Ann_Lee", "p_ss_word").Body, "Password Correct|Hi\nThere");
  EXPECT_EQ(Login("Zo\xEB_R\xE5y", "secret").Body.substr(0, 16), "Password Correct");
  EXPECT_EQ(Login("Zo\xEB_R\xE5y", "wrong").Body, "WRONG PASSWORD");
  // Only a salted hash is kept, never the password itself.
  const std::string stored = StoredBytes();
  EXPECT_EQ(stored.find("p_ss_word"), std::string::npos);
  EXPECT_NE(stored.find("$argon2id$"), std::string::npos);
}

TEST_P(EachStore, UploadsFromValidCredentialsFillTheirTable) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Login("Bob_Ray", "hidden").Status, 200);
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("1200|Ann|5|64667939696|0|1|0|0")).Body, "OK");
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("1200|Ann|5|64667939696|0|1|0|0")).Body, "OK");  // kept once
  EXPECT_EQ(Upload("Bob_Ray", "hidden", Line("3400|Bob|0|64667939000|0|1|0|1")).Body, "OK");
  EXPECT_EQ(Upload("Bob_Ray", "hidden", Line("77|Bob|0|5|0|0|0|0")).Body, "OK");           // Easy: table 0
  EXPECT_EQ(Upload("Bob_Ray", "hidden", Line("88|Bob|0|6|1|2|3|0")).Body, "OK");           // table 2 + 100 + 3000
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("9999|\xC5nn|0|7|0|1|0|0"), OtherGame).Body, "OK");  // another game
  // Not stored: a wrong password, an unknown user (who is not registered by it either).
  EXPECT_EQ(Upload("Ann_Lee", "wrong", Line("500000|Ann|0|1|0|1|0|0")).Body, "WRONG PASSWORD");
  EXPECT_EQ(Upload("Cy_Nobody", "secret", Line("500000|Cy|0|1|0|1|0|0")).Body, "WRONG PASSWORD");
  EXPECT_EQ(Login("Cy_Nobody", "other").Body.substr(0, 8), "Welcome!");

  const ServiceReply medium = Table("900", "1");
  EXPECT_EQ(medium.Status, 200);
  EXPECT_EQ(medium.Body, "3400|Bob|0|64667939000|0|1|0|1\n" + PerLevel() + "\n1200|Ann|5|64667939696|0|1|0|0\n" + PerLevel());
  EXPECT_EQ(Table("900", "0").Body, "77|Bob|0|5|0|0|0|0\n" + PerLevel());
  EXPECT_EQ(Table("900", "3102").Body, "88|Bob|0|6|1|2|3|0\n" + PerLevel());
  EXPECT_EQ(Table("901", "1").Body, "9999|\xC5nn|0|7|0|1|0|0\n" + PerLevel());
  for (const auto& [week, id] : {std::pair<std::string, std::string>{"900", "2"}, {"901", "0"}, {"900", "99"}}) {
    const ServiceReply missing = Table(week, id);
    EXPECT_EQ(missing.Status, 404);
    EXPECT_NE(Upper(missing.Body).find("<HEAD>"), std::string::npos) << week << "/" << id;
  }
}

// The pages for a browser: "/" lists the games served, newest week first; a game's page shows its
// tables by difficulty with rank, name, score, date, difficulty and completion; every name is
// text only; the pages carry a policy without script; a record stored here shows at once.
TEST_P(EachStore, TheWebPagesShowEveryGamesTablesAndANameIsOnlyText) {
  const ServiceReply index = service->Handle("/", {}, Address);
  EXPECT_EQ(index.Status, 200);
  EXPECT_EQ(index.ContentType, "text/html; charset=utf-8");
  const size_t other = index.Body.find("<a href=\"/games/901/\">"), test = index.Body.find("<a href=\"/games/900/\">");
  ASSERT_NE(other, std::string::npos) << index.Body;
  ASSERT_NE(test, std::string::npos) << index.Body;
  EXPECT_LT(other, test) << "newest week first";
  const auto policy = std::find(index.Headers.begin(), index.Headers.end(),
                                std::pair<std::string, std::string>{"Content-Security-Policy", PagePolicy});
  EXPECT_NE(policy, index.Headers.end());
  EXPECT_NE(std::string(PagePolicy).find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(std::string(PagePolicy).find("script-src"), std::string::npos);

  EXPECT_NE(service->Handle("/games/900/", {}, Address).Body.find("No scores yet."), std::string::npos);
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  // 2026-12-10 (((2026 x 12 + 12) x 31 + 10) x 24 x 3600), a complete game on Hard and a quit one.
  const std::string date = std::to_string((((2026LL * 12 + 12) * 31 + 10) * 24) * 3600);
  std::string complete = "1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20|21|22|23|24|25|26|27|28|29|1";
  EXPECT_EQ(Upload("Ann_Lee", "secret", "9000|<script>alert(1)</script>|0|" + date + "|0|2|0|0|" +
                                            std::string(ListSeparator) + "|" + complete).Body, "OK");
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("700|\"><img src=x onerror=alert(2)>|0|" + date + "|0|2|0|1")).Body, "OK");
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("50|Zo\xEB & co|0|" + date + "|0|0|0|0")).Body, "OK");
  const ServiceReply page = service->Handle("//games/900", {}, Address);
  EXPECT_EQ(page.Status, 200);
  const std::string& html = page.Body;
  for (const char* shown : {
           "<h1>#900 : Tessel Probe</h1>",
           "<h2>Gentle</h2>",
           "<h2>Fierce</h2>",
           "<td class=\"rank\">1</td><td class=\"name\">&lt;script&gt;alert(1)&lt;/script&gt;</td><td class=\"score\">9000</td>"
           "<td class=\"date\">10-12-2026</td><td class=\"difficulty\">Fierce</td><td class=\"completion\">Complete!</td>",
           "<td class=\"rank\">2</td><td class=\"name\">&quot;&gt;&lt;img src=x onerror=alert(2)&gt;</td>"
           "<td class=\"score\">700</td><td class=\"date\">10-12-2026</td><td class=\"difficulty\">Fierce</td>"
           "<td class=\"completion\">quit</td>",
           "<td class=\"name\">Zo\xC3\xAB &amp; co</td>",  // Latin-1 as UTF-8
       })
    EXPECT_NE(html.find(shown), std::string::npos) << shown << "\n" << html;
  EXPECT_LT(html.find("<h2>Gentle</h2>"), html.find("<h2>Fierce</h2>"));
  for (const char* never : {"<script", "<img", "onerror=alert(2)>"}) EXPECT_EQ(html.find(never), std::string::npos) << never;
  EXPECT_EQ(service->Handle("/style.css", {}, Address).ContentType, "text/css; charset=utf-8");
  EXPECT_EQ(service->Handle("/games/902/", {}, Address).Status, 404);
  EXPECT_EQ(service->Handle("/games/x/", {}, Address).Status, 404);
}

// Text for a page: the markup characters as references, 8-bit Latin-1 as UTF-8, control characters
// (C0 and C1) as U+FFFD.
TEST(WebPagesTest, HtmlTextEscapesAndTurnsLatin1IntoUtf8) {
  const std::pair<std::string, std::string> cases[] = {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"\"'&", "&quot;&#39;&amp;"},
      {"\xC5nn \xFF", "\xC3\x85nn \xC3\xBF"},
      {std::string("a\0b\x1B\x85", 5), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"plain", "plain"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(HtmlText(in), out) << in;
}

// A table read from the store is answered again without reading it for TableFreshMs: a record
// stored by another server sharing the store shows once that time is up, one stored here at once.
TEST_P(EachStore, ATableShowsARecordStoredHereAtOnceAndOneStoredElsewhereWithinItsFreshTime) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("1200|Ann|0|1|0|1|0|0")).Body, "OK");
  EXPECT_EQ(Table("900", "1").Body, "1200|Ann|0|1|0|1|0|0\n" + PerLevel());
  EXPECT_EQ(Table("900", "2").Status, 404);  // a missing table is kept as missing the same way

  ServiceOptions other;
  other.DatabasePath = Where(dbName);
  other.LightHashing = true;
  other.Games = {&TestGameIdentity};
  other.Log = [](const std::string&) {};
  ScoreService elsewhere(other);
  ASSERT_TRUE(elsewhere.Ready()) << elsewhere.Error();
  ASSERT_EQ(elsewhere.Handle("//enscore/login.php", {{"week", "900"}, {"input", LoginInput("Bob_Ray", "hidden")}},
                             "192.0.2.9").Status, 200);
  for (const char* line : {"3400|Bob|0|2|0|1|0|0", "50|Bob|0|3|0|2|0|0"}) {
    ASSERT_EQ(elsewhere.Handle("//enscore/scores.php",
                               {{"Week", "900"}, {"Input", UploadInput("Bob_Ray", "hidden", Line(line))}}, "192.0.2.9")
                  .Body, "OK");
  }
  clockMs += 999;
  EXPECT_EQ(Table("900", "1").Body, "1200|Ann|0|1|0|1|0|0\n" + PerLevel()) << "still fresh";
  EXPECT_EQ(Table("900", "2").Status, 404) << "still fresh";
  clockMs += 1;
  EXPECT_EQ(Table("900", "1").Body, "3400|Bob|0|2|0|1|0|0\n" + PerLevel() + "\n1200|Ann|0|1|0|1|0|0\n" + PerLevel());
  EXPECT_EQ(Table("900", "2").Body, "50|Bob|0|3|0|2|0|0\n" + PerLevel());
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("5000|Ann|0|4|0|1|0|0")).Body, "OK");
  EXPECT_EQ(Table("900", "1").Body.substr(0, 21), "5000|Ann|0|4|0|1|0|0\n") << "stored here: at once";
}

// Each game's requests are read with its own key and code, its tables are its own, and a week that
// is no game of the series is refused at once, with a line in the log.
TEST_P(EachStore, EachGameHasItsOwnKeysAndTablesAndAnUnknownWeekIsRefused) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  EXPECT_EQ(Login("Ann_Lee", "secret", OtherGame).Body.substr(0, 16), "Password Correct") << "one player, every game";
  ASSERT_EQ(Upload("Ann_Lee", "secret", Line("500|Ann|0|1|0|1|0|0")).Body, "OK");

  // The test game's request sent as the other game's week: its keys do not read it.
  const ServiceReply crossed = service->Handle(
      "//enscore/scores.php", {{"Week", "901"}, {"Input", UploadInput("Ann_Lee", "secret", Line("700|Ann|0|2|0|1|0|0"))}}, Address);
  EXPECT_EQ(crossed.Status, 400);
  EXPECT_EQ(Table("901", "1").Status, 404) << "nothing reached the other game's table";
  EXPECT_EQ(Table("900", "1").Body, "500|Ann|0|1|0|1|0|0\n" + PerLevel());

  log.clear();
  const ServiceReply unknown[] = {
      service->Handle("//enscore/login.php", {{"week", "1"}, {"input", LoginInput("Ann_Lee", "secret")}}, "192.0.2.1"),
      service->Handle("//enscore/scores.php", {{"Week", "1"}, {"Input", UploadInput("Ann_Lee", "secret", Line("9|Ann|0|1|0|1|0|0"))}}, "192.0.2.1"),
      Table("1", "1")};
  for (const ServiceReply& r : unknown) {
    EXPECT_EQ(r.Status, 400);
    EXPECT_EQ(r.Body, "REFUSED: week 1 is not served here");
  }
  EXPECT_EQ(log, (std::vector<std::string>{"refused login: week 1 is not served here",
                                           "refused upload: week 1 is not served here",
                                           "refused table: week 1 is not served here"}));
}

TEST_P(EachStore, ATableHoldsTheBestThirty) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Login("Bob_Ray", "hidden").Status, 200);
  // Ann sends 35 records, Bob 6; equal scores list the older record first.
  for (int i = 0; i < 35; ++i)
    ASSERT_EQ(Upload("Ann_Lee", "secret", Line(std::to_string(1000 + 10 * i) + "|Ann|0|" + std::to_string(100 + i) + "|0|1|0|0")).Status, 200);
  for (int i = 0; i < 5; ++i)
    ASSERT_EQ(Upload("Bob_Ray", "hidden", Line(std::to_string(1005 + 100 * i) + "|Bob|0|" + std::to_string(50 - i) + "|0|1|0|0")).Status, 200);
  ASSERT_EQ(Upload("Bob_Ray", "hidden", Line("1340|Bob|0|1|0|1|0|0")).Status, 200);  // ties Ann's 1340 (timestamp 134)

  const std::string body = Table("900", "1").Body;
  std::vector<std::string> scores;
  for (int j = 1; j <= 31; ++j) {
    const std::string entry = Field(body, "\n", 2 * j - 1);
    if (entry == MissingField) break;
    scores.push_back(Field(entry, "|", 1) + Field(entry, "|", 2));
  }
  const std::vector<std::string> expected = {
      "1405Bob", "1340Bob", "1340Ann", "1330Ann", "1320Ann", "1310Ann", "1305Bob", "1300Ann", "1290Ann", "1280Ann",
      "1270Ann", "1260Ann", "1250Ann", "1240Ann", "1230Ann", "1220Ann", "1210Ann", "1205Bob", "1200Ann", "1190Ann",
      "1180Ann", "1170Ann", "1160Ann", "1150Ann", "1140Ann", "1130Ann", "1120Ann", "1110Ann", "1105Bob", "1100Ann"};
  EXPECT_EQ(scores, expected);
}

TEST_P(EachStore, HostileRequestsAreRefusedAndChangeNothing) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  const std::string good = LoginInput("Ann_Lee", "secret");
  std::string damaged = good;
  damaged[10] = damaged[10] == 'A' ? 'B' : 'A';
  const std::string token = Scramble("Ann_Lee|secret", ThisIdentity().GameCode);
  struct Case {
    std::string path;
    QueryParams params;
    int status;
  };
  const Case cases[] = {
      {"/enscore/login.php", {{"week", "900"}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", ""}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", Lower(good)}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", good + "A"}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", "Z" + good.substr(1)}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", std::string(5000, 'A')}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", damaged}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", Scramble("no bar at all", "")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", Scramble("Ann_Lee|" + token.substr(2), "")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", Scramble("Bob_Ray|" + token, "")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("Ann|Lee", "secret")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("abc", "secret")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("Ann\x01Lee", "secret")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("Ann\x85Lee", "secret")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput(std::string(65, 'a'), "secret")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("Eve_Long", "abc")}}, 400},
      {"/enscore/login.php", {{"week", "900"}, {"input", LoginInput("Eve_Long", std::string(129, 'p'))}}, 400},
      {"/enscore/login.php", {{"input", good}}, 400},
      {"/enscore/login.php", {{"week", "27a"}, {"input", good}}, 400},
      {"/enscore/login.php", {{"week", "-900"}, {"input", good}}, 400},
      {"/enscore/login.php", {{"week", "1234567890"}, {"input", good}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", good}}, 400},  // no record
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", "1|Ann|0|1|0|1|0|0")}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|Ann|0|1|0|1|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|Ann|0|1|0|1|0|0", 31))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("12a|Ann|0|1|0|1|0|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("99999999999999999999|Ann|0|1|0|1|0|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line(" 1|Ann|0|1|0|1|0|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|Ann|0|1|0|-2|0|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|Ann|0|1|0|1|0|2"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|A\nn|0|1|0|1|0|0"))}}, 400},
      {"/enscore/scores.php", {{"Week", "900"}, {"Input", UploadInput("Ann_Lee", "secret", Line("1|" + std::string(65, 'n') + "|0|1|0|1|0|0"))}}, 400},
      {"/enscore/tables/900/abc.txt", {}, 400},
      {"/enscore/tables/27x/1.txt", {}, 400},
      {"/enscore/tables/900/-1.txt", {}, 400},
      {"/enscore/tables//1.txt", {}, 400},
      {"/enscore/tables/900/1/2.txt", {}, 400},
      {"/enscore/tables/900/1234567890123456789.txt", {}, 400},
      {"/enscore/tables/900/01.txt", {}, 400},
      {"/enscore/tables/0900/1.txt", {}, 400},
      {"/enscore/tables/900/1.txt.bak", {}, 404},
      {"/enscore/../../etc/passwd", {}, 404},
      {"/enscore/", {}, 404},  // "/" itself is the web pages' index
  };
  for (const Case& c : cases) {
    const ServiceReply r = service->Handle(c.path, c.params, Address);
    EXPECT_EQ(r.Status, c.status) << c.path << " " << (c.params.empty() ? "" : c.params.back().second.substr(0, 60));
    EXPECT_EQ(r.Body.rfind("REFUSED: ", 0), 0u) << c.path;
  }
  EXPECT_EQ(log.size(), std::size(cases) + 1) << "every refusal is logged";
  EXPECT_EQ(Table("900", "1").Status, 404) << "nothing was stored";
  EXPECT_EQ(Login("Ann_Lee", "secret").Body.substr(0, 16), "Password Correct");
}

// A full disk refuses the records it cannot keep with status 500 and a log line; what was answered
// "OK" is all there after a restart, what was refused is not, and the store works again as soon as
// there is room.
TEST_F(ScoreServiceTest, AFullDiskRefusesWithStatus500AndLosesNothingAnsweredOk) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Upload("Ann_Lee", "secret", Line("100|Ann|0|1|0|1|0|0")).Body, "OK");
  std::vector<std::string> kept = {"100"}, refused;
  log.clear();
  {
    // No file may grow: the log of the next commit cannot be written.
    FileSizeLimit full(std::max(FileBytes(dir.file("scores.db")), FileBytes(dir.file("scores.db-wal"))));
    for (int i = 1; i <= 4; ++i) {
      const std::string score = std::to_string(100 + i);
      const ServiceReply r = Upload("Ann_Lee", "secret", Line(score + "|Ann|0|" + std::to_string(1 + i) + "|0|1|0|0"));
      EXPECT_TRUE(r.Status == 200 || r.Status == 500) << r.Status << " " << r.Body;
      (r.Body == "OK" ? kept : refused).push_back(score);
      if (r.Status == 500) {
        EXPECT_EQ(r.Body, "REFUSED: store failed");
      }
    }
    const ServiceReply newcomer = Login("Cy_Newcomer", "secret");
    EXPECT_EQ(newcomer.Status, 500) << newcomer.Body;
    EXPECT_EQ(Table("900", "1").Status, 200) << "reading needs no room";
  }
  EXPECT_FALSE(refused.empty()) << "the limit should have refused a write";
  EXPECT_EQ(log.size(), refused.size() + 1) << "one line per refusal";
  for (const std::string& line : log) EXPECT_EQ(line.rfind("refused ", 0), 0u) << line;
  for (const std::string& line : log) EXPECT_NE(line.find(": store failed: "), std::string::npos) << line;

  // Room again: the next request is stored.
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("200|Ann|0|9|0|1|0|0")).Body, "OK");
  kept.push_back("200");
  Start();
  const std::string table = Table("900", "1").Body;
  std::vector<std::string> listed;
  for (int j = 1; Field(table, "\n", 2 * j - 1) != MissingField; ++j) listed.push_back(Field(Field(table, "\n", 2 * j - 1), "|", 1));
  std::sort(listed.begin(), listed.end());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(listed, kept) << "every record answered OK is kept, no refused one";
  EXPECT_EQ(Login("Cy_Newcomer", "secret").Body.substr(0, 8), "Welcome!") << "the refused registration was not kept";
}

// A store that cannot answer (here its tables gone from under it) gives status 500 and a log line
// for every request, never an answer: not a wrong password, a new registration or a missing table.
TEST_P(EachStore, AFailingStoreIsAServerErrorNeverAnAnswer) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Upload("Ann_Lee", "secret", Line("100|Ann|0|1|0|1|0|0")).Body, "OK");
  RunSql("ALTER TABLE users RENAME TO users_away; ALTER TABLE records RENAME TO records_away");
  const std::string missing = kind == StoreKind::Sqlite ? "store failed: no such table" : "store failed: ERROR: relation";
  const std::function<ServiceReply()> requests[] = {
      [&] { return Login("Ann_Lee", "secret"); },
      [&] { return Login("Ann_Lee", "wrong"); },
      [&] { return Login("Bob_New", "secret"); },
      [&] { return Upload("Ann_Lee", "secret", Line("200|Ann|0|2|0|1|0|0")); },
      [&] { return Table("900", "1"); },
  };
  for (size_t i = 0; i < std::size(requests); ++i) {
    log.clear();
    const ServiceReply r = requests[i]();
    EXPECT_EQ(r.Status, 500) << "request " << i << ": " << r.Body;
    EXPECT_EQ(r.Body, "REFUSED: store failed") << "request " << i;
    ASSERT_EQ(log.size(), 1u) << "request " << i;
    EXPECT_NE(log[0].find(missing), std::string::npos) << log[0];
  }
  RunSql("ALTER TABLE users_away RENAME TO users; ALTER TABLE records_away RENAME TO records");
  EXPECT_EQ(Login("Ann_Lee", "secret").Body.substr(0, 16), "Password Correct");
  EXPECT_EQ(Login("Bob_New", "secret").Body.substr(0, 8), "Welcome!");
  EXPECT_EQ(Table("900", "1").Body, "100|Ann|0|1|0|1|0|0\n" + PerLevel());
}

// The limits on hashing, each counted by its own key over its own window, with the time made by the
// test: hashes per address (an IPv6 address by its /64), wrong passwords per name, new names per
// address and hour. A name and password verified lately cost no hash and count for nothing.
TEST_F(ScoreServiceTest, HashingIsLimitedPerAddressPerNameAndNewNamesPerHour) {
  struct Step {
    int64_t atMs;  // since the case began
    std::string address, user, password;
    int status;
  };
  struct Case {
    std::string what;
    HashLimits limits;
    std::vector<Step> steps;
  };
  const auto limitsWith = [](auto set) {
    HashLimits l;
    set(l);
    return l;
  };
  const Case cases[] = {
      {"hashes per address", limitsWith([](HashLimits& l) { l.PerAddress = 3; }),
       {{0, "192.0.2.1", "Ann_Lee", "secret", 200},
        {0, "192.0.2.1", "Ann_Lee", "wrong1", 403},
        {0, "192.0.2.1", "Ann_Lee", "wrong2", 403},
        {0, "192.0.2.1", "Ann_Lee", "secret", 200},  // verified at registration: no hash
        {0, "192.0.2.1", "Bob_Ray", "secret", 429},
        {0, "192.0.2.1", "Ann_Lee", "wrong3", 429},
        {0, "192.0.2.2", "Bob_Ray", "secret", 200},
        {59999, "192.0.2.1", "Cyd_Fox", "secret", 429},
        {60000, "192.0.2.1", "Cyd_Fox", "secret", 200}}},
      {"an IPv6 address by its /64", limitsWith([](HashLimits& l) { l.PerAddress = 2; }),
       {{0, "2001:db8:0:1::1", "Dan_Oak", "secret", 200},
        {0, "2001:db8:0:1:ffff::2", "Eve_Elm", "secret", 200},
        {0, "2001:db8:0:1::3", "Fay_Ash", "secret", 429},
        {0, "2001:db8:0:2::1", "Fay_Ash", "secret", 200},
        {0, "::ffff:192.0.2.5", "Gus_Yew", "secret", 200},
        {0, "192.0.2.5", "Hal_Fir", "secret", 200},
        {0, "::ffff:192.0.2.5", "Ivy_Bay", "secret", 429}}},
      {"wrong passwords per name", limitsWith([](HashLimits& l) { l.WrongPerName = 2; l.VerifiedMs = 1000; }),
       {{0, "192.0.2.1", "Ann_Lee", "secret", 200},
        {1000, "192.0.2.2", "Ann_Lee", "wrong1", 403},
        {1000, "192.0.2.3", "Ann_Lee", "wrong2", 403},
        {1000, "192.0.2.4", "Ann_Lee", "secret", 429},  // from anywhere, even the right one
        {1000, "192.0.2.4", "Bob_Ray", "secret", 200},
        {1000, "192.0.2.4", "Bob_Ray", "wrong", 403},
        {300999, "192.0.2.4", "Ann_Lee", "secret", 429},
        {301000, "192.0.2.4", "Ann_Lee", "secret", 200}}},
      {"new names per address and hour", limitsWith([](HashLimits& l) { l.NewNamesPerHour = 2; }),
       {{0, "192.0.2.1", "Ann_Lee", "secret", 200},
        {10, "192.0.2.1", "Bob_Ray", "secret", 200},
        {20, "192.0.2.1", "Cyd_Fox", "secret", 429},
        {20, "192.0.2.1", "Ann_Lee", "secret", 200},  // logging in is no new name
        {20, "192.0.2.2", "Cyd_Fox", "secret", 200},
        {3599999, "192.0.2.1", "Dan_Oak", "secret", 429},
        {3600000, "192.0.2.1", "Dan_Oak", "secret", 200},
        {3600010, "192.0.2.1", "Eve_Elm", "secret", 200},
        {3600011, "192.0.2.1", "Fay_Ash", "secret", 429}}},
  };
  for (const Case& c : cases) {
    dbName = "case" + std::to_string(&c - cases) + ".db";
    limits = c.limits;
    Start();
    const int64_t begin = clockMs.load();
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      clockMs = begin + s.atMs;
      Address = s.address;
      log.clear();
      const ServiceReply r = Login(s.user, s.password);
      EXPECT_EQ(r.Status, s.status) << c.what << ", step " << i << ": " << r.Body;
      if (s.status == 429) {
        EXPECT_EQ(r.Body.rfind("REFUSED: too many ", 0), 0u) << c.what << ", step " << i;
        EXPECT_EQ(log.size(), 1u) << c.what << ", step " << i;
      }
    }
  }
}

// Uploads after a login, and logins again, cost no hash while the name and password were verified
// in the last few minutes; a wrong password costs a hash every time, and a restarted server knows
// nobody.
TEST_F(ScoreServiceTest, AVerifiedNameAndPasswordSkipTheHashAWrongPasswordNever) {
  limits.VerifiedMs = 300000;
  Start();
  struct Step {
    int64_t advanceMs;
    bool upload;
    std::string password, reply;
    int hashes;  // computed for the request
  };
  const Step steps[] = {
      {0, false, "secret", "Welcome!|Hi\nThere", 1},
      {1000, false, "secret", "Password Correct|Hi\nThere", 0},
      {0, true, "secret", "OK", 0},
      {0, false, "wrong", "WRONG PASSWORD", 1},
      {0, false, "wrong", "WRONG PASSWORD", 1},
      {0, true, "wrong", "WRONG PASSWORD", 1},
      {0, false, "secreT", "WRONG PASSWORD", 1},
      {0, true, "secret", "OK", 0},
      {298999, false, "secret", "Password Correct|Hi\nThere", 0},
      {1, false, "secret", "Password Correct|Hi\nThere", 1},  // 5 minutes since the registration
      {0, true, "secret", "OK", 0},
  };
  int score = 100;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& s = steps[i];
    clockMs += s.advanceMs;
    const int before = hashes.load();
    const ServiceReply r = s.upload ? Upload("Ann_Lee", s.password, Line(std::to_string(++score) + "|Ann|0|1|0|1|0|0"))
                                    : Login("Ann_Lee", s.password);
    EXPECT_EQ(r.Body, s.reply) << "step " << i;
    EXPECT_EQ(hashes.load() - before, s.hashes) << "step " << i;
  }
  Start();
  const int before = hashes.load();
  EXPECT_EQ(Login("Ann_Lee", "secret").Body, "Password Correct|Hi\nThere");
  EXPECT_EQ(hashes.load() - before, 1) << "nothing verified is kept past the process";
}

// With every hashing slot taken, a request that finds the queue full is answered 503 at once (while
// the slot is still held), and one that waits past the limit gets 503 too; both are logged, and
// once the slot is free the held login ends as usual.
TEST_F(ScoreServiceTest, HashingPastItsQueueOrItsWaitIs503) {
  struct Case {
    std::string what;
    int queue, waitMs;
    std::string logged;
  };
  const Case cases[] = {
      {"no room in the queue", 0, 60000, "refused login: server busy (hashing queue full), try again in a minute"},
      {"waited past the limit", 1, 1, "refused login: server busy (waited too long for hashing), try again in a minute"},
  };
  for (const Case& c : cases) {
    dbName = "case" + std::to_string(&c - cases) + ".db";
    limits.HashesAtOnce = 1;
    limits.Queue = c.queue;
    limits.WaitMs = c.waitMs;
    HashingHold hold;
    whileHashing = [&hold] { hold.Enter(); };
    Start();
    ServiceReply held;
    std::thread first([&] { held = Login("Ann_Lee", "secret"); });
    ASSERT_TRUE(hold.WaitInside(1)) << c.what;
    log.clear();
    const ServiceReply busy = Login("Bob_Ray", "secret");
    EXPECT_EQ(hold.Inside(), 1) << c.what << ": answered while the slot was held";
    EXPECT_EQ(busy.Status, 503) << c.what;
    EXPECT_EQ(busy.Body.rfind("REFUSED: server busy", 0), 0u) << c.what;
    EXPECT_EQ(log, std::vector<std::string>{c.logged}) << c.what;
    // A table read meanwhile is answered: it waits for no hash (the guard only keeps a broken
    // server from hanging the test).
    auto table = std::async(std::launch::async, [&] { return Table("900", "1"); });
    const bool read = table.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    EXPECT_TRUE(read) << c.what << ": the table read waited for hashing";
    EXPECT_EQ(hold.Inside(), 1) << c.what;
    hold.Open();
    EXPECT_EQ(table.get().Status, 404) << c.what;
    first.join();
    EXPECT_EQ(held.Body, "Welcome!|Hi\nThere") << c.what;
    EXPECT_EQ(Login("Bob_Ray", "secret").Body, "Welcome!|Hi\nThere") << c.what;
    whileHashing = nullptr;
    service.reset();
  }
}

// Two connections to one store, as two servers sharing it, send each registration and each upload
// at the same moment: the name is kept for one of them (the other is told it is taken) and the
// record once.
TEST_P(EachStore, TwoServersAtOnceRegisterANameOnceAndKeepARecordOnce) {
  std::unique_ptr<ScoreStore> stores[2];
  for (auto& store : stores) {
    std::string error;
    store = OpenScoreStore(Where(dbName), error);
    ASSERT_TRUE(store) << error;
  }
  constexpr int Rounds = 20;
  for (int round = 0; round < Rounds; ++round) {
    const std::string user = "Racer_" + std::to_string(round);
    StoredRecord record;
    record.Score = 1000 + round;
    record.Name = "Racer";
    record.Timestamp = round;
    StoreResult added[2], kept[2];
    std::latch registering(2), uploading(2);
    const auto send = [&](int i) {
      registering.arrive_and_wait();
      added[i] = stores[i]->AddUser(user, "hash of " + std::to_string(i));
      uploading.arrive_and_wait();
      kept[i] = stores[i]->AddRecord(900, 1, user, record, 30);
    };
    std::thread second(send, 1);
    send(0);
    second.join();
    ASSERT_FALSE(added[0].Failed() || added[1].Failed()) << added[0].Error << added[1].Error;
    ASSERT_NE(added[0].Status, added[1].Status) << "round " << round << ": one Done, one Taken";
    const int winner = added[0].Status == StoreStatus::Done ? 0 : 1;
    EXPECT_EQ(added[1 - winner].Status, StoreStatus::Taken) << "round " << round;
    std::string hash;
    EXPECT_EQ(stores[1 - winner]->PasswordHash(user, hash).Status, StoreStatus::Done);
    EXPECT_EQ(hash, "hash of " + std::to_string(winner)) << "round " << round << ": the winner's password";
    EXPECT_EQ(kept[0].Status, StoreStatus::Done) << kept[0].Error;
    EXPECT_EQ(kept[1].Status, StoreStatus::Done) << kept[1].Error;
  }
  std::vector<StoredRecord> records;
  ASSERT_EQ(stores[0]->BestRecords(900, 1, 100, records).Status, StoreStatus::Done);
  EXPECT_EQ(records.size(), size_t{Rounds}) << "each record once";
}

// The cases of the PostgreSQL store alone: sessions ended under the service (as by a restart of
// the database or an administrator), and the schema's migrations.
class OnPostgres : public ScoreServiceTest {
 protected:
  void SetUp() override {
    kind = StoreKind::Postgres;
    ScoreServiceTest::SetUp();
  }
  // Ends the service's sessions on its database (those waiting for a lock when waiting is set),
  // and waits until they are gone: how many there were.
  int EndSessions(bool waiting) {
    std::string out;
    EXPECT_TRUE(RunPostgresSql(Where(dbName),
                               "SELECT count(*) FILTER (WHERE pg_terminate_backend(pid, 10000)) FROM pg_stat_activity"
                               " WHERE datname = current_database() AND application_name = 'vq-score-server'" +
                                   std::string(waiting ? " AND wait_event_type = 'Lock'" : ""),
                               out))
        << out;
    return std::atoi(out.c_str());
  }
};

// Sessions the database ended while they were idle are made again before they are used: every
// request after it is served.
TEST_F(OnPostgres, SessionsEndedWhileIdleAreMadeAgainUnseen) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Upload("Ann_Lee", "secret", Line("100|Ann|0|1|0|1|0|0")).Body, "OK");
  EXPECT_EQ(EndSessions(false), 4) << "the service's connections";
  log.clear();
  EXPECT_EQ(Table("900", "1").Body, "100|Ann|0|1|0|1|0|0\n" + PerLevel());
  EXPECT_EQ(Login("Ann_Lee", "secret").Body, "Password Correct|Hi\nThere");
  EXPECT_EQ(Login("Bob_Ray", "hidden").Body, "Welcome!|Hi\nThere");
  EXPECT_EQ(Upload("Ann_Lee", "secret", Line("200|Ann|0|2|0|1|0|0")).Body, "OK");
  EXPECT_EQ(log.size(), 2u) << "two records stored, nothing refused";
}

// A session lost in the middle of a request (here ended while it waits for a lock another program
// holds) fails that request with status 500 and a log line, as any store failure, and the next
// request is served, whichever operation met it.
TEST_F(OnPostgres, ASessionLostInARequestFailsItAndTheNextIsServed) {
  ASSERT_EQ(Login("Ann_Lee", "secret").Status, 200);
  ASSERT_EQ(Upload("Ann_Lee", "secret", Line("100|Ann|0|1|0|1|0|0")).Body, "OK");
  struct Case {
    std::string what;
    std::function<ServiceReply()> request;
    std::string reply;  // once the connection is back
  };
  const Case cases[] = {
      {"a table", [&] { return Table("900", "1"); }, "100|Ann|0|1|0|1|0|0\n" + PerLevel()},
      {"a login", [&] { return Login("Ann_Lee", "secret"); }, "Password Correct|Hi\nThere"},
      {"a registration", [&] { return Login("Bob_Ray", "hidden"); }, "Welcome!|Hi\nThere"},
      {"an upload", [&] { return Upload("Ann_Lee", "secret", Line("200|Ann|0|2|0|1|0|0")); }, "OK"},
  };
  for (const Case& c : cases) {
    PostgresSession other(Where(dbName));
    std::string out;
    ASSERT_TRUE(other.Run("BEGIN; LOCK TABLE users, records IN ACCESS EXCLUSIVE MODE", out)) << out;
    log.clear();
    auto lost = std::async(std::launch::async, c.request);
    // The request waits for the lock; its session is ended there (the count only keeps a broken
    // store from hanging the test).
    int ended = 0;
    for (int i = 0; i < 6000 && ended == 0; ++i) {
      if (lost.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready) break;  // it did not wait
      ended = EndSessions(true);
    }
    EXPECT_EQ(ended, 1) << c.what;
    const ServiceReply failed = lost.get();
    EXPECT_EQ(failed.Status, 500) << c.what << ": " << failed.Body;
    EXPECT_EQ(failed.Body, "REFUSED: store failed") << c.what;
    ASSERT_EQ(log.size(), 1u) << c.what;
    EXPECT_NE(log[0].find(": store failed: "), std::string::npos) << c.what << ": " << log[0];
    ASSERT_TRUE(other.Run("ROLLBACK", out)) << out;
    const ServiceReply next = c.request();
    EXPECT_EQ(next.Status, 200) << c.what << ": " << next.Body;
    EXPECT_EQ(next.Body, c.reply) << c.what;
  }
  EXPECT_EQ(Table("900", "1").Body, "200|Ann|0|2|0|1|0|0\n" + PerLevel() + "\n100|Ann|0|1|0|1|0|0\n" + PerLevel());
}

// Servers started at the same moment against a new database all open it: one makes the schema, the
// others wait for it and find it made. A database migrated past what this server knows, and one
// that cannot be reached, are refused with the reason.
TEST_F(OnPostgres, ServersStartingAtOnceMigrateANewDatabaseOnce) {
  const std::string fresh = Where("fresh");
  constexpr int Servers = 4;
  std::unique_ptr<ScoreStore> stores[Servers];
  std::string errors[Servers];
  std::latch starting(Servers);
  std::vector<std::thread> threads;
  for (int i = 0; i < Servers; ++i)
    threads.emplace_back([&, i] {
      starting.arrive_and_wait();
      stores[i] = OpenScoreStore(fresh, errors[i]);
    });
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < Servers; ++i) EXPECT_TRUE(stores[i]) << errors[i];
  std::string out;
  ASSERT_TRUE(RunPostgresSql(fresh, "SELECT version FROM schema_migrations", out)) << out;
  EXPECT_EQ(out, "1\n");
  EXPECT_NE(stores[0]->Describe().find("PostgreSQL database "), std::string::npos) << stores[0]->Describe();

  ASSERT_TRUE(RunPostgresSql(fresh, "INSERT INTO schema_migrations(version) VALUES (2)", out)) << out;
  std::string error;
  EXPECT_FALSE(OpenScoreStore(fresh, error));
  EXPECT_EQ(error, "the database's schema is version 2, newer than this server's (1)");

  EXPECT_FALSE(OpenScoreStore("postgresql:///vq?host=/nonexistent-folder", error));
  EXPECT_EQ(error.rfind("cannot connect to the PostgreSQL database: ", 0), 0u) << error;
}
