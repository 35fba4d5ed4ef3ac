// The rules of the targets, over the round's numbers and the shared random generator.
#include <algorithm>
#include <cmath>

#include "audio/audio.h"
#include "core/core.h"
#include "game/game.h"

GameState Game;

void ResetGameState() { Game = GameState{}; }

namespace {

// More targets at once, coming faster, living shorter and smaller at the higher difficulties.
constexpr DifficultyRules Difficulties[3] = {
    {6, 80, 36, 3, 200, 64},
    {5, 60, 26, 5, 160, 56},
    {4, 45, 18, 7, 120, 48},
};

// The pan of a sound made at x: -1 at the left edge, 1 at the right.
float PanAt(const GameRound& round, float x) {
  return static_cast<float>(std::clamp(2.0 * x / std::max(round.VirtualWidth, 1) - 1, -1.0, 1.0));
}

}  // namespace

const DifficultyRules& RulesOf(int difficulty) { return Difficulties[std::clamp(difficulty, 0, 2)]; }

void AllocateGameArrays() {
  Game.Round.Targets.reserve(Difficulties[2].MaxTargets);
  Game.ScorePops.reserve(64);
  Game.Flashes.reserve(64);
}

void StartRound(GameRound& round, int difficulty) {
  const DifficultyRules& rules = RulesOf(difficulty);
  round.Difficulty = std::clamp(difficulty, 0, 2);
  round.Score = 0;
  round.Lives = rules.Lives;
  round.Hits = round.Vanished = round.Spawned = 0;
  round.Gap = rules.FirstGap;
  round.SpawnCountdown = rules.FirstGap;
  round.ButtonHeld = true;
  round.EndReason = 0;
  round.Targets.clear();
}

bool SpawnTarget(GameRound& round) {
  const DifficultyRules& rules = RulesOf(round.Difficulty);
  if (static_cast<int>(round.Targets.size()) >= rules.MaxTargets) return false;
  Target t;
  t.StartRadius = static_cast<float>(rules.Size * RandReal(0.75, 1.0));
  t.Life = t.Left = rules.LifeFrames;
  t.Hue = RandInt(0, TargetHues - 1);
  // A free place: away from the edges and the top band, and apart from every target up now if
  // one of a few tries finds such a place (the last try stands otherwise).
  const double r = t.StartRadius;
  const double right = std::max(r, round.VirtualWidth - r), bottom = std::max(HudHeight + r, round.VirtualHeight - r);
  for (int tries = 0; tries < 24; ++tries) {
    t.X = static_cast<float>(RandReal(r, right));
    t.Y = static_cast<float>(RandReal(HudHeight + r, bottom));
    const bool apart = std::all_of(round.Targets.begin(), round.Targets.end(), [&](const Target& o) {
      return std::hypot(o.X - t.X, o.Y - t.Y) > o.StartRadius + t.StartRadius;
    });
    if (apart) break;
  }
  round.Targets.push_back(t);
  ++round.Spawned;
  return true;
}

void StepRound(GameRound& round) {
  if (round.EndReason != 0) return;
  auto& list = round.Targets;
  for (size_t i = 0; i < list.size();) {
    Target& t = list[i];
    // The space may have changed under the targets (the settings panel's Apply): each stays whole
    // inside the play area, where it can be clicked.
    const float r = t.StartRadius;
    t.X = std::clamp(t.X, r, std::max(r, round.VirtualWidth - r));
    t.Y = std::clamp(t.Y, HudHeight + r, std::max(HudHeight + r, round.VirtualHeight - r));
    if (--t.Left > 0) {
      ++i;
      continue;
    }
    // A target that vanishes costs a life.
    PlaySfx(2, 1, 0.6f, PanAt(round, t.X));
    --round.Lives;
    ++round.Vanished;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
  }
  if (round.Lives <= 0) {
    round.Lives = 0;
    round.EndReason = 1;
    return;
  }
  // Targets come ever faster: the gap shrinks by a frame with each one, down to the fastest. While
  // the most are up, the next waits and comes as soon as one goes.
  if (round.SpawnCountdown > 0) --round.SpawnCountdown;
  if (round.SpawnCountdown == 0 && SpawnTarget(round)) {
    round.Gap = std::max(round.Gap - 1, RulesOf(round.Difficulty).FastestGap);
    round.SpawnCountdown = round.Gap;
  }
}

int HitPoints(float sizeLeft) { return 10 + TruncToInt(90 * std::clamp(sizeLeft, 0.0f, 1.0f)); }

int ClickAt(GameRound& round, float x, float y) {
  auto& list = round.Targets;
  for (size_t k = list.size(); k-- > 0;) {  // the topmost first
    const Target t = list[k];
    if (std::hypot(t.X - x, t.Y - y) > t.Radius()) continue;
    const float left = static_cast<float>(t.Left) / static_cast<float>(t.Life);
    const int points = HitPoints(left);
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(k));
    ++round.Hits;
    round.Score += points;
    // A quick hit sounds higher.
    PlaySfx(1, 0.8f + 0.5f * left, 0.7f, PanAt(round, t.X));
    AddScorePop(points, t.X, t.Y, t.Hue);
    Game.Flashes.push_back(Flash{t.X, t.Y, t.Radius(), 24, t.Hue});
    return points;
  }
  return 0;
}

int HandleButton(GameRound& round, bool down, float x, float y) {
  const bool pressed = down && !round.ButtonHeld;
  round.ButtonHeld = down;
  return pressed ? ClickAt(round, x, y) : 0;
}
