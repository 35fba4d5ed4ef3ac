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
    SetDefaultSetupValues();
    UseRecordingAudio();
    for (int n : {1, 2}) Audio.SoundBank[n] = CreateSound(SoundSamples{8000, 1, std::vector<int16_t>(80)});
    SeedRnd(279);
    StartRound(round, 1);
  }
  // One target of the round's difficulty at (x, y), and no other coming for a long while.
  Target& PlaceTarget(float x, float y) {
    round.SpawnCountdown = 1000000;
    EXPECT_TRUE(SpawnTarget(round));
    Target& t = round.Targets.back();
    t.X = x;
    t.Y = y;
    return t;
  }
  int SoundsStarted(int n) const {
    int count = 0;
    for (const AudioEvent& e : Audio.Recorded)
      count += e.What == AudioEvent::Started && e.Sound == Audio.SoundBank[n].get();
    return count;
  }
  GameRound round;
};

// The higher the difficulty, the fewer the lives, the more targets at once, coming faster and living
// shorter; every figure is measured by playing frames, not read from the table.
TEST_F(RulesTest, HigherDifficultiesBringMoreTargetsFasterAndShorterLived) {
  struct Case {
    int difficulty, lives, firstSpawnFrame, mostAtOnce, lifeFrames;
  };
  const Case cases[] = {{0, 6, 80, 3, 200}, {1, 5, 60, 5, 160}, {2, 4, 45, 7, 120}};
  int spawnedBefore = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.difficulty);
    StartRound(round, c.difficulty);
    EXPECT_EQ(round.Lives, c.lives);
    round.Lives = 1000000;  // nothing ends this game
    int firstSpawn = 0, most = 0;
    for (int frame = 1; frame <= 3000; ++frame) {
      StepRound(round);
      if (firstSpawn == 0 && round.Spawned == 1) firstSpawn = frame;
      most = std::max(most, static_cast<int>(round.Targets.size()));
    }
    EXPECT_EQ(firstSpawn, c.firstSpawnFrame);
    EXPECT_EQ(most, c.mostAtOnce);
    ASSERT_FALSE(round.Targets.empty());
    EXPECT_EQ(round.Targets[0].Life, c.lifeFrames);
    EXPECT_GT(round.Spawned, spawnedBefore);
    spawnedBefore = round.Spawned;
    EXPECT_EQ(round.Vanished, round.Spawned - static_cast<int>(round.Targets.size()));
  }
}

TEST_F(RulesTest, TargetsComeEverFasterDownToTheFastestGap) {
  for (int difficulty = 0; difficulty <= 2; ++difficulty) {
    SCOPED_TRACE(difficulty);
    const DifficultyRules& rules = RulesOf(difficulty);
    StartRound(round, difficulty);
    round.Lives = 1000000;
    std::vector<int> spawnFrames;
    for (int frame = 1; frame <= 20000 && spawnFrames.size() < 80; ++frame) {
      const int before = round.Spawned;
      round.Targets.clear();  // never at the most: every gap is the rule's own
      StepRound(round);
      if (round.Spawned > before) spawnFrames.push_back(frame);
    }
    ASSERT_EQ(spawnFrames.size(), 80u);
    EXPECT_EQ(spawnFrames[1] - spawnFrames[0], rules.FirstGap - 1);
    EXPECT_EQ(spawnFrames[2] - spawnFrames[1], rules.FirstGap - 2);
    EXPECT_EQ(spawnFrames[79] - spawnFrames[78], rules.FastestGap);
  }
  EXPECT_EQ(&RulesOf(-3), &RulesOf(0));  // out of range: the nearest
  EXPECT_EQ(&RulesOf(7), &RulesOf(2));
}

TEST_F(RulesTest, ATargetShrinksEvenlyAndItsVanishingCostsOneLife) {
  for (int difficulty = 0; difficulty <= 2; ++difficulty) {
    SCOPED_TRACE(difficulty);
    StartRound(round, difficulty);
    const int lives = round.Lives;
    const int started = SoundsStarted(2);
    const Target first = PlaceTarget(300, 400);
    const int life = RulesOf(difficulty).LifeFrames;
    for (int frame = 1; frame < life; ++frame) {
      StepRound(round);
      ASSERT_EQ(round.Targets.size(), 1u) << "frame " << frame;
      EXPECT_NEAR(round.Targets[0].Radius(), first.StartRadius * (life - frame) / life, 1e-4);
      ASSERT_EQ(round.Lives, lives);
    }
    StepRound(round);
    EXPECT_TRUE(round.Targets.empty());
    EXPECT_EQ(round.Lives, lives - 1);
    EXPECT_EQ(round.Vanished, 1);
    EXPECT_EQ(SoundsStarted(2) - started, 1);
  }
}

TEST_F(RulesTest, AQuickerHitScoresMore) {
  struct Case {
    float sizeLeft;
    int points;
  };
  for (const Case& c : {Case{1, 100}, Case{0.5f, 55}, Case{0.25f, 32}, Case{0.001f, 10}, Case{0, 10},
                        Case{1.5f, 100}, Case{-1, 10}})
    EXPECT_EQ(HitPoints(c.sizeLeft), c.points) << c.sizeLeft;

  // Hits after more and more frames of the same target's life.
  int last = 1000;
  for (const int frames : {0, 1, 40, 80, 120, 159}) {
    SCOPED_TRACE(frames);
    StartRound(round, 1);
    Game.ScorePops.clear();
    PlaceTarget(500, 500);
    for (int k = 0; k < frames; ++k) StepRound(round);
    const int expected = HitPoints((160.0f - frames) / 160.0f);
    EXPECT_EQ(ClickAt(round, 500, 500), expected);
    EXPECT_LT(expected, last);
    last = expected;
    EXPECT_EQ(round.Score, expected);
    EXPECT_EQ(round.Hits, 1);
    EXPECT_TRUE(round.Targets.empty());
    ASSERT_EQ(Game.ScorePops.size(), 1u);
    EXPECT_EQ(Game.ScorePops[0].n, expected);
    EXPECT_EQ(Game.ScorePops[0].x, 500);
  }
  EXPECT_EQ(SoundsStarted(1), 6);
}

// A click hits only inside a target's radius as it is now, and the target drawn on top.
TEST_F(RulesTest, AClickHitsTheTopmostTargetUnderThePointer) {
  Target& t = PlaceTarget(400, 400);
  t.StartRadius = 50;
  t.Left = t.Life / 2;  // radius 25 now
  EXPECT_EQ(ClickAt(round, 400 + 26, 400), 0);
  EXPECT_EQ(ClickAt(round, 400, 400 - 30), 0);
  ASSERT_EQ(round.Targets.size(), 1u);
  EXPECT_EQ(round.Score, 0);
  EXPECT_GT(ClickAt(round, 400 + 24, 400), 0);
  EXPECT_TRUE(round.Targets.empty());

  PlaceTarget(600, 600).Hue = 1;
  PlaceTarget(610, 600).Hue = 2;
  EXPECT_GT(ClickAt(round, 605, 600), 0);
  ASSERT_EQ(round.Targets.size(), 1u);
  EXPECT_EQ(round.Targets[0].Hue, 1);
  EXPECT_EQ(Game.Flashes.back().hue, 2);
}

// Only a press clicks: the button held from the click that started the game, or held on from an
// earlier press, does not.
TEST_F(RulesTest, OnlyAPressOfTheButtonClicks) {
  struct Step {
    bool down;
    bool hits;
  };
  const Step steps[] = {{true, false}, {true, false}, {false, false}, {true, true},
                        {true, false}, {false, false}, {false, false}, {true, true}};
  int frame = 0;
  for (const Step& s : steps) {
    ++frame;
    round.Targets.clear();
    PlaceTarget(200, 300);
    EXPECT_EQ(HandleButton(round, s.down, 200, 300) > 0, s.hits) << "frame " << frame;
  }
}

TEST_F(RulesTest, TheGameEndsWhenTheLastLifeGoesAndThenStandsStill) {
  StartRound(round, 2);
  round.Lives = 1;
  // Two targets vanish in the same frame: the lives stop at 0.
  PlaceTarget(200, 300);
  PlaceTarget(600, 300);
  round.Targets[0].Left = round.Targets[1].Left = 1;
  PlaceTarget(900, 600);
  StepRound(round);
  EXPECT_EQ(round.EndReason, 1);
  EXPECT_EQ(round.Lives, 0);
  EXPECT_EQ(round.Vanished, 2);
  ASSERT_EQ(round.Targets.size(), 1u);
  const int left = round.Targets[0].Left, spawned = round.Spawned;
  round.SpawnCountdown = 1;
  for (int k = 0; k < 10; ++k) StepRound(round);
  EXPECT_EQ(round.Targets[0].Left, left);
  EXPECT_EQ(round.Spawned, spawned);
  EXPECT_EQ(round.EndReason, 1);
}

// New targets appear whole inside the play area, below the top band, and apart from the others up.
TEST_F(RulesTest, TargetsAppearInsideThePlayAreaApartFromEachOther) {
  struct Space {
    int w, h;
  };
  for (const Space s : {Space{1280, 960}, Space{1600, 900}, Space{1440, 900}}) {
    SCOPED_TRACE(s.w);
    round.VirtualWidth = s.w;
    round.VirtualHeight = s.h;
    for (int game = 0; game < 200; ++game) {
      StartRound(round, 2);
      while (SpawnTarget(round)) {
      }
      ASSERT_EQ(static_cast<int>(round.Targets.size()), RulesOf(2).MaxTargets);
      for (size_t i = 0; i < round.Targets.size(); ++i) {
        const Target& t = round.Targets[i];
        ASSERT_GE(t.X - t.StartRadius, 0);
        ASSERT_LE(t.X + t.StartRadius, s.w);
        ASSERT_GE(t.Y - t.StartRadius, HudHeight);
        ASSERT_LE(t.Y + t.StartRadius, s.h);
        ASSERT_GE(t.Hue, 0);
        ASSERT_LT(t.Hue, TargetHues);
        for (size_t j = 0; j < i; ++j) {
          const Target& o = round.Targets[j];
          ASSERT_GT(std::hypot(o.X - t.X, o.Y - t.Y), o.StartRadius + t.StartRadius);
        }
      }
    }
  }
}

// An Apply of the settings panel may change the space during a game: the targets up then move
// inside the new one, where they can still be clicked.
TEST_F(RulesTest, TargetsStayInsideASpaceThatChangesUnderThem) {
  struct Change {
    int w, h;
  };
  for (const Change c : {Change{1600, 900}, Change{1440, 900}, Change{1280, 960}}) {
    SCOPED_TRACE(c.w);
    round.VirtualWidth = 1600;
    round.VirtualHeight = 960;
    StartRound(round, 0);
    PlaceTarget(1590, 950);  // the far corner of the widest and tallest space
    PlaceTarget(10, 10);
    PlaceTarget(800, 500);
    round.VirtualWidth = c.w;
    round.VirtualHeight = c.h;
    StepRound(round);
    ASSERT_EQ(round.Targets.size(), 3u);
    for (const Target& t : round.Targets) {
      EXPECT_GE(t.X - t.StartRadius, 0);
      EXPECT_LE(t.X + t.StartRadius, c.w);
      EXPECT_GE(t.Y - t.StartRadius, HudHeight);
      EXPECT_LE(t.Y + t.StartRadius, c.h);
    }
    EXPECT_EQ(round.Targets[2].X, 800);  // one inside already does not move
    EXPECT_EQ(round.Targets[2].Y, 500);
    const Target corner = round.Targets[0];
    EXPECT_FLOAT_EQ(corner.X + corner.StartRadius, c.w);
    EXPECT_FLOAT_EQ(corner.Y + corner.StartRadius, c.h);
    EXPECT_GT(ClickAt(round, corner.X, corner.Y), 0);
  }
}
