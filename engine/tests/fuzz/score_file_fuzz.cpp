// Any bytes as "nuscores.dat", as scrambled text and as record lines: reading never crashes or hangs,
// Unscramble answers "XXX" or a text that scrambles back to itself, and whatever loads is saved and
// loaded again unchanged.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/core.h"
#include "scores/scores.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// A fresh folder for the file, on a memory file system when there is one, removed at exit. The
// loader reads from the working folder, which is changed only around the load: libFuzzer reads and
// writes its corpus by relative paths.
struct ScratchFolder {
  ScratchFolder() {
    std::string pattern = (access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + std::string("/vq-fuzz-scores-XXXXXX");
    if (mkdtemp(pattern.data())) path = pattern;
  }
  ~ScratchFolder() {
    if (path.empty()) return;
    std::remove((path + "/" + ScoreFileName).c_str());
    rmdir(path.c_str());
  }
  std::string path;
};

void CheckRecords() {
  for (const auto& r : ScoreLists.LocalScores) {
    Check(r != nullptr);
    Check(r->Badges >= 0 && r->Level >= 0 && r->GameMode >= 0 && r->GameFlags >= 0 && r->Quit >= 0);
    for (int i = 1; i <= 30; ++i) Check(r->Best[i] >= 0);
    Check(r->Name.find('|') == std::string::npos);
  }
}

std::vector<std::string> Signatures() {
  std::vector<std::string> out;
  for (const auto& r : ScoreLists.LocalScores) out.push_back(r->Name + '\n' + ScoreLine(*r));
  return out;
}

// What loaded saves and loads back the same: the same records, and in the same order whenever the
// times lie close enough together for the 32-bit comparison to order them consistently.
void CheckSaveAndReload() {
  std::vector<std::string> lines = ScoreFileLines();
  const std::vector<std::string> before = Signatures();
  const std::string firstName = ScoreLists.LocalScores.empty() ? "" : ScoreLists.LocalScores[0]->Name;
  int64_t lo = INT64_MAX, hi = INT64_MIN;
  for (const auto& r : ScoreLists.LocalScores) {
    lo = std::min(lo, r->Timestamp);
    hi = std::max(hi, r->Timestamp);
  }
  ScoreLists.PlayerName = "Player";
  Check(ScoresFromLines(lines) == 0);
  std::vector<std::string> after = Signatures();
  if (!before.empty()) Check(ScoreLists.PlayerName == firstName);
  if (before.empty() || static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) < (uint64_t{1} << 31)) {
    Check(after == before);
  } else {
    std::vector<std::string> sortedBefore = before;
    std::sort(sortedBefore.begin(), sortedBefore.end());
    std::sort(after.begin(), after.end());
    Check(after == sortedBefore);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFolder scratch;
  const std::string& folder = scratch.path;
  if (folder.empty()) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  ResetScoresState();
  BuildDefaultKey();

  // Unscramble of anything, with the default key, the credentials key and a key from the input.
  const std::string key = text.substr(0, size > 0 ? data[0] % 16 : 0);
  for (const std::string& k : {std::string(), std::string(ThisIdentity().GameCode), key}) {
    const std::string back = Unscramble(text, k);
    if (back != "XXX") Check(!back.empty() && Unscramble(Scramble(back, k), k) == back);
  }
  if (!text.empty()) {
    const std::string scrambled = Scramble(text, key);
    Check(scrambled.size() == 2 * (text.size() + 12) && Unscramble(scrambled, key) == text);
  }

  // The input as the score file.
  if (std::FILE* f = std::fopen((folder + "/" + ScoreFileName).c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const std::string cwd = CurrentDir();
    Check(ChangeDir(folder));
    LoadScores();
    Check(ChangeDir(cwd));
    CheckRecords();
    CheckSaveAndReload();
  }

  // The input's lines as record texts, scrambled so that they pass the checksums.
  std::vector<std::string> lines{Scramble("user|password", ThisIdentity().GameCode)};
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(Scramble(text.substr(start, end - start), ""));
    start = end + 1;
  }
  ResetScoresState();
  ScoresFromLines(lines);
  CheckRecords();
  CheckSaveAndReload();
  return 0;
}
