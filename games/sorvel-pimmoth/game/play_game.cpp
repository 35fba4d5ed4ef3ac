// One whole game: the frames of the targets, the result, name entry and the stored record; and the
// game's effects, the hit flashes and the rising numbers.
#include <string>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"

namespace {

constexpr int Hues[TargetHues][3] = {{60, 230, 255}, {255, 70, 200}, {255, 220, 60},
                                     {90, 255, 120}, {255, 140, 40}, {170, 110, 255}};

void HueColour(int hue, double alpha) {
  const int* c = Hues[hue >= 0 && hue < TargetHues ? hue : 0];
  Colour(c[0], c[1], c[2], alpha);
}

// The target sprite scaled to a radius and centred on (x, y); with its glow when glow is above 0.
void DrawDisc(float x, float y, float radius, float glow) {
  const std::shared_ptr<TImage>& image = Game.TargetImage;
  if (!image || radius <= 0) return;
  const float s = 2 * radius / static_cast<float>(image->width);
  Scale(s, s);
  const int left = TruncToInt(x - radius), top = TruncToInt(y - radius);
  if (glow > 0) DrawGlowSprite(image, left, top, 0, nullptr, 1.8f, glow);
  else DrawSprite(image, left, top, 0, 1);
  Scale(1, 1);
}

// A faint grid behind the targets.
void DrawBackdrop(const GameRound& round) {
  ResetDraw();
  Colour(30, 40, 90, 0.35);
  for (int x = 40; x < round.VirtualWidth; x += 80) DrawRect(static_cast<float>(x), HudHeight, 1, 2000);
  for (int y = HudHeight + 40; y < round.VirtualHeight; y += 80) DrawRect(0, static_cast<float>(y), 4000, 1);
  Colour(80, 100, 200, 0.5);
  DrawRect(0, HudHeight - 2, static_cast<float>(round.VirtualWidth), 2);
}

// Each target: a dim ring at its starting size, which shows how much time is left, and the glowing
// disc shrinking inside it.
void DrawTargets(const GameRound& round) {
  for (const Target& t : round.Targets) {
    const float left = static_cast<float>(t.Left) / static_cast<float>(t.Life);
    ResetDraw();
    HueColour(t.Hue, 0.18);
    DrawDisc(t.X, t.Y, t.StartRadius, 0);
    ResetDraw();
    HueColour(t.Hue, 1);
    DrawDisc(t.X, t.Y, t.Radius(), 0.35f + 0.4f * left);
  }
}

// The rings of the hits spread and fade.
void DrawFlashes() {
  auto& list = Game.Flashes;
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    Flash f = list[i];
    --f.t;
    f.radius += 3;
    ResetDraw();
    SetBlendKind(3);
    HueColour(f.hue, f.t / 24.0);
    DrawDisc(f.x, f.y, f.radius, 0);
    if (f.t > 0) list[kept++] = f;
  }
  list.resize(kept);
}

void DrawScoreAndLives(const GameRound& round) {
  ResetDraw();
  SelectSizedFont(1, 4);
  WriteText(round.VirtualWidth / 2, HudHeight / 2, std::to_string(round.Score), 1, 1);
  SelectSizedFont(1, 3);
  Colour(150, 170, 255);
  WriteText(24, HudHeight / 2, ThisIdentity().DifficultyNames[round.Difficulty], 0, 1);
  for (int i = 0; i < RulesOf(round.Difficulty).Lives; ++i) {
    ResetDraw();
    if (i < round.Lives) HueColour(i % TargetHues, 1);
    else Colour(60, 60, 80, 0.6);
    DrawDisc(static_cast<float>(round.VirtualWidth - 40 - 44 * i), HudHeight / 2.0f, 16, i < round.Lives ? 0.3f : 0);
  }
}

// "Game Over" over the last frame, in a dark outline.
void ShowResult(const GameRound& round) {
  Flip(-1);
  SelectFont(Display.Fonts[5]);
  const int x = round.VirtualWidth / 2, y = round.VirtualHeight / 2;
  for (int dx = -3; dx <= 3; ++dx)
    for (int dy = -3; dy <= 3; ++dy) {
      ResetDraw();
      Colour(10, 10, 30);
      WriteText(x + dx, y + dy, "Game Over", 1, 1);
    }
  ResetDraw();
  Colour(120, 230, 255);
  WriteText(x, y, "Game Over", 1, 1);
  Flip(-1);
}

}  // namespace

void AddScorePop(int points, float x, float y, int hue) { Game.ScorePops.push_back(ScorePop{points, x, y, 90, hue}); }

// The set-up happens every frame, pops or none: the frame end draws the settings panel and the pause
// menu after this and relies on starting from the reset state and the notices' font.
void DrawScorePops() {
  auto& list = Game.ScorePops;
  size_t kept = 0;
  if (!list.empty()) SelectSizedFont(1, 3);
  for (size_t i = 0; i < list.size(); ++i) {
    ScorePop p = list[i];
    --p.t;
    p.y -= 0.6f;
    ResetDraw();
    HueColour(p.hue, p.t / 30.0);  // full for two thirds of its time, then fading
    std::string label(1, '+');  // appended, not "+" + text: GCC 12's -Wrestrict misreads the insert
    label += std::to_string(p.n);
    WriteText(TruncToInt(p.x), TruncToInt(p.y), label, 1, 1);
    if (p.t > 0) list[kept++] = p;
  }
  list.resize(kept);
  SelectFont(Display.Fonts[3]);
  ResetDraw();
}

void PlayGame() {
  GameRound& round = Game.Round;
  round.VirtualWidth = Display.VirtualWidth;
  round.VirtualHeight = Display.VirtualHeight;
  StartRound(round, Core.Difficulty);
  Game.Flashes.clear();

  while (round.EndReason == 0) {
    // The space is read every frame: the settings panel's Apply may change it during a game.
    round.VirtualWidth = Display.VirtualWidth;
    round.VirtualHeight = Display.VirtualHeight;
    SetClsColor(4, 6, 18);
    BeginFrame(1);
    HandleButton(round, IsMouseDown(1) != 0, static_cast<float>(Display.PointerX), static_cast<float>(Display.PointerY));
    StepRound(round);
    DrawBackdrop(round);
    DrawTargets(round);
    DrawFlashes();
    DrawScoreAndLives(round);
    if (FrameEnd(Input.InputMode) == 99) round.EndReason = 99;  // Quit in the pause menu
  }
  ShowResult(round);
  WaitAnswering(1500);
  std::array<int32_t, 31> best{};
  best[1] = round.Hits;
  FinishGame(round.Score, best, round.EndReason == 99 ? 1 : 0);
}
