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

// The compression a PNG's zlib stream declares in the FLEVEL bits of its header (0 fastest, 1 fast,
// 2 default, 3 maximum), read from the start of its IDAT chunks joined; -1 when the file is no PNG or
// holds no zlib header there.
int ZlibLevelOf(const std::string& png) {
  if (png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return -1;
  std::string idat;
  for (size_t at = 8; at + 12 <= png.size();) {
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<uint8_t>(png[at + i]);
    if (length > png.size() - at - 12) break;
    const std::string type = png.substr(at + 4, 4);
    if (type == "IDAT") idat += png.substr(at + 8, length);
    if (type == "IEND") break;
    at += 12 + length;
  }
  if (idat.size() < 2) return -1;
  const unsigned cmf = static_cast<uint8_t>(idat[0]), flg = static_cast<uint8_t>(idat[1]);
  if ((cmf & 0x0F) != 8 || (cmf * 256 + flg) % 31 != 0) return -1;  // deflate, and the header's check
  return static_cast<int>(flg >> 6);
}

bool HasLine(const std::vector<std::string>& log, const std::string& line) {
  return std::find(log.begin(), log.end(), line) != log.end();
}

}  // namespace

TEST(SafeFileName, RemovesWhatFileSystemsReject) {
  const std::pair<std::string, std::string> cases[] = {
      {"Tessel Probe (Screenshot_08 Dec 2026_11:22:33)", "Tessel Probe (Screenshot_08 Dec 2026_112233)"},
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
// was drawn, every pixel opaque, in a PNG of real pixels beside "Setup.ini" written at maximum
// compression; the working folder stays the game's own and the notice confirms it.
TEST_F(DisplayTest, AScreenshotIsAnOpaquePngOfTheRealScreenBesideTheSetupFile) {
  REQUIRE_DISPLAY();
  GameFolders folders;
  SetVirtualSize(1280, 960);
  Core.LocalNow = [] { return DateTimeText{"08 Dec 2026", "11:22:33"}; };
  OpenDebugLog(folders.files + "/Debug.txt");
  DrawSomeFrame();
  const auto drawn = GrabPixmap(0, 0, 800, 600);

  TakeScreenshot();

  const std::string name = "Tessel Probe (Screenshot_08 Dec 2026_112233).png";
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

  EXPECT_EQ(ZlibLevelOf(ReadFile(path)), 3) << "not written at maximum compression";
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
  const std::string base = folders.files + "/Tessel Probe (Screenshot_08 Dec 2026_112233)";
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
