#include <SDL.h>

#include <malloc.h>

#include <numeric>

#include "input/input.h"
#include "render_fixture.h"

using ScreenTest = RenderTest;

TEST_F(ScreenTest, OpensAWindowWithAFreshDrawingStateAndClosesIt) {
  REQUIRE_DISPLAY();
  TPelmoGraphics* g = Open(160, 120);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(CurrentScreen(), g);
  EXPECT_EQ(g->g_width, 160);
  EXPECT_EQ(g->g_height, 120);
  EXPECT_EQ(g->color_red + g->color_green + g->color_blue, 3 * 255);
  EXPECT_EQ(g->color_alpha, 1.0f);
  EXPECT_EQ(g->blend_mode, 1);
  EXPECT_EQ(g->tform_ix, 1.0f);
  EXPECT_EQ(g->tform_jy, 1.0f);
  EXPECT_EQ(g->vres_width, 160.0f);
  EXPECT_EQ(g->vres_mousexscale, 1.0f);
  EXPECT_EQ(g->viewport_w, 160);
  EXPECT_EQ(g->image_font, nullptr);
  EXPECT_EQ(g->flags & 2, 2);
  EXPECT_EQ(Pixel(80, 60), 0u);  // cleared before anything shows

  // A second screen replaces the first with a fresh state.
  SetColor(1, 2, 3);
  g = Open(100, 80);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->color_red, 255);
  EXPECT_EQ(g->g_width, 100);

  CloseScreen();
  EXPECT_EQ(CurrentScreen(), nullptr);
  // Without a screen everything is a harmless no-op.
  SetColor(1, 2, 3);
  DrawRect(0, 0, 10, 10);
  DrawString("text", 0, 0);
  Cls();
  Flip(0);
  FlushDrawing();
  EXPECT_EQ(GrabPixmap(0, 0, 4, 4), nullptr);
}

TEST_F(ScreenTest, RefusesAScreenThatCannotOpen) {
  REQUIRE_DISPLAY();
  Open();
  EXPECT_EQ(OpenScreen(0, 100, 0, 60, 0), nullptr);
  EXPECT_EQ(CurrentScreen(), nullptr);  // the old screen was closed first
  EXPECT_EQ(OpenScreen(100, -4, 0, 60, 0), nullptr);
  EXPECT_EQ(OpenScreen(100000, 100, 0, 60, 0), nullptr);
}

TEST_F(ScreenTest, BackEndsHaveTheirNamesAndChangingOneClosesTheScreen) {
  EXPECT_EQ(CurrentGraphicsDriver(), GLPelmoDriver());
  EXPECT_EQ(GraphicsDriverName(GLPelmoDriver()), "OpenGL");
  EXPECT_EQ(GraphicsDriverName(D3D9PelmoDriver()), "Direct3D 9");
  EXPECT_EQ(GraphicsDriverName(D3D7PelmoDriver()), "Direct3D 7");
  EXPECT_EQ(D3D9PelmoDriver(), D3D9PelmoDriver());  // one of each
  REQUIRE_DISPLAY();

  SelectGraphicsDriver(GLPelmoDriver(), 2);
  Open();
  SelectGraphicsDriver(GLPelmoDriver(), 2);
  EXPECT_NE(CurrentScreen(), nullptr);  // the same back end: the screen stays
  SelectGraphicsDriver(D3D9PelmoDriver(), 2);
  EXPECT_EQ(CurrentScreen(), nullptr);
  TPelmoGraphics* g = OpenScreen(120, 90, 0, 60, 0);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->driver, D3D9PelmoDriver());
  EXPECT_EQ(g->flags, 2);  // the back end's default flags are added
  // It draws like the others.
  SetBlend(2);
  SetColor(0, 255, 0);
  DrawRect(10, 10, 20, 20);
  EXPECT_EQ(Pixel(15, 15), 0x00ff00u);
  SelectGraphicsDriver(D3D7PelmoDriver(), 2);
  EXPECT_EQ(CurrentGraphicsDriver(), D3D7PelmoDriver());
}

TEST_F(ScreenTest, ListsTheDisplayModesOfTheBackEnd) {
  REQUIRE_DISPLAY();
  const int count = CountScreenModes();
  ASSERT_GE(count, 1);  // the X server's screen at least
  int w, h, depth, hertz;
  ASSERT_TRUE(GetScreenMode(0, w, h, depth, hertz));
  EXPECT_GT(w, 0);
  EXPECT_GT(h, 0);
  EXPECT_GE(depth, 16);
  EXPECT_EQ(ScreenModeExists(w, h, depth, hertz), 1);
  EXPECT_EQ(ScreenModeExists(w, h, 0, 0), 1);  // 0 matches anything
  EXPECT_EQ(ScreenModeExists(0, 0, 0, 0), 1);
  EXPECT_EQ(ScreenModeExists(w + 1, h, 0, 0), 0);
  EXPECT_EQ(ScreenModeExists(w, h, 8, 0), 0);
  EXPECT_FALSE(GetScreenMode(count, w, h, depth, hertz));
  EXPECT_EQ(w, 0);
  EXPECT_FALSE(GetScreenMode(-1, w, h, depth, hertz));
  // Every back end lists the same display.
  SelectGraphicsDriver(D3D7PelmoDriver(), 2);
  EXPECT_EQ(CountScreenModes(), count);
}

TEST_F(ScreenTest, FullscreenOpensAtAListedModeWithThePointerCentred) {
  REQUIRE_DISPLAY();
  int w, h, depth, hertz;
  ASSERT_TRUE(GetScreenMode(0, w, h, depth, hertz));
  TPelmoGraphics* g = OpenScreen(w, h, depth, 0, 0);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->g_width, w);
  EXPECT_EQ(g->g_height, h);
  EXPECT_EQ(Input.MouseX, w / 2);
  EXPECT_EQ(Input.MouseY, h / 2);
  // Fullscreen follows the retrace when it has a rate, and never sleeps.
  const uint32_t t0 = ClockMs();
  Flip(-1);
  EXPECT_EQ(Render.SwapInterval, 0);
  ASSERT_NE(OpenScreen(w, h, depth, 60, 0), nullptr);
  Flip(-1);
  EXPECT_EQ(Render.SwapInterval, 1);
  EXPECT_EQ(ClockMs(), t0);
}

TEST_F(ScreenTest, FlipPacesAWindowAt60HertzWithTheMillisecondCarry) {
  REQUIRE_DISPLAY();
  int pumps = 0;
  Input.EventScript = [&pumps] { ++pumps; };
  Open();
  std::vector<int> intervals;
  uint32_t last = ClockMs();
  for (int i = 0; i < 60; ++i) {
    Flip(-1);
    intervals.push_back(static_cast<int>(ClockMs() - last));
    last = ClockMs();
  }
  for (int interval : intervals) EXPECT_TRUE(interval == 16 || interval == 17) << interval;
  EXPECT_EQ(std::accumulate(intervals.begin(), intervals.end(), 0), 1000);
  EXPECT_EQ(pumps, 60);  // events are read at every flip

  // A late frame is not caught up: the next one waits a whole period from now.
  SleepMs(100);
  last = ClockMs();
  Flip(-1);
  EXPECT_EQ(ClockMs(), last);
  Flip(-1);
  EXPECT_GE(ClockMs() - last, 16u);
  EXPECT_LE(ClockMs() - last, 17u);

  // Flip(0) and Flip(1) never sleep.
  last = ClockMs();
  Flip(0);
  EXPECT_EQ(Render.SwapInterval, 0);
  Flip(1);
  EXPECT_EQ(Render.SwapInterval, 1);
  EXPECT_EQ(ClockMs(), last);

  // A window opened without a rate is not paced.
  ASSERT_NE(OpenScreen(100, 80, 0, 0, 0), nullptr);
  last = ClockMs();
  Flip(-1);
  Flip(-1);
  EXPECT_EQ(ClockMs(), last);
}

TEST_F(ScreenTest, AScreenOnAWindowMadeElsewhereFlipsOnTheRetrace) {
  REQUIRE_DISPLAY();
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0);
  SDL_Window* window = SDL_CreateWindow("attached", 0, 0, 90, 70, SDL_WINDOW_OPENGL);
  ASSERT_NE(window, nullptr);
  TPelmoGraphics* g = AttachScreen(window, 0);
  ASSERT_NE(g, nullptr);
  EXPECT_FALSE(g->opened);
  EXPECT_EQ(g->g_width, 90);
  const uint32_t t0 = ClockMs();
  Flip(-1);
  EXPECT_EQ(Render.SwapInterval, 1);
  EXPECT_EQ(ClockMs(), t0);
  CloseScreen();
  EXPECT_EQ(SDL_GetWindowFromID(SDL_GetWindowID(window)), window);  // the window is not ours to close
  SDL_DestroyWindow(window);

  SDL_Window* plain = SDL_CreateWindow("no GL", 0, 0, 50, 50, 0);
  EXPECT_EQ(AttachScreen(plain, 0), nullptr);
  SDL_DestroyWindow(plain);
}

TEST_F(ScreenTest, VirtualSizeStretchesTheDrawingSpaceAndScalesThePointer) {
  REQUIRE_DISPLAY();
  TPelmoGraphics* g = Open(800, 600);
  ASSERT_NE(g, nullptr);
  SetVirtualSize(1280, 960);
  EXPECT_FLOAT_EQ(g->vres_mousexscale, 1.6f);
  EXPECT_FLOAT_EQ(g->vres_mouseyscale, 1.6f);
  Input.MouseX = 100;
  Input.MouseY = 50;
  EXPECT_FLOAT_EQ(VirtualMouseX(), 160.0f);
  EXPECT_FLOAT_EQ(VirtualMouseY(), 80.0f);

  // A pending window event counts before the position is answered.
  Input.EventScript = nullptr;  // the window system itself
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.windowID = SDL_GetWindowID(Render.Window);
  motion.motion.x = 200;
  motion.motion.y = 150;
  ASSERT_EQ(SDL_PushEvent(&motion), 1);
  EXPECT_FLOAT_EQ(VirtualMouseX(), 320.0f);
  EXPECT_FLOAT_EQ(VirtualMouseY(), 240.0f);

  // Virtual (0, 0)-(640, 480) is the top-left quarter of the window.
  SetBlend(2);
  SetColor(255, 0, 0);
  DrawRect(0, 0, 640, 480);
  EXPECT_EQ(Pixel(399, 299), 0xff0000u);
  EXPECT_EQ(Pixel(400, 300), 0u);

  // The pointer moves to real (x / scale, y / scale), truncated, and is there at once.
  MovePointer(641, 479);
  EXPECT_EQ(Input.MouseX, 400);
  EXPECT_EQ(Input.MouseY, 299);

  SetVirtualSize(0, 100);  // nonsense is ignored
  EXPECT_FLOAT_EQ(g->vres_width, 1280.0f);

  SetPointerVisible(0);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  SetPointerVisible(1);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

// AddressSanitizer brings its own allocator: the C library's tuning and counts do not reach it.
#if defined(__SANITIZE_ADDRESS__)
#define VQ_ASAN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VQ_ASAN_ALLOCATOR 1
#endif
#endif

TEST_F(ScreenTest, MemoryTuningKeepsLargeBlocksInTheHeap) {
#ifdef VQ_ASAN_ALLOCATOR
  GTEST_SKIP() << "under AddressSanitizer malloc is the sanitizer's: mallopt and mallinfo2 see nothing";
#endif
  TuneMemoryForDrawing();
  const int mapped = mallinfo2().hblks;
  // Below the tuned threshold, and above any block the earlier tests of this program free: without
  // the tuning the C library's threshold only grows to the size of freed mappings.
  void* block = std::malloc(24 << 20);
  ASSERT_NE(block, nullptr);
  static_cast<volatile char*>(block)[0] = 1;
  EXPECT_EQ(mallinfo2().hblks, mapped);  // not a separate mapping
  std::free(block);
}
