#include <gtest/gtest.h>

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
  for (int frame = 0; frame < 3000; ++frame) StepGrid(round);
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
  Blast(round, 0, 0);  // at the edge: cells outside the grid are skipped
  Blast(round, 200, 200);
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
