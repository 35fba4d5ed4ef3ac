#include <gtest/gtest.h>

#include <csignal>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"
#include "support/test_support.h"

namespace {

// Once the game is over (no pause allowed any more) the player taps Enter now and then, which
// confirms the name entry screen.
void TapEnterAfterTheGame() {
  if (Display.PauseState != 0) return;
  const bool down = (ClockMs() / 100) % 2 == 0;
  if (down != Input.KeyDown[13]) FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, 13));
}

}  // namespace

// Whole games run in-process: the fake clock makes the paced frames instant, and without a screen
// or assets nothing is drawn while every rule runs.
class PlayGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
    SeedRnd(2026);
    ChangeDir(dir.path());
    BuildDefaultKey();
    LoadScores();  // no file yet: saves go to this folder
    AllocateGameArrays();
    Display.SpriteBudget[1] = 50000;
    Display.SpriteBudget[3] = 500;
    Core.Difficulty = 1;
    Display.PauseState = 1;
  }
  void TearDown() override { ResetRenderState(); }
  TempDir dir;
};

TEST_F(PlayGameTest, AGameRunsToItsEndAndLeavesAStoredRecord) {
  // The player keeps blasting the middle of the screen now and then.
  Input.EventScript = [] {
    const bool down = (ClockMs() / 500) % 4 == 0 && Display.PauseState != 0;
    if (down != Input.MouseDown[1]) FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1));
    TapEnterAfterTheGame();
  };
  Display.PointerX = 640;
  Display.PointerY = 600;
  const uint32_t start = ClockMs();
  PlayGame();
  const GameRound& round = Game.Round;
  EXPECT_EQ(round.EndReason, 1);
  EXPECT_EQ(round.Lives, -1);  // the first loss after the lives reached 0
  EXPECT_GT(ClockMs() - start, 1500u);
  EXPECT_EQ(Display.PauseState, 0);
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  const Scores& record = *ScoreLists.LocalScores[0];
  EXPECT_EQ(record.Score, round.Score);
  EXPECT_EQ(record.GameMode, 1);
  EXPECT_EQ(record.Quit, 0);
  EXPECT_EQ(record.Name, "Player");
  EXPECT_EQ(ScoreLists.LastRecord, ScoreLists.LocalScores[0]);
  // The record is on disk at once, not only at exit.
  ResetScoresState();
  BuildDefaultKey();
  LoadScores();
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Score, round.Score);
}

TEST_F(PlayGameTest, QuittingFromThePauseMenuEndsTheGameWithTheQuitMark) {
  Hooks.PauseMenu = [] { return 99; };
  Input.EventScript = [] {
    if (ClockMs() > 3000 && Display.PauseState != 0 && !Input.KeyDown[27])
      FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
    if (Display.PauseState == 0 && Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
    TapEnterAfterTheGame();
  };
  PlayGame();
  EXPECT_EQ(Game.Round.EndReason, 99);
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Quit, 1);
}

// A termination signal while the name is asked for ends the program from inside the name entry (its
// frame end runs the exit screen, which saves the score file and ends without waiting): the game just
// played is kept, under the name offered. A name confirmed after the game is the one stored.
TEST_F(PlayGameTest, TheGameIsKeptWhenTheProgramEndsDuringTheNameEntry) {
  for (const bool terminate : {true, false}) {
    std::remove(dir.file(ScoreFileName).c_str());
    SetUp();
    Shell.FilesDir = dir.path();
    ScoreLists.PlayerName = "Offered";
    Hooks.PauseMenu = [] { return 99; };
    Hooks.ExitScreen = ExitScreen;
    if (terminate) CatchTerminationSignals();
    Input.EventScript = [terminate] {
      if (ClockMs() > 3000 && Display.PauseState != 0 && !Input.KeyDown[27])
        FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
      if (Display.PauseState == 0 && Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
      if (Display.PauseState != 0) return;
      if (terminate) {
        if (!Input.Terminating) std::raise(SIGTERM);
      } else if (ScoreLists.PlayerName == "Offered") {
        FeedInputEvent(InputEvent(InputEvent::KeyDown, 8));  // one backspace, then Enter
        FeedInputEvent(InputEvent(InputEvent::KeyUp, 8));
      } else {
        TapEnterAfterTheGame();
      }
    };
    bool exited = false;
    try {
      PlayGame();
    } catch (const ProgramExit&) {
      exited = true;
    }
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    EXPECT_EQ(exited, terminate);
    ResetScoresState();
    BuildDefaultKey();
    LoadScores();
    ASSERT_EQ(ScoreLists.LocalScores.size(), 1u) << (terminate ? "terminated" : "confirmed");
    EXPECT_EQ(ScoreLists.LocalScores[0]->Name, terminate ? "Offered" : "Offere");
    EXPECT_EQ(ScoreLists.LocalScores[0]->Quit, 1);
  }
}

// An Apply in the middle of a game changes the space (here to the 16:9 one): from the next frame the
// grid spans the new width and drops fall in the columns that are new.
TEST_F(PlayGameTest, AnApplyDuringAGameChangesTheGridsExtent) {
  Hooks.PauseMenu = [] { return 99; };
  static int columnsBefore;
  columnsBefore = 0;
  Hooks.SettingsScreen = [] {
    if (ClockMs() > 2000 && Display.VirtualWidth == 1280) {
      columnsBefore = LastColumn(Game.Round);
      Display.VirtualWidth = 1600;
      Display.VirtualHeight = 900;
    }
  };
  Input.EventScript = [] {
    if (ClockMs() > 6000 && Display.PauseState != 0 && !Input.KeyDown[27])
      FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
    if (Display.PauseState == 0 && Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
    TapEnterAfterTheGame();
  };
  PlayGame();
  const GameRound& round = Game.Round;
  EXPECT_EQ(round.VirtualWidth, 1600);
  EXPECT_EQ(round.VirtualHeight, 900);
  EXPECT_EQ(columnsBefore, 91);
  EXPECT_EQ(LastColumn(round), 114);
  int lit = 0;
  for (int col = columnsBefore + 1; col <= LastColumn(round); ++col)
    for (int row = 0; row <= LastRow(round); ++row) lit += Game.Grid.Glow[Cell(row, col)] > 0;
  EXPECT_GT(lit, 0);
}

TEST_F(PlayGameTest, TheMusicLoopStartsWithTheGameAndStopsAtItsEnd) {
  Game.MusicLoop = CreateSound(SoundSamples{8000, 1, std::vector<int16_t>(8000)});  // one second
  Hooks.PauseMenu = [] { return 99; };
  int restarts = 0;
  std::shared_ptr<TChannel> last;
  Input.EventScript = [&] {
    if (Audio.MusicTrackChannel && Audio.MusicTrackChannel != last) {
      last = Audio.MusicTrackChannel;
      ++restarts;
    }
    if (ClockMs() > 4500 && Display.PauseState != 0 && !Input.KeyDown[27])
      FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
    if (Display.PauseState == 0 && Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
    TapEnterAfterTheGame();
  };
  PlayGame();
  EXPECT_GE(restarts, 3);  // the one-second loop was started again whenever it ended
  EXPECT_EQ(Audio.MusicTrackChannel, nullptr);
}

TEST_F(PlayGameTest, AClickOnTheStartPromptRunsAGameAndComesBackToTheTitle) {
  REQUIRE_DISPLAY();
  ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
  SetVirtualSize(1280, 960);
  Display.PauseState = 0;
  Input.InputMode = 1;
  Hooks.PauseMenu = [] { return 99; };
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  // The prompt sits at the middle of the space left of the panel, (432, 480) once slid in; the
  // pointer goes there, clicks, and Escape quits the game from the pause menu.
  int games = 0;
  bool inGame = false;
  Input.EventScript = [&] {
    const uint32_t t = ClockMs();
    InputEvent move(InputEvent::MouseMove);
    move.x = 270;
    move.y = 300;
    if (Input.MouseX != 270) FeedInputEvent(move);
    if (Display.PauseState == 1 && !inGame) {
      inGame = true;
      ++games;
    }
    if (t > 2000 && t < 2100 && !Input.MouseDown[1]) FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
    if (t >= 2100 && Input.MouseDown[1]) FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
    if (inGame && t > 4000 && !Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
    if (inGame && Display.PauseState == 0) {
      inGame = false;
      FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
    }
    if (t < 9000) TapEnterAfterTheGame();  // confirms the name; on the title, Enter starts nothing in mouse mode
    if (t > 9000 && !inGame) FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
  };
  TitleLoop();
  EXPECT_EQ(games, 1);
  EXPECT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_GT(ClockMs(), 9000u);  // the Escape held from the game did not end the title loop
  EXPECT_EQ(Shell.SlideIn, 32);
}
