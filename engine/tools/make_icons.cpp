// Writes Common/icons.png, the framework's icon strip, under the Files folder given as argument:
// 128 x 128, 64 frames of 16 x 16 (8 per row), on black, which the loader masks out.
//
// Most icons are drawn in white and greys because the screens tint them (the settings panel draws
// them green or red, the score graph yellow-green); only the mouse pointer carries its own colours.
//   0 chip (the engine test's invisible test sprite)  1 tick  2 cross
//   3 key cap (redefinition buttons; the key name sits on it)  4 mouse  5 keyboard  6 game pad
//   7 graph point (score history)  8 joystick hat  9 joystick axis  10 joystick button
//   11 screen 4:3  12 wide screen  13 windowed  14 full screen  15 gear  16 star  17 cup
//   18, 19, 20 option choices: first, second, third (a gauge of three, two and one lit bars)
//   21, 22 slider track, left and right halves (drawn stretched 3.1 x 1.5)  23 slider knob (1 x 1.5)
//   24..29 audio back ends: loudspeaker, headphones, wave, level bars, notes, speaker cabinet
//   30 camera  31 globe  63 mouse pointer, its tip on the cell's top-left pixel
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "canvas.h"

namespace {

constexpr int Cell = 16;
constexpr float Pi = 3.14159265f;

const Colour White = Rgb(255, 255, 255);
const Colour Light = Rgb(200, 200, 200);
const Colour Mid = Rgb(120, 120, 120);
const Colour Dim = Rgb(60, 60, 60);

using Draw = std::function<void(Image&)>;

// Paints a shape built by fn in colour c.
void Shape(Image& img, Colour c, const std::function<void(Mask&)>& fn) {
  Mask m(img.w, img.h);
  fn(m);
  img.Paint(m, c);
}

void Chip(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 4, 4, 12, 12, 1); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 4, 4, 12, 12, 1, 1);
    for (int k = 0; k < 3; ++k) {
      const float p = 5.5f + 2.5f * k;
      Segment(m, {p, 1.5f}, {p, 4}, 1, false), Segment(m, {p, 12}, {p, 14.5f}, 1, false);
      Segment(m, {1.5f, p}, {4, p}, 1, false), Segment(m, {12, p}, {14.5f, p}, 1, false);
    }
  });
  Shape(img, Light, [](Mask& m) { Disc(m, {8, 8}, 1.5f); });
}

void Tick(Image& img) {
  Shape(img, White, [](Mask& m) { Polyline(m, {{2.5f, 8.5f}, {6.5f, 12.5f}, {13.5f, 3.5f}}, 2.2f); });
}

void Cross(Image& img) {
  Shape(img, White, [](Mask& m) {
    Segment(m, {3.5f, 3.5f}, {12.5f, 12.5f}, 2.2f), Segment(m, {12.5f, 3.5f}, {3.5f, 12.5f}, 2.2f);
  });
}

// A key seen from above: the cap's lower skirt and its top face, left mostly open for the name.
void KeyCap(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 1, 1, 15, 15, 3); });
  Shape(img, Rgb(34, 34, 34), [](Mask& m) { RoundBox(m, 3, 2.5f, 13, 12, 2); });
  Shape(img, White, [](Mask& m) { RoundBoxOutline(m, 1.5f, 1.5f, 14.5f, 14.5f, 3, 1); });
  Shape(img, Light, [](Mask& m) { RoundBoxOutline(m, 3.5f, 3, 12.5f, 11.5f, 2, 0.8f); });
}

void Mouse(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 4, 2, 12, 14.5f, 4); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 4, 2, 12, 14.5f, 4, 1.1f);
    Segment(m, {4, 7}, {12, 7}, 1, false);
    Segment(m, {8, 2}, {8, 7}, 1, false);
  });
  Shape(img, Light, [](Mask& m) { Box(m, 8.5f, 2.6f, 11.3f, 6.5f); });
}

void Keyboard(Image& img) {
  Shape(img, White, [](Mask& m) { RoundBoxOutline(m, 1, 4, 15, 13, 1.5f, 1); });
  Shape(img, Light, [](Mask& m) {
    for (int r = 0; r < 2; ++r)
      for (int k = 0; k < 5; ++k) Box(m, 2.5f + k * 2.3f + r, 5.5f + r * 2.3f, 3.9f + k * 2.3f + r, 6.9f + r * 2.3f);
    Box(m, 4.5f, 10.2f, 11.5f, 11.5f);
  });
}

void GamePad(Image& img) {
  Shape(img, Dim, [](Mask& m) {
    RoundBox(m, 1, 5, 15, 12, 3.5f);
    Disc(m, {3.5f, 12}, 2.5f), Disc(m, {12.5f, 12}, 2.5f);
  });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 1, 5, 15, 12, 3.5f, 1);
    Segment(m, {4.5f, 7}, {4.5f, 10.5f}, 1.2f, false), Segment(m, {2.8f, 8.7f}, {6.3f, 8.7f}, 1.2f, false);
    Disc(m, {11, 7.6f}, 0.9f), Disc(m, {12.6f, 9.4f}, 0.9f);
  });
}

// A point of the score graph: a bright bead with a soft rim, centred in the cell.
void GraphPoint(Image& img) {
  Shape(img, Mid, [](Mask& m) { Disc(m, {8, 8}, 4.6f); });
  Shape(img, White, [](Mask& m) { Disc(m, {8, 8}, 3.2f); });
}

void Arrowhead(Mask& m, Pt tip, float angleDeg, float size) {
  const float a = angleDeg * Pi / 180;
  const Pt dir{std::cos(a), std::sin(a)}, side{-dir.y, dir.x};
  Polygon(m, {tip,
              {tip.x - dir.x * size + side.x * size * 0.8f, tip.y - dir.y * size + side.y * size * 0.8f},
              {tip.x - dir.x * size - side.x * size * 0.8f, tip.y - dir.y * size - side.y * size * 0.8f}});
}

// The hat: a four-way pad with an arrow on each arm.
void Hat(Image& img) {
  Shape(img, Dim, [](Mask& m) { Box(m, 5.5f, 1, 10.5f, 15), Box(m, 1, 5.5f, 15, 10.5f); });
  Shape(img, White, [](Mask& m) {
    Polyline(m, {{5.5f, 1}, {10.5f, 1}, {10.5f, 5.5f}, {15, 5.5f}, {15, 10.5f}, {10.5f, 10.5f},
                 {10.5f, 15}, {5.5f, 15}, {5.5f, 10.5f}, {1, 10.5f}, {1, 5.5f}, {5.5f, 5.5f}},
             1, true);
    Arrowhead(m, {8, 2.6f}, -90, 1.9f), Arrowhead(m, {8, 13.4f}, 90, 1.9f);
    Arrowhead(m, {2.6f, 8}, 180, 1.9f), Arrowhead(m, {13.4f, 8}, 0, 1.9f);
  });
}

// The axis: a stick on its base, leaning, with arrows for its travel.
void Axis(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 3, 11.5f, 13, 15, 1.5f); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 3, 11.5f, 13, 15, 1.5f, 1);
    Segment(m, {8, 12}, {9.5f, 5.5f}, 1.6f);
    Disc(m, {9.8f, 4.2f}, 2.4f);
  });
  Shape(img, Light, [](Mask& m) {
    Segment(m, {1, 6}, {4, 6}, 1), Arrowhead(m, {0.8f, 6}, 180, 1.6f);
    Segment(m, {12.5f, 8.5f}, {14.5f, 8.5f}, 1), Arrowhead(m, {15.2f, 8.5f}, 0, 1.6f);
  });
}

void Button(Image& img) {
  Shape(img, Dim, [](Mask& m) { Disc(m, {8, 8}, 6.8f); });
  Shape(img, White, [](Mask& m) { Ring(m, {8, 8}, 6.5f, 1.2f); });
  Shape(img, Mid, [](Mask& m) { Disc(m, {8, 8}, 4); });
  Shape(img, Light, [](Mask& m) { Arc(m, {8, 8}, 3, 1, 200, 290); });
}

void Screen(Image& img, float x0, float y0, float x1, float y1) {
  Shape(img, Dim, [&](Mask& m) { Box(m, x0, y0, x1, y1); });
  Shape(img, White, [&](Mask& m) {
    RoundBoxOutline(m, x0, y0, x1, y1, 1, 1);
    Segment(m, {8, y1}, {8, 14}, 1.2f, false);
    Segment(m, {5, 14.5f}, {11, 14.5f}, 1, false);
  });
  Shape(img, Light, [&](Mask& m) { Segment(m, {x0 + 2, y0 + 2.5f}, {x0 + 4.5f, y0 + 2.5f}, 0.8f); });
}

void Windowed(Image& img) {
  Shape(img, Dim, [](Mask& m) { Box(m, 1.5f, 5, 14.5f, 14); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 1.5f, 2, 14.5f, 14, 1, 1);
    Box(m, 1.5f, 2, 14.5f, 5);
  });
  Shape(img, Rgb(0, 0, 0), [](Mask& m) { Box(m, 10, 3, 11, 4), Box(m, 12, 3, 13, 4); });
}

void FullScreen(Image& img) {
  Shape(img, Dim, [](Mask& m) { Box(m, 4.5f, 4.5f, 11.5f, 11.5f); });
  Shape(img, White, [](Mask& m) {
    const float a = 1.5f, b = 14.5f, l = 4.5f;
    Polyline(m, {{a, a + l}, {a, a}, {a + l, a}}, 1.3f), Polyline(m, {{b - l, a}, {b, a}, {b, a + l}}, 1.3f);
    Polyline(m, {{a, b - l}, {a, b}, {a + l, b}}, 1.3f), Polyline(m, {{b - l, b}, {b, b}, {b, b - l}}, 1.3f);
    RoundBoxOutline(m, 4.5f, 4.5f, 11.5f, 11.5f, 0.5f, 0.9f);
  });
}

void Gear(Image& img) {
  Shape(img, White, [](Mask& m) {
    FillSampled(m, 0, 0, 16, 16, [](float x, float y) {
      const float dx = x - 8, dy = y - 8, r = std::sqrt(dx * dx + dy * dy);
      const float a = std::atan2(dy, dx);
      const float teeth = std::cos(8 * a) > 0.1f ? 6.8f : 5.2f;
      return r <= teeth && r >= 2.4f;
    });
  });
}

void StarIcon(Image& img) {
  Shape(img, White, [](Mask& m) { Star(m, {8, 8.6f}, 7.2f, 3); });
  Shape(img, Light, [](Mask& m) { Star(m, {8, 8.6f}, 3.2f, 1.4f); });
}

void Cup(Image& img) {
  Shape(img, White, [](Mask& m) {
    FillSampled(m, 3, 1.5f, 13, 10, [](float x, float y) {
      const float t = (y - 1.5f) / 8.5f, half = 5 - 2.8f * t * t;
      return std::fabs(x - 8) <= half;
    });
    Arc(m, {3.2f, 5}, 2.2f, 1, 90, 270), Arc(m, {12.8f, 5}, 2.2f, 1, -90, 90);
    Box(m, 7, 9.5f, 9, 12.5f), Box(m, 4.5f, 12.5f, 11.5f, 14.5f);
  });
  Shape(img, Mid, [](Mask& m) { Box(m, 5, 3, 6.2f, 7); });
}

// The option gauges: three rising bars, the first `lit` of them lit, the others only outlined.
void Gauge(Image& img, int lit) {
  for (int k = 0; k < 3; ++k) {
    const float x0 = 2 + k * 4.3f, x1 = x0 + 3, y0 = 10 - 3.5f * k, y1 = 14.5f;
    if (k < lit) Shape(img, White, [&](Mask& m) { Box(m, x0, y0, x1, y1); });
    else Shape(img, Mid, [&](Mask& m) { RoundBoxOutline(m, x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, 0, 1); });
  }
}

// Half of the slider track. The screen stretches the cell 3.1 times across and 1.5 times down, so
// the shape is made in that stretched space (a groove with round ends) and sampled back.
void TrackHalf(Image& img, bool left) {
  constexpr float SX = 3.1f, SY = 1.5f;
  const float cy = 8 * SY, half = 4.5f, end = left ? 4.5f : 16 * SX - 4.5f;
  auto inside = [&](float x, float y, float grow) {
    const float X = x * SX, Y = y * SY;
    const float inner = left ? std::max(X, end) : std::min(X, end);
    const float dx = X - inner, dy = Y - cy;
    return std::sqrt(dx * dx + dy * dy) <= half + grow;
  };
  Shape(img, Mid, [&](Mask& m) { FillSampled(m, 0, 0, 16, 16, [&](float x, float y) { return inside(x, y, 0); }); });
  Shape(img, White, [&](Mask& m) {
    FillSampled(m, 0, 0, 16, 16, [&](float x, float y) { return inside(x, y, 0) && !inside(x, y, -1.5f); });
  });
}

void Knob(Image& img) {
  Shape(img, White, [](Mask& m) { RoundBox(m, 4.5f, 1, 11.5f, 15, 2.5f); });
  Shape(img, Mid, [](Mask& m) {
    for (int k = 0; k < 3; ++k) Box(m, 6, 5.5f + 2 * k, 10, 6.5f + 2 * k);
  });
}

void Speaker(Mask& m, float x) {
  Polygon(m, {{x, 6}, {x + 2.5f, 6}, {x + 6, 2.5f}, {x + 6, 13.5f}, {x + 2.5f, 10}, {x, 10}});
}

void Loudspeaker(Image& img) {
  Shape(img, White, [](Mask& m) {
    Speaker(m, 1);
    Arc(m, {7.5f, 8}, 3.5f, 1.1f, -45, 45), Arc(m, {7.5f, 8}, 6.5f, 1.1f, -50, 50);
  });
}

void Headphones(Image& img) {
  Shape(img, White, [](Mask& m) {
    Arc(m, {8, 9}, 6, 1.4f, 180, 360);
    RoundBox(m, 1.2f, 8.5f, 4.6f, 14.5f, 1.2f), RoundBox(m, 11.4f, 8.5f, 14.8f, 14.5f, 1.2f);
  });
}

void Wave(Image& img) {
  Shape(img, Mid, [](Mask& m) { Segment(m, {1, 8}, {15, 8}, 0.8f, false); });
  Shape(img, White, [](Mask& m) {
    std::vector<Pt> pts;
    for (int k = 0; k <= 40; ++k) {
      const float x = 1.5f + 13 * k / 40.f;
      pts.push_back({x, 8 - 5 * std::sin((x - 1.5f) / 13 * 4 * Pi) * std::exp(-(x - 1.5f) / 20)});
    }
    Polyline(m, pts, 1.3f);
  });
}

void LevelBars(Image& img) {
  const float heights[5] = {6, 11, 8, 12.5f, 4.5f};
  for (int k = 0; k < 5; ++k)
    Shape(img, k % 2 ? White : Light,
          [&](Mask& m) { Box(m, 1.5f + k * 2.7f, 14.5f - heights[k], 3.5f + k * 2.7f, 14.5f); });
}

void Notes(Image& img) {
  Shape(img, White, [](Mask& m) {
    FillSampled(m, 1, 9, 7, 15, [](float x, float y) {
      const float dx = (x - 4) / 2.6f, dy = (y - 12) / 1.9f;
      return dx * dx + dy * dy <= 1;
    });
    FillSampled(m, 8, 8, 14, 14, [](float x, float y) {
      const float dx = (x - 11) / 2.6f, dy = (y - 11) / 1.9f;
      return dx * dx + dy * dy <= 1;
    });
    Box(m, 5.6f, 3, 6.8f, 12), Box(m, 12.6f, 2, 13.8f, 11);
    Polygon(m, {{5.6f, 3}, {13.8f, 1.5f}, {13.8f, 4}, {5.6f, 5.5f}});
  });
}

void Cabinet(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 3, 1, 13, 15, 1.5f); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 3, 1, 13, 15, 1.5f, 1);
    Ring(m, {8, 4.8f}, 1.7f, 1), Ring(m, {8, 10.5f}, 3, 1.1f);
  });
  Shape(img, Light, [](Mask& m) { Disc(m, {8, 10.5f}, 1); });
}

void Camera(Image& img) {
  Shape(img, Dim, [](Mask& m) { RoundBox(m, 1, 4.5f, 15, 14, 1.5f); });
  Shape(img, White, [](Mask& m) {
    RoundBoxOutline(m, 1, 4.5f, 15, 14, 1.5f, 1);
    Box(m, 5, 2.5f, 10, 4.5f);
    Ring(m, {8, 9.3f}, 2.8f, 1.2f);
  });
  Shape(img, Light, [](Mask& m) { Disc(m, {12.5f, 6.8f}, 0.8f); });
}

void Globe(Image& img) {
  Shape(img, White, [](Mask& m) {
    Ring(m, {8, 8}, 6.3f, 1.1f);
    Segment(m, {1.7f, 8}, {14.3f, 8}, 0.9f);
    FillSampled(m, 0, 0, 16, 16, [](float x, float y) {
      const float dx = (x - 8) / 2.8f, dy = (y - 8) / 6.3f, r = dx * dx + dy * dy;
      return r <= 1 && r >= 0.62f;
    });
  });
}

// The pointer keeps its own colours (the frame end draws it in white): a pale green arrow with a
// dark rim so that it shows on light and dark screens alike. Its tip is the cell's top-left pixel.
void Pointer(Image& img) {
  const std::vector<Pt> arrow = {{0.2f, 0.2f}, {0.2f, 13.2f}, {3.6f, 10.2f}, {6.1f, 15.4f},
                                 {8.4f, 14.3f}, {6, 9.3f}, {10.6f, 9.3f}};
  Mask body(img.w, img.h), rim(img.w, img.h);
  Polygon(body, arrow);
  Box(body, 0, 0, 1.5f, 1.5f);  // the tip pixel itself fully lit
  rim = Dilate(body, 1);
  img.Paint(rim, Rgb(16, 48, 24));
  img.PaintFn(body, [](float, float y) { return Mix(Rgb(235, 255, 235), Rgb(120, 220, 130), y / 15); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILES_DIR\n", argv[0]);
    return 2;
  }
  const std::pair<int, Draw> icons[] = {
      {0, Chip}, {1, Tick}, {2, Cross}, {3, KeyCap}, {4, Mouse}, {5, Keyboard}, {6, GamePad},
      {7, GraphPoint}, {8, Hat}, {9, Axis}, {10, Button},
      {11, [](Image& i) { Screen(i, 2, 2.5f, 14, 11.5f); }},
      {12, [](Image& i) { Screen(i, 0.5f, 4, 15.5f, 12.5f); }},
      {13, Windowed}, {14, FullScreen}, {15, Gear}, {16, StarIcon}, {17, Cup},
      {18, [](Image& i) { Gauge(i, 3); }}, {19, [](Image& i) { Gauge(i, 2); }},
      {20, [](Image& i) { Gauge(i, 1); }},
      {21, [](Image& i) { TrackHalf(i, true); }}, {22, [](Image& i) { TrackHalf(i, false); }},
      {23, Knob}, {24, Loudspeaker}, {25, Headphones}, {26, Wave}, {27, LevelBars}, {28, Notes},
      {29, Cabinet}, {30, Camera}, {31, Globe}, {63, Pointer},
  };
  Image sheet(8 * Cell, 8 * Cell);
  for (const auto& [frame, draw] : icons) {
    Image cell(Cell, Cell);
    draw(cell);
    sheet.Over(cell, (frame % 8) * Cell, (frame / 8) * Cell);
  }
  sheet.Clamp();
  const std::string path = std::string(argv[1]) + "/Common/icons.png";
  if (!SaveImage(sheet, path, 3)) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
