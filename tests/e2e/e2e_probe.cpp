// A helper for the end-to-end scripts: reads what the player sees and what the game stored.
//
//   e2e_probe pixel X Y          the colour of a pixel of the X screen, as "R G B" (0..255)
//   e2e_probe scores FILE        the records of a score file, one a line, newest first:
//                                score|name|badges|timestamp|level|mode|flags|quit
//   e2e_probe make-scores FILE N a score file of N records of every difficulty, with names, scores,
//                                one badge and dates spread out (for looking at a full panel)
//   e2e_probe make-login-scores FILE USER PASSWORD SCORE
//                                a score file that holds the score server's user name and password
//                                and one Medium record of SCORE by "Local Hero"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/core.h"
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

int PrintScores(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadTextLines(path, lines)) {
    std::fprintf(stderr, "e2e_probe: cannot read %s\n", path.c_str());
    return 1;
  }
  BuildDefaultKey();
  ScoresFromLines(lines);
  for (const auto& r : ScoreLists.LocalScores)
    std::printf("%s\n", Field(ScoreLine(*r), ListSeparator, 1).c_str());
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

int MakeLoginScores(const std::string& path, const std::string& user, const std::string& password,
                    int64_t score) {
  BuildDefaultKey();
  ScoreLists.OnlineUser = user;
  ScoreLists.OnlinePassword = password;
  auto r = std::make_shared<Scores>();
  r->Name = "Local Hero";
  r->Score = score;
  r->Timestamp = MakeTimestamp("10 Dec 2026");
  r->GameMode = 1;
  ScoreLists.LocalScores.push_back(r);
  ScoreLists.FilePath = path;
  return SaveScores() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pixel" && argc == 4) return Pixel(std::atoi(argv[2]), std::atoi(argv[3]));
  if (command == "scores" && argc == 3) return PrintScores(argv[2]);
  if (command == "make-scores" && argc == 4) return MakeScores(argv[2], std::atoi(argv[3]));
  if (command == "make-login-scores" && argc == 6)
    return MakeLoginScores(argv[2], argv[3], argv[4], std::atoll(argv[5]));
  std::fprintf(stderr,
               "usage: e2e_probe pixel X Y | scores FILE | make-scores FILE N\n"
               "       | make-login-scores FILE USER PASSWORD SCORE\n");
  return 2;
}
