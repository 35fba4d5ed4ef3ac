// Writes the application icon that desktops show for the installed game:
//   OUT.png  256 x 256  a dark rounded tile with three glowing targets of the game's colours, the
//                       largest in the middle
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"

namespace {

void Glow(Image& img, Pt c, float r, Colour colour) {
  Mask halo(img.w, img.h), ring(img.w, img.h), core(img.w, img.h);
  Disc(halo, c, r);
  img.AddLight(Blur(halo, r * 0.15f), colour, 0, 0, 0.45f);
  Ring(ring, c, r * 0.8f, r * 0.12f);
  img.Paint(ring, colour);
  Disc(core, c, r * 0.5f);
  img.PaintFn(core, [&](float x, float y) {
    const float d = std::hypot(x - c.x, y - c.y) / (r * 0.5f);
    return Mix(Rgb(255, 255, 255), colour, std::min(1.f, d));
  });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  constexpr int S = 256;
  Image img(S, S);
  Mask tile(S, S);
  RoundBox(tile, 8, 8, S - 8, S - 8, 40);
  img.PaintFn(tile, [](float, float y) { return Mix(Rgb(14, 18, 50), Rgb(4, 6, 18), y / S); });
  Glow(img, {78, 78}, 40, Rgb(255, 70, 200));
  Glow(img, {190, 92}, 30, Rgb(255, 220, 60));
  Glow(img, {136, 164}, 62, Rgb(60, 230, 255));
  Mask rim(S, S);
  RoundBoxOutline(rim, 8, 8, S - 8, S - 8, 40, 3);
  img.Paint(rim, Rgb(70, 110, 220), 0, 0, 0.8f);
  img.Clamp();
  if (!SaveImage(img, argv[1], 4)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
