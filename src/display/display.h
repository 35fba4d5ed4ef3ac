// display: the screen mode and virtual drawing space, the per-frame sprite counts, and the frame
// end that every screen loop calls once per frame.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct Notice {
  int tick = 0;     // frames shown so far
  std::string txt;
  int c = 0;        // kind given by the poster
};

struct DisplayState {
  int ScreenWidth = 800, ScreenHeight = 600;     // real pixels
  int VirtualWidth = 1280, VirtualHeight = 960;  // the drawing space every screen lays out in
  int GraphicsReady = 0;                         // 1 after the first complete set-up

  std::array<int, 20> SpriteBudget{};  // by sprite kind: 1 main, 2 glow, 3 particles
  std::array<int, 20> SpritesDrawn{};

  std::array<float, 3> BackColour{0.2f, 0.0f, 1.0f};  // menu background, eased toward BackTarget
  std::array<float, 3> BackTarget{0.2f, 0.0f, 1.0f};

  // Frame end.
  int FrameParity = 0;
  int OverlayOn = 1;
  int LastCollected = 0;
  int FpsSmooth = 0;
  uint32_t LastFrameTime = 0;   // ms, clock at the end of the previous frame
  int PointerX = 0, PointerY = 0, PointerPrevX = 0, PointerPrevY = 0;  // virtual units
  std::vector<Notice> Notices;  // oldest first
  int PauseState = 0;           // 0 no game, 1 pause allowed, 2 pause menu running
  uint32_t GameStartTime = 0;   // ms
};
extern DisplayState Display;

// Fresh display state (tests).
void ResetDisplayState();

// Opens the screen from the setup values. Ends the program with a message when no window can be
// opened at all.
void ApplyGraphicsSettings();
// Start of every frame: clear (when clear is 1) and reset the per-frame sprite counts.
void BeginFrame(int clear);
// End of every frame: paces to 60 frames per second, presents, measures the frame rate, and runs
// the exit screen on Alt+F4 or a window close. Returns the pause menu's result, 0 when it did not run.
int FrameEnd(int showPointer);
