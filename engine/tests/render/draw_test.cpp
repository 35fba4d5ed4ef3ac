#include <cmath>

#include "render_fixture.h"

using DrawTest = RenderTest;

namespace {

uint32_t Rgb(int r, int g, int b) { return static_cast<uint32_t>(r << 16 | g << 8 | b); }

// One full-window rectangle of colour (200, 100, 50) at alpha a over a (100, 150, 200) background.
uint32_t BlendOverBackground(int mode, float a) {
  SetClsColor(100, 150, 200);
  Cls();
  SetBlend(mode);
  SetColor(200, 100, 50);
  SetAlpha(a);
  DrawRect(0, 0, 160, 120);
  return RenderTest::Pixel(80, 60);
}

}  // namespace

TEST_F(DrawTest, BlendModesCombineSourceAndBackgroundAsTheirNamesSay) {
  REQUIRE_DISPLAY();
  Open();
  const double a = 127 / 255.0;  // alpha 0.5 as the byte 127
  struct Case {
    int mode;
    float alpha;
    uint32_t expected;
  };
  const Case cases[] = {
      {1, 0.6f, Rgb(200, 100, 50)},   // masked: drawn from alpha 0.5 up...
      {1, 0.5f, Rgb(100, 150, 200)},  // ...and alpha 0.5 is the byte 127, just below it
      {2, 0.4f, Rgb(200, 100, 50)},   // solid ignores alpha
      {3, 0.5f, Rgb(int(200 * a + 100 * (1 - a) + 0.5), int(100 * a + 150 * (1 - a) + 0.5), int(50 * a + 200 * (1 - a) + 0.5))},
      {4, 0.5f, Rgb(int(200 * a + 100 + 0.5), int(100 * a + 150 + 0.5), int(50 * a + 200 + 0.5))},
      {5, 0.5f, Rgb(200 * 100 / 255, 100 * 150 / 255, 50 * 200 / 255)},
  };
  for (const Case& c : cases) {
    const uint32_t got = BlendOverBackground(c.mode, c.alpha);
    EXPECT_TRUE(Near(got, c.expected)) << "mode " << c.mode << " alpha " << c.alpha << ": " << std::hex << got
                                       << " wanted " << c.expected;
    EXPECT_EQ(GetBlend(), c.mode);
  }
  // An unknown mode is stored but leaves the drawing as it was.
  SetBlend(2);
  SetBlend(9);
  EXPECT_EQ(GetBlend(), 9);
  EXPECT_EQ(BlendOverBackground(9, 0.1f), Rgb(200, 100, 50));
}

TEST_F(DrawTest, ColourAndAlphaAreClampedWhenUsed) {
  REQUIRE_DISPLAY();
  Open();
  EXPECT_EQ(BlendOverBackground(3, 2.0f), Rgb(200, 100, 50));   // alpha 2 draws as 1
  EXPECT_EQ(BlendOverBackground(3, -1.0f), Rgb(100, 150, 200)); // alpha -1 as 0
  EXPECT_EQ(BlendOverBackground(3, std::nanf("")), Rgb(100, 150, 200));
  SetAlpha(2);
  EXPECT_FLOAT_EQ(GetAlpha(), 2.0f);  // stored as given

  SetBlend(2);
  SetColor(300, -5, 128);
  DrawRect(0, 0, 10, 10);
  EXPECT_EQ(Pixel(5, 5), Rgb(255, 0, 128));
  int r, g, b;
  GetColor(r, g, b);
  EXPECT_EQ(r, 300);
  EXPECT_EQ(g, -5);
  EXPECT_EQ(b, 128);

  // The clear colour is clamped too and fills everything.
  SetClsColor(-1, 999, 7);
  Cls();
  EXPECT_EQ(CountColour(Rgb(0, 255, 7)), 160 * 120);
}

TEST_F(DrawTest, RotationAndScaleUseTheGivenCoefficients) {
  REQUIRE_DISPLAY();
  TPelmoGraphics* g = Open();
  SetRotation(30);
  SetScale(2, 3);
  EXPECT_NEAR(g->tform_ix, std::cos(M_PI / 6) * 2, 1e-6);
  EXPECT_NEAR(g->tform_iy, -std::sin(M_PI / 6) * 3, 1e-6);
  EXPECT_NEAR(g->tform_jx, std::sin(M_PI / 6) * 2, 1e-6);
  EXPECT_NEAR(g->tform_jy, std::cos(M_PI / 6) * 3, 1e-6);
  EXPECT_FLOAT_EQ(GetRotation(), 30.0f);
  float sx, sy;
  GetScale(sx, sy);
  EXPECT_EQ(sx, 2.0f);
  EXPECT_EQ(sy, 3.0f);
}

TEST_F(DrawTest, RectanglesTurnAndGrowAboutTheirHandleAndMoveByTheOrigin) {
  REQUIRE_DISPLAY();
  Open();
  SetBlend(2);
  SetColor(255, 255, 0);
  // Handle (5, 2): the rectangle 10 x 4 is centred on (80, 60); turned 90 degrees and scaled 2 it
  // stands 8 wide and 20 tall about that point.
  SetHandle(5, 2);
  SetRotation(90);
  SetScale(2, 2);
  DrawRect(80, 60, 10, 4);
  EXPECT_EQ(CountColour(Rgb(255, 255, 0)), 8 * 20);
  EXPECT_EQ(Pixel(76, 50), Rgb(255, 255, 0));
  EXPECT_EQ(Pixel(83, 69), Rgb(255, 255, 0));
  EXPECT_EQ(Pixel(84, 60), 0u);
  EXPECT_EQ(Pixel(80, 70), 0u);

  // Without turning: the origin moves it, the handle pulls it back.
  Cls();
  SetRotation(0);
  SetScale(1, 1);
  SetHandle(4, 4);
  SetOrigin(10, 5);
  DrawRect(20, 20, 10, 10);
  EXPECT_EQ(Pixel(26, 21), Rgb(255, 255, 0));
  EXPECT_EQ(Pixel(35, 30), Rgb(255, 255, 0));
  EXPECT_EQ(Pixel(25, 21), 0u);
  EXPECT_EQ(Pixel(36, 30), 0u);
  EXPECT_EQ(CountColour(Rgb(255, 255, 0)), 100);
}

TEST_F(DrawTest, LinesDrawBothEndPixelsAtTheirWidth) {
  REQUIRE_DISPLAY();
  Open();
  SetBlend(2);
  SetColor(0, 255, 255);
  DrawLine(10, 20, 30, 20);
  EXPECT_EQ(CountColour(Rgb(0, 255, 255)), 21);
  EXPECT_EQ(Pixel(10, 20), Rgb(0, 255, 255));
  EXPECT_EQ(Pixel(30, 20), Rgb(0, 255, 255));  // the last pixel is drawn

  Cls();
  DrawLine(50, 10, 50, 40);  // vertical
  EXPECT_EQ(CountColour(Rgb(0, 255, 255)), 31);

  Cls();
  SetLineWidth(3);
  DrawLine(10, 60, 40, 60);
  EXPECT_EQ(CountColour(Rgb(0, 255, 255)), 31 * 3);
  EXPECT_EQ(Pixel(25, 59), Rgb(0, 255, 255));
  EXPECT_EQ(Pixel(25, 61), Rgb(0, 255, 255));

  Cls();
  SetLineWidth(1);
  DrawLine(100, 100, 120, 80);  // diagonal: both ends there
  EXPECT_EQ(Pixel(100, 100), Rgb(0, 255, 255));
  EXPECT_EQ(Pixel(120, 80), Rgb(0, 255, 255));

  // Turned about its start point.
  Cls();
  SetRotation(90);
  DrawLine(70, 10, 90, 10);  // now runs down from (70, 10)
  EXPECT_EQ(Pixel(70, 30), Rgb(0, 255, 255));
  EXPECT_EQ(Pixel(90, 10), 0u);
}

TEST_F(DrawTest, PointsOvalsPolygonsAndPixelBuffers) {
  REQUIRE_DISPLAY();
  Open();
  SetBlend(2);
  SetColor(255, 0, 255);
  Plot(5, 7);
  EXPECT_EQ(CountColour(Rgb(255, 0, 255)), 1);
  EXPECT_EQ(Pixel(5, 7), Rgb(255, 0, 255));

  Cls();
  DrawOval(40, 30, 40, 20);  // centre (60, 40), radii 20 and 10
  const int oval = CountColour(Rgb(255, 0, 255));
  EXPECT_NEAR(oval, M_PI * 20 * 10, 20);
  EXPECT_EQ(Pixel(60, 40), Rgb(255, 0, 255));
  EXPECT_EQ(Pixel(41, 31), 0u);

  Cls();
  DrawPoly({0, 0, 40, 0, 0, 40}, 10, 10);
  EXPECT_NEAR(CountColour(Rgb(255, 0, 255)), 800, 30);
  EXPECT_EQ(Pixel(15, 15), Rgb(255, 0, 255));
  EXPECT_EQ(Pixel(45, 45), 0u);
  DrawPoly({0, 0, 5, 5}, 0, 0);  // fewer than three points: nothing

  // A pixel buffer lands unscaled in real pixels, in its own colours, whatever the virtual size.
  Cls();
  SetVirtualSize(320, 240);
  SetColor(10, 10, 10);
  TPixmap pixmap(3, 2);
  pixmap.WritePixel(0, 0, 0xffff0000u);
  pixmap.WritePixel(1, 0, 0xff00ff00u);
  pixmap.WritePixel(2, 0, 0xff0000ffu);
  pixmap.WritePixel(0, 1, 0xff808080u);
  pixmap.WritePixel(1, 1, 0xffffffffu);
  pixmap.WritePixel(2, 1, 0xff123456u);
  DrawPixmap(&pixmap, 20, 40);  // real (10, 20)
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(Pixel(10 + x, 20 + y), pixmap.ReadPixel(x, y) & 0xffffffu) << x << "," << y;
  EXPECT_EQ(Pixel(13, 20), 0u);
  DrawPixmap(nullptr, 0, 0);
}

TEST_F(DrawTest, ViewportClipsDrawingButNotClearing) {
  REQUIRE_DISPLAY();
  Open();
  SetBlend(2);
  SetColor(255, 255, 255);
  SetViewport(10, 10, 20, 20);
  DrawRect(0, 0, 160, 120);
  EXPECT_EQ(CountColour(Rgb(255, 255, 255)), 400);
  SetClsColor(0, 0, 90);
  Cls();
  EXPECT_EQ(CountColour(Rgb(0, 0, 90)), 160 * 120);
  SetViewport(0, 0, 160, 120);
  DrawRect(0, 0, 160, 120);
  EXPECT_EQ(CountColour(Rgb(255, 255, 255)), 160 * 120);
}

TEST_F(DrawTest, QueuedDrawingKeepsItsOrderAcrossTexturesBlendsAndAFullBatch) {
  REQUIRE_DISPLAY();
  Open();
  auto red = LoadImageFile(Picture("red.png", 8, 8, [](int, int) { return 0xffff0000u; }), 0);
  auto blue = LoadImageFile(Picture("blue.png", 8, 8, [](int, int) { return 0xff0000ffu; }), 0);
  ASSERT_TRUE(red && blue);
  SetBlend(2);
  DrawImageFrame(red, 10, 10);
  SetColor(10, 200, 30);
  DrawRect(12, 12, 4, 4);  // a shape between sprites of one texture
  SetColor(255, 255, 255);
  DrawImageFrame(red, 30, 10);
  DrawImageFrame(blue, 14, 14);  // over the first red and the rectangle
  SetBlend(4);
  DrawImageFrame(red, 30, 10);  // additive red over red stays red
  DrawImageFrame(red, 14, 14);  // additive red over blue: magenta
  EXPECT_EQ(Pixel(10, 10), Rgb(255, 0, 0));
  EXPECT_EQ(Pixel(13, 13), Rgb(10, 200, 30));
  EXPECT_EQ(Pixel(20, 20), Rgb(255, 0, 255));
  EXPECT_EQ(Pixel(33, 13), Rgb(255, 0, 0));

  // More quads than one batch holds: every one arrives.
  Cls();
  SetBlend(2);
  SetColor(0, 255, 0);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) DrawRect(static_cast<float>(x), static_cast<float>(y), 1, 1);
  EXPECT_EQ(CountColour(Rgb(0, 255, 0)), 10000);
}
