#include <sys/stat.h>

#include "core/core.h"
#include "render_fixture.h"

using PixmapTest = RenderTest;

TEST_F(PixmapTest, PixelsAreReadAndWrittenAsAARRGGBB) {
  TPixmap p(3, 2);
  EXPECT_EQ(p.pitch, 12);
  EXPECT_EQ(p.capacity, 24);
  EXPECT_EQ(p.format, PixmapRGBA8888);
  p.WritePixel(2, 1, 0x80112233u);
  EXPECT_EQ(p.ReadPixel(2, 1), 0x80112233u);
  const uint8_t* bytes = &p.pixels[12 + 8];
  EXPECT_EQ(bytes[0], 0x11);  // R, G, B, A in memory
  EXPECT_EQ(bytes[1], 0x22);
  EXPECT_EQ(bytes[2], 0x33);
  EXPECT_EQ(bytes[3], 0x80);
  p.WritePixel(3, 0, 0xffffffffu);  // outside: nothing
  p.WritePixel(-1, 0, 0xffffffffu);
  EXPECT_EQ(p.ReadPixel(3, 0), 0u);
  EXPECT_EQ(p.ReadPixel(0, -1), 0u);
  TPixmap rgb(2, 2, PixmapRGB888);
  EXPECT_EQ(rgb.pitch, 6);
  rgb.WritePixel(1, 1, 0x00abcdefu);
  EXPECT_EQ(rgb.ReadPixel(1, 1), 0xffabcdefu);  // always opaque
  TPixmap none(-5, 3);
  EXPECT_EQ(none.width, 0);
  EXPECT_TRUE(none.pixels.empty());
}

TEST_F(PixmapTest, GrabbingReadsRealPixelsTopRowFirstWhateverTheVirtualSize) {
  REQUIRE_DISPLAY();
  Open(200, 150);
  SetVirtualSize(400, 300);
  SetBlend(2);
  SetColor(255, 0, 0);
  DrawRect(0, 0, 200, 20);  // real (0, 0)-(100, 10)
  auto p = GrabPixmap(0, 0, 200, 150);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 200);
  EXPECT_EQ(p->height, 150);
  EXPECT_EQ(p->ReadPixel(0, 0), 0xffff0000u);
  EXPECT_EQ(p->ReadPixel(99, 9), 0xffff0000u);
  EXPECT_EQ(p->ReadPixel(100, 9), 0xff000000u);
  EXPECT_EQ(p->ReadPixel(0, 10), 0xff000000u);
  EXPECT_EQ(p->ReadPixel(0, 149), 0xff000000u);

  // Parts outside the screen are 0; a block is taken from anywhere.
  auto edge = GrabPixmap(-10, -10, 20, 20);
  EXPECT_EQ(edge->ReadPixel(0, 0), 0u);
  EXPECT_EQ(edge->ReadPixel(10, 10), 0xffff0000u);
  auto inside = GrabPixmap(95, 5, 10, 10);
  EXPECT_EQ(inside->ReadPixel(4, 4), 0xffff0000u);
  EXPECT_EQ(inside->ReadPixel(5, 4), 0xff000000u);
  EXPECT_EQ(GrabPixmap(190, 140, 20, 20)->ReadPixel(15, 15), 0u);
  EXPECT_EQ(GrabPixmap(0, 0, 0, 10), nullptr);
  EXPECT_EQ(GrabPixmap(0, 0, 100000, 100000), nullptr);
}

TEST_F(PixmapTest, PngFilesAreWrittenAtTheCompressionLevelAndReadBack) {
  TPixmap p(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) p.WritePixel(x, y, static_cast<uint32_t>((x * 6) << 24 | (y * 8) << 16 | x << 8 | 7));
  ASSERT_EQ(SavePixmapAsPNG(&p, dir.file("level9.png"), 9), 1);
  ASSERT_EQ(SavePixmapAsPNG(&p, dir.file("level0.png"), 0), 1);
  EXPECT_LT(ReadFile(dir.file("level9.png")).size(), ReadFile(dir.file("level0.png")).size());
  for (const char* name : {"level9.png", "level0.png"}) {
    auto back = LoadPixmapPNG(dir.file(name));
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pixels, p.pixels) << name;
  }
  const std::string header = ReadFile(dir.file("level9.png"));
  EXPECT_EQ(header[25], 6);  // colour type RGBA
  TPixmap rgb(2, 2, PixmapRGB888);
  ASSERT_EQ(SavePixmapAsPNG(&rgb, dir.file("rgb.png"), 5), 1);
  EXPECT_EQ(ReadFile(dir.file("rgb.png"))[25], 2);  // colour type RGB, no alpha
  EXPECT_EQ(SavePixmapAsPNG(&p, dir.file("odd.png"), 42), 1);  // the level is kept within 0..9
}

TEST_F(PixmapTest, AFileThatCannotBeWrittenGivesZeroAndNoFile) {
  TPixmap p(4, 4);
  const std::string locked = dir.file("locked");
  ASSERT_EQ(::mkdir(locked.c_str(), 0500), 0);
  if (::geteuid() != 0) {  // root writes anywhere
    EXPECT_EQ(SavePixmapAsPNG(&p, locked + "/shot.png", 9), 0);
  }
  EXPECT_EQ(SavePixmapAsPNG(&p, dir.file("missing/shot.png"), 9), 0);
  EXPECT_EQ(SavePixmapAsPNG(&p, dir.path(), 9), 0);  // a folder
  EXPECT_EQ(SavePixmapAsPNG(&p, "/dev/full", 9), 0);  // the disk is full
  struct stat device;
  ASSERT_EQ(::stat("/dev/full", &device), 0);
  EXPECT_TRUE(S_ISCHR(device.st_mode));  // and a file that was there stays
  EXPECT_EQ(SavePixmapAsPNG(nullptr, dir.file("null.png"), 9), 0);
  TPixmap empty(0, 0);
  EXPECT_EQ(SavePixmapAsPNG(&empty, dir.file("empty.png"), 9), 0);
  EXPECT_FALSE(FileExists(dir.file("null.png")));
  EXPECT_FALSE(FileExists(dir.file("empty.png")));
}
