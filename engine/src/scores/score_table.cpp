// The high-score panel: the 25 best records of one difficulty as a ranked list, a history graph of
// every game from the newest to the oldest, and a details box for the record under the pointer or
// the one clicked last. Drawing the panel also prunes its list.
#include <algorithm>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "scores/scores.h"

namespace {

constexpr int Places = 25;
constexpr int KeptNewest = 50;   // the newest games of a difficulty always stay in the list
constexpr int GraphHeight = 150; // virtual units, from the panel's bottom line up
constexpr int ColumnWidth = 18;  // virtual units between two games on the graph
constexpr int MaxGraphScroll = 1000;

bool Matches(const Scores& record, int mode, int level, int flags) {
  return record.GameMode == mode && record.Level == level && record.GameFlags == flags;
}

// Places the matching records by score, best first: a record goes above the first placed one with
// a strictly lower score, so among equal scores the one met earlier in the list keeps the higher
// place; with 25 equal or better records placed, it is not placed. Returns the best score, at least 1.
int64_t RankRecords(const std::vector<std::shared_ptr<Scores>>& list, int mode, int level, int flags) {
  auto& slots = ScoreLists.RankSlots;
  for (auto& slot : slots) slot.reset();
  int64_t max = 0;
  for (const auto& record : list) {
    if (!record || !Matches(*record, mode, level, flags)) continue;
    if (record->Score > max) max = record->Score;
    // Most records of a long list fall below a full table: one comparison settles them.
    if (slots[Places] && slots[Places]->Score >= record->Score) continue;
    int place = 1;
    while (place <= Places && slots[place] && slots[place]->Score >= record->Score) ++place;
    if (place > Places) continue;
    for (int k = Places; k > place; --k) slots[k] = slots[k - 1];
    slots[place] = record;
  }
  return max == 0 ? 1 : max;
}

bool IsPlaced(const Scores* record) {
  for (int k = 1; k <= Places; ++k)
    if (ScoreLists.RankSlots[k].get() == record) return true;
  return false;
}

// The height of a score on the graph: 150 for the best, 0 for a score of 0. Computed wide, so no
// score can overflow it; a negative score (from a damaged or foreign file) stays well off the panel.
int GraphHeightOf(int64_t score, int64_t max) {
  const __int128 h = static_cast<__int128>(score) * GraphHeight / max;
  return static_cast<int>(std::clamp<__int128>(h, -100000, GraphHeight));
}

// The history graph, newest game at the right, each game a point joined to the next newer one by a
// line; hovering a column selects its game, clicking keeps it selected. Games beyond the 50 newest
// that hold no place are marked for removal.
void DrawGraph(const std::vector<std::shared_ptr<Scores>>& list, int x, int mode, int level, int flags, int64_t max,
               std::vector<bool>& pruned) {
  const int w = Display.VirtualWidth, bottom = Display.VirtualHeight - 10;
  int cx = w - 24 + ScoreLists.GraphScroll;
  bool previous = false;
  int px = 0, py = 0;
  int n = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    const auto& record = list[i];
    if (!record || !Matches(*record, mode, level, flags)) continue;
    ++n;
    if (n == ScoreLists.SelectedIndex && !ScoreLists.Selected) ScoreLists.Selected = record;
    if (cx > x + 1) {  // the column lies inside the panel
      const int h = GraphHeightOf(record->Score, max);
      const int cy = bottom - h;
      Colour(255 - h, 255, 80, 1);
      DrawSprite(Display.IconsFiltered, cx - 8, cy - 8, 7, 1);
      Colour(255, 80 + h, 80);
      if (previous) DrawLine(static_cast<float>(cx), static_cast<float>(cy), static_cast<float>(px), static_cast<float>(py));
      Colour(0, 0, 0, 0.3);
      DrawLine(static_cast<float>(cx - 9), static_cast<float>(bottom - GraphHeight), static_cast<float>(cx - 9),
               static_cast<float>(bottom - 1));
      previous = true;
      px = cx;
      py = cy;
      if (PointerIn(cx - 9, bottom - GraphHeight, 19, GraphHeight)) {
        ScoreLists.Selected = record;
        if (IsMouseDown(1)) ScoreLists.SelectedIndex = n;
      }
      if (ScoreLists.Selected == record) {
        Colour(255, 255, 255, 0.3);
        DrawRect(static_cast<float>(cx - 9), static_cast<float>(bottom - GraphHeight), 19, GraphHeight);
      }
      cx -= ColumnWidth;
    }
    if (ScoreLists.Selected == record && IsMouseDown(1)) ScoreLists.SelectedIndex = n;
    if (n > KeptNewest && !IsPlaced(record.get())) pruned[i] = true;
  }
}

// The pointer near the panel's left edge scrolls the graph toward older games, near the screen's
// right edge back toward the newest, 8 units a frame.
void ScrollGraph(int width) {
  const int w = Display.VirtualWidth, bottom = Display.VirtualHeight - 10;
  int& scroll = ScoreLists.GraphScroll;
  if (PointerIn(w - width - 32, bottom - GraphHeight, 64, GraphHeight) && scroll < MaxGraphScroll) scroll += 8;
  if (PointerIn(w - 32, bottom - GraphHeight, 62, GraphHeight) && scroll > 0) scroll -= 8;
}

// A name as the ranked list shows it: its first 24 characters, fewer where the large letters of
// small screens would run them into the score (room: virtual units left of the score).
std::string ListName(const std::string& name, int room) {
  std::string shown = name.substr(0, 24);
  while (!shown.empty() && StringWidth(shown) > room - 6) shown.pop_back();
  return shown;
}

// The ranked list: names cut to 24 characters, scores as 12 digits.
void DrawRankedList(int x, int width) {
  const int bottom = Display.VirtualHeight - 10;
  SelectFont(Display.Fonts[3]);
  for (int k = 1; k <= Places; ++k) {
    const auto& record = ScoreLists.RankSlots[k];
    if (!record) continue;
    const int y = bottom + 17 * k - Places * 17 - 171;
    if (ScoreLists.SelectedIndex == 1000 + k && !ScoreLists.Selected) ScoreLists.Selected = record;
    Colour(255, 255, 255, 1);
    if (PointerIn(x + 9, y, width, 18)) {
      ScoreLists.Selected = record;
      if (IsMouseDown(1)) ScoreLists.SelectedIndex = 1000 + k;
    }
    const std::string score = ZeroPad(record->Score, 12);
    WriteText(x + 9, y, ListName(record->Name, width - 8 - StringWidth(score)));
    WriteText(x + width + 1, y, score, 2);
    if (ScoreLists.Selected == record) {
      Colour(255, 255, 255, 0.3);
      DrawRect(static_cast<float>(x + 9), static_cast<float>(y), static_cast<float>(width), 17);
    }
  }
}

// The selected record in full: name, score, the completion mark, date and time, earned badges.
void DrawDetails(const Scores& record, int x, int width, bool online) {
  const int bottom = Display.VirtualHeight - 10;
  if (online) Colour(125, 180, 125, 1);
  else Colour(255, 255, 255, 0.6);
  DrawRect(static_cast<float>(x + 3), static_cast<float>(bottom - 719), static_cast<float>(width), 140);
  SelectFont(Display.Fonts[1]);
  Colour(80, 80, 0);
  WriteText(x + 9, bottom - 715, record.Name);
  Colour(0, 0, 80);
  WriteText(x + width + 1, bottom - 694, std::to_string(record.Score), 2);
  SelectFont(Display.Fonts[4]);
  Colour(0, 80, 0);
  if (record.Best[30] == 1) WriteText(x + 9, bottom - 669, "Complete!", 0, 1);
  SelectFont(Display.Fonts[3]);
  Colour(0, 0, 0);
  WriteText(x + 9, bottom - 583, FormatDate(record.Timestamp) + ", " + FormatTime(record.Timestamp), 0, 2);
  // Badges not earned are left out.
  Scale(0.28f);
  Colour(255, 255, 255, 1);
  for (int i = 1; i <= ThisGame().BadgeCount; ++i)
    if (TestBit(record.Badges, i)) DrawSprite(Display.BadgeImage, x + 11 + 20 * (i - 1), bottom - 629, i - 1, 1);
  Scale(1);
}

}  // namespace

int ScoreTable(std::vector<std::shared_ptr<Scores>>& list, int x, int width, int mode, int level, int flags,
               int active) {
  const int64_t max = RankRecords(list, mode, level, flags);

  if (active == 1) {
    const int w = Display.VirtualWidth, bottom = Display.VirtualHeight - 10;
    Scale(1);
    ResetDraw();
    Colour(0, 0, 0, 0.6);
    DrawRect(static_cast<float>(x + 7), static_cast<float>(bottom - 575), static_cast<float>(width + 2), 575);
    Colour(0, 0, 80, 1);
    DrawLine(static_cast<float>(x + 7), static_cast<float>(bottom - GraphHeight), static_cast<float>(w - 8),
             static_cast<float>(bottom - GraphHeight));

    ScoreLists.Selected.reset();
    // Kept between frames: the panel runs every title frame and needs no allocation of its own.
    static std::vector<bool> pruned;
    pruned.assign(list.size(), false);
    DrawGraph(list, x, mode, level, flags, max, pruned);
    // Pruned games are gone for good (they are not saved again). Removed in one pass after the walk,
    // which counts and draws exactly as if each had gone the moment it was met.
    size_t kept = 0;
    for (size_t i = 0; i < list.size(); ++i)
      if (!pruned[i]) list[kept++] = std::move(list[i]);
    list.resize(kept);
    ScrollGraph(width);
  }

  // Places fill from the top, so place 1 holds the best record when there is any.
  int result = 0;
  if (const auto& best = ScoreLists.RankSlots[1]) {
    result = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(best->Score)));  // low 32 bits
    if (mode >= 0) ScoreLists.LocalBest = best;
  }
  if (active == 1) {
    DrawRankedList(x, width);
    if (ScoreLists.Selected) DrawDetails(*ScoreLists.Selected, x, width, mode < 0);
  }
  return result;
}
