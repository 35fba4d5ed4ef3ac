// A window for the display tests, and small assets made on the spot.
#pragma once

#include <sys/stat.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "support/test_support.h"

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    if (!HaveDisplay()) return;
    ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
    SetVirtualSize(800, 600);  // one virtual unit per pixel, so pictures can be read back exactly
    SetAutoCentreHandle(1);
    Cls();
  }
  void TearDown() override { ResetRenderState(); }

  // A one-frame image of w x h pixels of one colour (0xAARRGGBB), centred on its handle.
  std::shared_ptr<TImage> SolidImage(int w, int h, uint32_t argb) {
    TPixmap p(w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) p.WritePixel(x, y, argb);
    const std::string path = dir.file("solid" + std::to_string(serial++) + ".png");
    EXPECT_EQ(SavePixmapAsPNG(&p, path, 1), 1);
    return LoadImageFile(path, 0);
  }

  // The bounding box of pixels brighter than 64 in red, on a grab of the whole screen.
  struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < 0; }
  };
  static Box LitBox() {
    auto shot = GrabPixmap(0, 0, 800, 600);
    Box b;
    for (int y = 0; y < shot->height; ++y)
      for (int x = 0; x < shot->width; ++x)
        if (((shot->ReadPixel(x, y) >> 16) & 255) > 64) {
          b.left = std::min(b.left, x);
          b.top = std::min(b.top, y);
          b.right = std::max(b.right, x);
          b.bottom = std::max(b.bottom, y);
        }
    return b;
  }
  static uint32_t PixelAt(int x, int y) { return GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) & 0xFFFFFF; }

  TempDir dir;
  int serial = 0;
};

// A Files/ folder with Common/ and 900/, the working directory being 900/ as during loading.
struct GameFolders {
  GameFolders() {
    ::mkdir(files.c_str(), 0755);
    ::mkdir(common.c_str(), 0755);
    ::mkdir(game.c_str(), 0755);
    ChangeDir(game);
  }
  TempDir dir;
  std::string files = dir.file("Files"), common = files + "/Common", game = files + "/900";
};

// A short mono 16-bit WAVE file.
inline std::string TinyWave() {
  std::string w = "RIFF";
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<char>(v >> (8 * i))); };
  auto u16 = [&](uint16_t v) { for (int i = 0; i < 2; ++i) w.push_back(static_cast<char>(v >> (8 * i))); };
  const uint32_t frames = 800;
  u32(36 + frames * 2);
  w += "WAVEfmt ";
  u32(16); u16(1); u16(1); u32(8000); u32(16000); u16(2); u16(16);
  w += "data";
  u32(frames * 2);
  for (uint32_t i = 0; i < frames; ++i) u16(static_cast<uint16_t>((i % 40) * 500));
  return w;
}
