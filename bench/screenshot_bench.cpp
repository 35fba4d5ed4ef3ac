// Screenshot benchmark: seconds per screenshot (grab of the back buffer, the alpha pass, the PNG at
// zlib level 9) of a real game frame, for an 800 x 600 and a 1920 x 1080 window; then the level-9
// encode alone with each PNG row filter, to show which one compresses this content fastest.
//
//   screenshot_bench [FILES_DIR]   the game's Files/ folder (default: the one beside the build)
//
// Run it under an X server whose screen holds a 1920 x 1080 window, for example
//   Xvfb :5 -screen 0 1920x1200x24 & DISPLAY=:5 build-tests/bench/screenshot_bench
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
constexpr int Repeats = 5;

double SecondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// Processor time of this thread: unlike the wall clock, it does not grow while other programs
// share the processor.
double ThreadSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
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

// Ten seconds of a game with the player blasting now and then, then F11 and the pause menu's Quit.
void ShootAGame(int width, int height) {
  Display.ScreenWidth = width;
  Display.ScreenHeight = height;
  Display.VirtualWidth = width == height * 16 / 9 ? 1600 : 1280;
  Display.VirtualHeight = width == height * 16 / 9 ? 900 : 960;
  SetVirtualSize(static_cast<float>(Display.VirtualWidth), static_cast<float>(Display.VirtualHeight));
  Measured = Figures{};
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
    const bool down = (t / 400) % 3 == 0;
    if (down != Input.MouseDown[1]) FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1));
    if (t > 10000 && t < 10100 && !Input.KeyDown[122]) FeedInputEvent(InputEvent(InputEvent::KeyDown, 122));
    if (t > 10100 && !Input.KeyDown[27]) FeedInputEvent(InputEvent(InputEvent::KeyDown, 27));
  };
  PlayGame();
  Input.EventScript = [] {};
  FeedInputEvent(InputEvent(InputEvent::KeyUp, 122));
  FeedInputEvent(InputEvent(InputEvent::KeyUp, 27));
  FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
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
    for (int i = 0; i < Repeats; ++i) bytes = EncodeWithFilter(*Frame, c.filters).size();
    std::printf("    filter %-26s %.4f s (processor %.4f s)  %8zu bytes\n", c.name, SecondsSince(t0) / Repeats,
                (ThreadSeconds() - c0) / Repeats, bytes);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string files = argc > 1 ? argv[1] : ExecutableFolder() + "/../Files";
  if (!ChangeDir(files + "/278")) {
    std::fprintf(stderr, "no game folder under %s\n", files.c_str());
    return 1;
  }
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

  std::printf("Seconds per screenshot of a game frame (mean of %d)\n", Repeats);
  for (const auto& [w, h] : {std::pair{800, 600}, std::pair{1920, 1080}}) {
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
