// The pictures and fonts of the generated Files/ tree, decoded as the loaders will cut them.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>

#include "decode.h"
#include "support/test_support.h"

namespace {

// How many pixels of cell i (cells of cw x ch, cut row by row as the strip loader does) show:
// in a masked picture every pixel that is not black, in a picture with alpha every opaque one.
int InkInCell(const Picture& p, int cw, int ch, int i, bool ownAlpha, int threshold = 48) {
  const int perRow = p.width / cw;
  const int x0 = (i % perRow) * cw, y0 = (i / perRow) * ch;
  int ink = 0;
  for (int y = y0; y < y0 + ch; ++y)
    for (int x = x0; x < x0 + cw; ++x) {
      const uint8_t* px = p.At(x, y);
      if (ownAlpha ? px[3] >= 128 : (px[0] >= threshold || px[1] >= threshold || px[2] >= threshold)) ++ink;
    }
  return ink;
}

struct PictureCase {
  const char* path;
  int width, height;
  bool ownAlpha;  // without one the loader masks black out
  int cellW, cellH, frames;
};

}  // namespace

TEST(Pictures, EachDecodesWithItsSizeAndEveryFrameHoldsADrawing) {
  const PictureCase cases[] = {
      {"Common/icons.png", 128, 128, false, 16, 16, 64},
      {"Common/logo.png", 384, 256, true, 384, 256, 1},
      {"Common/Quobble.png", 384, 256, true, 384, 256, 1},
      {"278/logo.png", 640, 256, true, 640, 256, 1},
      {"278/badges.png", 256, 256, true, 64, 64, 16},
      {"278/font.png", 120, 256, false, 14, 32, 60},  // the glyphs
      {"278/font.png", 120, 256, false, 8, 8, 100},   // the sparks
  };
  for (const PictureCase& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " in cells of " + std::to_string(c.cellW) + "x" + std::to_string(c.cellH));
    const Picture p = ReadPicture(FilesDir() + "/" + c.path);
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
    EXPECT_EQ(p.channels == 2 || p.channels == 4, c.ownAlpha);
    ASSERT_GE((p.width / c.cellW) * (p.height / c.cellH), c.frames) << "the strip cut would fail";
    // The icon strip has free cells; every other frame must show something.
    const bool sparse = std::string(c.path) == "Common/icons.png";
    for (int i = 0; i < c.frames && !sparse; ++i)
      EXPECT_GE(InkInCell(p, c.cellW, c.cellH, i, c.ownAlpha), 3) << "frame " << i << " is empty";
  }
}

TEST(IconStrip, TheFramesTheFrameworkDrawsAreThere) {
  const Picture p = ReadPicture(FilesDir() + "/Common/icons.png");
  ASSERT_TRUE(p.ok);
  const int used[] = {0, 3, 7, 8, 9, 10, 11, 12, 13, 14, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 63};
  for (int frame : used) EXPECT_GE(InkInCell(p, 16, 16, frame, false), 12) << "icon " << frame;
  // The option choices differ from one another, and so do the audio back ends.
  auto alike = [&](int a, int b) {
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        for (int c = 0; c < 3; ++c)
          if (p.At((a % 8) * 16 + x, (a / 8) * 16 + y)[c] != p.At((b % 8) * 16 + x, (b / 8) * 16 + y)[c]) return false;
    return true;
  };
  for (const auto& [first, last] : {std::pair{18, 20}, std::pair{24, 29}})
    for (int a = first; a <= last; ++a)
      for (int b = a + 1; b <= last; ++b) EXPECT_FALSE(alike(a, b)) << "icons " << a << " and " << b;
}

TEST(IconStrip, PointerTipIsTheCellsTopLeftPixel) {
  const Picture p = ReadPicture(FilesDir() + "/Common/icons.png");
  ASSERT_TRUE(p.ok);
  const uint8_t* tip = p.At(7 * 16, 7 * 16);  // frame 63
  EXPECT_GE(tip[0] + tip[1] + tip[2], 3 * 100) << "the tip is not a bright pixel";
}

TEST(IconStrip, SliderTrackHalvesMeetWithoutAGap) {
  // Frames 21 and 22 are drawn side by side: wherever the left half reaches its right edge, the
  // right half starts at its left edge with the same brightness.
  const Picture p = ReadPicture(FilesDir() + "/Common/icons.png");
  ASSERT_TRUE(p.ok);
  int litRows = 0;
  for (int y = 0; y < 16; ++y) {
    const uint8_t* leftEdge = p.At(5 * 16 + 15, 2 * 16 + y);  // frame 21, last column
    const uint8_t* rightEdge = p.At(6 * 16 + 0, 2 * 16 + y);  // frame 22, first column
    EXPECT_NEAR(leftEdge[1], rightEdge[1], 8) << "row " << y;
    if (leftEdge[1] > 60) ++litRows;
  }
  EXPECT_GE(litRows, 4) << "the track does not reach the edge";
}

TEST(GlyphSheet, GhostFramesAreTheGlyphsMirrored) {
  // The rain's ghost layer draws frame 59 - g in the mirrored column: it must be glyph g mirrored.
  const Picture p = ReadPicture(FilesDir() + "/278/font.png");
  ASSERT_TRUE(p.ok);
  for (int g = 0; g < 60; ++g) {
    const int m = 59 - g;
    int differing = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 14; ++x) {
        const int a = p.At((g % 8) * 14 + x, (g / 8) * 32 + y)[0];
        const int b = p.At((m % 8) * 14 + 13 - x, (m / 8) * 32 + y)[0];
        if (std::abs(a - b) > 2) ++differing;
      }
    EXPECT_EQ(differing, 0) << "glyph " << g;
  }
}

TEST(GlyphSheet, GlyphsStayInsideTheirCellsAndAreDistinct) {
  // A glyph touching its cell's edge would run into its neighbours in the rain.
  const Picture p = ReadPicture(FilesDir() + "/278/font.png");
  ASSERT_TRUE(p.ok);
  for (int g = 0; g < 60; ++g) {
    const int x0 = (g % 8) * 14, y0 = (g / 8) * 32;
    for (int k = 0; k < 32; ++k) {
      EXPECT_EQ(p.At(x0, y0 + k)[0], 0) << "glyph " << g;
      EXPECT_EQ(p.At(x0 + 13, y0 + k)[0], 0) << "glyph " << g;
    }
    for (int k = 0; k < 14; ++k) {
      EXPECT_EQ(p.At(x0 + k, y0)[0], 0) << "glyph " << g;
      EXPECT_EQ(p.At(x0 + k, y0 + 31)[0], 0) << "glyph " << g;
    }
    for (int h = g + 1; h < 60; ++h) {
      int differing = 0;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 14; ++x)
          if (std::abs(p.At(x0 + x, y0 + y)[0] - p.At((h % 8) * 14 + x, (h / 8) * 32 + y)[0]) > 64) ++differing;
      EXPECT_GE(differing, 6) << "glyphs " << g << " and " << h << " look alike";
    }
  }
}

TEST(Fonts, EachFaceOpensAndHasTheLettersOfTheMenus) {
  FT_Library lib = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  for (const char* name : {"SVBasicManual.ttf", "November.ttf", "Blue Highway.ttf", "Acknowledge TT BRK.ttf"}) {
    SCOPED_TRACE(name);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(lib, (FilesDir() + "/Common/" + name).c_str(), 0, &face), 0);
    EXPECT_TRUE(FT_IS_SCALABLE(face));
    for (int ch = 32; ch < 127; ++ch)
      EXPECT_NE(FT_Get_Char_Index(face, ch), 0u) << "no glyph for '" << static_cast<char>(ch) << "'";
    FT_Done_Face(face);
  }
  FT_Done_FreeType(lib);
  // Their licences travel with them.
  for (const char* licence : {"Clear Sans.txt", "Lato.txt", "Open Sans.txt", "DotGothic16.txt", "Apache-2.0.txt"})
    EXPECT_FALSE(ReadBytes(FilesDir() + "/Common/licences/" + licence).empty()) << licence;
}
