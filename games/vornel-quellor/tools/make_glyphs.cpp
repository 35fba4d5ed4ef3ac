// Writes font.png, the code-rain glyph sheet, into the game folder given as argument.
//
// The game cuts the one picture twice:
//  - into 60 glyphs of 14 x 32: the sheet is 120 pixels wide, so 8 glyphs per row (x 0..111) and
//    8 rows (the last holds 4). Glyph 59 - i is glyph i mirrored left to right, because the ghost
//    layer of the rain draws the mirrored frame in the mirrored column; no glyph is its own mirror.
//  - into 100 sparks of 8 x 8: 15 per row, so the sparks are the top 56 rows of the sheet. Most of
//    them are shards of glyphs 0..15 (the blast shatters code into pieces of code): those glyphs are
//    chosen among the designs so that every shard holds a piece of stroke. The cells at x 112..119,
//    outside every glyph, hold six star-shaped sparks (frames 14, 29, 44, 59, 74, 89).
//
// Glyphs are white on black in an RGB picture (black is the mask colour): 2-pixel strokes on pixel
// boundaries so that they stay crisp when tinted and scaled by 1.01 to 3, with a faint halo that
// reads as phosphor glow.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "canvas.h"

namespace {

constexpr int CellW = 14, CellH = 32;
constexpr int SheetW = 120, SheetH = 256;
constexpr int GlyphCount = 60;
constexpr int GlyphsPerRow = SheetW / CellW;  // 8
constexpr int SparkPerRow = SheetW / 8;       // 15
constexpr int SparkCount = 100;
constexpr int MinSparkInk = 6;  // stroke pixels every shard must hold to be seen
// The design box of a glyph inside its cell: 10 x 24 pixels from (2, 4).
constexpr float BoxX = 2, BoxY = 4;
constexpr float Stroke = 2;

// Thirty glyph designs drawn with a few stroke commands in design units (u 0..10 across, v 0..24
// down):
//   H v u0 u1        horizontal bar covering v..v+2 from u0 to u1
//   V u v0 v1        vertical bar covering u..u+2 from v0 to v1
//   D u0 v0 u1 v1    diagonal stroke between two points
//   A cu cv r a0 a1  arc of radius r (stroke centre) from angle a0 to a1 degrees (0 right, 90 down)
//   O u0 v0 u1 v1 r  rounded outline whose outer edge is the box u0..u1, v0..v1
//   P u v            a 2 x 2 dot at u..u+2, v..v+2
// Ten digits and twenty signs of our own in the spirit of code rain. None is symmetric, so the
// mirrored half of the sheet adds thirty more shapes. Their frames are decided by ChooseSlots.
const char* const Designs[30] = {
    "O 0 0 10 24 4; D 3.2 15.5 6.8 8.5",                        // slashed 0
    "V 4 0 22; D 1.5 4.5 5 1; H 22 1 9",                        // 1
    "A 5 6 4 190 385; D 8.6 8.2 1.2 22.5; H 22 0 10",           // 2
    "H 0 0 10; D 9 1 4 10; A 5 16 5 265 505",                   // 3
    "V 6 0 24; D 6.8 1 1 15.5; H 15 0 10",                      // 4
    "H 0 0 10; V 0 0 11; A 4.6 15.6 4.6 230 485",               // 5
    "A 5 18 4 0 360; D 1.2 17 7 1",                             // 6
    "H 0 0 10; D 9 1.5 3.5 23",                                 // 7
    "A 5.8 5.6 3.4 0 360; A 5 17.4 4.6 0 360",                  // 8
    "A 5 6.5 4 0 360; D 8.8 7.5 3 23",                          // 9
    "H 2 0 10; V 4 2 24; D 8.8 3.5 4.5 10",                     // cross with a hook
    "H 1 0 10; H 11 0 10; V 8 1 24; H 22 2 10",                 // comb
    "H 0 0 6; D 1 3 9 21; D 9 3 1 21; H 22 0 10",               // hourglass with half a lid
    "V 0 0 24; V 8 0 24; H 11 0 10; D 2.5 3 7 8",               // ladder with a brace
    "H 3 0 10; D 8.8 5 1.2 23; D 4.5 13 9 22.5",                // falling stroke
    "V 0 0 24; H 0 0 10; H 11 0 7; H 22 0 10",                  // E
    "D 5 1 0.5 10; V 4 1 24; H 22 4 10",                        // half arrow on a foot
    "H 6 0 10; H 15 0 10; V 1 0 24; D 8 0 6.5 24",              // leaning grid
    "A 5 12 4 0 360; V 4 0 24; H 22 4 10",                      // phi with a foot
    "V 0 0 24; D 9 1 2 12; D 2 12 9 23",                        // K
    "H 3 0 10; V 4 0 24; D 5 10 9.2 22",                        // tree with one branch
    "H 0 0 10; V 8 0 12; H 11 2 10; D 8.5 13.5 3 23",           // hook
    "O 0 1 10 12 3; V 4 12 24; H 17 4 10",                      // loop on a stem
    "D 1 1.5 9 7.5; D 1 9.5 9 15.5; D 1 17.5 9 23",             // three slashes
    "V 0 0 24; H 0 0 10; V 8 0 12; H 11 0 10; D 5 13 9.5 23",   // R
    "H 5 0 10; V 4 0 24; D 1 13 3.5 21; D 6.5 15 9 9",          // fork
    "V 0 0 24; D 1 1 9.5 22.5; H 22 0 10",                      // right triangle
    "O 0 5 10 19 1; H 11 0 7; V 7 19 24",                       // box with a tail
    "D 1.2 1.2 9 23; D 5.2 12 1 23",                            // lambda
    "P 0 2; P 4 2; P 8 4; D 8 10 2 23; H 9 0 6",                // dots and a tail
};

// Draws one glyph's strokes into mask m with the design box at (ox, oy), mirrored when asked.
void DrawGlyph(Mask& m, const std::string& program, float ox, float oy, bool mirror) {
  auto X = [&](float u) { return mirror ? ox + 10 - u : ox + u; };
  auto Y = [&](float v) { return oy + v; };
  std::stringstream commands(program);
  std::string command;
  while (std::getline(commands, command, ';')) {
    std::stringstream in(command);
    char op = 0;
    in >> op;
    float a = 0, b = 0, c = 0, d = 0, e = 0;
    switch (op) {
      case 'H': in >> a >> b >> c; Box(m, std::min(X(b), X(c)), Y(a), std::max(X(b), X(c)), Y(a + Stroke)); break;
      case 'V':
        in >> a >> b >> c;
        Box(m, std::min(X(a), X(a + Stroke)), Y(b), std::max(X(a), X(a + Stroke)), Y(c));
        break;
      case 'P': in >> a >> b; Box(m, std::min(X(a), X(a + 2)), Y(b), std::max(X(a), X(a + 2)), Y(b + 2)); break;
      case 'D': in >> a >> b >> c >> d; Segment(m, {X(a), Y(b)}, {X(c), Y(d)}, Stroke * 1.05f); break;
      case 'A':
        in >> a >> b >> c >> d >> e;
        if (mirror) Arc(m, {X(a), Y(b)}, c, Stroke, 180 - e, 180 - d);
        else Arc(m, {X(a), Y(b)}, c, Stroke, d, e);
        break;
      case 'O':
        in >> a >> b >> c >> d >> e;
        RoundBoxOutline(m, std::min(X(a), X(c)) + 1, Y(b) + 1, std::max(X(a), X(c)) - 1, Y(d) - 1, e, Stroke);
        break;
      default: std::fprintf(stderr, "bad glyph command '%s'\n", command.c_str()); std::exit(1);
    }
  }
}

// A small star: a bright core with four tapering rays, for the sparks outside the glyphs.
void DrawStar(Mask& m, float cx, float cy, int variant) {
  Disc(m, {cx, cy}, 1.1f);
  const float reach = 2.6f + (variant % 3) * 0.5f;
  const bool diagonal = variant % 2 == 1;
  for (int k = 0; k < 4; ++k) {
    const float ang = (k * 90 + (diagonal ? 45 : 0)) * 3.14159265f / 180;
    Segment(m, {cx, cy}, {cx + reach * std::cos(ang), cy + reach * std::sin(ang)}, 0.9f);
  }
}

// Ink of the strokes (not the halo) inside the 8 x 8 spark cell k of the sheet.
int SparkInk(const Mask& core, int k) {
  const int x0 = (k % SparkPerRow) * 8, y0 = (k / SparkPerRow) * 8;
  int ink = 0;
  for (int y = y0; y < y0 + 8; ++y)
    for (int x = x0; x < x0 + 8; ++x) ink += core.Get(x, y) >= 0.5f;
  return ink;
}

// The spark cells that lie on glyph slots (not in the column outside the glyphs), with the last
// slot each one touches: a cell can be judged once that slot holds its glyph.
std::vector<std::pair<int, int>> SparkCellsBySlot() {
  std::vector<std::pair<int, int>> cells;
  for (int k = 0; k < SparkCount; ++k) {
    const int x0 = (k % SparkPerRow) * 8, y0 = (k / SparkPerRow) * 8;
    if (x0 >= GlyphsPerRow * CellW) continue;
    const int lastSlot = (y0 / CellH) * GlyphsPerRow + std::min(GlyphsPerRow - 1, (x0 + 7) / CellW);
    cells.push_back({k, lastSlot});
  }
  return cells;
}

// Chooses which design goes into each of the slots that the spark cut shatters, trying designs in
// their order and backing up when a spark cell would come out (nearly) empty. The designs left
// over fill the remaining slots in their order. Deterministic: the same designs, the same sheet.
std::vector<int> ChooseSlots(const std::vector<Mask>& cells) {
  const auto sparkCells = SparkCellsBySlot();
  int shattered = 0;
  for (const auto& c : sparkCells) shattered = std::max(shattered, c.second + 1);
  std::vector<int> slots;
  std::vector<bool> used(cells.size(), false);
  Mask core(SheetW, SheetH);
  auto place = [&](int slot, int design, bool on) {
    const int ox = (slot % GlyphsPerRow) * CellW, oy = (slot / GlyphsPerRow) * CellH;
    for (int y = 0; y < CellH; ++y)
      for (int x = 0; x < CellW; ++x) core.At(ox + x, oy + y) = on ? cells[design].Get(x, y) : 0.f;
  };
  std::function<bool(int)> fill = [&](int slot) {
    if (slot == shattered) return true;
    for (int d = 0; d < static_cast<int>(cells.size()); ++d) {
      if (used[d]) continue;
      place(slot, d, true);
      bool fine = true;
      for (const auto& [k, last] : sparkCells)
        if (last == slot && SparkInk(core, k) < MinSparkInk) fine = false;
      if (fine) {
        used[d] = true, slots.push_back(d);
        if (fill(slot + 1)) return true;
        used[d] = false, slots.pop_back();
      }
      place(slot, d, false);
    }
    return false;
  };
  if (!fill(0)) {
    std::fprintf(stderr, "no arrangement of the glyphs gives every spark a piece of stroke\n");
    std::exit(1);
  }
  for (int d = 0; d < static_cast<int>(cells.size()); ++d)
    if (!used[d]) slots.push_back(d);
  return slots;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s GAME_FOLDER\n", argv[0]);
    return 2;
  }
  std::vector<Mask> designs, mirrors;
  for (const char* program : Designs) {
    designs.emplace_back(CellW, CellH), mirrors.emplace_back(CellW, CellH);
    DrawGlyph(designs.back(), program, BoxX, BoxY, false);
    DrawGlyph(mirrors.back(), program, BoxX, BoxY, true);
  }
  const std::vector<int> slots = ChooseSlots(designs);

  // Each glyph with its halo, a soft blur of its own strokes that stays off the cell's edge, so a
  // glyph and its mirror match exactly and nothing bleeds into a neighbour.
  Mask core(SheetW, SheetH), halo(SheetW, SheetH);
  for (int i = 0; i < GlyphCount; ++i) {
    const bool mirrored = i >= GlyphCount / 2;
    const int design = slots[mirrored ? GlyphCount - 1 - i : i];
    const Mask& cell = mirrored ? mirrors[design] : designs[design];
    Mask glow = Blur(cell, 1.3f);
    for (int y = 0; y < CellH; ++y)
      for (int x = 0; x < CellW; ++x)
        if (x == 0 || y == 0 || x == CellW - 1 || y == CellH - 1) glow.At(x, y) = 0;
    const int ox = (i % GlyphsPerRow) * CellW, oy = (i / GlyphsPerRow) * CellH;
    Union(core, cell, ox, oy);
    Union(halo, glow, ox, oy);
  }
  // Six stars in the column that only the spark cut sees, with their own halo.
  Mask stars(SheetW, SheetH);
  for (int row = 0; row < 6; ++row) DrawStar(stars, GlyphsPerRow * CellW + 4, row * 8 + 4, row);
  Mask starGlow = Blur(stars, 1.3f);
  for (int y = 0; y < SheetH; ++y)
    for (int x = 0; x < GlyphsPerRow * CellW; ++x) starGlow.At(x, y) = 0;
  Union(halo, starGlow);
  Union(core, stars);
  for (float& h : halo.v) h = std::min(1.f, h) * 0.32f;
  Image sheet(SheetW, SheetH);
  sheet.AddLight(halo, Rgb(255, 255, 255));
  sheet.Paint(core, Rgb(255, 255, 255));
  sheet.Clamp();
  const std::string path = std::string(argv[1]) + "/font.png";
  if (!SaveImage(sheet, path, 3)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
