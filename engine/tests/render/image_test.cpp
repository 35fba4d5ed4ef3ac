#include <fstream>

#include "render_fixture.h"

using ImageTest = RenderTest;

namespace {

// The colour of cell i of a strip picture: distinct for each of the first 256 cells.
uint32_t CellColour(int cell) { return 0xff000000u | static_cast<uint32_t>((cell * 37 % 256) << 16 | (cell * 11 % 256) << 8 | cell); }

// Draws a frame in solid mode, unscaled, with its top-left at (x, y), and reads its centre.
uint32_t DrawnCentre(const std::shared_ptr<TImage>& image, int frame, int x, int y) {
  SetBlend(2);
  DrawImageFrame(image, static_cast<float>(x) + image->handle_x, static_cast<float>(y) + image->handle_y, frame);
  return RenderTest::Pixel(x + image->width / 2, y + image->height / 2);
}

}  // namespace

TEST_F(ImageTest, StripsAreCutRowByRowAndRefusedWhenTooSmall) {
  const std::string path = Picture("cells.png", 128, 128, [](int x, int y) { return CellColour(y / 16 * 8 + x / 16); });
  auto strip = LoadImageStrip(path, 16, 16, 0, 64);
  ASSERT_NE(strip, nullptr);
  EXPECT_EQ(ImageFrames(strip.get()), 64);
  EXPECT_EQ(ImageWidth(strip.get()), 16);
  EXPECT_EQ(ImageHeight(strip.get()), 16);
  for (int frame : {0, 7, 8, 9, 63}) EXPECT_EQ(strip->pixmaps[frame]->ReadPixel(5, 5), CellColour(frame)) << frame;
  auto later = LoadImageStrip(path, 16, 16, 10, 54);
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->pixmaps[0]->ReadPixel(0, 0), CellColour(10));
  EXPECT_EQ(LoadImageStrip(path, 16, 16, 0, 65), nullptr);
  EXPECT_EQ(LoadImageStrip(path, 16, 16, 1, 64), nullptr);
  EXPECT_EQ(LoadImageStrip(path, 0, 16, 0, 1), nullptr);
  EXPECT_EQ(LoadImageStrip(path, 16, 16, -1, 1), nullptr);
  EXPECT_EQ(LoadImageStrip(path, 16, 16, 0, 0), nullptr);
  EXPECT_EQ(LoadImageStrip(path, 200, 16, 0, 1), nullptr);
  // Partial cells at the right and bottom edges do not count.
  const std::string wider = Picture("wider.png", 40, 20, [](int x, int) { return CellColour(x / 16); });
  EXPECT_NE(LoadImageStrip(wider, 16, 16, 0, 2), nullptr);
  EXPECT_EQ(LoadImageStrip(wider, 16, 16, 0, 3), nullptr);

  REQUIRE_DISPLAY();
  Open();
  for (int frame : {0, 9, 63}) EXPECT_EQ(DrawnCentre(strip, frame, 20, 20), CellColour(frame) & 0xffffffu) << frame;
}

TEST_F(ImageTest, AStripLargerThanOneTextureSpreadsOverSeveralAndDrawsWhole) {
  REQUIRE_DISPLAY();
  Open();
  Render.MaxTextureSize = 32;  // 3 x 3 frames of 8 x 8 (with gutters) per texture
  const std::string path = Picture("grid.png", 64, 64, [](int x, int y) { return CellColour(y / 8 * 8 + x / 8); });
  auto strip = LoadImageStrip(path, 8, 8, 0, 64, 0);
  ASSERT_NE(strip, nullptr);
  EXPECT_NE(strip->frames[63].page, nullptr);
  EXPECT_NE(strip->frames[0].page, strip->frames[63].page);
  SetBlend(2);
  for (int i = 0; i < 64; ++i) DrawImageFrame(strip, static_cast<float>(i % 8 * 8), static_cast<float>(i / 8 * 8), i);
  auto drawn = GrabPixmap(0, 0, 64, 64);
  int wrong = 0;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) wrong += drawn->ReadPixel(x, y) != CellColour(y / 8 * 8 + x / 8);
  EXPECT_EQ(wrong, 0);
  // A frame that no texture can hold is refused.
  EXPECT_EQ(LoadImageFile(Picture("wide.png", 40, 4, [](int, int) { return 0xffffffffu; })), nullptr);
}

TEST_F(ImageTest, TheMaskColourBecomesTransparentWithItsNeighboursColour) {
  // 3 x 3, black is the mask colour:   red   black  green
  //                                    black black  blue
  //                                    C     black  D
  const uint32_t C = 0xff1e3c5au, D = 0xff5a3c1eu;
  const uint32_t cells[9] = {0xffff0000u, 0xff000000u, 0xff00ff00u, 0xff000000u, 0xff000000u,
                             0xff0000ffu, C,           0xff000000u, D};
  const std::string rgb = Picture("mask.png", 3, 3, [&](int x, int y) { return cells[y * 3 + x]; }, false);
  auto image = LoadImageFile(rgb, 1);
  ASSERT_NE(image, nullptr);
  const TPixmap& p = *image->pixmaps[0];
  EXPECT_EQ(p.ReadPixel(0, 0), 0xffff0000u);  // visible pixels become opaque
  EXPECT_EQ(p.ReadPixel(1, 1), 0x004b4b4bu);  // five visible neighbours: (75, 75, 75)
  EXPECT_EQ(p.ReadPixel(1, 0), 0x00555555u);  // red, green, blue: (85, 85, 85)
  EXPECT_EQ(p.ReadPixel(0, 1), 0x008e1e2du);  // red and C only: (142, 30, 45)
  const std::string lone = Picture("lone.png", 1, 1, [](int, int) { return 0xff000000u; }, false);
  EXPECT_EQ(LoadImageFile(lone, 1)->pixmaps[0]->ReadPixel(0, 0), 0u);  // no visible neighbour: black

  // Not masked: black stays opaque. A picture with its own alpha keeps it.
  EXPECT_EQ(LoadImageFile(rgb, 2)->pixmaps[0]->ReadPixel(1, 1), 0xff000000u);
  const std::string rgba = Picture("alpha.png", 2, 1, [](int x, int) { return x ? 0x80000000u : 0xff000000u; });
  auto own = LoadImageFile(rgba, 1);
  EXPECT_EQ(own->pixmaps[0]->ReadPixel(0, 0), 0xff000000u);
  EXPECT_EQ(own->pixmaps[0]->ReadPixel(1, 0), 0x80000000u);

  // Another mask colour, recorded in the image.
  SetMaskColor(255, 0, 255);
  const std::string magenta = Picture("magenta.png", 2, 1, [](int x, int) { return x ? 0xffff00ffu : 0xff102030u; }, false);
  auto m = LoadImageFile(magenta, 1);
  EXPECT_EQ(m->mask_r, 255);
  EXPECT_EQ(m->mask_b, 255);
  EXPECT_EQ(m->pixmaps[0]->ReadPixel(1, 0), 0x00102030u);
  EXPECT_EQ(m->pixmaps[0]->ReadPixel(0, 0), 0xff102030u);

  // Drawn masked, the transparent pixels leave the background.
  REQUIRE_DISPLAY();
  Open();
  SetClsColor(0, 0, 80);
  Cls();
  SetBlend(1);
  DrawImageFrame(image, 10, 10);
  EXPECT_EQ(Pixel(10, 10), 0xff0000u);
  EXPECT_EQ(Pixel(11, 11), 0x000050u);
}

TEST_F(ImageTest, AFilteredFrameNeverPicksUpColourFromOutsideItsPixels) {
  REQUIRE_DISPLAY();
  Open();
  // Two frames side by side, red and blue, each with a green centre.
  const std::string path = Picture("pair.png", 16, 8, [](int x, int y) {
    if (x % 8 >= 3 && x % 8 <= 4 && y >= 3 && y <= 4) return 0xff00ff00u;
    return x < 8 ? 0xffff0000u : 0xff0000ffu;
  });
  for (int flags : {2, 6}) {  // filtered; filtered and mipmapped
    auto strip = LoadImageStrip(path, 8, 8, 0, 2, flags);
    ASSERT_NE(strip, nullptr);
    Cls();
    SetBlend(2);
    // Stretched, shrunk and turned at positions between pixels.
    SetScale(9.3f, 9.3f);
    DrawImageFrame(strip, 40.3f, 40.6f, 0);
    SetScale(0.7f, 0.7f);
    SetRotation(33);
    DrawImageFrame(strip, 120.5f, 30.25f, 0);
    SetScale(0.2f, 0.2f);
    DrawImageFrame(strip, 120.5f, 90.25f, 0);
    SetRotation(0);
    SetScale(1, 1);
    auto drawn = GrabPixmap(0, 0, 160, 120);
    int bleeding = 0, red = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 160; ++x) {
        const uint32_t c = drawn->ReadPixel(x, y);
        bleeding += (c & 0xff) != 0;  // blue can only come from the other frame
        red += (c & 0xffffffu) == 0xff0000u;
      }
    EXPECT_EQ(bleeding, 0) << "flags " << flags;
    EXPECT_GT(red, 100) << "flags " << flags;
  }
}

TEST_F(ImageTest, FlagsHandlesAndBlankImages) {
  const std::string path = Picture("p.png", 6, 4, [](int, int) { return 0xffffffffu; });
  EXPECT_EQ(LoadImageFile(path)->flags, 3);  // the default: masked and filtered
  EXPECT_EQ(LoadImageFile(path, -1)->flags, 3);
  EXPECT_EQ(LoadImageFile(path, 0)->flags, 0);
  EXPECT_EQ(LoadImageFile(path, 4)->flags, 4);
  EXPECT_EQ(LoadImageFile(path)->handle_x, 0.0f);
  SetAutoCentreHandle(1);
  auto centred = LoadImageFile(path);
  EXPECT_EQ(centred->handle_x, 3.0f);
  EXPECT_EQ(centred->handle_y, 2.0f);
  auto blank = CreateBlankImage(10, 7, 3, 2);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(blank->flags, 2 | 8);  // dynamic always
  EXPECT_EQ(blank->handle_x, 5.0f);
  EXPECT_EQ(ImageFrames(blank.get()), 3);
  EXPECT_EQ(blank->pixmaps[2]->ReadPixel(9, 6), 0u);  // starts transparent
  SetAutoCentreHandle(0);
  EXPECT_EQ(CreateBlankImage(4, 4, 1, 0)->handle_x, 0.0f);
  EXPECT_EQ(CreateBlankImage(0, 4, 1, 0), nullptr);
  EXPECT_EQ(CreateBlankImage(4, 4, 0, 0), nullptr);
  EXPECT_EQ(CreateBlankImage(100000, 100000, 1, 0), nullptr);
}

TEST_F(ImageTest, GrabbedFramesHoldTheScreenAndAreReplacedByTheNextGrab) {
  REQUIRE_DISPLAY();
  Open();
  auto snapshot = CreateBlankImage(20, 10, 2, 0);
  ASSERT_NE(snapshot, nullptr);
  SetBlend(2);
  SetColor(200, 0, 0);
  DrawRect(0, 0, 10, 10);
  SetColor(0, 0, 200);
  DrawRect(10, 0, 10, 10);
  GrabImageFrame(snapshot, 0, 0, 1);  // the queued rectangles are drawn first
  EXPECT_EQ(snapshot->pixmaps[1]->ReadPixel(0, 0) & 0xffffffu, 0xc80000u);
  Cls();
  SetColor(255, 255, 255);
  DrawImageFrame(snapshot, 50, 50, 1);
  EXPECT_EQ(Pixel(51, 51), 0xc80000u);
  EXPECT_EQ(Pixel(65, 55), 0x0000c8u);

  // Grabbing again replaces the picture the texture holds.
  SetColor(0, 200, 0);
  DrawRect(0, 0, 20, 10);
  GrabImageFrame(snapshot, 0, 0, 1);
  Cls();
  SetColor(255, 255, 255);
  DrawImageFrame(snapshot, 50, 50, 1);
  EXPECT_EQ(Pixel(51, 51), 0x00c800u);
  EXPECT_EQ(Pixel(65, 55), 0x00c800u);

  // A masked image masks what it grabs: the black half becomes transparent.
  auto masked = CreateBlankImage(20, 10, 1, 1);
  Cls();
  SetColor(0, 200, 0);
  DrawRect(0, 0, 10, 10);
  GrabImageFrame(masked, 0, 0, 0);
  EXPECT_EQ(masked->pixmaps[0]->ReadPixel(15, 5) >> 24, 0u);
  EXPECT_EQ(masked->pixmaps[0]->ReadPixel(5, 5) >> 24, 255u);
}

TEST_F(ImageTest, NullImagesAndFramesOutOfRangeDrawNothing) {
  REQUIRE_DISPLAY();
  Open();
  auto image = LoadImageFile(Picture("w.png", 4, 4, [](int, int) { return 0xffffffffu; }), 0);
  SetBlend(2);
  DrawImageFrame(std::shared_ptr<TImage>(), 10, 10);
  DrawImageFrame(image, 10, 10, 1);
  DrawImageFrame(image, 10, 10, -1);
  GrabImageFrame(nullptr, 0, 0, 0);
  GrabImageFrame(image, 0, 0, 5);
  EXPECT_EQ(CountColour(0xffffffu), 0);
  EXPECT_EQ(ImageWidth(nullptr), 0);
  EXPECT_EQ(ImageHeight(nullptr), 0);
  EXPECT_EQ(ImageFrames(nullptr), 0);
}

TEST_F(ImageTest, DamagedMissingOrHugePicturesGiveNull) {
  const std::string good = Picture("good.png", 8, 8, [](int x, int) { return x ? 0xff00ff00u : 0xffff0000u; });
  const std::string bytes = ReadFile(good);
  WriteFile(dir.file("truncated.png"), bytes.substr(0, bytes.size() / 2));
  std::string corrupt = bytes;
  for (size_t i = 40; i < corrupt.size(); i += 7) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5a);
  WriteFile(dir.file("corrupt.png"), corrupt);
  WriteFile(dir.file("empty.png"), "");
  WriteFile(dir.file("text.png"), "this is not a picture");
  for (const char* name : {"missing.png", "truncated.png", "corrupt.png", "empty.png", "text.png"}) {
    EXPECT_EQ(LoadImageFile(dir.file(name)), nullptr) << name;
    EXPECT_EQ(LoadImageStrip(dir.file(name), 4, 4, 0, 1), nullptr) << name;
    EXPECT_EQ(LoadPixmapPNG(dir.file(name)), nullptr) << name;
  }
  EXPECT_EQ(LoadImageFile(dir.path()), nullptr);  // a folder

  // 100 000 x 1: no texture holds the picture whole, but its cells split cleanly.
  const std::string line = Picture("line.png", 100000, 1, [](int x, int) { return CellColour(x / 100 % 200); });
  EXPECT_EQ(LoadImageFile(line), nullptr);
  auto cells = LoadImageStrip(line, 100, 1, 0, 1000, 0);
  ASSERT_NE(cells, nullptr);
  EXPECT_EQ(cells->pixmaps[999]->ReadPixel(0, 0), CellColour(999 % 200));
  EXPECT_EQ(LoadImageStrip(line, 1, 1, 0, 100000, 0), nullptr);  // more frames than an image may have
}

TEST_F(ImageTest, TexturesAreMadeAheadOrOnFirstDrawAndRemadeOnTheNextScreen) {
  // Loaded before any screen exists.
  auto image = LoadImageFile(Picture("keep.png", 4, 4, [](int, int) { return 0xff20c040u; }), 0);
  ASSERT_NE(image, nullptr);
  PrepareImage(image);  // no screen yet: nothing to make
  EXPECT_EQ(image->seqs[0], 0);
  REQUIRE_DISPLAY();
  Open();
  // Prepared ahead of its first draw, it is not made again when drawn.
  PrepareImage(image);
  const int firstScreen = image->seqs[0];
  EXPECT_NE(firstScreen, 0);
  EXPECT_EQ(DrawnCentre(image, 0, 10, 10), 0x20c040u);
  EXPECT_EQ(image->seqs[0], firstScreen);
  CloseScreen();
  Open(100, 90);
  EXPECT_EQ(DrawnCentre(image, 0, 30, 30), 0x20c040u);
  EXPECT_NE(image->seqs[0], firstScreen);
  // An image dropped while its quads wait is still drawn.
  Cls();
  {
    auto temporary = LoadImageFile(Picture("gone.png", 4, 4, [](int, int) { return 0xff0000ffu; }), 0);
    SetBlend(2);
    DrawImageFrame(temporary, 60, 60);
  }
  EXPECT_EQ(Pixel(61, 61), 0x0000ffu);
}

TEST_F(ImageTest, FramesTurnAndGrowAboutTheirCentredHandle) {
  REQUIRE_DISPLAY();
  Open();
  SetAutoCentreHandle(1);
  // 16 x 8: left half red, right half green.
  auto image = LoadImageFile(Picture("halves.png", 16, 8, [](int x, int) { return x < 8 ? 0xffff0000u : 0xff00ff00u; }), 0);
  ASSERT_NE(image, nullptr);
  SetBlend(2);
  SetRotation(90);
  SetScale(2, 2);
  DrawImageFrame(image, 80, 60);
  // Turned a quarter clockwise and doubled about (80, 60): 16 wide, 32 tall, red above, green below.
  EXPECT_EQ(CountColour(0xff0000u), 16 * 16);
  EXPECT_EQ(CountColour(0x00ff00u), 16 * 16);
  EXPECT_EQ(Pixel(72, 44), 0xff0000u);
  EXPECT_EQ(Pixel(87, 59), 0xff0000u);
  EXPECT_EQ(Pixel(72, 60), 0x00ff00u);
  EXPECT_EQ(Pixel(87, 75), 0x00ff00u);
  EXPECT_EQ(Pixel(71, 60), 0u);
  EXPECT_EQ(Pixel(80, 76), 0u);
  // The origin moves images too; the state's handle does not.
  Cls();
  SetRotation(0);
  SetScale(1, 1);
  SetOrigin(5, 5);
  SetHandle(100, 100);
  DrawImageFrame(image, 20, 20);
  EXPECT_EQ(Pixel(17, 21), 0xff0000u);
  EXPECT_EQ(Pixel(32, 28), 0x00ff00u);
  EXPECT_EQ(Pixel(16, 21), 0u);
}
