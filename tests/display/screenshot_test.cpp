#include <png.h>

#include "display/display_fixture.h"

namespace {

// The frame drawn so far: a grey field with a red block at the top left, half transparent.
void DrawSomeFrame() {
  SetClsColor(40, 40, 40);
  Cls();
  SetBlend(3);
  SetColor(255, 0, 0);
  SetAlpha(0.5f);
  DrawRect(0, 0, 100, 50);
  ResetDraw();
}

// A plain libpng write of the picture: level 9, no row filter, one png_write_image call.
std::string PlainPng(const TPixmap& p) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp s, png_bytep data, png_size_t n) {
        static_cast<std::string*>(png_get_io_ptr(s))->append(reinterpret_cast<char*>(data), n);
      },
      [](png_structp) {});
  png_set_compression_level(png, 9);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_bytep> rows;
  for (int y = 0; y < p.height; ++y) rows.push_back(const_cast<png_bytep>(&p.pixels[size_t(y) * p.pitch]));
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool HasLine(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

}  // namespace

TEST(SafeFileName, RemovesWhatFileSystemsReject) {
  const std::pair<std::string, std::string> cases[] = {
      {"Vornel Quellor (Screenshot_08 Dec 2026_11:22:33)", "Vornel Quellor (Screenshot_08 Dec 2026_112233)"},
      {"a#b'c,d`e.f\\g/h:i|j*k?l\"m", "abcdefghijklm"},
      {"Tam's B.Ber, Jr.", "Tams BBer Jr"},
      {"::..", ""},
  };
  for (const auto& [text, safe] : cases) EXPECT_EQ(SafeFileName(text), safe) << text;
}

TEST(MakeOpaque, SetsEveryAlphaTo255AndKeepsTheColours) {
  TPixmap p(7, 3);
  for (int i = 0; i < 21; ++i) p.WritePixel(i % 7, i / 7, uint32_t(i * 12) << 24 | uint32_t(i) * 0x010203u);
  MakeOpaque(p);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(p.ReadPixel(i % 7, i / 7), 0xFF000000u | uint32_t(i) * 0x010203u);
}

// F11 at 11:22:33 on 8 December 2026 in an 800 x 600 window with the 1280 x 960 space: the frame as it
// was drawn, every pixel opaque, in a PNG of real pixels beside "Setup.ini", the very bytes of a plain
// level-9 write; the working folder stays the game's own and the notice confirms it.
TEST_F(DisplayTest, AScreenshotIsAnOpaquePngOfTheRealScreenBesideTheSetupFile) {
  REQUIRE_DISPLAY();
  GameFolders folders;
  SetVirtualSize(1280, 960);
  Core.LocalNow = [] { return DateTimeText{"08 Dec 2026", "11:22:33"}; };
  OpenDebugLog(folders.files + "/Debug.txt");
  DrawSomeFrame();
  const auto drawn = GrabPixmap(0, 0, 800, 600);

  TakeScreenshot();

  const std::string name = "Vornel Quellor (Screenshot_08 Dec 2026_112233).png";
  const std::string path = folders.files + "/" + name;
  EXPECT_EQ(CurrentDir(), folders.game);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
  EXPECT_EQ(image.width, 800u);
  EXPECT_EQ(image.height, 600u);
  EXPECT_TRUE(image.format & PNG_FORMAT_FLAG_ALPHA);
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
  size_t opaque = 0, sameColour = 0;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    opaque += pixels[i + 3] == 255;
    sameColour += std::equal(&pixels[i], &pixels[i + 3], &drawn->pixels[i]);
  }
  EXPECT_EQ(opaque, 800u * 600u);
  EXPECT_EQ(sameColour, 800u * 600u);  // the frame itself, without the "Saving Screenshot" lines

  MakeOpaque(*drawn);
  EXPECT_TRUE(ReadFile(path) == PlainPng(*drawn));
  CloseDebugLog();
  const auto log = ReadLines(folders.files + "/Debug.txt");
  EXPECT_TRUE(HasLine(log, "\tScreenshot"));
  EXPECT_TRUE(HasLine(log, "\tGrabbing Screenshot"));
  EXPECT_TRUE(HasLine(log, "\tSaving Screenshot : " + name));
  EXPECT_TRUE(HasLine(log, "\tSaved Screenshot 1"));
  ASSERT_EQ(Display.Notices.size(), 1u);
  EXPECT_EQ(Display.Notices[0].txt, "Saved Screenshot");
  // The frame end goes on over the frame as it was, not over the warning.
  EXPECT_EQ(PixelAt(50, 25), drawn->ReadPixel(50, 25) & 0xFFFFFF);
  EXPECT_EQ(PixelAt(400, 300), 0x282828u);
}

TEST_F(DisplayTest, ASecondScreenshotInTheSameSecondKeepsTheFirst) {
  REQUIRE_DISPLAY();
  GameFolders folders;
  Core.LocalNow = [] { return DateTimeText{"08 Dec 2026", "11:22:33"}; };
  SetClsColor(255, 0, 0);
  Cls();
  TakeScreenshot();
  SetClsColor(0, 0, 255);
  Cls();
  TakeScreenshot();
  TakeScreenshot();
  const std::string base = folders.files + "/Vornel Quellor (Screenshot_08 Dec 2026_112233)";
  auto first = LoadPixmapPNG(base + ".png"), second = LoadPixmapPNG(base + "_2.png");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->ReadPixel(10, 10), 0xFFFF0000u);
  EXPECT_EQ(second->ReadPixel(10, 10), 0xFF0000FFu);
  EXPECT_TRUE(FileExists(base + "_3.png"));
}

// A folder nothing can be written to: the log keeps the result 0 and the player is told it failed.
TEST_F(DisplayTest, AScreenshotThatCannotBeWrittenSaysSo) {
  REQUIRE_DISPLAY();
  TempDir logDir;
  OpenDebugLog(logDir.file("Debug.txt"));
  ASSERT_TRUE(ChangeDir("/proc/self"));  // its parent, /proc, takes no files, not even from root
  TakeScreenshot();
  CloseDebugLog();
  EXPECT_TRUE(HasLine(ReadLines(logDir.file("Debug.txt")), "\tSaved Screenshot 0"));
  ASSERT_EQ(Display.Notices.size(), 1u);
  EXPECT_EQ(Display.Notices[0].txt, "Could not save Screenshot");
}
