// Screenshot benchmark: seconds per screenshot (grab of the back buffer, the alpha pass, the PNG at
// zlib level 9) of a real game frame, for an 800 x 600 and a 1920 x 1080 window; then the level-9
// encode alone with each PNG row filter, to show which one compresses this content fastest.
//
//   screenshot_bench [--quick] [FILES_DIR]   the game's Files/ folder (default: the one beside the build)
//
// Run it under an X server whose screen holds a 1920 x 1080 window, for example
//   Xvfb :5 -screen 0 1920x1200x24 & DISPLAY=:5 build-tests/bench/screenshot_bench
// --quick plays two seconds instead of ten, times one screenshot instead of five, and uses a
// 1280 x 720 window in place of the 1920 x 1080 one, so that it fits the test run's X server: it
// shows that the benchmark still runs to its figures, not what they are.
//
// A termination signal (SIGTERM, Ctrl+C) or a window close stops it at the next frame, wait or encode,
// with status 1.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "game/game.h"
#include "input/input.h"
#include "render/render.h"

namespace {

using Clock = std::chrono::steady_clock;
int Repeats = 5;
uint32_t GameMs = 10000;  // of the fake clock, before the screenshot and the pause menu's Quit

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Processor time of this thread: unlike the wall clock, it does not grow while other programs
// share the processor.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Where the program would run its exit screen: the window was closed or a termination signal came.
void Stop() {
  std::fflush(stdout);
  std::fprintf(stderr, "screenshot_bench: stopped (%s)\n",
               Input.Terminating ? "a termination signal" : "the window was closed");
  CloseScreen();
  std::_Exit(1);
}

// For the stretches that run no frame: the screenshots and the encodes.
void StopIfAsked() {
  if (TakeCloseRequest()) Stop();
}

// libpng writing into memory, with one filter choice at zlib level 9.
void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void FlushNothing(png_structp) {}

std::vector<uint8_t> EncodeWithFilter(const TPixmap& p, int filters) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, FlushNothing);
  png_set_compression_level(png, 9);
  if (filters >= 0) png_set_filter(png, PNG_FILTER_TYPE_BASE, filters);
  png_set_IHDR(png, info, p.width, p.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < p.height; ++y)
    png_write_row(png, const_cast<png_bytep>(&p.pixels[static_cast<size_t>(y) * p.pitch]));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct Figures {
  double grab = 0, alpha = 0, save = 0, whole = 0, wholeCpu = 0;
};
Figures Measured;
std::shared_ptr<TPixmap> Frame;  // the last frame grabbed, for the filter comparison

// Stands in for the screenshot at F11: the same three steps, timed, several times over.
void TimedScreenshot() {
  const std::string path = "/tmp/vq-screenshot-bench.png";
  for (int i = 0; i < Repeats; ++i) {
    StopIfAsked();
    const double c0 = ThreadSeconds();
    const auto t0 = Clock::now();
    auto pixmap = GrabPixmap(0, 0, Display.ScreenWidth, Display.ScreenHeight);
    const auto t1 = Clock::now();
    MakeOpaque(*pixmap);
    const auto t2 = Clock::now();
    SavePixmapAsPNG(pixmap.get(), path, 9);
    const auto t3 = Clock::now();
    Measured.grab += std::chrono::duration<double>(t1 - t0).count() / Repeats;
    Measured.alpha += std::chrono::duration<double>(t2 - t1).count() / Repeats;
    Measured.save += std::chrono::duration<double>(t3 - t2).count() / Repeats;
    Measured.whole += std::chrono::duration<double>(t3 - t0).count() / Repeats;
    Measured.wholeCpu += (ThreadSeconds() - c0) / Repeats;
    Frame = pixmap;
  }
  std::remove(path.c_str());
}

// Ten seconds of a game with the player blasting now and then, then F11 and the pause menu's Quit;
// once the game is over the player lets go of everything and confirms the name with Enter, as a
// player would.
void ShootAGame(int width, int height) {
  Display.ScreenWidth = width;
  Display.ScreenHeight = height;
  Display.VirtualWidth = width == height * 16 / 9 ? 1600 : 1280;
  Display.VirtualHeight = width == height * 16 / 9 ? 900 : 960;
  SetVirtualSize(static_cast<float>(Display.VirtualWidth), static_cast<float>(Display.VirtualHeight));
  Measured = Figures{};
  Frame = nullptr;
  Display.PauseState = 1;
  Display.PointerX = Display.VirtualWidth / 2;
  Display.PointerY = Display.VirtualHeight / 2;
  const uint32_t start = ClockMs();
  InputEvent centre(InputEvent::MouseMove);
  centre.x = width / 2;
  centre.y = height / 2;
  FeedInputEvent(centre);
  Input.EventScript = [start] {
    const uint32_t t = ClockMs() - start;
    auto hold = [](int key, bool down) {
      if (Input.KeyDown[key] != down) FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, key));
    };
    if (Display.PauseState == 0) {  // the name entry: nothing of the game stays held; Enter taps
      hold(27, false);
      if (Input.MouseDown[1]) FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
      hold(13, (t / 100) % 2 == 0);
      return;
    }
    const bool down = (t / 400) % 3 == 0;
    if (down != Input.MouseDown[1]) FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1));
    hold(122, t > GameMs && t < GameMs + 100);
    if (t > GameMs + 100) hold(27, true);
  };
  PlayGame();
  Input.EventScript = [] {};
  FeedInputEvent(InputEvent(InputEvent::KeyUp, 13));
  FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
  if (!Frame) {
    std::fprintf(stderr, "screenshot_bench: the game ended without a screenshot\n");
    std::_Exit(1);
  }
  if (std::getenv("VQ_BENCH_KEEP")) SavePixmapAsPNG(Frame.get(), "/tmp/vq-screenshot-bench-" + std::to_string(width) + ".png", 1);

  std::printf("%4d x %-4d  grab %.4f s  alpha %.4f s  png level 9 %.4f s  screenshot %.3f s (processor %.3f s)\n",
              width, height, Measured.grab, Measured.alpha, Measured.save, Measured.whole, Measured.wholeCpu);
  struct Choice {
    const char* name;
    int filters;
  };
  const Choice choices[] = {{"libpng default (adaptive)", -1}, {"none", PNG_FILTER_NONE}, {"sub", PNG_FILTER_SUB},
                            {"up", PNG_FILTER_UP},             {"average", PNG_FILTER_AVG}, {"paeth", PNG_FILTER_PAETH}};
  for (const Choice& c : choices) {
    const auto t0 = Clock::now();
    const double c0 = ThreadSeconds();
    size_t bytes = 0;
    for (int i = 0; i < Repeats; ++i) {
      StopIfAsked();
      bytes = EncodeWithFilter(*Frame, c.filters).size();
    }
    std::printf("    filter %-26s %.4f s (processor %.4f s)  %8zu bytes\n", c.name, SecondsSince(t0) / Repeats,
                (ThreadSeconds() - c0) / Repeats, bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  UseGame(VornelQuellor);
  std::string files = ExecutableFolder() + "/../Files";
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--quick")) quick = true;
    else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--quick] [FILES_DIR]\n", argv[0]);
      return 2;
    } else files = argv[i];
  }
  if (!ChangeDir(files + "/278")) {
    std::fprintf(stderr, "no game folder under %s\n", files.c_str());
    return 1;
  }
  if (quick) {
    Repeats = 1;
    GameMs = 2000;
  }
  CatchTerminationSignals();  // before the window library starts, which would put its own in place
  UseFakeClock(1000);  // the game's frames are paced instantly; the figures use the real clock
  Input.EventScript = [] {};
  Input.JoystickScript.emplace();
  Audio.DeviceOutput = false;
  SetDefaultSetupValues();
  SeedRnd(278);
  AllocateGameArrays();
  Display.SpriteBudget[1] = 50000;
  Display.SpriteBudget[2] = 500;
  Display.SpriteBudget[3] = 500;
  Display.OverlayOn = 0;
  Hooks.TakeScreenshot = TimedScreenshot;
  Hooks.PauseMenu = [] { return 99; };
  Hooks.ExitScreen = Stop;

  std::printf("Seconds per screenshot of a game frame (mean of %d)\n", Repeats);
  std::fflush(stdout);
  for (const auto& [w, h] : {std::pair{800, 600}, quick ? std::pair{1280, 720} : std::pair{1920, 1080}}) {
    // The assets belong to the screen they were loaded for.
    if (!OpenScreen(w, h, 0, 60, 0)) {
      std::fprintf(stderr, "cannot open a %d x %d window\n", w, h);
      return 1;
    }
    Display.ScreenWidth = w;
    LoadCommonAssets();
    Game.GlyphsLarge = LoadImageStrip("font.png", 14, 32, 0, 60, -1);
    Game.GlyphsSmall = LoadImageStrip("font.png", 8, 8, 0, 100, -1);
    ShootAGame(w, h);
  }
  return 0;
}
