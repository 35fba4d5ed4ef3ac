// Writes badges.png into the game folder given as argument: 256 x 256, 16 badges of 64 x 64
// (4 per row), with their own alpha channel so that they sit cleanly on the score panel's light
// details box. Each badge is a medal: a dark edge, a metal rim, a deep face and a bold symbol with a
// dark outline, so it still reads at the 0.28 scale the panel draws it at.
//   0 red drop  1 crosshair  2 lightning  3 shield  4 "100"  5 clock  6 star  7 heart
//   8 burst  9 prompt  10 tick  11 moon  12 fast-forward  13 code rain  14 crown
//   15 the locked badge: grey, a padlock (the look for a badge not yet earned)
// The second argument is the font for the "100" badge.
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "canvas.h"

namespace {

constexpr int Size = 64;
constexpr float C = 32;  // centre

std::string NumberFont;

using Symbol = std::function<void(Mask&)>;

void Drop(Mask& m) {
  Disc(m, {C, C + 5}, 10);
  Polygon(m, {{C, C - 17}, {C + 8.7f, C + 0}, {C - 8.7f, C + 0}});
}

void Crosshair(Mask& m) {
  Ring(m, {C, C}, 11, 3);
  for (int k = 0; k < 4; ++k) {
    const float a = k * 3.14159265f / 2, ca = std::cos(a), sa = std::sin(a);
    Segment(m, {C + 6 * ca, C + 6 * sa}, {C + 18 * ca, C + 18 * sa}, 3, false);
  }
  Disc(m, {C, C}, 2.5f);
}

void Lightning(Mask& m) {
  Polygon(m, {{C + 4, C - 18}, {C - 9, C + 2}, {C - 1, C + 2}, {C - 5, C + 18}, {C + 9, C - 3}, {C + 1, C - 3}});
}

void Shield(Mask& m) {
  Polygon(m, {{C - 13, C - 14}, {C, C - 18}, {C + 13, C - 14}, {C + 12, C + 2}, {C, C + 17}, {C - 12, C + 2}});
}

void Hundred(Mask& m) {
  int baseline = 0;
  const Mask text = TextMask(NumberFont, 26, "100", 0, -1, &baseline);
  Union(m, text, static_cast<int>(C) - text.w / 2, static_cast<int>(C) - text.h / 2);
}

void Clock(Mask& m) {
  Ring(m, {C, C}, 15, 3.5f);
  Segment(m, {C, C}, {C, C - 10}, 3.2f);
  Segment(m, {C, C}, {C + 7, C + 4}, 3.2f);
  for (int k = 0; k < 12; k += 3) {
    const float a = k * 3.14159265f / 6;
    Disc(m, {C + 11 * std::cos(a), C + 11 * std::sin(a)}, 1.3f);
  }
}

void BigStar(Mask& m) { Star(m, {C, C + 1.5f}, 18, 7.5f); }

void Heart(Mask& m) {
  Disc(m, {C - 7, C - 5}, 8.5f), Disc(m, {C + 7, C - 5}, 8.5f);
  Polygon(m, {{C - 15.2f, C - 2}, {C + 15.2f, C - 2}, {C, C + 16}});
}

void Burst(Mask& m) { Star(m, {C, C}, 19, 9, 12); }

void Prompt(Mask& m) {
  Polyline(m, {{C - 14, C - 10}, {C - 3, C}, {C - 14, C + 10}}, 5);
  Box(m, C + 1, C + 8, C + 16, C + 13);
}

void TickMark(Mask& m) { Polyline(m, {{C - 14, C + 1}, {C - 5, C + 11}, {C + 14, C - 11}}, 6); }

void Moon(Mask& m) {
  Mask cut(m.w, m.h);
  Disc(m, {C, C}, 16);
  Disc(cut, {C + 8, C - 5}, 14);
  Subtract(m, cut);
}

void FastForward(Mask& m) {
  Polygon(m, {{C - 16, C - 13}, {C, C}, {C - 16, C + 13}});
  Polygon(m, {{C - 1, C - 13}, {C + 15, C}, {C - 1, C + 13}});
}

void CodeRain(Mask& m) {
  const float columns[3] = {C - 11, C, C + 11};
  const float tops[3] = {C - 14, C - 18, C - 10};
  for (int k = 0; k < 3; ++k)
    for (int j = 0; j < 4; ++j) {
      const float y = tops[k] + j * 8;
      Box(m, columns[k] - 2.5f, y, columns[k] + 2.5f, y + 5);
    }
}

void Crown(Mask& m) {
  Polygon(m, {{C - 17, C - 8}, {C - 9, C + 1}, {C, C - 15}, {C + 9, C + 1}, {C + 17, C - 8},
              {C + 13, C + 10}, {C - 13, C + 10}});
  Box(m, C - 13, C + 12, C + 13, C + 16);
}

void Padlock(Mask& m) {
  Arc(m, {C, C - 5}, 8, 4, 180, 360);
  Segment(m, {C - 8, C - 5}, {C - 8, C}, 4, false), Segment(m, {C + 8, C - 5}, {C + 8, C}, 4, false);
  RoundBox(m, C - 13, C - 1, C + 13, C + 16, 2.5f);
  Mask hole(m.w, m.h);
  Disc(hole, {C, C + 6}, 3), Box(hole, C - 1.3f, C + 6, C + 1.3f, C + 12);
  Subtract(m, hole);
}

struct Badge {
  Symbol symbol;
  Colour metal;
};

void DrawBadge(Image& img, const Badge& b) {
  const Colour edge = Rgb(20, 16, 24);
  const Colour light = Mix(b.metal, Rgb(255, 255, 255), 0.55f);
  const Colour dark = Mix(b.metal, Rgb(0, 0, 0), 0.55f);
  Mask shadow(Size, Size), rim(Size, Size), face(Size, Size), symbol(Size, Size);
  Disc(shadow, {C + 1, C + 2}, 30.5f);
  img.Paint(Blur(shadow, 1.5f), Rgb(0, 0, 0), 0, 0, 0.45f);
  Disc(rim, {C, C}, 30);
  img.Paint(rim, edge);
  Mask metal(Size, Size);
  Disc(metal, {C, C}, 28.5f);
  img.PaintFn(metal, [&](float, float y) { return Mix(light, dark, y / Size); });
  Disc(face, {C, C}, 23);
  img.Paint(face, edge);
  Mask inner(Size, Size);
  Disc(inner, {C, C}, 22);
  img.PaintFn(inner, [&](float x, float y) {
    const float d = std::sqrt((x - C + 6) * (x - C + 6) + (y - C + 8) * (y - C + 8)) / 30;
    return Mix(Mix(b.metal, Rgb(0, 0, 0), 0.45f), Mix(b.metal, Rgb(0, 0, 0), 0.82f), std::min(1.f, d));
  });
  b.symbol(symbol);
  img.Paint(Dilate(symbol, 1.6f), edge);
  img.PaintFn(symbol, [&](float, float y) { return Mix(Rgb(255, 255, 255), light, (y - 12) / 40); });
  // A highlight across the top of the rim.
  Mask gleam(Size, Size);
  Arc(gleam, {C, C}, 26, 2, 205, 295);
  img.AddLight(Blur(gleam, 0.8f), Rgb(255, 255, 255), 0, 0, 0.5f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  NumberFont = VQ_FONT_OPEN_SANS_COND;
  const Badge badges[16] = {
      {Drop, Rgb(230, 40, 50)},        {Crosshair, Rgb(200, 205, 220)}, {Lightning, Rgb(255, 196, 40)},
      {Shield, Rgb(60, 120, 255)},     {Hundred, Rgb(255, 196, 40)},    {Clock, Rgb(205, 127, 50)},
      {BigStar, Rgb(255, 210, 60)},    {Heart, Rgb(240, 70, 130)},      {Burst, Rgb(255, 130, 30)},
      {Prompt, Rgb(40, 220, 120)},     {TickMark, Rgb(40, 220, 120)},   {Moon, Rgb(170, 90, 240)},
      {FastForward, Rgb(40, 210, 230)}, {CodeRain, Rgb(60, 255, 90)},   {Crown, Rgb(255, 196, 40)},
      {Padlock, Rgb(120, 120, 132)},
  };
  Image sheet(4 * Size, 4 * Size);
  for (int i = 0; i < 16; ++i) {
    Image cell(Size, Size);
    DrawBadge(cell, badges[i]);
    cell.Clamp();
    sheet.Over(cell, (i % 4) * Size, (i / 4) * Size);
  }
  sheet.Clamp();
  const std::string path = std::string(argv[1]) + "/badges.png";
  if (!SaveImage(sheet, path, 4)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
