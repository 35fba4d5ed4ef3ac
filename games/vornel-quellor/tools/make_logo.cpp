// Writes logo.png into the game folder given as argument, with its own alpha channel: 640 x 256, the
// game's title "VORNEL QUELLOR" glowing green over falling code, the tagline in red beneath; its
// lowest 24 rows are kept clear for the start prompt that the title screen puts below it.
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"
#include "synth.h"

namespace {

void GameLogo(const std::string& path) {
  constexpr int W = 640, H = 256;
  Image img(W, H);
  // Falling code behind the title: columns of short bright-headed streaks, faded towards the edges.
  Rng rng(278);
  Mask rain(W, H), heads(W, H);
  for (int col = 0; col < W / 10; ++col) {
    const float x = col * 10 + 3;
    for (int drop = 0; drop < 2; ++drop) {
      const float top = static_cast<float>(rng.Range(-60, H - 40));
      const int length = static_cast<int>(rng.Range(4, 12));
      for (int k = 0; k < length; ++k) {
        const float y = top + k * 11;
        Mask& target = k == length - 1 ? heads : rain;
        const float level = 0.25f + 0.75f * k / length;
        Mask bit(W, H);
        if (rng.Uniform() < 0.5) Box(bit, x, y, x + 4, y + 8);
        else Box(bit, x, y, x + 2, y + 8), Box(bit, x + 2, y + 3, x + 5, y + 5);
        for (float& v : bit.v) v *= level;
        Union(target, bit);
      }
    }
  }
  auto vignette = [&](Mask& m) {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const float dx = (x - W / 2.f) / (W * 0.5f), dy = (y - 110.f) / 120.f;
        m.At(x, y) *= std::max(0.f, 1 - (dx * dx + dy * dy)) * (y < H - 24 ? 1.f : 0.f);
      }
  };
  vignette(rain), vignette(heads);
  img.Paint(rain, Rgb(30, 200, 70), 0, 0, 0.55f);
  img.Paint(heads, Rgb(200, 255, 210), 0, 0, 0.7f);

  const float cx = W / 2.f, titleY = 100;
  // As large as fits across the picture with room for the glow.
  const float probe = 100;
  const float size = probe * 580 / TextMask(VQ_FONT_OPEN_SANS_COND, probe, "VORNEL QUELLOR", 0, 3).w;
  const Mask title = TextMask(VQ_FONT_OPEN_SANS_COND, size, "VORNEL QUELLOR", 0, 3);
  const Mask placed = Placed(W, H, title, cx, titleY);
  img.Paint(Blur(Dilate(placed, 6), 8), Rgb(0, 0, 0), 0, 0, 0.8f);
  img.AddLight(Blur(placed, 10), Rgb(40, 255, 90), 0, 0, 0.9f);
  img.Paint(Dilate(placed, 3), Rgb(2, 30, 10));
  CentreText(img, title, cx, titleY, Rgb(240, 255, 240), Rgb(60, 235, 100));
  // A scan line of light through the letters.
  Mask scan(W, H);
  Box(scan, 0, titleY - 8, W, titleY - 5);
  Multiply(scan, placed);
  img.AddLight(scan, Rgb(255, 255, 255), 0, 0, 0.35f);

  const Mask tagline = TextMask(VQ_FONT_DOTGOTHIC, 26, "BLAST THE RED CODE, SAVE THE NET", 0, 2);
  const Mask tag = Placed(W, H, tagline, cx, 196);
  img.Paint(Dilate(tag, 3), Rgb(30, 0, 0), 0, 0, 0.9f);
  img.AddLight(Blur(tag, 4), Rgb(255, 40, 40), 0, 0, 0.8f);
  CentreText(img, tagline, cx, 196, Rgb(255, 190, 180), Rgb(255, 70, 60));
  img.Clamp();
  if (!SaveImage(img, path, 4)) std::fprintf(stderr, "cannot write %s\n", path.c_str()), std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  GameLogo(std::string(argv[1]) + "/logo.png");
  return 0;
}
