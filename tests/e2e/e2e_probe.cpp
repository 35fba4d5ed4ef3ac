// A helper for the end-to-end scripts: reads what the player sees and what the game stored.
//
//   e2e_probe pixel X Y          the colour of a pixel of the X screen, as "R G B" (0..255)
//   e2e_probe scores FILE        the records of a score file, one a line, newest first:
//                                score|name|badges|timestamp|level|mode|flags|quit
//                                (exit status 3 when a line of the file does not decode)
//   e2e_probe make-scores FILE N a score file of N records of every difficulty, with names, scores,
//                                one badge and dates spread out (for looking at a full panel)
//   e2e_probe shot FILE          the whole X screen as a PNG picture
//   e2e_probe close WINDOW       asks the window to close, as a window manager's close button does
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/core.h"
#include "render/render.h"
#include "scores/scores.h"

// After the program's headers: Xlib defines macros with common names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

int Pixel(int x, int y) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "e2e_probe: no X display\n");
    return 1;
  }
  XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) {
    XCloseDisplay(display);
    std::fprintf(stderr, "e2e_probe: cannot read the pixel at %d, %d\n", x, y);
    return 1;
  }
  const unsigned long p = XGetPixel(image, 0, 0);
  std::printf("%lu %lu %lu\n", (p & image->red_mask) >> 16, (p & image->green_mask) >> 8, p & image->blue_mask);
  XDestroyImage(image);
  XCloseDisplay(display);
  return 0;
}

int Shot(const std::string& path) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XWindowAttributes root;
  XGetWindowAttributes(display, DefaultRootWindow(display), &root);
  XImage* image = XGetImage(display, DefaultRootWindow(display), 0, 0, root.width, root.height, AllPlanes, ZPixmap);
  if (!image) {
    XCloseDisplay(display);
    return 1;
  }
  TPixmap picture(root.width, root.height);
  for (int y = 0; y < root.height; ++y)
    for (int x = 0; x < root.width; ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      picture.WritePixel(x, y, 0xFF000000u | ((p & image->red_mask) >> 16) << 16 | ((p & image->green_mask) >> 8) << 8 |
                                   (p & image->blue_mask));
    }
  XDestroyImage(image);
  XCloseDisplay(display);
  return SavePixmapAsPNG(&picture, path, 1) ? 0 : 1;
}

// The close request of a window manager: a WM_DELETE_WINDOW message.
int Close(unsigned long window) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 1;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &e);
  XFlush(display);
  XCloseDisplay(display);
  return 0;
}

int PrintScores(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadTextLines(path, lines)) {
    std::fprintf(stderr, "e2e_probe: cannot read %s\n", path.c_str());
    return 1;
  }
  BuildDefaultKey();
  const int dropped = ScoresFromLines(lines);
  for (const auto& r : ScoreLists.LocalScores)
    std::printf("%s\n", Field(ScoreLine(*r), ListSeparator, 1).c_str());
  // A file the game wrote decodes whole: the credentials line and every record line.
  const bool header = !lines.empty() && Unscramble(lines[0], GameCode) != "XXX";
  if (dropped > 0 || !header) {
    std::fprintf(stderr, "e2e_probe: %s is damaged: %s%d record lines do not decode\n", path.c_str(),
                 header ? "" : "the credentials line does not decode, ", dropped);
    return 3;
  }
  return 0;
}

int MakeScores(const std::string& path, int n) {
  static constexpr const char* names[] = {"Quinn", "Ada Lovelace", "Zed", "Marguerite the Magnificent Player",
                                          "Bo", "Player", "Ingrid", "Tom"};
  BuildDefaultKey();
  SeedRnd(7);
  const int64_t newest = MakeTimestamp("10 Dec 2026");
  for (int i = 0; i < n; ++i) {
    auto r = std::make_shared<Scores>();
    r->Name = names[i % 8];
    r->Score = RandInt(0, 400) * (i % 13 == 0 ? 3 : 1);
    r->Timestamp = newest - static_cast<int64_t>(i) * 5000;
    r->GameMode = i % 3;
    if (i % 7 == 0) r->Badges = 1 << (i % 16);
    ScoreLists.LocalScores.push_back(r);
  }
  ScoreLists.FilePath = path;
  return SaveScores() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pixel" && argc == 4) return Pixel(std::atoi(argv[2]), std::atoi(argv[3]));
  if (command == "scores" && argc == 3) return PrintScores(argv[2]);
  if (command == "make-scores" && argc == 4) return MakeScores(argv[2], std::atoi(argv[3]));
  if (command == "shot" && argc == 3) return Shot(argv[2]);
  if (command == "close" && argc == 3) return Close(std::strtoul(argv[2], nullptr, 0));
  std::fprintf(stderr, "usage: e2e_probe pixel X Y | scores FILE | make-scores FILE N | shot FILE | close WINDOW\n");
  return 2;
}
