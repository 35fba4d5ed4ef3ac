#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

// The server program of this build: beside the tests' build folder.
std::string ServerProgram() {
  if (const char* build = std::getenv("VQ_BUILD_DIR")) return std::string(build) + "/server/vq-score-server";
  char self[PATH_MAX] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
  for (int up = 0; up < 2 && !dir.empty(); ++up) dir = dir.substr(0, dir.rfind('/'));
  return dir + "/server/vq-score-server";
}

// vq-score-server started on a free loopback port, stopped with SIGTERM when the object goes.
class ServerProcess {
 public:
  ServerProcess(const std::string& db, const std::string& motd) {
    int out[2];
    if (::pipe(out) != 0) return;
    const std::string program = ServerProgram();  // made before the fork: the child only execs
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::execl(program.c_str(), program.c_str(), "--port", "0", "--bind", "127.0.0.1", "--db", db.c_str(), "--motd",
              motd.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(out[1]);
    // The first line names the port: "vq-score-server: listening on 127.0.0.1 port N, ...".
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 && ::read(out[0], &c, 1) == 1)
      line.push_back(c);
    ::close(out[0]);
    const size_t at = line.find(" port ");
    if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + 6);
  }
  ~ServerProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace

// The game's side of the protocol against the real server program: registration, the message of
// the day, the missing table answered by an upload, the table read back, a wrong password.
TEST(RealScoreServer, LoginUploadAndTableRoundTrip) {
  if (::access(ServerProgram().c_str(), X_OK) != 0) GTEST_SKIP() << "no server program at " << ServerProgram();
  ResetAllState();
  BuildDefaultKey();
  TempDir dir;
  WriteFile(dir.file("motd.txt"), "Welcome to the tables\r\n\r\nSecond | line\r\n");
  ServerProcess server(dir.file("scores.db"), dir.file("motd.txt"));
  ASSERT_GT(server.port(), 0);
  ASSERT_TRUE(SetScoreServer("127.0.0.1:" + std::to_string(server.port())));
  Online.Enabled = 1;

  ScoreLists.OnlineUser = "Ann-Lee";
  ScoreLists.OnlinePassword = "p:ss-word";
  auto local = std::make_shared<Scores>();
  local->Score = 4321;
  local->Name = "Ann";
  local->Timestamp = 64667939696;
  local->GameMode = 1;
  ScoreLists.LocalScores = {local};
  ScoreLists.LocalBest = local;
  Core.Difficulty = 1;

  LoginResult login = Login();
  ASSERT_TRUE(login.LoggedIn) << login.Failure;
  EXPECT_EQ(login.Motd, (std::vector<std::string>{"Welcome to the tables", "Second / line"}));
  EXPECT_EQ(ScoreLists.OnlineUser, "Ann_Lee");

  // No table yet: the server's page says so and the local best goes up.
  RemoveOnlineTable();
  TableRefresh refresh = RefreshOnlineTable();
  EXPECT_TRUE(refresh.MissingTable);
  EXPECT_TRUE(refresh.Uploaded);
  EXPECT_TRUE(ScoreLists.OnlineScores.empty());

  // The next refresh shows it, read as an online record.
  RemoveOnlineTable();
  refresh = RefreshOnlineTable();
  EXPECT_FALSE(refresh.MissingTable);
  ASSERT_EQ(refresh.Entries, 1);
  ASSERT_EQ(ScoreLists.OnlineScores.size(), 1u);
  const Scores& shown = *ScoreLists.OnlineScores[0];
  EXPECT_EQ(shown.Score, 4321);
  EXPECT_EQ(shown.Name, "Ann");
  EXPECT_EQ(shown.Timestamp, 64667939696);
  EXPECT_EQ(shown.GameMode, ~1);
  RemoveOnlineTable();
  EXPECT_EQ(RefreshOnlineTable().Entries, 1) << "the same record offered again is kept once";

  EXPECT_EQ(LoginRequest(Scramble("Ann_Lee|" + CredentialToken(), "")).substr(0, 16), "Password Correct");
  ScoreLists.OnlinePassword = "another";
  login = Login();
  EXPECT_FALSE(login.LoggedIn);
  EXPECT_EQ(login.Failure, "WRONG PASSWORD");
}
