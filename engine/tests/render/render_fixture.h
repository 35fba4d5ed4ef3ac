// What the drawing tests share: a fresh layer per test, a window, pixels read back from the back
// buffer, and pictures written to a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "render/render.h"
#include "support/test_support.h"

class RenderTest : public ::testing::Test {
 public:
  void SetUp() override { ResetAllState(); }
  void TearDown() override { ResetRenderState(); }

  // Opens a window (and fails the test when none opens).
  static TPelmoGraphics* Open(int width = 160, int height = 120) {
    TPelmoGraphics* g = OpenScreen(width, height, 0, 60, 2);
    EXPECT_NE(g, nullptr) << "no window opened";
    return g;
  }

  // One back-buffer pixel as 0xRRGGBB (real pixels, top row first).
  static uint32_t Pixel(int x, int y) {
    auto p = GrabPixmap(x, y, 1, 1);
    return p ? p->ReadPixel(0, 0) & 0xffffffu : 0xdeadbeefu;
  }

  // Number of pixels of the whole screen with exactly that colour.
  static int CountColour(uint32_t rgb) {
    const TPelmoGraphics* g = CurrentScreen();
    auto p = GrabPixmap(0, 0, g->g_width, g->g_height);
    int n = 0;
    for (int y = 0; y < p->height; ++y)
      for (int x = 0; x < p->width; ++x) n += (p->ReadPixel(x, y) & 0xffffffu) == rgb;
    return n;
  }

  // A picture written as PNG: RGBA, or RGB (no alpha channel) when alpha is false; colour(x, y)
  // gives 0xAARRGGBB.
  std::string Picture(const std::string& name, int w, int h, const std::function<uint32_t(int, int)>& colour,
                      bool alpha = true) {
    TPixmap p(w, h, alpha ? PixmapRGBA8888 : PixmapRGB888);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.WritePixel(x, y, colour(x, y));
    const std::string path = dir.file(name);
    EXPECT_EQ(SavePixmapAsPNG(&p, path, 6), 1);
    return path;
  }

  TempDir dir;
};

// Colour channels within a tolerance (filtering and blending round differently between drivers).
inline bool Near(uint32_t a, uint32_t b, int tolerance = 2) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
    if (d > tolerance || d < -tolerance) return false;
  }
  return true;
}
