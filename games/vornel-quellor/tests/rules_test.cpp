#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "support/test_support.h"

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SeedRnd(278);
    AllocateGameArrays();
    round.VirtualWidth = 1280;
    round.VirtualHeight = 960;
    StartRound(round, 1);
    round.S = CellScale(50000, 1280, 960);
  }
  // A red code two cells tall in a column, at rows row and row + 1.
  void PlaceRed(int col, int row) {
    for (int r = row; r <= row + 1; ++r) {
      const int i = Cell(r, col);
      Game.Grid.Kind[i] = RedCode;
      Game.Grid.Speed[i] = 2;
      Game.Grid.Glow[i] = 640;
      Game.Grid.Fall[i] = 0;
    }
  }
  GameRound round;
};

TEST_F(RulesTest, TheFinestGridFitsTheDefaultBudget) {
  EXPECT_FLOAT_EQ(round.S, 1.01f);  // 92 x 31 cells drawn twice: 5704 sprites
  EXPECT_FLOAT_EQ(CellScale(5704, 1280, 960), 1.01f);
  EXPECT_GT(CellScale(5703, 1280, 960), 1.01f);
  const float s = CellScale(1000, 1600, 900);
  const long cols = static_cast<long>(std::floor(1600 / (14.0 * s)) + 2);
  const long rows = static_cast<long>(std::floor(900 / (32.0 * s)) + 2);
  EXPECT_LE(cols * rows * 2, 1000);
  EXPECT_LT(CellScale(0, 1280, 960), 65);  // an impossible budget still ends
}

TEST_F(RulesTest, TheGameStartsInvisibleWithTheLivesAndIntervalsOfItsDifficulty) {
  for (int col = 0; col <= 1280 / 14; ++col)
    for (int row = 0; row <= 960 / 32; ++row) ASSERT_LT(Game.Grid.Glow[Cell(row, col)], 0);
  EXPECT_EQ(round.Lives, 10);
  EXPECT_EQ(round.RedLow, 60);
  EXPECT_EQ(round.RedHigh, 90);
  EXPECT_GE(round.RedCountdown, 120);
  EXPECT_LE(round.RedCountdown, 240);
  EXPECT_EQ(round.Cooldown, 1000);
  GameRound hard;
  StartRound(hard, 2);
  EXPECT_EQ(hard.Lives, 5);
  EXPECT_EQ(hard.RedSpeed, 3);
  GameRound easy;
  StartRound(easy, 0);
  EXPECT_EQ(easy.Lives, 25);
}

TEST_F(RulesTest, UnblastedRedCodeCostsLivesOnceForEveryRedCellThatLeavesTheBottom) {
  SetDefaultSetupValues();
  UseRecordingAudio();
  Audio.SoundBank[2] = CreateSound(SoundSamples{8000, 1, std::vector<int16_t>(80)});
  PlaceRed(40, 0);
  // Row 29 is the last row wholly on screen (960 / 32.32 = 29.7): a life goes exactly on the frames
  // a red cell moves out of it, which the grid shows as row 29 starting over at fall 0 and row 30
  // taking its speed.
  const int bottom = Cell(29, 40), under = Cell(30, 40);
  int moves = 0;
  for (int frame = 0; frame < 3000; ++frame) {
    const bool red = Game.Grid.Kind[bottom] == RedCode;
    const float speed = Game.Grid.Speed[bottom];
    const int lives = round.Lives;
    StepGrid(round);
    const bool movedOut = Game.Grid.Fall[bottom] == 0 && Game.Grid.Speed[under] == speed;
    moves += movedOut;
    ASSERT_EQ(lives - round.Lives, red && movedOut ? 1 : 0) << "frame " << frame;
  }
  ASSERT_GT(moves, 0);
  const int losses = 10 - round.Lives;
  EXPECT_GT(losses, 2);  // its red trail costs more than the red code's own two cells
  int lifeSounds = 0;
  for (const AudioEvent& e : Audio.Recorded) lifeSounds += e.What == AudioEvent::Started;
  EXPECT_EQ(lifeSounds, losses);
}

TEST_F(RulesTest, ARedCellThatMovesOnStaysRedWhileItGlowsAtLeast240) {
  struct Case {
    int glow, stays;
  } cases[] = {{300, RedCode}, {240, RedCode}, {238, GreenCode}};
  for (const Case& c : cases) {
    const int i = Cell(10, 60), below = Cell(11, 60);
    Game.Grid.Kind[i] = RedCode;
    Game.Grid.Glow[i] = c.glow + 2;  // the step takes 2 first
    Game.Grid.Fall[i] = 40;
    Game.Grid.Kind[below] = GreenCode;
    StepCell(round, 60, 10);
    EXPECT_EQ(Game.Grid.Kind[i], c.stays) << c.glow;
    EXPECT_EQ(Game.Grid.Kind[below], RedCode) << c.glow;
    EXPECT_EQ(Game.Grid.Glow[below], c.glow + 20);
  }
}

TEST_F(RulesTest, ABlastScoresEachRedCellAndStrikesEveryCellItHits) {
  PlaceRed(20, 10);
  const size_t sparksBefore = Game.Particles.size();
  Blast(round, 20, 11);  // the blast reaches at least one row down and two up: both red cells
  EXPECT_EQ(round.Score, 2);
  int struck = 0;
  for (int col = 14; col <= 26; ++col)
    for (int row = 5; row <= 16; ++row) struck += Game.Grid.Kind[Cell(row, col)] == StruckCode;
  EXPECT_GE(struck, 5 * 4);
  EXPECT_EQ(Game.Particles.size() - sparksBefore, static_cast<size_t>(struck) * 6);
  const Particle& red = Game.Particles[sparksBefore];
  EXPECT_TRUE((red.r == 38 && red.g == 128 && red.b == 38) || (red.r == 128 && red.g == 19 && red.b == 19));
  EXPECT_EQ(Game.Grid.Glow[Cell(11, 20)], 320);
  EXPECT_FLOAT_EQ(Game.Grid.Speed[Cell(11, 20)], 0.25f);

  // At the edges the blast is cut to the cells on the grid: columns 0 .. 1280 / 14.14 + 2 (92) and
  // rows 0 .. 960 / 32.32 + 3 (32), and nothing wraps into another row.
  struct Range {
    int lo, hi;
  };
  struct Edge {
    int col, row;
    Range left, top, right, bottom;  // where the struck rectangle's sides may lie
    bool none = false;
  } edges[] = {
      {0, 0, {0, 0}, {0, 0}, {2, 4}, {1, 3}},              // top left: from column 0 and row 0
      {91, 31, {87, 89}, {27, 29}, {92, 92}, {32, 32}},    // bottom right: up to column 92 and row 32
      {200, 200, {0, 0}, {0, 0}, {0, 0}, {0, 0}, true},    // far outside: nothing
  };
  for (const Edge& e : edges) {
    SCOPED_TRACE(e.col);
    AllocateGameArrays();
    round.Score = 0;
    const size_t before = Game.Particles.size();
    Blast(round, e.col, e.row);
    int left = GridColumns, top = GridRows, right = -1, bottom = -1, count = 0;
    for (int row = 0; row < GridRows; ++row)
      for (int col = 0; col < GridColumns; ++col)
        if (Game.Grid.Kind[Cell(row, col)] == StruckCode) {
          left = std::min(left, col);
          top = std::min(top, row);
          right = std::max(right, col);
          bottom = std::max(bottom, row);
          ++count;
        }
    EXPECT_EQ(Game.Particles.size() - before, static_cast<size_t>(count) * 6);
    EXPECT_EQ(round.Score, 0);
    if (e.none) {
      EXPECT_EQ(count, 0);
      continue;
    }
    auto within = [](int v, Range r) { return v >= r.lo && v <= r.hi; };
    EXPECT_TRUE(within(left, e.left)) << left;
    EXPECT_TRUE(within(top, e.top)) << top;
    EXPECT_TRUE(within(right, e.right)) << right;
    EXPECT_TRUE(within(bottom, e.bottom)) << bottom;
    EXPECT_EQ(count, (right - left + 1) * (bottom - top + 1));  // one whole rectangle
  }
}

TEST_F(RulesTest, RedFallingIntoStruckCodeScores) {
  PlaceRed(30, 5);
  Game.Grid.Fall[Cell(6, 30)] = 100;  // the lower red cell moves on the next step
  Game.Grid.Kind[Cell(7, 30)] = StruckCode;
  StepCell(round, 30, 6);
  EXPECT_EQ(round.Score, 1);
  EXPECT_EQ(Game.Grid.Kind[Cell(7, 30)], RedCode);
  EXPECT_EQ(Game.Grid.Glow[Cell(7, 30)], 638 + 20);
}

TEST_F(RulesTest, AHeldButtonWaitsForReleaseThenFiresEveryReloadFramesGrowingByThree) {
  std::vector<int> shotFrames;
  auto frame = [&](int i, bool down) {
    const size_t before = Game.Particles.size();
    HandleShot(round, down, 40, 15);
    if (Game.Particles.size() > before) shotFrames.push_back(i);
  };
  for (int i = 0; i < 300; ++i) frame(i, true);  // held from the click that started the game
  EXPECT_TRUE(shotFrames.empty());
  frame(300, false);
  for (int i = 301; i < 400; ++i) frame(i, true);
  ASSERT_GE(shotFrames.size(), 5u);
  EXPECT_EQ(shotFrames[0], 301);
  EXPECT_EQ(shotFrames[1] - shotFrames[0], 10);
  EXPECT_EQ(shotFrames[2] - shotFrames[1], 13);
  EXPECT_EQ(shotFrames[3] - shotFrames[2], 16);
}

TEST_F(RulesTest, RedCodeComesEverMoreOftenUntilItsIntervalSettles) {
  int reds = 0;
  for (int i = 0; i < 20000; ++i) {
    const int before = round.RedCountdown;
    StartDrops(round);
    if (round.RedCountdown > before) ++reds;
  }
  EXPECT_GT(reds, 20);
  EXPECT_EQ(round.RedLow, 20);
  EXPECT_EQ(round.RedHigh, 45);
}

TEST_F(RulesTest, ADropNeverLandsOnRedCodeAtTheTopOfItsColumn) {
  round.RedCountdown = 1 << 30;  // no new red code: only plain drops
  for (int col = 2; col <= 88; ++col) {
    if (col == 50) continue;
    PlaceRed(col, 0);
  }
  for (int i = 0; i < 300; ++i) StartDrops(round);
  for (int col = 2; col <= 88; ++col)
    if (col != 50) {
      ASSERT_EQ(Game.Grid.Kind[Cell(0, col)], RedCode) << col;
    }
  EXPECT_EQ(Game.Grid.Glow[Cell(0, 50)], 255);
}

TEST_F(RulesTest, SparksFadeOverTheirBrightestComponent) {
  Display.SpriteBudget[3] = 0;  // not drawn, still moved
  Game.Particles.push_back(Particle{0, 0, 1, 0, 5, 38, 128, 38});
  Game.Particles.push_back(Particle{0, 0, 0, 0, 5, 128, 19, 19});
  Game.Particles.push_back(Particle{0, 0, 0, 0, 5, 3, 0, 0});
  for (int update = 1; update <= 127; ++update) UpdateParticles();
  ASSERT_EQ(Game.Particles.size(), 2u);
  EXPECT_FLOAT_EQ(Game.Particles[0].x, 127);
  EXPECT_FLOAT_EQ(Game.Particles[0].gy, 0.5f * 127);
  UpdateParticles();
  EXPECT_TRUE(Game.Particles.empty());  // both gone after their 128th update
}

TEST_F(RulesTest, AScorePopAddsItsPointsAndRisesThirtyUnitsOverItsLife) {
  AddScorePop(5, 100, 200, 255, 255, 255);
  EXPECT_EQ(Game.Round.Score, 5);
  for (int i = 0; i < 119; ++i) DrawScorePops();
  ASSERT_EQ(Game.ScorePops.size(), 1u);
  EXPECT_FLOAT_EQ(Game.ScorePops[0].y, 200 - 0.25f * 119);
  DrawScorePops();
  EXPECT_TRUE(Game.ScorePops.empty());
}

// One cell's frame at the finest scale (cell height 32.32, bottom row 29): what moves down, what the
// cell below becomes, and what it scores or costs.
TEST_F(RulesTest, ACellsContentMovesOneRowDownByTheRules) {
  struct Side {
    int kind, glow;
  };
  struct Case {
    const char* what;
    Side cell, below;
    int row;
    float fall;  // this cell's fall offset before the step; its speed is 2
    int kindAfter, belowKindAfter, score, lives;
  } cases[] = {
      {"still inside its cell", {RedCode, 640}, {GreenCode, 50}, 29, 30.3f, RedCode, GreenCode, 0, 10},
      {"past 32 s, not 32", {GreenCode, 50}, {StruckCode, 50}, 10, 30.4f, GreenCode, GreenCode, 0, 10},
      {"green into green", {GreenCode, 200}, {GreenCode, 300}, 10, 31, GreenCode, GreenCode, 0, 10},
      {"red out of the bottom row", {RedCode, 640}, {GreenCode, 50}, 29, 31, RedCode, RedCode, 0, 9},
      {"red above the bottom row", {RedCode, 640}, {GreenCode, 50}, 28, 31, RedCode, RedCode, 0, 10},
      {"red below the bottom row", {RedCode, 640}, {GreenCode, 50}, 30, 31, RedCode, RedCode, 0, 10},
      {"green out of the bottom row", {GreenCode, 640}, {GreenCode, 50}, 29, 31, GreenCode, GreenCode, 0, 10},
      {"red into struck", {RedCode, 640}, {StruckCode, 320}, 12, 31, RedCode, RedCode, 1, 10},
      {"red out of the bottom into struck", {RedCode, 640}, {StruckCode, 320}, 29, 31, RedCode, RedCode, 1, 9},
      {"red into red scores nothing", {RedCode, 640}, {RedCode, 640}, 12, 31, RedCode, RedCode, 0, 10},
      {"dim red turns green behind itself", {RedCode, 241}, {GreenCode, 50}, 12, 31, GreenCode, RedCode, 0, 10},
      {"red at 242 stays red", {RedCode, 242}, {GreenCode, 50}, 12, 31, RedCode, RedCode, 0, 10},
      {"struck into green", {StruckCode, 320}, {GreenCode, 50}, 12, 31, StruckCode, StruckCode, 0, 10},
      {"dim struck turns green", {StruckCode, 100}, {RedCode, 300}, 12, 31, GreenCode, StruckCode, 0, 10},
      {"green onto bright struck", {GreenCode, 200}, {StruckCode, 100}, 12, 31, GreenCode, StruckCode, 0, 10},
      {"green onto dim struck", {GreenCode, 200}, {StruckCode, 99}, 12, 31, GreenCode, GreenCode, 0, 10},
      {"green onto bright red", {GreenCode, 200}, {RedCode, 100}, 12, 31, GreenCode, RedCode, 0, 10},
      {"green onto dim red", {GreenCode, 200}, {RedCode, 99}, 12, 31, GreenCode, GreenCode, 0, 10},
      {"unlit green moves its darkness", {GreenCode, -1234567}, {GreenCode, 50}, 5, 31, GreenCode, GreenCode, 0, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    round.Score = 0;
    round.Lives = 10;
    const int col = 33, i = Cell(c.row, col), below = Cell(c.row + 1, col);
    CodeGrid& g = Game.Grid;
    g.Kind[i] = c.cell.kind;
    g.Glow[i] = c.cell.glow;
    g.Fall[i] = c.fall;
    g.Speed[i] = 2;
    g.Glyph[i] = 17;
    g.Kind[below] = c.below.kind;
    g.Glow[below] = c.below.glow;
    g.Fall[below] = 7;
    g.Speed[below] = 5;
    g.Glyph[below] = 44;

    const CellLook look = StepCell(round, col, c.row);
    EXPECT_EQ(look.kind, c.cell.kind);  // how it looks this frame: before the move
    EXPECT_EQ(look.v, std::clamp(c.cell.glow, 0, 255));
    EXPECT_EQ(g.Kind[i], c.kindAfter);
    EXPECT_EQ(g.Kind[below], c.belowKindAfter);
    EXPECT_EQ(round.Score, c.score);
    EXPECT_EQ(round.Lives, c.lives);
    const int glowAfter = c.cell.glow > 0 ? c.cell.glow - 2 : c.cell.glow;
    EXPECT_EQ(g.Glow[i], glowAfter);
    if (c.fall + 2 <= 32 * 1.01f) {  // no move: only the fall grew
      EXPECT_FLOAT_EQ(g.Fall[i], c.fall + 2);
      EXPECT_EQ(g.Glow[below], c.below.glow);
      EXPECT_FLOAT_EQ(g.Speed[below], 5);
      continue;
    }
    // The content went down: the cell below carries it on from fall 0, one step brighter.
    EXPECT_FLOAT_EQ(g.Fall[below], 0);
    EXPECT_EQ(g.Glow[below], glowAfter + 20);
    EXPECT_FLOAT_EQ(g.Speed[below], 2);
    EXPECT_EQ(g.Glyph[below], 17);
    // This cell starts over, a little slower, with a fresh glyph.
    EXPECT_FLOAT_EQ(g.Fall[i], 0);
    EXPECT_FLOAT_EQ(g.Speed[i], 1.9f);
    EXPECT_GE(g.Glyph[i], 0);
    EXPECT_LE(g.Glyph[i], 59);
  }
}
