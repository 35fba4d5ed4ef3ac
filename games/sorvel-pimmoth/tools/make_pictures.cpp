// Writes the game's pictures into the game folder given as argument, each with its own alpha channel:
//   target.png  128 x 128  a white glowing target (a soft halo, a ring, a bright core), which the
//                          game tints with each target's colour and scales to its radius
//   logo.png    640 x 256  the title "SORVEL PIMMOTH" glowing over a scatter of coloured targets,
//                          the tagline beneath; its lowest 24 rows are kept clear for the start
//                          prompt that the title screen puts below it
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"
#include "synth.h"

namespace {

// A glowing target of radius r centred on c, in colour (white for the sprite).
void PaintTarget(Image& img, Pt c, float r, Colour colour, float opacity) {
  Mask halo(img.w, img.h), ring(img.w, img.h), core(img.w, img.h), dot(img.w, img.h);
  Disc(halo, c, r * 0.9f);
  img.AddLight(Blur(halo, r * 0.12f), colour, 0, 0, 0.35f * opacity);
  Ring(ring, c, r * 0.8f, r * 0.11f);
  img.Paint(Blur(ring, r * 0.02f), colour, 0, 0, opacity);
  Disc(core, c, r * 0.5f);
  img.PaintFn(Blur(core, r * 0.03f), [&](float x, float y) {
    const float d = std::hypot(x - c.x, y - c.y) / (r * 0.5f);
    return Mix(Rgb(255, 255, 255), colour, std::min(1.f, d * 0.9f));
  }, 0, 0, opacity);
  Disc(dot, {c.x - r * 0.15f, c.y - r * 0.18f}, r * 0.14f);
  img.AddLight(Blur(dot, r * 0.05f), Rgb(255, 255, 255), 0, 0, 0.6f * opacity);
}

bool TargetSprite(const std::string& path) {
  Image img(128, 128);
  PaintTarget(img, {64, 64}, 62, Rgb(255, 255, 255), 1);
  img.Clamp();
  return SaveImage(img, path, 4);
}

bool GameLogo(const std::string& path) {
  constexpr int W = 640, H = 256;
  Image img(W, H);
  const Colour hues[6] = {Rgb(60, 230, 255), Rgb(255, 70, 200), Rgb(255, 220, 60),
                          Rgb(90, 255, 120), Rgb(255, 140, 40), Rgb(170, 110, 255)};
  Rng rng(279);
  // Targets scattered around the title and the tagline, never over their letters.
  const float letters[2][4] = {{24, 58, W - 24, 142}, {70, 180, W - 70, 212}};  // x0, y0, x1, y1
  for (int k = 0; k < 16;) {
    const Pt c{static_cast<float>(rng.Range(24, W - 24)), static_cast<float>(rng.Range(14, H - 40))};
    const float r = static_cast<float>(rng.Range(9, 24));
    bool clear = c.y + r < H - 24;
    for (const auto& box : letters)
      clear = clear && (c.x + r < box[0] || c.x - r > box[2] || c.y + r < box[1] || c.y - r > box[3]);
    if (!clear) continue;
    PaintTarget(img, c, r, hues[k % 6], 0.6f);
    ++k;
  }
  const float cx = W / 2.f, titleY = 100;
  // As large as fits across the picture with room for the glow.
  const float probe = 100;
  const float size = probe * 580 / TextMask(VQ_FONT_LATO_BLACK, probe, "SORVEL PIMMOTH", 0, 2).w;
  const Mask title = TextMask(VQ_FONT_LATO_BLACK, size, "SORVEL PIMMOTH", 0, 2);
  const Mask placed = Placed(W, H, title, cx, titleY);
  img.Paint(Blur(Dilate(placed, 6), 8), Rgb(0, 0, 10), 0, 0, 0.8f);
  img.AddLight(Blur(placed, 10), Rgb(60, 200, 255), 0, 0, 0.9f);
  img.Paint(Dilate(placed, 3), Rgb(5, 10, 40));
  CentreText(img, title, cx, titleY, Rgb(255, 255, 255), Rgb(120, 220, 255));

  const Mask tagline = TextMask(VQ_FONT_DOTGOTHIC, 26, "CATCH EVERY GLOW BEFORE IT FADES", 0, 2);
  const Mask tag = Placed(W, H, tagline, cx, 196);
  img.Paint(Dilate(tag, 3), Rgb(30, 0, 30), 0, 0, 0.9f);
  img.AddLight(Blur(tag, 4), Rgb(255, 70, 200), 0, 0, 0.8f);
  CentreText(img, tagline, cx, 196, Rgb(255, 210, 240), Rgb(255, 110, 210));
  // The start prompt's rows stay clear.
  for (int y = H - 24; y < H; ++y)
    for (int x = 0; x < W; ++x)
      for (int c = 0; c < 4; ++c) img.p[(static_cast<size_t>(y) * W + x) * 4 + c] = 0;
  img.Clamp();
  return SaveImage(img, path, 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  for (const char* name : {"target.png", "logo.png"}) {
    const std::string path = folder + "/" + name;
    if (!(name[0] == 't' ? TargetSprite(path) : GameLogo(path))) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
