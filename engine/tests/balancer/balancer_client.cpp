// The game's own client as a load of players, for the run of several servers behind a load balancer
// (behind_nginx.sh). It speaks through the engine's online code exactly as the title screen's
// online page does: Login, UploadScore, FetchTable.
//
//   balancer_client HOST:PORT run ID SECONDS ACKED
//     Players named after ID (a number: clients running side by side take different ones) log in
//     one after another; each uploads up to 30 records of its own table (one table per player and
//     client, so that none can push another's record out of a table), then
//     the next player logs in, until SECONDS have passed. Every upload the server answered "OK" is
//     appended to ACKED at once as "USER TABLE SCORE". Prints how many logins and uploads failed.
//   balancer_client HOST:PORT record USER PASSWORD NAME SCORE DIFFICULTY QUIT
//     Logs in as USER and uploads one record of that difficulty's table under the player name NAME
//     (any text: the web pages' tests give hostile ones); exits with 1 unless it was answered OK.
//   balancer_client HOST:PORT check ACKED
//     Reads the table of every player in ACKED and checks that each record answered "OK" is there;
//     prints the count and exits with 1 on any record missing.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "test_game/test_game.h"

namespace {

constexpr int RecordsPerPlayer = 30;  // a user keeps at most 30 records in a table

// The table of client id's player: Level and GameFlags from both (difficulty 0), so that no two
// players of any two clients share one.
void ChooseTable(int id, int player) {
  const int table = id * 100000 + player;
  Core.Difficulty = 0;
  Core.Level = table % 10;
  Core.GameFlags = table / 10;
}

void UsePlayer(int id, int player) {
  ScoreLists.OnlineUser = "lb" + std::to_string(id) + "p" + std::to_string(player);
  ScoreLists.OnlinePassword = "pw" + std::to_string(id) + "x" + std::to_string(player);
  ChooseTable(id, player);
}

int Run(int id, int seconds, const std::string& ackedPath) {
  std::ofstream acked(ackedPath, std::ios::app);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int logins = 0, failedLogins = 0, uploads = 0, failedUploads = 0;
  for (int player = 0; std::chrono::steady_clock::now() < end; ++player) {
    UsePlayer(id, player);
    ++logins;
    if (!Login().LoggedIn) {
      ++failedLogins;
      continue;
    }
    for (int n = 1; n <= RecordsPerPlayer && std::chrono::steady_clock::now() < end; ++n) {
      Scores record;
      record.Score = 1000 * n + player;
      record.Name = ScoreLists.OnlineUser;
      record.Timestamp = 64667939696 + n;
      record.Level = Core.Level;
      record.GameMode = Core.Difficulty;
      record.GameFlags = Core.GameFlags;
      ++uploads;
      if (UploadScore(record) == "OK") {
        acked << ScoreLists.OnlineUser << ' ' << TableId() << ' ' << record.Score << '\n' << std::flush;
      } else {
        ++failedUploads;
      }
    }
  }
  std::printf("client %d: %d logins (%d failed), %d uploads (%d not answered OK)\n", id, logins,
              failedLogins, uploads, failedUploads);
  return 0;
}

int Check(const std::string& ackedPath) {
  // Each table's acknowledged records, by user and score.
  std::map<std::string, std::set<std::pair<std::string, int64_t>>> expected;
  std::ifstream in(ackedPath);
  std::string user, table;
  int64_t score = 0;
  size_t total = 0;
  while (in >> user >> table >> score) {
    expected[table].insert({user, score});
    ++total;
  }
  size_t missing = 0;
  for (const auto& [id, records] : expected) {
    const std::string body = FetchTable(id);
    if (body.empty()) {
      std::printf("table %s: no reply\n", id.c_str());
      missing += records.size();
      continue;
    }
    std::set<std::pair<std::string, int64_t>> shown;
    for (const auto& r : ReadOnlineTable(body)) shown.insert({r->Name, r->Score});
    for (const auto& r : records)
      if (!shown.count(r)) {
        std::printf("table %s: %s's %lld was answered OK and is missing\n", id.c_str(), r.first.c_str(),
                    static_cast<long long>(r.second));
        ++missing;
      }
  }
  std::printf("checked %zu records answered OK in %zu tables: %zu missing\n", total, expected.size(), missing);
  return missing == 0 ? 0 : 1;
}

int Record(const std::string& user, const std::string& password, const std::string& name, int64_t score,
           int difficulty, int quit) {
  ScoreLists.OnlineUser = user;
  ScoreLists.OnlinePassword = password;
  if (!Login().LoggedIn) return std::fprintf(stderr, "%s could not log in\n", user.c_str()), 1;
  Scores record;
  record.Score = score;
  record.Name = name;
  record.Timestamp = (((2026LL * 12 + 12) * 31 + 10) * 24 + 12) * 3600;  // 10 December 2026, noon
  record.GameMode = difficulty;
  record.Quit = quit;
  const std::string reply = UploadScore(record);
  if (reply != "OK") return std::fprintf(stderr, "the upload got: %s\n", reply.c_str()), 1;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string usage =
      "usage: balancer_client HOST:PORT run ID SECONDS ACKED | HOST:PORT check ACKED\n"
      "       | HOST:PORT record USER PASSWORD NAME SCORE DIFFICULTY QUIT\n";
  if (argc < 4) return std::fputs(usage.c_str(), stderr), 2;
  const std::string missing = UseGame(TestGame);
  if (!missing.empty()) return std::fprintf(stderr, "%s\n", missing.c_str()), 70;
  ResetOnlineState();
  Online.WhileWaiting = [] {};
  Online.Enabled = 1;
  BuildDefaultKey();
  if (!SetScoreServer(argv[1])) return std::fprintf(stderr, "bad server: %s\n", argv[1]), 2;
  const std::string mode = argv[2];
  if (mode == "run" && argc == 6 && std::atoi(argv[3]) > 0) return Run(std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
  if (mode == "check" && argc == 4) return Check(argv[3]);
  if (mode == "record" && argc == 9)
    return Record(argv[3], argv[4], argv[5], std::atoll(argv[6]), std::atoi(argv[7]), std::atoi(argv[8]));
  std::fputs(usage.c_str(), stderr);
  return 2;
}
