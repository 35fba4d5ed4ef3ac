// Title screen benchmark: the cost of its frames with a score file of 100 000 records, whose table is
// ranked (and, on its first showing, pruned) every frame. In an 800 x 600 window with the 1280 x 960
// virtual space, the common fonts, icons and the game's logo from the built Files/ tree; the clock is
// the fake one, so the frame end presents at once instead of pacing.
//
//   title_screen_bench [--quick] [FILES_DIR]   (default: the Files/ folder of the build, beside bench/)
//
// Run it under an X server (Xvfb on the build machine); the figures go to standard output. --quick
// uses 2 000 records and 10 steady frames: it shows that the benchmark still runs to its figures. A
// termination signal (SIGTERM, Ctrl+C) or a window close stops it at the next frame, with status 1.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
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

constexpr double FrameBudgetMs = 1000.0 / 60.0;
int Records = 100000;
int SteadyFrames = 300;
std::string ScoreDir;  // the score files' temporary folder

// Where the program would run its exit screen: the window was closed or a termination signal came.
void Stop() {
  std::fflush(stdout);
  std::fprintf(stderr, "title_screen_bench: stopped (%s)\n",
               Input.Terminating ? "a termination signal" : "the window was closed");
  CloseScreen();
  if (!ScoreDir.empty()) std::filesystem::remove_all(ScoreDir);
  std::_Exit(1);
}

// "100 000" for a count of records.
std::string Grouped(int n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped.push_back(' ');
    grouped.push_back(digits[i]);
  }
  return grouped;
}

double Ms(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// One frame of the title loop: background, title screen, logo, frame end.
void TitleFrame() {
  BeginFrame(1);
  ResetDraw();
  DrawMenuBackground();
  if (Shell.SlideIn < 32) ++Shell.SlideIn;
  TitleScreen();
  if (Game.GameLogo) {
    ResetDraw();
    DrawImageFrame(Game.GameLogo, static_cast<float>((Display.VirtualWidth - PanelWidth()) / 2),
                   static_cast<float>(Display.VirtualHeight / 2 + (800 - 25 * Shell.SlideIn) - Game.GameLogo->height / 2));
  }
  FrameEnd(1);
}

// A score file of n shuffled records, like a long-played game's: scores and times at random, the
// difficulty either always Medium or spread over all three.
void WriteScoreFile(int n, bool allDifficulties) {
  std::mt19937 rng(1);
  std::vector<std::string> lines{Scramble("|", ThisIdentity().GameCode)};
  const std::string tail = std::string(ListSeparator) + "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";
  for (int i = 0; i < n; ++i) {
    const int mode = allDifficulties ? static_cast<int>(rng() % 3) : 1;
    lines.push_back(Scramble(std::to_string(rng() % 100000) + "|Player " + std::to_string(i % 97) + "|0|" +
                                 std::to_string(64667939696 + rng() % 10000000) + "|0|" + std::to_string(mode) +
                                 "|0|0" + tail,
                             ""));
  }
  WriteTextFileAtomic(ScoreFileName, lines);
}

struct Figures {
  double loadMs, firstMs, firstTableMs, steadyMs, steadyBestMs, steadyTableMs;
  size_t before, after;
};

Figures Measure(const std::string& scoreDir, int records, bool allDifficulties, bool showTable) {
  ChangeDir(scoreDir);
  WriteScoreFile(records, allDifficulties);
  ResetScoresState();
  BuildDefaultKey();
  auto start = std::chrono::steady_clock::now();
  LoadScores();
  Figures f{};
  f.loadMs = Ms(start);
  f.before = ScoreLists.LocalScores.size();

  Shell = ShellState{};
  Shell.Page = showTable ? 0 : 2;
  Core.Difficulty = 1;
  // The first frame: the table ranks the whole list and prunes it.
  auto copy = ScoreLists.LocalScores;
  start = std::chrono::steady_clock::now();
  ScoreTable(copy, 860, PanelWidth(), 1, 0, 0, showTable ? 1 : 0);
  f.firstTableMs = Ms(start);
  start = std::chrono::steady_clock::now();
  TitleFrame();
  f.firstMs = Ms(start);
  f.after = ScoreLists.LocalScores.size();

  std::vector<double> frames, tables;
  for (int i = 0; i < SteadyFrames; ++i) {
    start = std::chrono::steady_clock::now();
    TitleFrame();
    frames.push_back(Ms(start));
    start = std::chrono::steady_clock::now();
    ScoreTable(ScoreLists.LocalScores, 860, PanelWidth(), 1, 0, 0, 0);
    tables.push_back(Ms(start));
  }
  f.steadyMs = Median(frames);
  f.steadyBestMs = *std::min_element(frames.begin(), frames.end());
  f.steadyTableMs = Median(tables);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  UseGame(VornelQuellor);
  std::string files = ExecutableFolder() + "/../Files";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) {
      Records = 2000;
      SteadyFrames = 10;
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--quick] [FILES_DIR]\n", argv[0]);
      return 2;
    } else {
      files = argv[i];
    }
  }
  if (!std::filesystem::exists(files + "/Common") || !std::filesystem::exists(files + "/278")) {
    std::fprintf(stderr, "title_screen_bench: no Files/ tree at %s\n", files.c_str());
    return 1;
  }
  SetAppTitle("title_screen_bench");
  CatchTerminationSignals();  // before the window library starts, which would put its own in place
  Hooks.ExitScreen = Stop;
  if (!OpenScreen(800, 600, 0, 60, 2)) {
    std::fprintf(stderr, "title_screen_bench: no window (is DISPLAY set?)\n");
    return 1;
  }
  SetVirtualSize(1280, 960);
  TuneMemoryForDrawing();
  UseRecordingAudio();
  SetDefaultSetupValues();
  SetDefaultControls();
  Display.SpriteBudget[1] = 50000;
  Display.OverlayOn = 0;

  // The assets as start-up loads them, from the game's folder; the score file goes elsewhere.
  ChangeDir(std::filesystem::absolute(files + "/278").string());
  LoadCommonAssets();
  Game.GameLogo = LoadImageFile("logo.png");
  std::string scoreDir = (std::filesystem::temp_directory_path() / "vq-bench-title-XXXXXX").string();
  if (!mkdtemp(scoreDir.data())) return 1;
  ScoreDir = scoreDir;
  UseFakeClock(1000);
  Input.EventScript = [] {};

  std::printf("Title frames, %d steady frames each; the 60 fps budget is %.2f ms\n\n", SteadyFrames, FrameBudgetMs);
  std::printf("%-34s %8s %8s %9s %10s %9s %9s %9s %9s\n", "score file", "records", "kept", "load ms", "1st table",
              "1st frame", "steady", "best", "ranking");
  struct Run {
    std::string what;
    int records;
    bool allDifficulties, showTable;
  } runs[] = {
      {"no records", 0, false, true},
      {Grouped(Records) + ", all Medium", Records, false, true},
      {Grouped(Records) + ", three difficulties", Records, true, true},
      {Grouped(Records) + ", About page shown", Records, false, false},
  };
  for (const Run& r : runs) {
    const Figures f = Measure(scoreDir, r.records, r.allDifficulties, r.showTable);
    std::printf("%-34s %8zu %8zu %9.1f %10.2f %9.2f %9.2f %9.2f %9.3f\n", r.what.c_str(), f.before, f.after, f.loadMs,
                f.firstTableMs, f.firstMs, f.steadyMs, f.steadyBestMs, f.steadyTableMs);
  }
  std::printf("\n1st table: the table's first showing alone (ranking and pruning the whole list); 1st frame:\n"
              "the first whole title frame after it; steady: median whole frame (clear, background, panel,\n"
              "prompt, logo, frame end with the present); ranking: the table's ranking pass of a steady frame.\n");
  std::filesystem::remove_all(scoreDir);
  return 0;
}
