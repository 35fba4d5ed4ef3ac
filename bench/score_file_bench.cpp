// Loading "nuscores.dat": valid records, and a million damaged lines. Prints the time per load;
// the load is one pass over the lines and one n log n sort, so the time grows about linearly.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/core.h"
#include "scores/scores.h"

namespace {

double LoadSeconds() {
  ResetScoresState();
  BuildDefaultKey();
  const auto start = std::chrono::steady_clock::now();
  LoadScores();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
  std::string folder = (std::filesystem::temp_directory_path() / "vq-bench-scores-XXXXXX").string();
  if (!mkdtemp(folder.data()) || !ChangeDir(folder)) return 1;
  BuildDefaultKey();
  std::mt19937 rng(1);
  const std::string tail = std::string(ListSeparator) + "0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0|0";

  std::printf("%-28s %10s %10s %12s\n", "file", "lines", "records", "load (s)");
  for (int n : {10000, 100000, 300000}) {
    std::vector<std::string> lines{Scramble("|", GameCode)};
    for (int i = 0; i < n; ++i)
      lines.push_back(Scramble(std::to_string(rng() % 100000) + "|Player|0|" +
                                   std::to_string(64667939696 + rng() % 100000) + "|0|1|0|0" + tail, ""));
    WriteTextFileAtomic(ScoreFileName, lines);
    const double seconds = LoadSeconds();
    std::printf("%-28s %10d %10zu %12.3f\n", "shuffled valid records", n, ScoreLists.LocalScores.size(), seconds);
  }

  std::vector<std::string> junk{"junk header"};
  for (int i = 0; i < 1000000; ++i) {
    std::string line(20 + rng() % 60, '0');
    for (char& c : line) c = "0123456789ABCDEF|"[rng() % 17];
    junk.push_back(line);
  }
  WriteTextFileAtomic(ScoreFileName, junk);
  const double seconds = LoadSeconds();
  std::printf("%-28s %10d %10zu %12.3f\n", "damaged lines", 1000000, ScoreLists.LocalScores.size(), seconds);

  std::filesystem::remove_all(folder);
  return 0;
}
