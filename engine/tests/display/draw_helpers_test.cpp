#include "display/display_fixture.h"

TEST_F(DisplayTest, WriteTextAlignsByTheTextsSizeWithTruncatedHalves) {
  REQUIRE_DISPLAY();
  // A TrueType face at a size whose line height is odd, and one glyph made 41 wide, so both
  // halves truncate.
  std::shared_ptr<TImageFont> font;
  for (int size = 20; size < 40 && !font; ++size) {
    font = TImageFont::Load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", size, FontSmooth);
    ASSERT_NE(font, nullptr);
    if (font->Height() % 2 == 0) font.reset();
  }
  ASSERT_NE(font, nullptr) << "no size with an odd line height";
  const int glyph = font->CharToGlyph('H');
  ASSERT_NE(font->Glyph(glyph), nullptr);
  font->_glyphs[static_cast<size_t>(glyph)]->_advance = 41;
  SelectFont(font);
  const std::string text = "H";
  ASSERT_EQ(StringWidth(text), 41);
  const int height = FontHeight();
  auto boxFor = [&](int ax, int ay) {
    Cls();
    WriteText(100, 50, text, ax, ay);
    return LitBox();
  };
  const Box plain = boxFor(0, 0), centred = boxFor(1, 1), far = boxFor(2, 2);
  ASSERT_FALSE(plain.empty());
  EXPECT_EQ(centred.left, plain.left - 20);  // drawn from x = 80: 41 div 2 = 20
  EXPECT_EQ(centred.top, plain.top - (height - 1) / 2);  // the height is odd: its half truncates
  EXPECT_EQ(far.left, plain.left - 41);
  EXPECT_EQ(far.top, plain.top - height);
  EXPECT_EQ(boxFor(7, -1).left, plain.left);  // any other code leaves the position
  EXPECT_EQ(boxFor(7, -1).top, plain.top);
}

TEST_F(DisplayTest, ColourClampsAndTruncatesAndKeepsAlphaUnlessGiven) {
  REQUIRE_DISPLAY();
  int r, g, b;
  SetAlpha(0.3f);
  Colour(300, -4, 127.9);
  GetColor(r, g, b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 127);
  EXPECT_FLOAT_EQ(GetAlpha(), 0.3f);
  Colour(10, 10, 10, 7);
  EXPECT_FLOAT_EQ(GetAlpha(), 1.0f);
  Colour(10, 10, 10, -2);
  EXPECT_FLOAT_EQ(GetAlpha(), 0.0f);
  EXPECT_EQ(Clamp(5, 0, 3), 3);
}

TEST_F(DisplayTest, SpritesStopAtTheBudgetUntilTheNextFrame) {
  REQUIRE_DISPLAY();
  const auto image = SolidImage(4, 4, 0xFFFFFFFF);
  Display.SpriteBudget[1] = 3;
  for (int i = 0; i < 5; ++i) DrawSprite(image, 10 * i, 0, 0, 1);
  EXPECT_EQ(Display.SpritesDrawn[1], 3);
  const Box drawn = LitBox();
  EXPECT_EQ(drawn.left, 0);
  EXPECT_EQ(drawn.right, 23);  // the 4th and 5th (at x 30 and 40) were not drawn
  BeginFrame(1);
  EXPECT_EQ(Display.SpritesDrawn[1], 0);
  DrawSprite(image, 40, 0, 0, 1);
  EXPECT_EQ(LitBox().left, 40);
  DrawSprite(image, 0, 0, 0, 25);  // a kind outside the table draws nothing
  DrawSprite(nullptr, 0, 0, 0, 1);  // nothing loaded: nothing drawn, nothing counted
  EXPECT_EQ(Display.SpritesDrawn[1], 1);
}

TEST_F(DisplayTest, ASpriteIsPlacedByItsScaledTopLeftCorner) {
  REQUIRE_DISPLAY();
  const auto image = SolidImage(4, 4, 0xFFFFFFFF);
  Display.SpriteBudget[1] = 10;
  Scale(3);
  DrawSprite(image, 100, 200, 0, 1);
  const Box b = LitBox();
  EXPECT_EQ(b.left, 100);
  EXPECT_EQ(b.top, 200);
  EXPECT_EQ(b.right, 111);
  EXPECT_EQ(b.bottom, 211);
}

TEST_F(DisplayTest, ASlowSystemDrawsAndCountsOnEverySecondFrameOnly) {
  REQUIRE_DISPLAY();
  const auto image = SolidImage(4, 4, 0xFFFFFFFF);
  Display.SpriteBudget[1] = 10;
  Core.SetupValues[SetupESS] = 1;
  Display.FrameParity = 1;
  DrawSprite(image, 0, 0, 0, 1);
  DrawGlowSprite(image, 0, 0, 0, nullptr, 2, 1);
  EXPECT_EQ(Display.SpritesDrawn[1], 0);
  EXPECT_TRUE(LitBox().empty());
  Display.FrameParity = 0;
  DrawSprite(image, 0, 0, 0, 1);
  EXPECT_EQ(Display.SpritesDrawn[1], 1);
}

TEST_F(DisplayTest, AGlowIsAnAdditiveEnlargedCopyWithItsOwnBudget) {
  REQUIRE_DISPLAY();
  const auto image = SolidImage(10, 10, 0xFFFFFFFF);
  Display.SpriteBudget[1] = 0;  // past the main budget a sprite keeps only its glow
  Display.SpriteBudget[2] = 5;
  Scale(2);
  SetAlpha(0.8f);
  SetBlendKind(1);
  DrawGlowSprite(image, 100, 100, 0, nullptr, 2, 0.5f);
  float sx, sy;
  GetScale(sx, sy);
  EXPECT_EQ(sx, 2);
  EXPECT_EQ(sy, 2);
  EXPECT_FLOAT_EQ(GetAlpha(), 0.8f);
  EXPECT_EQ(GetBlend(), 3);
  EXPECT_EQ(Display.BlendKind, 3);  // the kind is left as the glow's
  EXPECT_EQ(Display.SpritesDrawn[1], 0);
  EXPECT_EQ(Display.SpritesDrawn[2], 1);
  // The 20 x 20 sprite's glow: 40 x 40 around the same centre (110, 110) at alpha 0.4.
  const Box b = LitBox();
  EXPECT_EQ(b.left, 90);
  EXPECT_EQ(b.right, 129);
  EXPECT_NEAR(static_cast<int>(PixelAt(110, 110) >> 16), 102, 2);

  Display.SpriteBudget[1] = 5;
  Display.SpriteBudget[2] = 1;  // used up: the next sprite has no glow
  Cls();
  Scale(1);
  SetAlpha(1);
  DrawGlowSprite(image, 300, 300, 0, nullptr, 3, 1);
  EXPECT_EQ(Display.SpritesDrawn[2], 1);
  EXPECT_EQ(LitBox().right - LitBox().left, 9);
  DrawGlowSprite(nullptr, 0, 0, 0, nullptr, 2, 1);  // nothing loaded: safe, nothing counted
  EXPECT_EQ(Display.SpritesDrawn[1], 1);
}

TEST(PointerIn, IsStrictOnAllFourSides) {
  ResetAllState();
  struct Case {
    int x, y, inside;
  } cases[] = {{10, 15, 0}, {11, 15, 1}, {29, 15, 1}, {30, 15, 0}, {15, 10, 0}, {15, 11, 1}, {15, 30, 0}};
  for (const Case& c : cases) {
    Display.PointerX = c.x;
    Display.PointerY = c.y;
    EXPECT_EQ(PointerIn(10, 10, 20, 20), c.inside) << c.x << "," << c.y;
  }
}

TEST_F(DisplayTest, TheMenuBackgroundEasesTowardItsTarget) {
  REQUIRE_DISPLAY();
  Display.BackColour = {0.2f, 0.0f, 1.0f};
  Display.BackTarget = {0.0f, 0.8f, 0.2f};
  int frames = 0;
  while (Display.BackColour != Display.BackTarget && frames < 500) {
    DrawMenuBackground();
    ++frames;
  }
  EXPECT_GT(frames, 60);  // a swing of 0.8 settles in about 80 frames
  EXPECT_LT(frames, 100);
  // Bands of one colour family cover the screen; the drawing state is reset after.
  const uint32_t p = PixelAt(400, 300);
  EXPECT_GT((p >> 8) & 255, (p >> 16) & 255);
  EXPECT_EQ(GetRotation(), 0);
}
