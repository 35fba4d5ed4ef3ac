// The score file in the program's start and stop order.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/core.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"
#include "support/test_support.h"

class ScoreFileWiringTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(1000); }
  void TearDown() override { ResetRenderState(); }
};

TEST_F(ScoreFileWiringTest, StartUpBuildsTheKeyAndHandsTheLoaderToTheAssets) {
  REQUIRE_DISPLAY();
  TempDir dir;
  const std::string files = dir.file("Files");
  for (const std::string& sub : {std::string(), std::string("/Common"), std::string("/900")})
    ::mkdir((files + sub).c_str(), 0755);
  auto pressed = std::make_shared<bool>(false);
  Input.EventScript = [pressed] {  // Escape once the loading is over ends the title loop
    if (!*pressed && ClockMs() >= 6000) FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
    if (ClockMs() >= 6000) *pressed = true;
  };
  try {
    RunProgram(files);
    FAIL() << "the program returned";
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 0);
  }
  // Two characters for each of "Tessel Probe" and "Every square in its place", the test game's words.
  EXPECT_EQ(ScoreLists.DefaultKey.size(), 74u);
  EXPECT_EQ(Hooks.LoadScores, &LoadScores);
}

TEST_F(ScoreFileWiringTest, TheExitScreenSavesTheScores) {
  TempDir dir;
  ChangeDir(dir.path());
  Shell.FilesDir = dir.path();
  LoadScores();
  auto record = std::make_shared<Scores>();
  record->Score = 4242;
  record->Name = "Ann";
  ScoreLists.LocalScores.push_back(record);
  Input.EventScript = [] {  // a key once the farewell page is up ends it
    if (ClockMs() > 1100) FeedInputEvent(InputEvent(InputEvent::KeyDown, 32));
  };
  try {
    ExitScreen();
  } catch (const ProgramExit& e) {
    EXPECT_EQ(e.status, 0);
  }
  EXPECT_TRUE(FileExists(dir.file("Setup.ini")));
  ResetScoresState();
  ChangeDir(dir.path());
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Score, 4242);
  EXPECT_EQ(ScoreLists.PlayerName, "Ann");
}
