// A helper for the end-to-end scripts: reads what the player sees and what the game stored. Each
// game has its own, built with its definition (TestedGame), so it reads that game's score file.
//
//   e2e_probe pixel X Y          the colour of a pixel of the X screen, as "R G B" (0..255)
//   e2e_probe area X Y W H       the colours of a rectangle of the X screen, one pixel a line
//   e2e_probe scores FILE        the records of a score file, one a line, newest first:
//                                score|name|badges|timestamp|level|mode|flags|quit
//                                (exit status 3 when a line of the file does not decode)
//   e2e_probe make-scores FILE N a score file of N records of every difficulty, with names, scores,
//                                one badge and dates spread out (for looking at a full panel)
//   e2e_probe shot FILE          the whole X screen as a PNG picture
//   e2e_probe close WINDOW       asks the window to close, as a window manager's close button does
//   e2e_probe make-login-scores FILE USER PASSWORD SCORE
//                                a score file that holds the score server's user name and password
//                                and one Medium record of SCORE by "Local Hero"
//   e2e_probe silent-server      listens on a free loopback port (printed on the first line) and takes
//                                every connection without ever answering, until it is killed
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

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

// The colours of the rectangle (x, y, w, h) of the X screen, one "R G B" line a pixel, row by row.
int Area(int x, int y, int w, int h) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "e2e_probe: no X display\n");
    return 1;
  }
  XImage* image = w > 0 && h > 0 ? XGetImage(display, DefaultRootWindow(display), x, y, static_cast<unsigned>(w),
                                             static_cast<unsigned>(h), AllPlanes, ZPixmap)
                                 : nullptr;
  if (!image) {
    XCloseDisplay(display);
    std::fprintf(stderr, "e2e_probe: cannot read %d x %d pixels at %d, %d\n", w, h, x, y);
    return 1;
  }
  for (int row = 0; row < h; ++row)
    for (int column = 0; column < w; ++column) {
      const unsigned long p = XGetPixel(image, column, row);
      std::printf("%lu %lu %lu\n", (p & image->red_mask) >> 16, (p & image->green_mask) >> 8, p & image->blue_mask);
    }
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
  const bool header = !lines.empty() && Unscramble(lines[0], ThisIdentity().GameCode) != "XXX";
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

// A score server that is there and never answers: connections are accepted and held open.
int SilentServer() {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
      ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    std::fprintf(stderr, "e2e_probe: cannot listen on the loopback address\n");
    return 1;
  }
  std::printf("%d\n", ntohs(address.sin_port));
  std::fflush(stdout);
  std::vector<int> held;
  for (;;) {
    const int connection = ::accept(listener, nullptr, nullptr);
    if (connection >= 0) held.push_back(connection);
  }
}

}  // namespace

const GameDefinition& TestedGame();

int main(int argc, char** argv) {
  UseGame(TestedGame());
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pixel" && argc == 4) return Area(std::atoi(argv[2]), std::atoi(argv[3]), 1, 1);
  if (command == "area" && argc == 6)
    return Area(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if (command == "scores" && argc == 3) return PrintScores(argv[2]);
  if (command == "make-scores" && argc == 4) return MakeScores(argv[2], std::atoi(argv[3]));
  if (command == "shot" && argc == 3) return Shot(argv[2]);
  if (command == "close" && argc == 3) return Close(std::strtoul(argv[2], nullptr, 0));
  if (command == "make-login-scores" && argc == 6)
    return MakeLoginScores(argv[2], argv[3], argv[4], std::atoll(argv[5]));
  if (command == "silent-server" && argc == 2) return SilentServer();
  std::fprintf(stderr,
               "usage: e2e_probe pixel X Y | area X Y W H | scores FILE | make-scores FILE N | shot FILE\n"
               "       | close WINDOW | make-login-scores FILE USER PASSWORD SCORE | silent-server\n");
  return 2;
}
