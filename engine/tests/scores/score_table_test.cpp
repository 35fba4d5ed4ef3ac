#include <gtest/gtest.h>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

using List = std::vector<std::shared_ptr<Scores>>;

std::shared_ptr<Scores> Record(int64_t score, int mode = 1, const std::string& name = "", int level = 0, int flags = 0) {
  auto r = std::make_shared<Scores>();
  r->Score = score;
  r->GameMode = mode;
  r->Name = name;
  r->Level = level;
  r->GameFlags = flags;
  return r;
}

// The panel as the title screen places it once slid in on the 1280 x 960 space: x 940, width 335.
constexpr int PanelX = 940, PanelW = 335;

int Table(List& list, int active, int mode = 1) { return ScoreTable(list, PanelX, PanelW, mode, 0, 0, active); }

void PointerAt(int x, int y) {
  Display.PointerX = x;
  Display.PointerY = y;
}

void Button(bool down) {
  if (down != Input.MouseDown[1]) FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1));
}

}  // namespace

class ScoreTableTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
};

TEST_F(ScoreTableTest, RanksByScoreWithTheEarlierRecordFirstAmongEqualScores) {
  struct Case {
    const char* what;
    std::vector<int64_t> scores;  // list order, newest first
    std::vector<int> places;      // list index at place 1, 2, ...
    int result;
  } cases[] = {
      {"best first", {5, 9, 1, 7}, {1, 3, 0, 2}, 9},
      {"equal scores keep list order", {5, 9, 5, 9, 5}, {1, 3, 0, 2, 4}, 9},
      {"empty list", {}, {}, 0},
      {"the result keeps the low 32 bits", {5000000000LL}, {0}, 705032704},
  };
  for (const Case& c : cases) {
    List list;
    for (int64_t s : c.scores) list.push_back(Record(s));
    EXPECT_EQ(Table(list, 0), c.result) << c.what;
    for (int k = 1; k <= 25; ++k) {
      const size_t place = static_cast<size_t>(k - 1);
      if (place < c.places.size()) EXPECT_EQ(ScoreLists.RankSlots[k], list[c.places[place]]) << c.what << " place " << k;
      else EXPECT_EQ(ScoreLists.RankSlots[k], nullptr) << c.what << " place " << k;
    }
  }

  // 26 equal scores: the 25 met first are placed in list order, the 26th is not.
  List equal;
  for (int i = 0; i < 26; ++i) equal.push_back(Record(100));
  Table(equal, 0);
  for (int k = 1; k <= 25; ++k) EXPECT_EQ(ScoreLists.RankSlots[k], equal[k - 1]) << k;
  // A better 27th record goes to the top and pushes the 25th out.
  equal.push_back(Record(101));
  Table(equal, 0);
  EXPECT_EQ(ScoreLists.RankSlots[1], equal[26]);
  EXPECT_EQ(ScoreLists.RankSlots[25], equal[23]);
}

TEST_F(ScoreTableTest, OnlyRecordsOfTheTablesModeLevelAndFlagsCountAndOnlyTheLocalTableSetsTheBest) {
  List list = {Record(900, 0), Record(800, 1, "", 1), Record(700, 1, "", 0, 4), Record(50, 1), Record(60, ~1)};
  EXPECT_EQ(Table(list, 0), 50);
  EXPECT_EQ(ScoreLists.LocalBest, list[3]);
  EXPECT_EQ(ScoreLists.RankSlots[2], nullptr);

  // The online table (complemented mode) ranks its own records and leaves the local best alone.
  EXPECT_EQ(Table(list, 0, ~1), 60);
  EXPECT_EQ(ScoreLists.LocalBest, list[3]);
  // A table without matching records leaves it alone too.
  EXPECT_EQ(Table(list, 0, 2), 0);
  EXPECT_EQ(ScoreLists.LocalBest, list[3]);
}

TEST_F(ScoreTableTest, AShownTablePrunesGamesBeyondTheFiftyNewestThatHoldNoPlace) {
  // 50 newest games of 10 points fill the 25 places; older: an unplaced 0, a placed 1000, an unplaced
  // 5, and a game of another difficulty.
  List list;
  for (int i = 0; i < 50; ++i) list.push_back(Record(10));
  const auto unplaced = Record(0), placed = Record(1000), unplacedToo = Record(5), otherMode = Record(0, 2);
  for (const auto& r : {unplaced, placed, unplacedToo, otherMode}) list.push_back(r);

  Table(list, 0);  // not shown: nothing goes
  EXPECT_EQ(list.size(), 54u);

  Table(list, 1);
  ASSERT_EQ(list.size(), 52u);
  EXPECT_EQ(list[50], placed);
  EXPECT_EQ(list[51], otherMode);
  EXPECT_EQ(std::find(list.begin(), list.end(), unplaced), list.end());

  // The 50th newest stays whatever its score.
  List fifty;
  for (int i = 0; i < 49; ++i) fifty.push_back(Record(10));
  fifty.push_back(Record(0));
  Table(fifty, 1);
  EXPECT_EQ(fifty.size(), 50u);
}

TEST_F(ScoreTableTest, AClickKeepsARecordSelectedWhileHoveringShowsAnotherForAMoment) {
  List list = {Record(10, 1, "newest"), Record(30, 1, "best"), Record(20, 1, "second")};
  // Rows are 17 units apart from 371 (place 1); the newest game's graph column is 1247..1266, 800..950.
  const int row2 = 397, column = 1256, graphY = 900;

  PointerAt(1000, row2);
  Button(true);
  Table(list, 1);
  EXPECT_EQ(ScoreLists.SelectedIndex, 1002);
  EXPECT_EQ(ScoreLists.Selected, list[2]);

  Button(false);
  PointerAt(10, 10);  // off the panel
  Table(list, 1);
  EXPECT_EQ(ScoreLists.Selected, list[2]);

  PointerAt(column, graphY);  // hovering a game of the graph shows it instead
  Table(list, 1);
  EXPECT_EQ(ScoreLists.Selected, list[0]);
  EXPECT_EQ(ScoreLists.SelectedIndex, 1002);

  Button(true);  // clicking it keeps it: the newest game is number 1
  Table(list, 1);
  Button(false);
  PointerAt(10, 10);
  Table(list, 1);
  EXPECT_EQ(ScoreLists.SelectedIndex, 1);
  EXPECT_EQ(ScoreLists.Selected, list[0]);

  // Nothing chosen and nothing under the pointer: no record in the details box.
  ScoreLists.SelectedIndex = 0;
  Table(list, 1);
  EXPECT_EQ(ScoreLists.Selected, nullptr);
}

TEST_F(ScoreTableTest, ThePointerAtEitherEndOfTheGraphScrollsItBySteps) {
  List list = {Record(10)};
  PointerAt(1280 - PanelW - 32 + 10, 900);  // by the panel's left edge: toward older games
  for (int i = 0; i < 10; ++i) Table(list, 1);
  EXPECT_EQ(ScoreLists.GraphScroll, 80);
  for (int i = 0; i < 200; ++i) Table(list, 1);
  EXPECT_EQ(ScoreLists.GraphScroll, 1000);
  Table(list, 0);  // a table not shown does not scroll
  EXPECT_EQ(ScoreLists.GraphScroll, 1000);

  PointerAt(1270, 900);  // by the screen's right edge: back toward the newest
  for (int i = 0; i < 5; ++i) Table(list, 1);
  EXPECT_EQ(ScoreLists.GraphScroll, 960);
  for (int i = 0; i < 200; ++i) Table(list, 1);
  EXPECT_EQ(ScoreLists.GraphScroll, 0);
}

// ---- On the frame buffer ------------------------------------------------------------------------------

// A 1280 x 960 window showing the 1280 x 960 space, one virtual unit per pixel; fonts stay the
// built-in 8 x 16 one.
class ScoreTableDrawTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    if (!HaveDisplay()) return;
    ASSERT_NE(OpenScreen(1280, 960, 0, 60, 0), nullptr);
    SetVirtualSize(1280, 960);
    SetAutoCentreHandle(1);
    SetClsColor(0, 0, 0);
    Cls();
  }
  void TearDown() override { ResetRenderState(); }

  static uint32_t PixelAt(int x, int y) { return GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) & 0xFFFFFF; }
  static int Red(uint32_t rgb) { return static_cast<int>((rgb >> 16) & 255); }

  // The leftmost and rightmost columns in a band of rows whose red passes the test.
  template <class Test>
  static std::pair<int, int> Columns(int x0, int x1, int y0, int y1, Test test) {
    auto shot = GrabPixmap(x0, y0, x1 - x0, y1 - y0);
    int left = -1, right = -1;
    for (int y = 0; y < shot->height; ++y)
      for (int x = 0; x < shot->width; ++x)
        if (test(Red(shot->ReadPixel(x, y)))) {
          if (left < 0 || x0 + x < left) left = x0 + x;
          right = std::max(right, x0 + x);
        }
    return {left, right};
  }

  TempDir dir;
};

TEST_F(ScoreTableDrawTest, GraphPointsStandByScoreFromTheBottomLine) {
  REQUIRE_DISPLAY();
  // Icons: eight white 16 x 16 cells, so a point shows its tint exactly.
  TPixmap strip(128, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 128; ++x) strip.WritePixel(x, y, 0xFFFFFFFF);
  ASSERT_EQ(SavePixmapAsPNG(&strip, dir.file("icons.png"), 1), 1);
  Display.IconsFiltered = LoadImageStrip(dir.file("icons.png"), 16, 16, 0, 8, 0);
  ASSERT_NE(Display.IconsFiltered, nullptr);
  Display.SpriteBudget[1] = 1000;

  // Newest first: 0, the best 40, then 20. Columns 18 apart from 1256; the bottom line is 950.
  List list = {Record(0), Record(40), Record(20)};
  Table(list, 1);
  struct Point {
    int cx, cy;
    uint32_t tint;  // (255 - h, 255, 80) for a point h units high
  } points[] = {{1256, 950, 0xFFFF50}, {1238, 800, 0x69FF50}, {1220, 875, 0xB4FF50}};
  for (const Point& p : points) {
    // The point's upper-left quarter, clear of the lines drawn through its centre.
    EXPECT_EQ(PixelAt(p.cx - 6, p.cy - 6), p.tint) << p.cx;
    EXPECT_EQ(PixelAt(p.cx - 6, p.cy - 9), PixelAt(p.cx - 6, p.cy - 30)) << "nothing above the point at " << p.cx;
  }
}

TEST_F(ScoreTableDrawTest, TheListCutsNamesAndScoresWhileTheDetailsBoxUnderThePointerShowsThemWhole) {
  REQUIRE_DISPLAY();
  List list = {Record(1234567890123LL, 1, std::string(30, 'W'))};
  PointerAt(1100, 380);  // over place 1 (rows from 371)
  Table(list, 1);

  // The details box: (943, 231) to (1278, 371), white at 0.6 over black.
  EXPECT_EQ(Red(PixelAt(950, 300)), 153);
  EXPECT_EQ(Red(PixelAt(942, 300)), 0);
  EXPECT_EQ(Red(PixelAt(950, 230)), 0);

  // Glyphs are 8 units wide. In the list (white letters): 24 of the name's characters from 949, the
  // last 12 digits ending at 1276.
  const auto listName = Columns(940, 1165, 373, 387, [](int r) { return r > 200; });
  const auto listScore = Columns(1165, 1280, 373, 387, [](int r) { return r > 200; });
  EXPECT_NEAR(listName.first, 949, 1);
  EXPECT_NEAR(listName.second, 949 + 24 * 8 - 1, 2);
  EXPECT_NEAR(listScore.first, 1276 - 12 * 8, 2);
  // In the box (dark letters on the light box): the whole name and all 13 digits.
  auto dark = [](int r) { return r < 120; };
  const auto boxName = Columns(944, 1277, 236, 250, dark);
  const auto boxScore = Columns(944, 1277, 257, 271, dark);
  EXPECT_NEAR(boxName.second, 949 + 30 * 8 - 1, 2);
  EXPECT_NEAR(boxScore.first, 1276 - 13 * 8, 2);

  // With the pointer gone and nothing clicked, the box goes.
  PointerAt(10, 10);
  Cls();
  Table(list, 1);
  EXPECT_EQ(Red(PixelAt(950, 300)), 0);
}
