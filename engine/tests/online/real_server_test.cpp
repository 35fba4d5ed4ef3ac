#include <gtest/gtest.h>
#include <unistd.h>

#include "core/core.h"
#include "online/online.h"
#include "scores/scores.h"
#include "support/score_server_process.h"
#include "support/test_support.h"

// The game's side of the protocol against the real server program: registration, the message of
// the day, the missing table answered by an upload, the table read back, a wrong password.
TEST(RealScoreServer, LoginUploadAndTableRoundTrip) {
  if (::access(ScoreServerProgram().c_str(), X_OK) != 0) GTEST_SKIP() << "no server program at " << ScoreServerProgram();
  ResetAllState();
  BuildDefaultKey();
  TempDir dir;
  WriteFile(dir.file("motd.txt"), "Welcome to the tables\r\n\r\nSecond | line\r\n");
  ScoreServerProcess server(dir.file("scores.db"), dir.file("motd.txt"));
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
