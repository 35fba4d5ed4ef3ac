// Loading "nuscores.dat": valid records, and a million damaged lines. Prints the time per load;
// the load is one pass over the lines and one n log n sort, so the time grows about linearly.
//   score_file_bench [--quick]   --quick loads a hundredth of the lines: it shows that the benchmark
//                                still runs to its figures.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/core.h"
#include "scores/scores.h"
#include "test_game/test_game.h"

namespace {

double LoadSeconds() {
  ResetScoresState();
  BuildDefaultKey();
  const auto start = std::chrono::steady_clock::now();
  LoadScores();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  UseGame(TestGame);  // the engine's test game: its key scrambles the files
  int divisor = 1;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) divisor = 100;
    else {
      std::fprintf(stderr, "usage: %s [--quick]\n", argv[0]);
      return 2;
    }
  }
  std::string folder = (std::filesystem::temp_directory_path() / "vq-bench-scores-XXXXXX").string();
  if (!mkdtemp(folder.data()) || !ChangeDir(folder)) return 1;
  BuildDefaultKey();
  std::mt19937 rng(1);
  const std::string tail = std::string(ListSeparator) + "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

  std::printf("%-28s %10s %10s %12s\n", "file", "lines", "records", "load (s)");
  for (int n : {10000 / divisor, 100000 / divisor, 300000 / divisor}) {
    std::vector<std::string> lines{Scramble("|", ThisIdentity().GameCode)};
    for (int i = 0; i < n; ++i)
      lines.push_back(Scramble(std::to_string(rng() % 100000) + "|Player|0|" +
                                   std::to_string(64667939696 + rng() % 100000) + "|0|1|0|0" + tail, ""));
    WriteTextFileAtomic(ScoreFileName, lines);
    const double seconds = LoadSeconds();
    std::printf("%-28s %10d %10zu %12.3f\n", "shuffled valid records", n, ScoreLists.LocalScores.size(), seconds);
  }

  const int damaged = 1000000 / divisor;
  std::vector<std::string> junk{"junk header"};
  for (int i = 0; i < damaged; ++i) {
    std::string line(20 + rng() % 60, '0');
    for (char& c : line) c = "0123456789ABCDEF|"[rng() % 17];
    junk.push_back(line);
  }
  WriteTextFileAtomic(ScoreFileName, junk);
  const double seconds = LoadSeconds();
  std::printf("%-28s %10d %10zu %12.3f\n", "damaged lines", damaged, ScoreLists.LocalScores.size(), seconds);

  std::filesystem::remove_all(folder);
  return 0;
}
