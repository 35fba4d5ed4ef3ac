// Screenshots: F11 saves the frame drawn so far as a PNG beside "Setup.ini", named by the game's
// title and the date and time.
#include <sys/stat.h>

#include <bit>
#include <cstring>

#include "core/core.h"
#include "display/display.h"

std::string SafeFileName(const std::string& text) {
  // Characters that file systems or the program's own conventions reject, removed in this order.
  static constexpr std::string_view removed = "#',`.\\/:|*?\"";
  std::string out = text;
  for (char c : removed) std::erase(out, c);
  return out;
}

void MakeOpaque(TPixmap& pixmap) {
  if (pixmap.format != PixmapRGBA8888) return;  // without alpha every pixel is opaque already
  // Four bytes R, G, B, A at a time: the alpha byte is the highest of a little-endian word.
  uint8_t* p = pixmap.pixels.data();
  const size_t count = pixmap.pixels.size() / 4;
  for (size_t i = 0; i < count; ++i) {
    uint32_t v;
    std::memcpy(&v, p + 4 * i, 4);
    if constexpr (std::endian::native == std::endian::little) v |= 0xFF000000u;
    else v |= 0xFFu;
    std::memcpy(p + 4 * i, &v, 4);
  }
}

static bool NameTaken(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// The name as given, or when something of that name is there already (a second shot within the
// same second), the first free one of name_2, name_3...
static std::string FreeName(const std::string& base) {
  std::string name = base + ".png";
  for (int n = 2; NameTaken(PlayerFile(name)) && n < 10000; ++n) name = base + "_" + std::to_string(n) + ".png";
  return name;
}

void TakeScreenshot() {
  DebugLine("");
  DebugLine("\tScreenshot");
  // The picture goes beside "Setup.ini" (the player's folder, or the parent of the game's folder);
  // it is addressed by its path, so the working folder stays the game's own throughout.
  DebugLine("\tGrabbing Screenshot");
  std::shared_ptr<TPixmap> picture = GrabPixmap(0, 0, Display.ScreenWidth, Display.ScreenHeight);
  ResetDraw();
  if (picture) MakeOpaque(*picture);

  // The player is told first: the two lines show over the frozen frame while the file is written.
  SelectFont(Display.Fonts[5]);
  WriteText(Display.VirtualWidth / 2, Display.VirtualHeight / 2 - 30, "Saving Screenshot", 1, 1);
  SelectFont(Display.Fonts[6]);
  WriteText(Display.VirtualWidth / 2, Display.VirtualHeight / 2 + 30, "Sometimes, this takes a while!", 1, 1);
  Flip(-1);

  const DateTimeText now = CurrentDateTime();
  const std::string name =
      FreeName(SafeFileName(std::string(ThisIdentity().TitleWord1) + " " + ThisIdentity().TitleWord2 + " (Screenshot_" + now.Date + "_" + now.Time + ")"));
  DebugLine("\tSaving Screenshot : " + name);
  const int result = picture ? SavePixmapAsPNG(picture.get(), PlayerFile(name), 9) : 0;
  DebugLine("\tSaved Screenshot " + std::to_string(result));
  DebugLine("");

  // The frame goes on from the picture as it was grabbed: the back buffer after a flip holds
  // nothing dependable, and the rest of the frame end draws over it.
  if (picture) {
    SetBlend(2);
    DrawPixmap(picture.get(), 0, 0);
    ResetDraw();
  }
  ShowNotice(result == 1 ? "Saved Screenshot" : "Could not save Screenshot", 1);
}
