// render: the drawing layer. Screens (a window or a fullscreen mode) with an OpenGL 1.1 context,
// a drawing state, and the frame flip with its optional software pacing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct SDL_Window;

// A display mode.
struct TGraphicsMode {
  int width = 0, height = 0;
  int depth = 0;  // bits per pixel
  int hertz = 0;
};

// The drawing state of one screen.
struct TPelmoGraphics {
  int color_red = 255, color_green = 255, color_blue = 255;
  float color_alpha = 1;
  int clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
  float line_width = 1;
  float tform_rot = 0;
  float tform_scale_x = 1, tform_scale_y = 1;
  float tform_ix = 1, tform_iy = 0, tform_jx = 0, tform_jy = 1;
  int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
  float origin_x = 0, origin_y = 0;
  float handle_x = 0, handle_y = 0;
  int blend_mode = 1;
  float vres_width = 0, vres_height = 0;
  float vres_mousexscale = 1, vres_mouseyscale = 1;
  int g_width = 0, g_height = 0;

  int depth = 0, hertz = 0, flags = 0;  // how the screen was opened
};

struct RenderState {
  std::string AppTitle;                      // the window title, set before any window opens
  SDL_Window* Window = nullptr;
  void* GLContext = nullptr;
  std::unique_ptr<TPelmoGraphics> Current;   // the open screen, if any
  // Software pacing of Flip(-1) in a window.
  uint32_t PaceDue = 0;                      // ms
  int PaceCarry = 0;
  bool PaceStarted = false;
};
extern RenderState Render;

// Closes any screen and forgets the layer's state (tests).
void ResetRenderState();

// Sets the title that windows opened from now on carry.
void SetAppTitle(const std::string& title);
// Opens a screen: depth 0 a window whose drawable area is width x height pixels, otherwise
// fullscreen at that mode; hertz paces Flip(-1). Returns nullptr when the screen cannot be opened.
TPelmoGraphics* OpenScreen(int width, int height, int depth, int hertz, int flags);
void CloseScreen();
// The open screen's drawing state, nullptr when none is open.
TPelmoGraphics* CurrentScreen();
// Fills the back buffer with the clear colour.
void Cls();
// Presents the back buffer after processing window events. sync 0 at once, 1 on the retrace,
// -1 paced in software in a window opened with hertz > 0, on the retrace in fullscreen.
void Flip(int sync = -1);
// Shows (1) or hides (0) the system mouse pointer.
void SetPointerVisible(int visible);
