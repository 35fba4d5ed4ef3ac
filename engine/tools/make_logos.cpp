// Writes the shared logos under the Files folder given as argument, each with its own alpha channel:
//   Common/logo.png     384 x 256  the framework maker's brand: a golden hexagon with a T, "TOLVANER"
//   Common/Quobble.png  384 x 256  the community site: a teal speech bubble with a Q, "quobble"
// The lettering's fonts are the toolkit's (VQ_FONT_...).
#include <cmath>
#include <cstdio>
#include <string>

#include "canvas.h"
#include "synth.h"

namespace {

struct Fonts {
  std::string condensed, black, bold, pixel;
};

void MakerLogo(const Fonts& f, const std::string& path) {
  Image img(384, 256);
  const float cx = 192, cy = 86;
  auto hexagon = [&](float r) {
    std::vector<Pt> pts;
    for (int k = 0; k < 6; ++k) {
      const float a = (30 + 60 * k) * 3.14159265f / 180;
      pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return pts;
  };
  Mask shadow(img.w, img.h), edge(img.w, img.h), body(img.w, img.h), inner(img.w, img.h);
  Polygon(shadow, hexagon(72));
  img.Paint(Blur(shadow, 5), Rgb(0, 0, 0), 3, 5, 0.5f);
  Polygon(edge, hexagon(70));
  img.Paint(edge, Rgb(40, 22, 6));
  Polygon(body, hexagon(66));
  img.PaintFn(body, [&](float, float y) { return Mix(Rgb(255, 214, 90), Rgb(200, 96, 16), (y - 20) / 132); });
  Polygon(inner, hexagon(56));
  img.PaintFn(inner, [&](float, float y) { return Mix(Rgb(70, 36, 10), Rgb(28, 14, 6), (y - 30) / 112); });
  // The T: a bar and a stem, with a notch of light where they meet.
  Mask t(img.w, img.h);
  Box(t, cx - 34, cy - 34, cx + 34, cy - 18);
  Polygon(t, {{cx - 10, cy - 18}, {cx + 10, cy - 18}, {cx + 7, cy + 40}, {cx - 7, cy + 40}});
  img.PaintFn(t, [&](float, float y) { return Mix(Rgb(255, 246, 210), Rgb(255, 170, 40), (y - 50) / 80); });
  Mask gleam(img.w, img.h);
  Polyline(gleam, {hexagon(62)[3], hexagon(62)[4], hexagon(62)[5]}, 2.5f);
  img.AddLight(Blur(gleam, 1.2f), Rgb(255, 240, 200), 0, 0, 0.6f);

  const Mask word = TextMask(f.condensed, 58, "TOLVANER", 0, 6);
  img.Paint(Dilate(Placed(img.w, img.h, word, cx, 196), 3), Rgb(30, 16, 4));
  CentreText(img, word, cx, 196, Rgb(255, 236, 170), Rgb(240, 140, 30));
  const Mask caption = TextMask(f.bold, 17, "WEEKLY  GAMES", 0, 5);
  img.Paint(Dilate(Placed(img.w, img.h, caption, cx, 238), 2), Rgb(30, 16, 4));
  CentreText(img, caption, cx, 238, Rgb(255, 220, 150), Rgb(255, 200, 120));
  img.Clamp();
  if (!SaveImage(img, path, 4)) std::fprintf(stderr, "cannot write %s\n", path.c_str()), std::exit(1);
}

void SiteLogo(const Fonts& f, const std::string& path) {
  Image img(384, 256);
  const float cx = 192, cy = 84;
  auto bubble = [&](Mask& m, float grow) {
    RoundBox(m, cx - 62 - grow, cy - 54 - grow, cx + 62 + grow, cy + 44 + grow, 30 + grow);
    Polygon(m, {{cx - 30 - grow, cy + 30}, {cx - 2 + grow, cy + 38}, {cx - 42 - grow, cy + 70 + grow * 1.5f}});
  };
  Mask shadow(img.w, img.h), edge(img.w, img.h), body(img.w, img.h);
  bubble(shadow, 2);
  img.Paint(Blur(shadow, 5), Rgb(0, 0, 0), 3, 5, 0.5f);
  bubble(edge, 3);
  img.Paint(edge, Rgb(4, 30, 40));
  bubble(body, 0);
  img.PaintFn(body, [&](float x, float y) {
    return Mix(Rgb(90, 240, 230), Rgb(10, 130, 170), std::min(1.f, (y - 30 + (x - cx) * 0.2f) / 120));
  });
  const Mask q = TextMask(f.black, 96, "Q", 0);
  img.Paint(Dilate(Placed(img.w, img.h, q, cx, cy - 6), 2.5f), Rgb(6, 60, 80), 0, 0, 0.8f);
  CentreText(img, q, cx, cy - 6, Rgb(255, 255, 255), Rgb(200, 250, 255));
  Mask gleam(img.w, img.h);
  Arc(gleam, {cx - 32, cy - 24}, 22, 3, 190, 260);
  img.AddLight(Blur(gleam, 1.5f), Rgb(255, 255, 255), 0, 0, 0.7f);

  const Mask word = TextMask(f.black, 62, "quobble", 0, 1);
  img.Paint(Dilate(Placed(img.w, img.h, word, cx, 194), 3), Rgb(4, 30, 40));
  CentreText(img, word, cx, 194, Rgb(220, 255, 255), Rgb(60, 210, 230));
  const Mask caption = TextMask(f.bold, 15, "INDIE  GAMES  COMMUNITY", 0, 4);
  img.Paint(Dilate(Placed(img.w, img.h, caption, cx, 240), 2), Rgb(4, 30, 40));
  CentreText(img, caption, cx, 240, Rgb(180, 250, 255), Rgb(140, 230, 240));
  img.Clamp();
  if (!SaveImage(img, path, 4)) std::fprintf(stderr, "cannot write %s\n", path.c_str()), std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILES_DIR\n", argv[0]);
    return 2;
  }
  const std::string root = argv[1];
  const Fonts fonts{VQ_FONT_OPEN_SANS_COND, VQ_FONT_LATO_BLACK, VQ_FONT_CLEAR_SANS_BOLD, VQ_FONT_DOTGOTHIC};
  MakerLogo(fonts, root + "/Common/logo.png");
  SiteLogo(fonts, root + "/Common/Quobble.png");
  return 0;
}
