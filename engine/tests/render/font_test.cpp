#include <cmath>

#include "render_fixture.h"

namespace {

const char* const Sans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The box around every pixel brighter than the background, or an empty box.
struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, count = 0;
};
Ink FindInk() {
  const TPelmoGraphics* g = CurrentScreen();
  auto p = GrabPixmap(0, 0, g->g_width, g->g_height);
  Ink ink;
  for (int y = 0; y < p->height; ++y)
    for (int x = 0; x < p->width; ++x)
      if ((p->ReadPixel(x, y) & 0xff) > 60) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
        ++ink.count;
      }
  return ink;
}

}  // namespace

using FontTest = RenderTest;

TEST_F(FontTest, TheBuiltInFontHasEightBySixteenGlyphsForCodes32To127) {
  EXPECT_EQ(FontHeight(), 16);  // no screen: the built-in font measures
  EXPECT_EQ(StringWidth("abc"), 24);
  EXPECT_EQ(StringWidth(""), 0);
  EXPECT_EQ(StringWidth("a\x01\xe9\x7f"), 16);  // codes outside 32..127 have no glyph
  EXPECT_EQ(StringWidth(" "), 8);

  REQUIRE_DISPLAY();
  Open();
  SelectFont(nullptr);
  SetBlend(3);
  DrawString("H", 20, 30);
  Ink ink = FindInk();
  EXPECT_GT(ink.count, 10);
  EXPECT_GE(ink.left, 20);
  EXPECT_LE(ink.right, 27);
  EXPECT_GE(ink.top, 30);
  EXPECT_LE(ink.bottom, 45);
  // Every printable character has ink, except the space.
  for (int c = 33; c <= 127; ++c) {
    Cls();
    DrawString(std::string(1, static_cast<char>(c)), 8, 8);
    EXPECT_GT(FindInk().count, 0) << c;
  }
  Cls();
  DrawString(" ", 8, 8);
  EXPECT_EQ(FindInk().count, 0);
}

TEST_F(FontTest, TrueTypeFontsMeasureWithAnIntegerRunningTotal) {
  auto font = TImageFont::Load(Sans, 24, FontSmooth);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->_imageFlags, 6);
  EXPECT_GE(font->Height(), 24);
  EXPECT_LE(font->Height(), 32);
  EXPECT_EQ(font->CharToGlyph(1), -1);  // no glyph for a control code
  EXPECT_EQ(font->Glyph(-1), nullptr);
  EXPECT_EQ(font->Glyph(font->CharToGlyph('W')), font->Glyph(font->CharToGlyph('W')));  // made once
  EXPECT_GT(font->Glyph(font->CharToGlyph('W'))->_advance, 15.0f);  // advances come from the face

  // Fractional advances set by hand: the running total is truncated after every glyph.
  auto setAdvance = [&](char c, float advance) {
    ASSERT_NE(font->Glyph(font->CharToGlyph(c)), nullptr);
    font->_glyphs[static_cast<size_t>(font->CharToGlyph(c))]->_advance = advance;
  };
  setAdvance('i', 2.6f);
  setAdvance('j', 0.5f);
  setAdvance('l', 3.0f);
  struct Case {
    const char* text;
    int width;
  } cases[] = {
      {"iii", 6},   // 2, 4, 6 (a rounded or summed total gives 7 or 8)
      {"jjjj", 0},  // every half pixel is dropped
      {"ijl", 5},   // 2, 2, 5
      {"lil", 8},   // whole advances add up exactly
  };

  REQUIRE_DISPLAY();
  Open();
  SelectFont(font);
  EXPECT_EQ(FontHeight(), font->Height());
  for (const Case& c : cases) EXPECT_EQ(StringWidth(c.text), c.width) << c.text;
  EXPECT_EQ(StringWidth(""), 0);
  EXPECT_EQ(StringWidth("\x01\x02\x03"), 0);
  EXPECT_EQ(StringWidth("A\x01" "B"), StringWidth("AB"));  // a missing glyph does not move the pen
  SetScale(3, 3);
  EXPECT_EQ(StringWidth("iii"), 6);  // unscaled
  SetScale(1, 1);

  // Bold is wider; the plain style renders hard-edged glyphs.
  auto bold = TImageFont::Load(Sans, 24, FontSmooth | FontBold);
  auto plain = TImageFont::Load(Sans, 24, 0);
  ASSERT_TRUE(bold && plain);
  const int regularWidth = StringWidth("Wide words");
  SelectFont(bold);
  EXPECT_GT(StringWidth("Wide words"), regularWidth);
  EXPECT_EQ(plain->_imageFlags, 0);
  const TImageGlyph* g = plain->Glyph(plain->CharToGlyph('O'));
  ASSERT_NE(g->_image, nullptr);
  for (size_t i = 3; i < g->_image->pixmaps[0]->pixels.size(); i += 4) {
    const int a = g->_image->pixmaps[0]->pixels[i];
    ASSERT_TRUE(a == 0 || a == 255) << a;
  }
}

TEST_F(FontTest, TextIsDrawnThroughTheTransformFromItsStartPoint) {
  REQUIRE_DISPLAY();
  Open(200, 150);
  auto font = TImageFont::Load(Sans, 20, FontSmooth);
  ASSERT_NE(font, nullptr);
  SelectFont(font);
  SetBlend(3);
  DrawString("Hello", 20, 30);
  Ink flat = FindInk();
  EXPECT_GE(flat.left, 20);
  EXPECT_LE(flat.left, 24);
  EXPECT_NEAR(flat.right - 20, StringWidth("Hello"), 4);
  EXPECT_GE(flat.top, 30);
  EXPECT_LT(flat.bottom, 30 + FontHeight());

  // Scaled 2: twice as wide from the same start.
  Cls();
  SetScale(2, 2);
  DrawString("Hello", 20, 30);
  Ink big = FindInk();
  EXPECT_NEAR(big.right - 20, 2 * (flat.right - 20), 4);
  EXPECT_NEAR(big.bottom - 30, 2 * (flat.bottom - 30), 4);

  // Turned 90 degrees: the text runs down from its start, to the left of it.
  Cls();
  SetScale(1, 1);
  SetRotation(90);
  DrawString("Hello", 100, 20);
  Ink down = FindInk();
  EXPECT_LE(down.right, 100);
  EXPECT_GE(down.top, 20);
  EXPECT_NEAR(down.bottom - 20, StringWidth("Hello"), 4);
}

TEST_F(FontTest, MissingOrDamagedFontsGiveNullAndNullSelectsTheBuiltInFont) {
  WriteFile(dir.file("junk.ttf"), "not a font at all");
  WriteFile(dir.file("empty.ttf"), "");
  const std::string real = ReadFile(Sans);
  WriteFile(dir.file("truncated.ttf"), real.substr(0, 300));
  for (const char* name : {"missing.ttf", "junk.ttf", "empty.ttf", "truncated.ttf"})
    EXPECT_EQ(TImageFont::Load(dir.file(name), 20, FontSmooth), nullptr) << name;
  EXPECT_EQ(TImageFont::Load(dir.path(), 20, FontSmooth), nullptr);
  EXPECT_EQ(TImageFont::Load(Sans, 0, FontSmooth), nullptr);
  EXPECT_EQ(TImageFont::Load(Sans, -3, FontSmooth), nullptr);
  EXPECT_EQ(TImageFont::Load(Sans, 100000, FontSmooth), nullptr);

  // A font whose glyph "z" claims a picture thousands of pixels across (found by fuzzing): the glyph
  // keeps its place in the text but gets no picture of that size.
  const std::string hostile = std::string(VQ_SOURCE_DIR) + "/tests/fuzz/seeds/font_file_fuzz/huge_glyph.ttf";
  auto font = TImageFont::Load(hostile, 24, FontSmooth);
  ASSERT_NE(font, nullptr);
  const TImageGlyph* z = font->Glyph(font->CharToGlyph('z'));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->_image, nullptr);
  EXPECT_LE(z->_w, 8 * 24 + 64 + 2);

  REQUIRE_DISPLAY();
  Open();
  SelectFont(TImageFont::Load(Sans, 40, FontSmooth));
  EXPECT_GT(FontHeight(), 40);
  SelectFont(nullptr);
  EXPECT_EQ(FontHeight(), 16);
  EXPECT_EQ(StringWidth("four"), 32);
}

TEST_F(FontTest, FontsKeepDrawingOnTheNextScreenAndLargeGlyphsGetTexturesOfTheirOwn) {
  REQUIRE_DISPLAY();
  auto font = TImageFont::Load(Sans, 30, FontSmooth);
  ASSERT_NE(font, nullptr);
  Open();
  SelectFont(font);
  SetBlend(3);
  DrawString("Ok", 10, 10);
  const int before = FindInk().count;
  EXPECT_GT(before, 20);
  Open();
  SelectFont(font);
  SetBlend(3);
  DrawString("Ok", 10, 10);
  EXPECT_EQ(FindInk().count, before);
  SelectFont(nullptr);
  Cls();
  DrawString("Ok", 10, 10);
  EXPECT_GT(FindInk().count, 0);

  // A glyph much larger than the font's usual ones (a huge size) still draws.
  auto huge = TImageFont::Load(Sans, 100, FontSmooth | FontItalic);
  ASSERT_NE(huge, nullptr);
  SelectFont(huge);
  Cls();
  DrawString("W", 0, 0);
  EXPECT_GT(FindInk().count, 500);
}

TEST_F(FontTest, SizesOpenedFromOneFileShareItsBytes) {
  auto small = TImageFont::Load(Sans, 12, FontSmooth);
  auto large = TImageFont::Load(Sans, 96, FontSmooth);
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  ASSERT_EQ(Render.FontFiles.size(), 1u);
  EXPECT_EQ(Render.FontFiles.begin()->second.use_count(), 2);  // one copy of the file for both
  small.reset();
  large.reset();
  EXPECT_TRUE(Render.FontFiles.begin()->second.expired());  // gone with the last font
  EXPECT_NE(TImageFont::Load(Sans, 20, 0), nullptr);       // and read again when needed
}
