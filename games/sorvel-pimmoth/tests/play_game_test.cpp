#include <gtest/gtest.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "scores/scramble.h"
#include "support/test_support.h"

namespace {

// Another game of the series, with its own words and week: its key must read nothing of this game's.
const GameIdentity AnotherGame{.WeekNumber = 301, .TitleWord1 = "Other", .TitleWord2 = "Game",
                               .Tagline = "Not the same key", .GameCode = "OTHER301", .ExecutableName = "other-game"};

// Once the game is over (no pause allowed any more) the player taps Enter now and then, which
// confirms the name entry screen.
void TapEnterAfterTheGame() {
  if (Display.PauseState != 0) return;
  const bool down = (ClockMs() / 100) % 2 == 0;
  if (down != Input.KeyDown[13]) FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, 13));
}

}  // namespace

// A whole game runs in-process: the fake clock makes the paced frames instant, and without a screen
// or assets nothing is drawn while every rule runs. The player's files go to a player folder, so
// the record lands in the game's own folder of it.
class PlayGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
    SeedRnd(2027);
    MakeFolders(dir.file("279"));
    Core.PlayerDir = dir.path();
    ChangeDir(dir.file("279"));
    BuildDefaultKey();
    LoadScores();  // no file yet: saves go to the player folder's 279/
    AllocateGameArrays();
    Display.SpriteBudget[1] = Display.SpriteBudget[2] = 50000;
    Core.Difficulty = 2;
    Display.PauseState = 1;
  }
  void TearDown() override { ResetRenderState(); }
  TempDir dir;
};

// The player moves to about two targets of three once a third of its life is gone and clicks it,
// holding the button for a few frames; the others fade until the lives are gone. The record is in
// 279/nuscores.dat at once, readable with this game's key only.
TEST_F(PlayGameTest, AGameRunsToItsEndAndStoresItsRecordUnderTheGamesKey) {
  int presses = 0;
  uint32_t downAt = 0;
  Input.EventScript = [&] {
    if (Input.MouseDown[1]) {
      if (ClockMs() - downAt >= 50) FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
      return;
    }
    TapEnterAfterTheGame();
    if (Display.PauseState == 0) return;
    for (const Target& t : Game.Round.Targets) {
      const int x = TruncToInt(t.X), y = TruncToInt(t.Y);
      if (t.Left > t.Life * 2 / 3 || x % 3 == 0) continue;
      if (Input.MouseX != x || Input.MouseY != y) {
        InputEvent move(InputEvent::MouseMove);
        move.x = x;
        move.y = y;
        FeedInputEvent(move);
      } else if (Display.PointerX == x && Display.PointerY == y) {  // the frame end has latched it
        FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
        downAt = ClockMs();
        ++presses;
      }
      return;
    }
  };
  const uint32_t start = ClockMs();
  PlayGame();
  const GameRound& round = Game.Round;
  EXPECT_EQ(round.EndReason, 1);
  EXPECT_EQ(round.Lives, 0);
  EXPECT_EQ(round.Vanished, RulesOf(2).Lives);
  EXPECT_GT(round.Hits, 0);
  EXPECT_EQ(round.Hits, presses);
  EXPECT_GT(round.Score, 10 * round.Hits);
  EXPECT_GT(ClockMs() - start, 1500u);
  EXPECT_EQ(Display.PauseState, 0);

  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  const Scores& record = *ScoreLists.LocalScores[0];
  EXPECT_EQ(record.Score, round.Score);
  EXPECT_EQ(record.GameMode, 2);
  EXPECT_EQ(record.Quit, 0);
  EXPECT_EQ(record.Best[1], round.Hits);

  // On disk: the credentials line, then the record, scrambled with this game's key; the key of
  // another game of the series reads neither.
  const std::vector<std::string> lines = ReadLines(dir.file("279/nuscores.dat"));
  ASSERT_EQ(lines.size(), 2u);
  const std::string ours = UnscrambleWithKey(lines[1], MakeDefaultKey(SorvelPimmothIdentity));
  EXPECT_EQ(ours.substr(0, ours.find('|')), std::to_string(round.Score));
  EXPECT_NE(ours.find("|Player|"), std::string::npos);
  EXPECT_EQ(UnscrambleWithKey(lines[1], MakeDefaultKey(AnotherGame)), "XXX");
  EXPECT_EQ(UnscrambleWithKey(lines[0], AnotherGame.GameCode), "XXX");
  EXPECT_NE(UnscrambleWithKey(lines[0], SorvelPimmothIdentity.GameCode), "XXX");
  EXPECT_FALSE(FileExists(dir.file("nuscores.dat")));
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
  EXPECT_GT(Game.Round.Lives, 0);
  ASSERT_EQ(ScoreLists.LocalScores.size(), 1u);
  EXPECT_EQ(ScoreLists.LocalScores[0]->Quit, 1);
}
