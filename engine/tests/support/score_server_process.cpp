#include "support/score_server_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "core/core.h"

std::string ScoreServerProgram() {
  // The tests' own build of the server, which serves the test game as well as every game.
  if (const char* build = std::getenv("VQ_BUILD_DIR")) return std::string(build) + "/server/vq-test-score-server";
  // The test programs sit in BUILD/engine/tests/ or BUILD/games/NAME/.
  std::string build = ExecutableFolder();
  for (int up = 0; up < 2; ++up) build = build.substr(0, build.rfind('/'));
  return build + "/server/vq-test-score-server";
}

ScoreServerProcess::ScoreServerProcess(const std::string& db, const std::string& motd) {
  int out[2];
  if (::pipe(out) != 0) return;
  // Everything the child needs is made before the fork: the child only execs.
  const std::string program = ScoreServerProgram();
  std::vector<std::string> args = {program, "--port", "0", "--bind", "127.0.0.1", "--db", db};
  if (!motd.empty()) {
    args.push_back("--motd");
    args.push_back(motd);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    ::execv(program.c_str(), argv.data());
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

ScoreServerProcess::~ScoreServerProcess() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}
