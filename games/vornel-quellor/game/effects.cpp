// Sparks and rising score numbers.
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"

void UpdateParticles() {
  auto& list = Game.Particles;
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    Particle p = list[i];
    p.r = std::max(p.r - 1, 0);
    p.g = std::max(p.g - 1, 0);
    p.b = std::max(p.b - 1, 0);
    SetColor(p.r, p.g, p.b);
    p.x += p.gx;
    p.y += p.gy;
    p.gy += 0.5f;
    // Past the particle budget sparks are not drawn, but they still move.
    DrawSprite(Game.GlyphsSmall, TruncToInt(p.x), TruncToInt(p.y), p.n, 3);
    if (p.r >= 1 || p.g >= 1 || p.b >= 1) list[kept++] = p;  // a black spark is gone
  }
  list.resize(kept);
}

void AddScorePop(int points, float x, float y, int r, int g, int b) {
  Game.Round.Score += points;
  Game.ScorePops.push_back(ScorePop{points, x, y, 120, r, g, b});
}

// The set-up happens every frame, pops or none: the frame end draws the settings panel and the pause
// menu after this and relies on starting from the reset state and the notices' font.
void DrawScorePops() {
  SelectFont(Display.Fonts[3]);
  ResetDraw();
  auto& list = Game.ScorePops;
  size_t kept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    ScorePop p = list[i];
    --p.t;
    p.y -= 0.25f;
    Colour(p.r, p.g, p.b, p.t / 120.0);
    WriteText(TruncToInt(p.x), TruncToInt(p.y), std::to_string(p.n), 1, 1);
    if (p.t > 0) list[kept++] = p;
  }
  list.resize(kept);
}
