// Drawing benchmark: milliseconds per frame for n rotated sprites through the drawing layer, side by
// side with a deliberately naive path (one glBegin/glEnd per sprite, the way immediate-mode 2D
// layers draw), in one run, in an 800 x 600 window with the 1280 x 960 virtual space.
//
//   draw_bench              the allocator tuned as the game tunes it at start-up
//   draw_bench --no-tune    the C library's allocator defaults
//   draw_bench --smooth     smooth shading instead of the layer's flat shading
//   draw_bench --quick      fewer frames per figure
//
// Run it under an X server (Xvfb on the build machine); the figures go to standard output.
#include <GL/gl.h>
#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/core.h"
#include "input/input.h"
#include "render/render.h"
#include "render/render_internal.h"

namespace {

constexpr int WindowWidth = 800, WindowHeight = 600;
constexpr float VirtualWidth = 1280, VirtualHeight = 960;
constexpr double FrameBudgetMs = 1000.0 / 60.0;

int FramesPerFigure = 25;

struct Sprite {
  float x, y, rotation;
};

// The engine test's sprites: random positions and whole-degree rotations, fixed for the run.
std::vector<Sprite> MakeSprites(int n) {
  std::vector<Sprite> sprites(static_cast<size_t>(n));
  for (Sprite& s : sprites) {
    s.x = static_cast<float>(RandInt(1, static_cast<int>(VirtualWidth)));
    s.y = static_cast<float>(RandInt(1, static_cast<int>(VirtualHeight)));
    s.rotation = static_cast<float>(RandInt(1, 360));
  }
  return sprites;
}

// Through the layer, with the calls the engine test makes for every sprite.
void DrawWithLayer(const std::shared_ptr<TImage>& image, const std::vector<Sprite>& sprites, float scale) {
  for (const Sprite& s : sprites) {
    SetRotation(s.rotation);
    SetColor(0, 0, 0);
    SetAlpha(0);
    SetScale(scale, scale);
    DrawImageFrame(image, s.x, s.y, 0);
  }
}

// The naive path: the same quads, one glBegin/glEnd each, in immediate mode.
void DrawNaively(const std::shared_ptr<TImage>& image, const std::vector<Sprite>& sprites, float scale) {
  FlushDrawing();
  const TImageFrame& f = image->frames[0];
  glBindTexture(GL_TEXTURE_2D, f.page->texture);
  glEnable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  GLint shading = GL_FLAT;
  glGetIntegerv(GL_SHADE_MODEL, &shading);
  glShadeModel(GL_SMOOTH);  // OpenGL's default, as an immediate-mode layer leaves it
  const float x0 = -image->handle_x, y0 = -image->handle_y;
  const float x1 = image->width - image->handle_x, y1 = image->height - image->handle_y;
  for (const Sprite& s : sprites) {
    const double radians = s.rotation * 3.14159265358979323846 / 180.0;
    const float c = static_cast<float>(std::cos(radians)), sn = static_cast<float>(std::sin(radians));
    const float ix = c * scale, iy = -sn * scale, jx = sn * scale, jy = c * scale;
    glBegin(GL_QUADS);
    glColor4ub(0, 0, 0, 0);
    glTexCoord2f(f.u0, f.v0);
    glVertex2f(x0 * ix + y0 * iy + s.x, x0 * jx + y0 * jy + s.y);
    glTexCoord2f(f.u1, f.v0);
    glVertex2f(x1 * ix + y0 * iy + s.x, x1 * jx + y0 * jy + s.y);
    glTexCoord2f(f.u1, f.v1);
    glVertex2f(x1 * ix + y1 * iy + s.x, x1 * jx + y1 * jy + s.y);
    glTexCoord2f(f.u0, f.v1);
    glVertex2f(x0 * ix + y1 * iy + s.x, x0 * jx + y1 * jy + s.y);
    glEnd();
  }
  glShadeModel(static_cast<GLenum>(shading));
  // The layer's record of OpenGL's state is stale now.
  Render.Batch->appliedBlend = 0;
  Render.Batch->boundTexture = 0;
}

using DrawFn = std::function<void(const std::vector<Sprite>&)>;

// One whole frame in milliseconds: clear, draw, present (which waits for the rasteriser).
double FrameMs(const DrawFn& draw, const std::vector<Sprite>& sprites) {
  const auto start = std::chrono::steady_clock::now();
  Cls();
  draw(sprites);
  Flip(0);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

struct Figures {
  double layer, naive;          // median frame, ms
  double layerBest, naiveBest;  // fastest frame, ms
};

// The two paths frame by frame in turn, so that the machine's other load falls on both alike.
Figures MeasurePair(const DrawFn& layer, const std::vector<Sprite>& layerSprites, const DrawFn& naive,
                    const std::vector<Sprite>& naiveSprites) {
  FrameMs(layer, layerSprites);  // warm-up
  FrameMs(naive, naiveSprites);
  std::vector<double> a, b;
  for (int frame = 0; frame < FramesPerFigure; ++frame) {
    a.push_back(FrameMs(layer, layerSprites));
    b.push_back(FrameMs(naive, naiveSprites));
  }
  return {Median(a), Median(b), *std::min_element(a.begin(), a.end()), *std::min_element(b.begin(), b.end())};
}

// The frame time grows in a straight line with n, so the search keeps the slope measured between
// the table's two sizes around the budget (far apart, hence steady) and moves n by it (Newton's
// method with a fixed slope): noise in one measurement moves n by only noise / slope.
struct Search {
  int n;
  double slope;  // ms per sprite
  void Step(double t) {
    n = std::clamp(static_cast<int>(n + (FrameBudgetMs - t) / slope), 100, 400000);
  }
};

Search StartSearch(const std::vector<std::pair<int, double>>& table) {
  size_t i = 1;
  while (i + 1 < table.size() && table[i].second < FrameBudgetMs) ++i;
  const auto [n0, t0] = table[i - 1];
  const auto [n1, t1] = table[i];
  const double slope = std::max((t1 - t0) / (n1 - n0), 1e-6);
  Search s{n0, slope};
  s.Step(t0);
  return s;
}

void Report(const char* title, const DrawFn& layer, const DrawFn& naive) {
  std::printf("\n%s\n", title);
  std::printf("%8s %10s %10s %12s %12s %12s\n", "n", "layer ms", "naive ms", "naive/layer", "layer best", "naive best");
  std::vector<std::pair<int, double>> layerTable, naiveTable;
  for (int n : {1000, 5000, 10000, 20000}) {
    const std::vector<Sprite> sprites = MakeSprites(n);
    const Figures f = MeasurePair(layer, sprites, naive, sprites);
    layerTable.emplace_back(n, f.layer);
    naiveTable.emplace_back(n, f.naive);
    std::printf("%8d %10.2f %10.2f %12.2f %12.2f %12.2f\n", n, f.layer, f.naive, f.naive / f.layer, f.layerBest,
                f.naiveBest);
    std::fflush(stdout);
  }
  // Both paths refined together, frame by frame in turn.
  Search a = StartSearch(layerTable), b = StartSearch(naiveTable);
  for (int step = 0; step < 3; ++step) {
    const Figures f = MeasurePair(layer, MakeSprites(a.n), naive, MakeSprites(b.n));
    a.Step(f.layer);
    b.Step(f.naive);
  }
  const int na = a.n, nb = b.n;
  std::printf("largest n at 60 frames per second (median frame): layer %d, naive %d (%.2fx)\n", na, nb,
              static_cast<double>(na) / nb);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  bool tune = true, smooth = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--no-tune")) tune = false;
    else if (!std::strcmp(argv[i], "--smooth")) smooth = true;
    else if (!std::strcmp(argv[i], "--quick")) FramesPerFigure = 9;
    else {
      std::fprintf(stderr, "usage: %s [--no-tune] [--smooth] [--quick]\n", argv[0]);
      return 2;
    }
  }
  if (tune) TuneMemoryForDrawing();
  SeedRnd(1);
  Input.EventScript = [] {};  // the benchmark reads no input
  SetAppTitle("draw_bench");
  // SIGTERM and Ctrl+C end the benchmark at once: the window library's own handlers would turn them
  // into a quit event that nothing here reads.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (!OpenScreen(WindowWidth, WindowHeight, 0, 60, 2)) {
    std::fprintf(stderr, "no window: is DISPLAY set?\n");
    return 1;
  }
  SetVirtualSize(VirtualWidth, VirtualHeight);
  if (smooth) glShadeModel(GL_SMOOTH);

  // A 16 x 16 masked, unfiltered sprite with a centred handle, like the engine test's icon.
  TPixmap icon(16, 16, PixmapRGB888);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) icon.WritePixel(x, y, (x - 8) * (x - 8) + (y - 8) * (y - 8) < 49 ? 0xffffffu : 0);
  const std::string path = "/tmp/draw_bench_icon.png";
  SavePixmapAsPNG(&icon, path, 1);
  SetAutoCentreHandle(1);
  auto image = LoadImageFile(path, 1);
  std::remove(path.c_str());
  if (!image) return 1;
  SetBlend(3);  // the engine test draws with alpha blending

  std::printf("Drawing benchmark: %d x %d window, %.0f x %.0f virtual, %s | %s\n", WindowWidth, WindowHeight,
              VirtualWidth, VirtualHeight, reinterpret_cast<const char*>(glGetString(GL_RENDERER)),
              reinterpret_cast<const char*>(glGetString(GL_VERSION)));
  std::printf("allocator %s, %s shading, %d frames of each path per figure\n", tune ? "tuned" : "defaults",
              smooth ? "smooth" : "flat", FramesPerFigure);

  for (const auto& [title, scale] :
       {std::pair<const char*, float>{"engine-test sprites: 16 x 16 at scale 2 (20 x 20 pixels), rotated, alpha 0", 2.0f},
        std::pair<const char*, float>{"one-pixel sprites (submission cost): 16 x 16 at scale 0.1", 0.1f}}) {
    Report(
        title, [&, s = scale](const std::vector<Sprite>& sp) { DrawWithLayer(image, sp, s); },
        [&, s = scale](const std::vector<Sprite>& sp) { DrawNaively(image, sp, s); });
  }
  CloseScreen();
  return 0;
}
