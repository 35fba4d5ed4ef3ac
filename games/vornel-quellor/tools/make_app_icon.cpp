// Writes the application icon that desktops show for the installed game:
//   OUT.png  256 x 256  a dark rounded tile of green falling code, one streak of red code with a
//                       bright head cutting through it, and "VQ" beneath
// Arguments: the output file and the condensed bold font used for the letters.
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"
#include "synth.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
    return 2;
  }
  constexpr int S = 256;
  Image img(S, S);
  Mask tile(S, S);
  RoundBox(tile, 8, 8, S - 8, S - 8, 40);
  img.PaintFn(tile, [](float, float y) { return Mix(Rgb(6, 28, 14), Rgb(2, 8, 4), y / S); });

  // Columns of green code, brighter toward each streak's head, kept inside the tile.
  Rng rng(278);
  Mask rain(S, S), heads(S, S);
  for (int col = 0; col < 12; ++col) {
    const float x = 22 + col * 18.5f;
    const float top = static_cast<float>(rng.Range(-40, 120));
    const int length = static_cast<int>(rng.Range(5, 12));
    for (int k = 0; k < length; ++k) {
      const float y = top + k * 15;
      Mask bit(S, S);
      if (rng.Uniform() < 0.5) Box(bit, x, y, x + 7, y + 11);
      else Box(bit, x, y, x + 3, y + 11), Box(bit, x + 3, y + 4, x + 8, y + 7);
      for (float& v : bit.v) v *= 0.3f + 0.7f * k / length;
      Union(k == length - 1 ? heads : rain, bit);
    }
  }
  Multiply(rain, tile);
  Multiply(heads, tile);
  img.Paint(rain, Rgb(30, 200, 70), 0, 0, 0.6f);
  img.Paint(heads, Rgb(200, 255, 210), 0, 0, 0.8f);

  // The red code: one streak down the middle with a glowing head.
  Mask red(S, S);
  for (int k = 0; k < 6; ++k) Box(red, 122, 40.f + k * 16, 134, 52.f + k * 16);
  img.AddLight(Blur(red, 8), Rgb(255, 30, 30), 0, 0, 0.9f);
  img.Paint(red, Rgb(255, 60, 50));
  Mask head(S, S);
  Box(head, 120, 134, 136, 150);
  img.AddLight(Blur(head, 10), Rgb(255, 120, 100), 0, 0, 1);
  img.Paint(head, Rgb(255, 230, 220));

  const Mask letters = TextMask(VQ_FONT_OPEN_SANS_COND, 64, "VQ", 0, 4);
  Mask placed(S, S);
  const int ox = S / 2 - letters.w / 2, oy = 200 - letters.h / 2;
  Union(placed, letters, ox, oy);
  img.Paint(Dilate(placed, 4), Rgb(2, 20, 8));
  img.AddLight(Blur(placed, 8), Rgb(40, 255, 90), 0, 0, 0.7f);
  img.PaintFn(letters, [&](float, float y) { return Mix(Rgb(240, 255, 240), Rgb(60, 235, 100), (y - oy) / letters.h); },
              ox, oy);
  Mask rim(S, S);
  RoundBoxOutline(rim, 8, 8, S - 8, S - 8, 40, 3);
  img.Paint(rim, Rgb(40, 140, 70), 0, 0, 0.8f);
  img.Clamp();
  if (!SaveImage(img, argv[1], 4)) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
