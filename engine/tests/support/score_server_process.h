// The score server program of this build, run by a test on a free loopback port.
#pragma once

#include <sys/types.h>

#include <string>

// The server program beside the tests' build folder.
std::string ScoreServerProgram();

// vq-score-server started on a free loopback port over the database file db (and the message of the
// day file motd, when given), stopped with SIGTERM when the object goes. port() is 0 when it did not
// start.
class ScoreServerProcess {
 public:
  explicit ScoreServerProcess(const std::string& db, const std::string& motd = "");
  ~ScoreServerProcess();
  ScoreServerProcess(const ScoreServerProcess&) = delete;
  ScoreServerProcess& operator=(const ScoreServerProcess&) = delete;
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};
