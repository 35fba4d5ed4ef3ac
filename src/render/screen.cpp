// Screens over SDL2 with an OpenGL 1.1 compatibility context, and the frame flip.
#include <GL/gl.h>
#include <SDL.h>

#include "input/input.h"
#include "render/render.h"

RenderState Render;

static bool InitVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  return SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

void ResetRenderState() {
  CloseScreen();
  Render = RenderState{};
}

void SetAppTitle(const std::string& title) {
  Render.AppTitle = title;
  if (Render.Window) SDL_SetWindowTitle(Render.Window, title.c_str());
}

TPelmoGraphics* CurrentScreen() { return Render.Current.get(); }

void CloseScreen() {
  if (Render.GLContext) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(Render.GLContext));
  if (Render.Window) SDL_DestroyWindow(Render.Window);
  Render.GLContext = nullptr;
  Render.Window = nullptr;
  Render.Current.reset();
}

TPelmoGraphics* OpenScreen(int width, int height, int depth, int hertz, int flags) {
  CloseScreen();
  if (width <= 0 || height <= 0 || !InitVideo()) return nullptr;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  Uint32 windowFlags = SDL_WINDOW_OPENGL;
  if (depth != 0) windowFlags |= SDL_WINDOW_FULLSCREEN;
  SDL_Window* window = SDL_CreateWindow(Render.AppTitle.c_str(), SDL_WINDOWPOS_CENTERED,
                                        SDL_WINDOWPOS_CENTERED, width, height, windowFlags);
  if (!window) return nullptr;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return nullptr;
  }
  Render.Window = window;
  Render.GLContext = context;
  auto g = std::make_unique<TPelmoGraphics>();
  SDL_GL_GetDrawableSize(window, &g->g_width, &g->g_height);
  g->viewport_w = g->g_width;
  g->viewport_h = g->g_height;
  g->vres_width = static_cast<float>(g->g_width);
  g->vres_height = static_cast<float>(g->g_height);
  g->depth = depth;
  g->hertz = hertz;
  g->flags = flags;
  Render.Current = std::move(g);
  Render.PaceStarted = false;
  Render.PaceCarry = 0;

  // A new screen never shows a stale picture: clear and present twice.
  for (int i = 0; i < 2; ++i) {
    Cls();
    SDL_GL_SwapWindow(window);
  }
  return Render.Current.get();
}

void Cls() {
  TPelmoGraphics* g = CurrentScreen();
  if (!g) return;
  glClearColor(g->clscolor_red / 255.0f, g->clscolor_green / 255.0f, g->clscolor_blue / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Software pacing: the due time advances by 1000 div hertz per flip, and the remainder of that
// division is carried so that 60 hertz gives intervals of 16 or 17 ms, 16.67 ms on average.
static void PaceFrame(int hertz) {
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
  const int ahead = static_cast<int>(Render.PaceDue - now);
  if (ahead > 0) SleepMs(ahead);
  else Render.PaceDue = now;  // late: no catching up
}

void Flip(int sync) {
  PumpEvents();
  TPelmoGraphics* g = CurrentScreen();
  if (!g || !Render.Window) return;
  int interval = sync == 1 ? 1 : 0;
  if (sync == -1) {
    if (g->depth == 0 && g->hertz > 0) PaceFrame(g->hertz);
    else if (g->depth != 0 && g->hertz > 0) interval = 1;
  }
  SDL_GL_SetSwapInterval(interval);
  SDL_GL_SwapWindow(Render.Window);
}

void SetPointerVisible(int visible) {
  if (!InitVideo()) return;
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}
