// "nuscores.dat": line 1 the scrambled credentials, then one scrambled record line per local game,
// newest first. Read once per run, written whole and atomically.
#include "core/core.h"
#include "scores/scores.h"

namespace {

// The record of one unscrambled line, or null when the line holds none (no "|" before the
// separator: a failed checksum reads "XXX").
std::shared_ptr<Scores> RecordFromLine(const std::string& line) {
  return RecordFromFields(Field(line, ListSeparator, 1), Field(line, ListSeparator, 2), GameModeRule::Absolute);
}

// The next save rewrites the file without the lines that could not be read, so the file as it was
// is copied beside it first, for the player to recover by hand.
void KeepDamagedFile(const std::string& path) {
  const std::string copy = path + DamagedCopySuffix;
  std::string bytes;
  const bool kept = ReadFileBytes(path, bytes) &&
                    WriteFileAtomic(copy, [&bytes](std::FILE* f) {
                      return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
                    }, 0600);
  DebugLine(kept ? "\tScore file: the file as it was is kept in " + std::string(ScoreFileName) + DamagedCopySuffix
                 : "\tScore file: could not keep a copy in " + std::string(ScoreFileName) + DamagedCopySuffix);
}

}  // namespace

int ScoresFromLines(const std::vector<std::string>& lines) {
  // Line 1 always holds the scrambled credentials, empty ones too: one that fails its checksum is
  // damage like a failed record line.
  const std::string header = Unscramble(lines.empty() ? std::string() : lines[0], ThisIdentity().GameCode);
  int dropped = !lines.empty() && header == "XXX" ? 1 : 0;
  ScoreLists.OnlineUser = Field(header, "|", 1);
  ScoreLists.OnlinePassword = Field(header, "|", 2);

  ScoreLists.LocalScores.clear();
  bool first = true;
  for (size_t i = 1; i < lines.size(); ++i) {
    // Lines of two characters or fewer cannot hold a scrambled record; they are dropped as they
    // are, never read as plain text.
    std::shared_ptr<Scores> record;
    if (lines[i].size() > 2) record = RecordFromLine(Unscramble(lines[i], ""));
    if (!record) {
      ++dropped;
      continue;
    }
    if (first) ScoreLists.PlayerName = record->Name;  // the newest, in a file this program wrote
    first = false;
    ScoreLists.LocalScores.push_back(std::move(record));
  }
  // One stable sort at the end leaves the order that sorting after every line would, in
  // n log n time rather than n squared.
  SortScores(ScoreLists.LocalScores);
  return dropped;
}

std::vector<std::string> ScoreFileLines() {
  std::vector<std::string> lines;
  // Trimmed as the next load would read them, so the file gives back what the requests sent.
  lines.push_back(Scramble(Trim(ScoreLists.OnlineUser) + "|" + Trim(ScoreLists.OnlinePassword), ThisIdentity().GameCode));
  SortScores(ScoreLists.LocalScores);
  for (const auto& record : ScoreLists.LocalScores)  // records from online tables stay out
    if (record && record->GameMode >= 0) lines.push_back(Scramble(ScoreLine(*record), ""));
  return lines;
}

// Read only on the first call: the asset loader runs again whenever display settings are applied,
// and a second read would drop the games finished since start-up and undo edited names. Until the
// first read has succeeded (or found no file) nothing is saved, so an unread file is never replaced.
void LoadScores() {
  if (ScoreLists.FileLoaded) return;
  ScoreLists.FileLoaded = true;
  // The full path, so that saves reach this file wherever the working folder is by then.
  std::string path = PlayerGameFile(ScoreFileName);
  if (path[0] != '/') {
    const std::string dir = CurrentDir();
    if (!dir.empty()) path = dir + "/" + path;
  }
  RemoveLeftoverTemp(path);  // a half-written copy from a killed run
  if (FileExists(path)) {
    std::vector<std::string> lines;
    if (!ReadTextLines(path, lines)) {
      DebugLine("\tCould not read the score file; it is left as it is");
      return;
    }
    const int dropped = ScoresFromLines(lines);
    if (dropped > 0) {
      DebugLine("\tScore file: " + std::to_string(dropped) + " damaged lines dropped");
      KeepDamagedFile(path);
    }
  }
  ScoreLists.FilePath = path;
}

bool SaveScores() {
  if (ScoreLists.FilePath.empty()) return false;
  // 0600 for a new file: line 1 holds the online credentials.
  if (!WriteTextFileAtomic(ScoreLists.FilePath, ScoreFileLines(), 0600)) {
    DebugLine("\tCould not write the score file");
    return false;
  }
  return true;
}
