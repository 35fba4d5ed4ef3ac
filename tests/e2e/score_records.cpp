// Prints the records of the score file in a folder, newest first, one a line: score, quit mark and
// difficulty. The end-to-end scripts read the scrambled file through it.
//   e2e_score_records FOLDER
#include <cstdio>

#include "core/core.h"
#include "scores/scores.h"

int main(int argc, char** argv) {
  if (argc < 2 || !ChangeDir(argv[1])) {
    std::fprintf(stderr, "usage: e2e_score_records FOLDER\n");
    return 2;
  }
  BuildDefaultKey();
  LoadScores();
  for (const auto& record : ScoreLists.LocalScores)
    std::printf("Score=%lld Quit=%d GameMode=%d\n", static_cast<long long>(record->Score), record->Quit, record->GameMode);
  return 0;
}
