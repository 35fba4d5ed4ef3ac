// Screens and back ends: choosing a back end, its mode list, opening and closing screens, the
// frame flip with its software pacing, the virtual size and the pointer.
#include <cstdio>

#include "core/core.h"
#include "input/input.h"
#include "render/render_internal.h"

namespace {

// One try at starting the window system; false (and not started) when it is not there or only a
// headless driver answered.
bool TryInitVideo() {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // Without a display the window system falls back to drivers that show nothing; the program would
  // then run unseen. They count as no display unless asked for by name (SDL_VIDEODRIVER).
  const char* driver = SDL_GetCurrentVideoDriver();
  const char* asked = SDL_getenv("SDL_VIDEODRIVER");
  const bool headless = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
  if (headless && !(asked && SDL_strcasecmp(asked, driver) == 0)) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  return true;
}

bool InitVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  // A display that is named but does not answer at once (a busy X server refusing a connection for a
  // moment) is tried a few more times before the program takes it for none.
  const char* display = SDL_getenv("DISPLAY");
  const int tries = display && *display ? 4 : 1;
  for (int i = 0; i < tries; ++i) {
    if (TryInitVideo()) return true;
    if (i + 1 < tries) {
      std::fprintf(stderr, "The display %s did not answer; trying again\n", display);
      SDL_Delay(250);
    }
  }
  return false;
}

// A screen never opens larger than this on either side (no display or texture reaches it).
constexpr int MaxScreenSide = 16384;

// Software pacing: the due time advances by 1000 div hertz per flip, and the remainder of that
// division is carried so that 60 hertz gives intervals of 16 or 17 ms, 16.67 ms on average.
void PaceFrame(int hertz) {
  const int period = 1000 / hertz;
  const int remainder = 1000 - period * hertz;
  const uint32_t now = ClockMs();
  if (!Render.PaceStarted) {
    Render.PaceStarted = true;
    Render.PaceDue = now;
  }
  Render.PaceDue += static_cast<uint32_t>(period);
  Render.PaceCarry += remainder;
  if (Render.PaceCarry >= hertz) {
    Render.PaceCarry -= hertz;
    Render.PaceDue += 1;
  }
  const int ahead = static_cast<int32_t>(Render.PaceDue - now);
  if (ahead > 0) SleepMs(ahead);
  else Render.PaceDue = now;  // late: no catching up
}

// Makes g the current state of a screen whose window and context the back end just made.
TPelmoGraphics* BeginScreen(TPelmoDriver* driver, int depth, int hertz, int flags, bool opened) {
  auto g = std::make_unique<TPelmoGraphics>();
  SDL_GL_GetDrawableSize(Render.Window, &g->g_width, &g->g_height);
  g->viewport_w = g->g_width;
  g->viewport_h = g->g_height;
  g->vres_width = static_cast<float>(g->g_width);
  g->vres_height = static_cast<float>(g->g_height);
  g->driver = driver;
  g->depth = depth;
  g->hertz = hertz;
  g->flags = flags;
  g->opened = opened;
  Render.Current = std::move(g);
  Render.ScreenSeq += 1;
  Render.ScreenAlive = std::make_shared<int>(Render.ScreenSeq);
  Render.PaceStarted = false;
  Render.PaceCarry = 0;
  driver->SetGraphics(Render.Current.get());

  // A new screen never shows a stale picture: clear and present twice.
  for (int i = 0; i < 2; ++i) {
    driver->Cls();
    driver->Flip(0);
  }
  return Render.Current.get();
}

}  // namespace

// ---- Back ends -------------------------------------------------------------------------------------
TPelmoDriver* GLPelmoDriver() {
  if (!Render.Drivers[0]) Render.Drivers[0] = std::make_unique<TGLPelmoDriver>();
  return Render.Drivers[0].get();
}

TPelmoDriver* D3D9PelmoDriver() {
  if (!Render.Drivers[1]) Render.Drivers[1] = std::make_unique<TD3D9PelmoDriver>();
  return Render.Drivers[1].get();
}

TPelmoDriver* D3D7PelmoDriver() {
  if (!Render.Drivers[2]) Render.Drivers[2] = std::make_unique<TD3D7PelmoDriver>();
  return Render.Drivers[2].get();
}

TPelmoDriver* CurrentGraphicsDriver() {
  if (!Render.Driver) Render.Driver = GLPelmoDriver();
  return Render.Driver;
}

std::string GraphicsDriverName(const TPelmoDriver* driver) { return driver ? driver->Name() : std::string(); }

void SelectGraphicsDriver(TPelmoDriver* driver, int defaultFlags) {
  if (!driver) return;
  if (driver != CurrentGraphicsDriver()) CloseScreen();
  Render.Driver = driver;
  Render.DriverFlags = defaultFlags;
}

const std::vector<TGraphicsMode>& TGLPelmoDriver::GraphicsModes() {
  if (modesListed_ || !InitVideo()) return modes_;
  const int count = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode mode;
    if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
    // A 24-bit colour mode stored in four bytes is what desktops call 32 bits.
    modes_.push_back({mode.w, mode.h, static_cast<int>(SDL_BYTESPERPIXEL(mode.format)) * 8, mode.refresh_rate});
  }
  modesListed_ = count >= 0;
  return modes_;
}

int CountScreenModes() { return static_cast<int>(CurrentGraphicsDriver()->GraphicsModes().size()); }

bool GetScreenMode(int index, int& width, int& height, int& depth, int& hertz) {
  const auto& modes = CurrentGraphicsDriver()->GraphicsModes();
  width = height = depth = hertz = 0;
  if (index < 0 || index >= static_cast<int>(modes.size())) return false;
  width = modes[index].width;
  height = modes[index].height;
  depth = modes[index].depth;
  hertz = modes[index].hertz;
  return true;
}

int ScreenModeExists(int width, int height, int depth, int hertz) {
  for (const TGraphicsMode& m : CurrentGraphicsDriver()->GraphicsModes()) {
    if ((width == 0 || m.width == width) && (height == 0 || m.height == height) &&
        (depth == 0 || m.depth == depth) && (hertz == 0 || m.hertz == hertz))
      return 1;
  }
  return 0;
}

// ---- Screens ---------------------------------------------------------------------------------------
bool TGLPelmoDriver::CreateGraphics(int width, int height, int depth, int hertz, int flags) {
  (void)flags;  // always double-buffered
  if (!InitVideo()) return false;
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  Uint32 windowFlags = SDL_WINDOW_OPENGL;
  if (depth != 0) windowFlags |= SDL_WINDOW_FULLSCREEN;
  SDL_Window* window =
      SDL_CreateWindow(Utf8FromLatin1(Render.AppTitle).c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                       width, height, windowFlags);
  if (!window) return false;
  if (depth != 0) {
    SDL_DisplayMode mode{};
    mode.w = width;
    mode.h = height;
    mode.refresh_rate = hertz;
    mode.format = depth <= 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
    SDL_SetWindowDisplayMode(window, &mode);
  }
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return false;
  }
  Render.Window = window;
  Render.GLContext = context;
  Render.OwnsWindow = true;
  return true;
}

bool TGLPelmoDriver::AttachGraphics(SDL_Window* window, int flags) {
  (void)flags;
  if (!window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return false;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) return false;
  Render.Window = window;
  Render.GLContext = context;
  Render.OwnsWindow = false;
  return true;
}

void TGLPelmoDriver::Flip(int sync) {
  if (!Render.Window) return;
  if (Render.SwapInterval != sync) {
    SDL_GL_SetSwapInterval(sync);  // a window system without retrace control presents at once
    Render.SwapInterval = sync;
  }
  SDL_GL_SwapWindow(Render.Window);
}

TPelmoGraphics* OpenScreen(int width, int height, int depth, int hertz, int flags) {
  CloseScreen();
  if (width <= 0 || height <= 0 || width > MaxScreenSide || height > MaxScreenSide) return nullptr;
  TPelmoDriver* driver = CurrentGraphicsDriver();
  flags |= Render.DriverFlags;
  if (!driver->CreateGraphics(width, height, depth, hertz, flags)) return nullptr;
  TPelmoGraphics* g = BeginScreen(driver, depth, hertz, flags, true);
  if (depth != 0) MovePointer(g->g_width / 2.0f, g->g_height / 2.0f);
  return g;
}

TPelmoGraphics* AttachScreen(SDL_Window* window, int flags) {
  CloseScreen();
  TPelmoDriver* driver = CurrentGraphicsDriver();
  flags |= Render.DriverFlags;
  if (!driver->AttachGraphics(window, flags)) return nullptr;
  return BeginScreen(driver, 0, 0, flags, false);
}

void CloseScreen() {
  // The batch's own textures go while their context still lives; every other texture sees the
  // screen gone and is remade from its kept pixels on the next screen.
  Render.Batch.reset();
  Render.ScreenAlive.reset();
  if (Render.GLContext) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(Render.GLContext));
  if (Render.Window && Render.OwnsWindow) SDL_DestroyWindow(Render.Window);
  Render.GLContext = nullptr;
  Render.Window = nullptr;
  Render.OwnsWindow = true;
  Render.Current.reset();
  Render.SwapInterval = -2;
}

TPelmoGraphics* CurrentScreen() { return Render.Current.get(); }

void Flip(int sync) {
  PumpEvents();
  TPelmoGraphics* g = CurrentScreen();
  if (!g || !Render.Window) return;
  FlushBatch();
  int interval = sync == 1 ? 1 : 0;
  if (sync == -1) {
    if (!g->opened) {
      interval = 1;
    } else if (g->depth == 0) {
      if (g->hertz > 0) {
        glFlush();  // the rasteriser works while we wait
        PaceFrame(g->hertz);
      }
    } else {
      interval = g->hertz > 0 ? 1 : 0;
    }
  }
  g->driver->Flip(interval);
}

void FlushDrawing() {
  if (!CurrentScreen()) return;
  FlushBatch();
  glFlush();
}

// ---- Virtual size and pointer ------------------------------------------------------------------------
void SetVirtualSize(float width, float height) {
  TPelmoGraphics* g = CurrentScreen();
  if (!g || !(width > 0) || !(height > 0)) return;
  g->vres_width = width;
  g->vres_height = height;
  g->vres_mousexscale = width / static_cast<float>(g->g_width);
  g->vres_mouseyscale = height / static_cast<float>(g->g_height);
  g->driver->SetResolution(width, height);
  // The viewport follows: the whole virtual screen.
  g->viewport_x = g->viewport_y = 0;
  g->viewport_w = TruncToInt(width);
  g->viewport_h = TruncToInt(height);
  g->driver->SetViewport(g->viewport_x, g->viewport_y, g->viewport_w, g->viewport_h);
}

// The pointer as the window events delivered up to now leave it.
float VirtualMouseX() {
  PumpEvents();
  const TPelmoGraphics* g = CurrentScreen();
  return static_cast<float>(Input.MouseX) * (g ? g->vres_mousexscale : 1.0f);
}

float VirtualMouseY() {
  PumpEvents();
  const TPelmoGraphics* g = CurrentScreen();
  return static_cast<float>(Input.MouseY) * (g ? g->vres_mouseyscale : 1.0f);
}

void MovePointer(float x, float y) {
  const TPelmoGraphics* g = CurrentScreen();
  const int rx = TruncToInt(x / (g ? g->vres_mousexscale : 1.0f));
  const int ry = TruncToInt(y / (g ? g->vres_mouseyscale : 1.0f));
  if (Render.Window) SDL_WarpMouseInWindow(Render.Window, rx, ry);
  // The new position holds at once, before the window system reports the move.
  Input.MouseX = rx;
  Input.MouseY = ry;
}

void SetPointerVisible(int visible) {
  if (!InitVideo()) return;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
