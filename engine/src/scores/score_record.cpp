// The score record: its order, its text form, the names it may hold, and the record of a finished
// game.
#include "core/core.h"
#include "scores/scores.h"

int32_t Scores::Compare(const Scores* other) const {
  if (!other) return 1;
  // Unsigned arithmetic wraps where a signed difference could overflow; the low 32 bits remain.
  const uint64_t difference = static_cast<uint64_t>(other->Timestamp) - static_cast<uint64_t>(Timestamp);
  return static_cast<int32_t>(static_cast<uint32_t>(difference));
}

namespace {

// True when right must come before left: the merge takes from the left unless left compares above
// right, so equal records keep their order. A missing record goes first, as Compare places it.
bool RightFirst(const std::shared_ptr<Scores>& left, const std::shared_ptr<Scores>& right) {
  if (!left) return false;
  return left->Compare(right.get()) > 0;
}

}  // namespace

// A bottom-up merge sort written out rather than std::stable_sort: Compare keeps only 32 bits of
// the difference, so records far apart in time need not compare consistently, and the library sort
// promises nothing for such an order. This one stays in bounds and stable whatever Compare says.
void SortScores(std::vector<std::shared_ptr<Scores>>& list) {
  const size_t n = list.size();
  if (n < 2) return;
  std::vector<std::shared_ptr<Scores>> buffer(n);
  std::vector<std::shared_ptr<Scores>>* from = &list;
  std::vector<std::shared_ptr<Scores>>* to = &buffer;
  for (size_t width = 1; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      size_t a = lo, b = mid, k = lo;
      while (a < mid && b < hi)
        (*to)[k++] = std::move(RightFirst((*from)[a], (*from)[b]) ? (*from)[b++] : (*from)[a++]);
      while (a < mid) (*to)[k++] = std::move((*from)[a++]);
      while (b < hi) (*to)[k++] = std::move((*from)[b++]);
    }
    std::swap(from, to);
  }
  if (from != &list) list.swap(buffer);
}

std::shared_ptr<Scores> RecordFromFields(std::string_view main, std::string_view perLevel, GameModeRule rule) {
  if (main.find('|') == std::string_view::npos) return nullptr;
  auto record = std::make_shared<Scores>();
  // A missing field reads "-+-", which converts to 0.
  record->Score = TextToLong(Field(main, "|", 1));
  record->Name = Trim(Field(main, "|", 2));
  record->Badges = AbsInt(TextToInt(Field(main, "|", 3)));
  record->Timestamp = TextToLong(Field(main, "|", 4));
  record->Level = AbsInt(TextToInt(Field(main, "|", 5)));
  const int32_t mode = AbsInt(TextToInt(Field(main, "|", 6)));
  record->GameMode = rule == GameModeRule::Complemented ? ~mode : mode;  // -(mode + 1), without overflow
  record->GameFlags = AbsInt(TextToInt(Field(main, "|", 7)));
  record->Quit = AbsInt(TextToInt(Field(main, "|", 8)));
  for (int i = 1; i <= 30; ++i) record->Best[i] = AbsInt(TextToInt(Field(perLevel, "|", i)));
  return record;
}

std::string ScoreLine(const Scores& record, std::string_view separator) {
  std::string line = std::to_string(record.Score) + "|" + StorableName(record.Name) + "|" +
                     std::to_string(record.Badges) + "|" + std::to_string(record.Timestamp) + "|" +
                     std::to_string(record.Level) + "|" + std::to_string(record.GameMode) + "|" +
                     std::to_string(record.GameFlags) + "|" + std::to_string(record.Quit);
  line += separator;
  for (int i = 1; i <= 30; ++i) {
    if (i > 1) line += "|";
    line += std::to_string(record.Best[i]);
  }
  return line;
}

bool IsNameChar(int code) { return code >= 32 && code <= 255 && code != '|'; }

// "|" would split the name into fields of its own and ListSeparator would end the main fields
// early, so neither may stay in a stored name; the loader trims the name, so it is stored trimmed.
std::string StorableName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '|') continue;
    out.push_back(c);
    // Dropping each separator as soon as it is complete also catches one that the removal of
    // another would close up.
    if (out.size() >= ListSeparator.size() &&
        std::string_view(out).substr(out.size() - ListSeparator.size()) == ListSeparator)
      out.resize(out.size() - ListSeparator.size());
  }
  return Trim(out);
}

std::shared_ptr<Scores> StoreFinishedGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit) {
  auto record = std::make_shared<Scores>();
  record->Score = score;
  record->Timestamp = MakeTimestamp("");
  record->Badges = Core.GameBadges;
  record->Name = StorableName(ScoreLists.PlayerName);
  for (int i = 1; i <= 30; ++i) record->Best[i] = best[i];
  record->Level = Core.Level;
  record->GameMode = Core.Difficulty;
  record->GameFlags = Core.GameFlags;
  record->Quit = quit;
  ScoreLists.LastRecord = record;
  ScoreLists.LocalScores.push_back(record);
  SortScores(ScoreLists.LocalScores);
  // Saved now, not only at exit, so a crash or a forced end does not lose the game.
  SaveScores();
  return record;
}

void HoldFinishedGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit) {
  ScoreLists.Pending = {true, score, best, quit};
}

std::shared_ptr<Scores> StoreHeldGame() {
  if (!ScoreLists.Pending.Waiting) return nullptr;
  ScoreLists.Pending.Waiting = false;
  return StoreFinishedGame(ScoreLists.Pending.Score, ScoreLists.Pending.Best, ScoreLists.Pending.Quit);
}
