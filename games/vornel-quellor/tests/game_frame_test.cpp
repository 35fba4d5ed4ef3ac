#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "support/test_support.h"

// What one frame of the game puts on the screen, read at the start of its frame end (where the score
// pops are drawn) on a 1280 x 960 window, one virtual unit per pixel.
namespace {

// Thrown from the frame end once a test has seen the frame it wanted.
struct FrameSeen {};

// The frame-end tap: called with the number of the frame (from 1) as each frame ends.
std::function<void(int)> OnFrameEnd;
int FramesEnded = 0;

void FrameEndTap() { OnFrameEnd(++FramesEnded); }

// Every cell still and invisible: green, unlit, not falling, showing glyph frame 0.
void DarkGrid() {
  CodeGrid& g = Game.Grid;
  for (int i = 0; i < GridCells; ++i) {
    g.Kind[i] = GreenCode;
    g.Glow[i] = -1000;
    g.Fall[i] = 0;
    g.Speed[i] = 0;
    g.Glyph[i] = 0;
  }
}

}  // namespace

class GameFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    UseRecordingAudio();
    SeedRnd(278);
    AllocateGameArrays();
    Display.SpriteBudget[1] = 50000;
    Display.SpriteBudget[2] = 500;
    Display.SpriteBudget[3] = 500;
    Display.VirtualWidth = 1280;
    Display.VirtualHeight = 960;
    Core.Difficulty = 1;
    OnFrameEnd = nullptr;
    Hooks.DrawScorePops = FrameEndTap;
    if (!HaveDisplay()) return;
    ASSERT_NE(OpenScreen(1280, 960, 0, 60, 0), nullptr);
    SetVirtualSize(1280, 960);
    SetAutoCentreHandle(1);
    Game.GlyphsLarge = GlyphStrip();
    ASSERT_NE(Game.GlyphsLarge, nullptr);
  }
  void TearDown() override {
    OnFrameEnd = nullptr;
    ResetRenderState();
  }

  // The large glyph font: 60 frames of 14 x 32 whose frame f is lit (white) in its top f / 2 + 1
  // rows, so the height of what is drawn tells the frame.
  std::shared_ptr<TImage> GlyphStrip() {
    TPixmap p(14 * 60, 32, PixmapRGB888);
    for (int f = 0; f < 60; ++f)
      for (int y = 0; y <= f / 2; ++y)
        for (int x = 0; x < 14; ++x) p.WritePixel(f * 14 + x, y, 0xFFFFFFFF);
    const std::string path = dir.file("font.png");
    EXPECT_EQ(SavePixmapAsPNG(&p, path, 1), 1);
    return LoadImageStrip(path, 14, 32, 0, 60, ImageMasked);  // sharp, black is see-through
  }

  // Runs the game until the end of frame `last`; before calls run at the end of the frames before.
  void RunFrames(int last, const std::function<void(int)>& before, const std::function<void()>& atLast) {
    FramesEnded = 0;
    OnFrameEnd = [&](int frame) {
      if (frame < last) {
        before(frame);
        return;
      }
      atLast();
      throw FrameSeen{};
    };
    EXPECT_THROW(PlayGame(), FrameSeen);
  }

  // The box of pixels whose green channel is above a level, inside a region of the window.
  struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  };
  static Box GreenBox(int x0, int y0, int x1, int y1, int level) {
    auto shot = GrabPixmap(0, 0, 1280, 960);
    Box b;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if (static_cast<int>((shot->ReadPixel(x, y) >> 8) & 255) > level) {
          b.left = std::min(b.left, x);
          b.top = std::min(b.top, y);
          b.right = std::max(b.right, x);
          b.bottom = std::max(b.bottom, y);
        }
    return b;
  }

  TempDir dir;
};

TEST_F(GameFrameTest, EveryCellAndItsGhostCountAgainstTheMainSpriteBudget) {
  REQUIRE_DISPLAY();
  struct Case {
    int budget, drawn;
  } cases[] = {
      {50000, 92 * 32 * 2},  // scale 1.01: columns 0..91, rows 0..31, each cell twice
      {5000, 5000},          // the grid zooms in to fit, and the budget cuts the extra row
  };
  for (const Case& c : cases) {
    Display.SpriteBudget[1] = c.budget;
    std::array<int, 4> drawn{};
    RunFrames(1, [](int) {}, [&] { std::copy_n(Display.SpritesDrawn.begin(), 4, drawn.begin()); });
    EXPECT_EQ(drawn[1], c.drawn) << c.budget;
    EXPECT_EQ(drawn[2], 0) << c.budget;  // the game draws no glow sprites
    EXPECT_EQ(drawn[3], 0) << c.budget;  // and no sparks before a shot
  }
}

TEST_F(GameFrameTest, TheGhostIsTheGridMirroredWithMirroredGlyphsSlidingWithTheFall) {
  REQUIRE_DISPLAY();
  // One lit cell, column 10 and row 5, showing frame 5 and falling 3 units a frame.
  const int i = Cell(5, 10);
  RunFrames(
      2,
      [&](int) {
        DarkGrid();
        Game.Grid.Glow[i] = 255;
        Game.Grid.Glyph[i] = 5;
        Game.Grid.Speed[i] = 3;
      },
      [&] {
        // The cell: frame 5 (3 rows) at x = Int(10 x 14.14) = 141, y = Int(4 x 32.32) = 129, in
        // full green (76, 255, 76).
        const Box cell = GreenBox(0, 0, 640, 400, 128);
        EXPECT_EQ(cell.left, 141);
        EXPECT_EQ(cell.right, 141 + 13);
        EXPECT_EQ(cell.top, 129);
        EXPECT_EQ(cell.bottom - cell.top + 1, 3);
        // The ghost: frame 59 - 5 = 54 (28 rows) at x = Int(1280 - 141.4) = 1138, moved down by
        // the fall of this frame, y = Int(129.28 + 3) = 132, faint (alpha 0.15).
        const Box ghost = GreenBox(640, 0, 1280, 400, 20);
        EXPECT_EQ(ghost.left, 1138);
        EXPECT_EQ(ghost.right, 1138 + 13);
        EXPECT_EQ(ghost.top, 132);
        EXPECT_EQ(ghost.bottom - ghost.top + 1, 28);
        EXPECT_TRUE(GreenBox(640, 0, 1280, 400, 60).right < 0);  // never brighter than a ghost
      });
}

TEST_F(GameFrameTest, TheLivesBarShowsTheLivesLeftInWholeShares) {
  REQUIRE_DISPLAY();
  struct Case {
    int difficulty, lives, width;  // width = lives x (1280 div lives at start), when positive
  } cases[] = {
      {1, 10, 1280}, {1, 7, 896}, {1, 1, 128}, {1, 0, 0}, {1, -1, 0},
      {0, 25, 1275},  // 1280 div 25 = 51: a full bar stops short of the right edge
      {0, 13, 663},   {2, 3, 768},
  };
  for (const Case& c : cases) {
    Core.Difficulty = c.difficulty;
    int green = -1, red = -1;
    RunFrames(
        2,
        [&](int) {
          DarkGrid();
          Game.Round.Lives = c.lives;
        },
        [&] {
          // Along the bottom row of pixels but three: the red bar (alpha 0.25) everywhere, the
          // green bar over it from the left.
          auto shot = GrabPixmap(0, 956, 1280, 1);
          green = red = 0;
          for (int x = 0; x < 1280; ++x) {
            const uint32_t p = shot->ReadPixel(x, 0);
            red += ((p >> 16) & 255) > 40;
            green += ((p >> 8) & 255) > 40;
            if (((p >> 8) & 255) > 40) {
              EXPECT_LT(x, c.width) << "green beyond the bar at " << x;
            }
          }
        });
    EXPECT_EQ(red, 1280) << c.difficulty << " " << c.lives;
    EXPECT_EQ(green, c.width) << c.difficulty << " " << c.lives;
  }
}
