// The test game: the smallest complete game of the series, which the engine's tests run in place of
// a real one. A white square waits in the middle of the screen; each click on it scores a point. The
// game ends when the pause menu quits it or after ten seconds of frames, and its record is stored
// after the name entry, as a real game's is.
#include <array>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "test_game/test_game.h"

TestGameState TestGameRun;

namespace {

constexpr int SquareSize = 100;

void ResetTestGame() { TestGameRun = TestGameState{}; }
void LoadTestGameAssets() { ++TestGameRun.AssetLoads; }
void AllocateTestGameArrays() { ++TestGameRun.Allocations; }
void DrawTestGameLogo(int x, int y) {
  Colour(0, 255, 0);
  DrawRect(static_cast<float>(x - 150), static_cast<float>(y - 40), 300, 80);
}
void DrawTestGamePops() { ++TestGameRun.PopFrames; }

void PlayTestGame() {
  ++TestGameRun.Games;
  int score = 0, quit = 0;
  bool held = false;
  for (int frame = 0; frame < 600; ++frame) {
    BeginFrame(1);
    ResetDraw();
    const float x = (Display.VirtualWidth - SquareSize) / 2.f, y = (Display.VirtualHeight - SquareSize) / 2.f;
    Colour(255, 255, 255);
    DrawRect(x, y, SquareSize, SquareSize);
    const bool down = IsMouseDown(1) != 0;
    if (down && !held && Display.PointerX >= x && Display.PointerX < x + SquareSize && Display.PointerY >= y &&
        Display.PointerY < y + SquareSize)
      ++score;
    held = down;
    if (FrameEnd(Input.InputMode) == 99) {
      quit = 1;
      break;
    }
  }
  std::array<int32_t, 31> best{};
  best[1] = score;
  FinishGame(score, best, quit);
}

constexpr const char* TestGameAbout[] = {"The test game", "", "Click the square.", nullptr};

}  // namespace

const GameIdentity TestGameIdentity{
    .WeekNumber = 900,
    .TitleWord1 = "Tessel",
    .TitleWord2 = "Probe",
    .Tagline = "Every square in its place",
    .GameCode = "T3S7G4M3",
    .Version = "1.2.3",
    .ExecutableName = "tessel-probe",
    .ApplicationId = "org.example.TesselProbe",
    .DifficultyNames = {"Gentle", "Steady", "Fierce"},
};

const GameDefinition TestGame{
    .Identity = &TestGameIdentity,
    .Summary = "Click the square.",
    .BadgeCount = 16,
    .AboutLines = TestGameAbout,
    .ResetState = ResetTestGame,
    .LoadAssets = LoadTestGameAssets,
    .AllocateArrays = AllocateTestGameArrays,
    .DrawTitleLogo = DrawTestGameLogo,
    .PlayGame = PlayTestGame,
    .DrawScorePops = DrawTestGamePops,
};

const GameDefinition& TestedGame() { return TestGame; }
