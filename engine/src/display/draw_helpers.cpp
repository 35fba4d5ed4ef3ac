// The program's drawing conventions over the drawing layer: aligned text, blend kinds, a state
// reset, sprites placed by their top-left corner within per-frame budgets, glow, the menu background.
#include <algorithm>
#include <cmath>

#include "core/core.h"
#include "display/display.h"

void WriteText(int x, int y, const std::string& text, int alignX, int alignY) {
  if (alignX == 1) x -= StringWidth(text) / 2;
  else if (alignX == 2) x -= StringWidth(text);
  if (alignY == 1) y -= FontHeight() / 2;
  else if (alignY == 2) y -= FontHeight();
  DrawString(text, static_cast<float>(x), static_cast<float>(y));
}

void Scale(float sx) { SetScale(sx, sx); }
void Scale(float sx, float sy) { SetScale(sx, sy); }
void Rotate(float degrees) { SetRotation(degrees); }

void ResetDraw() {
  SetRotation(0);
  SetScale(1, 1);
  SetColor(255, 255, 255);
  SetAlpha(1);
  SetBlendKind(1);
}

void SetBlendKind(int kind) {
  Display.BlendKind = kind;
  switch (kind) {
    case 0: SetBlend(2); break;  // solid
    case 1: SetBlend(3); break;  // alpha
    case 2: SetBlend(5); break;  // multiply
    case 3: SetBlend(4); break;  // additive
    default: break;
  }
}

double Clamp(double value, double low, double high) { return std::max(low, std::min(value, high)); }

static int ColourComponent(double c) { return TruncToInt(Clamp(std::isnan(c) ? 0 : c, 0, 255)); }

void Colour(double r, double g, double b) { SetColor(ColourComponent(r), ColourComponent(g), ColourComponent(b)); }

void Colour(double r, double g, double b, double alpha) {
  Colour(r, g, b);
  SetAlpha(static_cast<float>(Clamp(std::isnan(alpha) ? 0 : alpha, 0, 1)));
}

// Frames that will not be presented on a slow system are neither drawn nor counted.
static bool SkippedFrame() { return Core.SetupValues[SetupESS] == 1 && Display.FrameParity == 1; }

static bool TakeBudget(int kind) {
  if (kind < 0 || kind >= static_cast<int>(Display.SpriteBudget.size())) return false;
  if (Display.SpritesDrawn[kind] >= Display.SpriteBudget[kind]) return false;
  ++Display.SpritesDrawn[kind];
  return true;
}

void DrawSprite(const std::shared_ptr<TImage>& image, int x, int y, int frame, int kind) {
  if (SkippedFrame() || !image) return;
  float sx, sy;
  GetScale(sx, sy);
  if (!TakeBudget(kind)) return;
  // Every image is centred on its handle: the scaled picture's top-left lands on (x, y).
  DrawImageFrame(image, x + image->width * sx / 2, y + image->height * sy / 2, frame);
}

void DrawGlowSprite(const std::shared_ptr<TImage>& image, int x, int y, int frame,
                    const std::shared_ptr<TImage>& glowImage, float glowScale, float glowAlpha) {
  if (SkippedFrame() || !image) return;
  float sx, sy;
  GetScale(sx, sy);
  const float alpha = GetAlpha();
  const int blend = GetBlend();
  const float px = x + image->width * sx / 2, py = y + image->height * sy / 2;
  if (TakeBudget(1)) DrawImageFrame(image, px, py, frame);
  SetScale(glowScale * sx, glowScale * sy);
  SetAlpha(alpha * glowAlpha);
  SetBlendKind(3);
  // Past the glow budget sprites lose their glow; past the main budget they keep only their glow.
  if (TakeBudget(2)) DrawImageFrame(glowImage ? glowImage : image, px, py, frame);
  SetScale(sx, sy);
  SetAlpha(alpha);
  SetBlend(blend);
}

void BeginFrame(int clear) {
  if (clear == 1) Cls();
  for (int kind = 1; kind <= 10; ++kind) Display.SpritesDrawn[kind] = 0;
}

int PointerIn(int x, int y, int w, int h) {
  const int px = Display.PointerX, py = Display.PointerY;
  return x < px && px < x + w && y < py && py < y + h ? 1 : 0;
}

void DrawMenuBackground() {
  ResetDraw();
  for (int i = 0; i < 3; ++i) {
    float& c = Display.BackColour[i];
    const float t = Display.BackTarget[i];
    c = c - (c - t) / 16;
    if (std::fabs(c - t) < 0.005f) c = t;
  }
  float brightness = 25;
  Rotate(-45);
  for (int i = 0; i <= Display.VirtualHeight; i += 10) {
    brightness += 1;
    Colour(brightness * Display.BackColour[0], brightness * Display.BackColour[1], brightness * Display.BackColour[2]);
    DrawRect(-100, static_cast<float>(3 * i), static_cast<float>(Display.VirtualWidth + 1800), 30);
  }
  ResetDraw();
}
