// The game's own frame times: the real program (start-up with its engine test, then a game) with real
// OpenGL, the real clock and the frame end's own pacing, while a scripted player holds the button over
// the lowest red code for 60 seconds. It measures the time from one frame to the next at the same
// point of every frame (just before it is presented), in a copy of the built Files/ tree.
//
//   game_frames [SECONDS [FILES_DIR]]   (defaults: 60, the Files/ folder of the build, beside bench/)
//
// Run it under an X server (Xvfb on the build machine). It prints the engine test's best count and the
// sprite budgets it gave, and as its last line:
//   median M ms, p99 P ms, worst W ms, over 17 ms: F %
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"

namespace {

using Clock = std::chrono::steady_clock;

struct GameOver {};  // thrown from the frame tap when the measured time is up

struct Run {
  bool measuring = false;
  double seconds = 60;
  Clock::time_point start, last;
  Clock::time_point frameEndStart;  // where this frame's drawing ended and its frame end began
  std::vector<double> intervals;    // ms
  bool detail = false;              // VQ_FRAME_DETAIL: every slow frame's parts on standard error
} run;

double MsBetween(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double, std::milli>(b - a).count(); }

// The frame end begins: the game's drawing of this frame is done (the frame end draws the score
// pops first).
void FrameEndTap() {
  run.frameEndStart = Clock::now();
  DrawScorePops();
}

// Taken just before the frame is presented (the frame end ticks the composer there).
void FrameTap() {
  MusicTick();
  if (!run.measuring) return;
  const Clock::time_point now = Clock::now();
  if (run.last != Clock::time_point{}) {
    const double ms = MsBetween(run.last, now);
    run.intervals.push_back(ms);
    // Drawing: from the last present to this frame end (the present itself, the game's frame); the
    // frame end: its services and the pacing sleep up to here.
    if (run.detail && ms > 17.0)
      std::fprintf(stderr, "frame %zu: %.2f ms = drawing %.2f + frame end %.2f; particles %zu\n", run.intervals.size(), ms,
                   MsBetween(run.last, run.frameEndStart), MsBetween(run.frameEndStart, now), Game.Particles.size());
  }
  run.last = now;
  if (now - run.start > std::chrono::duration<double>(run.seconds)) throw GameOver{};
}

// The player: the pointer over the lowest red code on the screen (the one closest to costing a
// life), clicking two frames down, two up (a held button fires ever more slowly); with no red code
// in sight, over the middle of the falling code.
void Player() {
  const GameRound& round = Game.Round;
  int bestRow = -1, bestCol = LastColumn(round) / 2;
  for (int col = 0; col <= LastColumn(round); ++col)
    for (int row = LastRow(round); row > bestRow; --row)
      if (Game.Grid.Kind[Cell(row, col)] == RedCode) {
        bestRow = row;
        bestCol = col;
        break;
      }
  const double x = (bestCol + 0.5) * 14 * round.S, y = (std::max(bestRow, 8) - 0.5) * 32 * round.S;
  const TPelmoGraphics* g = CurrentScreen();
  InputEvent move(InputEvent::MouseMove);
  move.x = static_cast<int>(x / (g ? g->vres_mousexscale : 1));
  move.y = static_cast<int>(y / (g ? g->vres_mouseyscale : 1));
  FeedInputEvent(move);
  const bool down = Display.FramesPresented % 4 < 2;
  if (down != Input.MouseDown[1]) FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1));
}

std::string WorkFolder;  // the copy of the Files/ tree

// In place of the program's exit screen (a window close or a termination signal): the copy goes, and
// no figures are printed.
void Stop() {
  std::fflush(stdout);
  std::fprintf(stderr, "game_frames: stopped (%s)\n", Input.Terminating ? "a termination signal" : "the window was closed");
  CloseScreen();
  if (!WorkFolder.empty()) std::filesystem::remove_all(WorkFolder);
  std::_Exit(1);
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

}  // namespace

int main(int argc, char** argv) {
  UseGame(VornelQuellor);
  run.seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60;
  const std::string template_ = argc > 2 ? argv[2] : ExecutableFolder() + "/../Files";
  if (!FolderExists(template_ + "/278")) {
    std::fprintf(stderr, "game_frames: no Files/ tree at %s\n", template_.c_str());
    return 1;
  }
  // A fresh copy, so that the player's files of the build stay as they are.
  char pattern[] = "/tmp/vq-game-frames-XXXXXX";
  const std::string work = ::mkdtemp(pattern) ? pattern : "/tmp/vq-game-frames";
  WorkFolder = work;
  std::filesystem::copy(template_, work + "/Files", std::filesystem::copy_options::recursive);
  for (const char* own : {"/Setup.ini", "/Debug.txt", "/278/nuscores.dat", "/278/crash.dat"})
    std::filesystem::remove(work + "/Files" + own);

  WireProgramHooks();
  Hooks.MusicTick = FrameTap;
  Hooks.DrawScorePops = FrameEndTap;
  Hooks.ExitScreen = Stop;
  run.detail = std::getenv("VQ_FRAME_DETAIL") != nullptr;
  StartUp(work + "/Files");
  std::printf("engine test: best count %d, sprite budgets %d main, %d glow, %d particles%s\n", Display.EngineBest,
              Display.SpriteBudget[1], Display.SpriteBudget[2], Display.SpriteBudget[3],
              Core.SetupValues[SetupESS] == 1 ? " (slow-system mode)" : "");
  std::fflush(stdout);

  Input.EventScript = Player;
  Core.Difficulty = 0;
  Display.PauseState = 1;
  Display.GameStartTime = ClockMs();
  run.measuring = true;
  run.start = Clock::now();
  try {
    PlayGame();
  } catch (const GameOver&) {
  }
  run.measuring = false;
  const GameRound& round = Game.Round;
  std::printf("%zu frames in %.1f s; cell scale %.2f; score %d, lives %d of %d%s\n", run.intervals.size() + 1,
              std::chrono::duration<double>(run.last - run.start).count(), round.S, round.Score, round.Lives,
              round.LivesAtStart, round.EndReason != 0 ? " (the game ended early)" : "");
  const auto over = std::count_if(run.intervals.begin(), run.intervals.end(), [](double ms) { return ms > 17.0; });
  std::printf("median %.2f ms, p99 %.2f ms, worst %.2f ms, over 17 ms: %.2f %%\n", Percentile(run.intervals, 0.5),
              Percentile(run.intervals, 0.99), Percentile(run.intervals, 1.0),
              run.intervals.empty() ? 0.0 : 100.0 * static_cast<double>(over) / static_cast<double>(run.intervals.size()));
  std::fflush(stdout);
  CloseScreen();
  std::filesystem::remove_all(work);
  std::_Exit(0);
}
