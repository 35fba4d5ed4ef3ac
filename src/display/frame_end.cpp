// The frame end: the global services of every frame, in a fixed order.
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"

void BeginFrame(int clear) {
  if (clear == 1) Cls();
  for (int kind = 1; kind <= 10; ++kind) Display.SpritesDrawn[kind] = 0;
}

int FrameEnd(int showPointer) {
  (void)showPointer;
  const int pauseResult = 0;
  const bool ess = Core.SetupValues[SetupESS] == 1;

  // Pace: 1 ms sleeps until at least 1000 / 60 - 2 ms have passed since the previous frame ended.
  do {
    SleepMs(1);
  } while (static_cast<double>(static_cast<int32_t>(ClockMs() - Display.LastFrameTime)) < 1000.0 / 60.0 - 2.0);

  // Present at once (the pacing above replaces the retrace wait); a slow system presents every
  // second frame only.
  if (!ess || Display.FrameParity == 0) Flip(0);

  // Measure the frame rate.
  const uint32_t now = ClockMs();
  const int frameTime = static_cast<int32_t>(now - Display.LastFrameTime);
  if (frameTime > 0) Display.FpsSmooth = (1000 / frameTime + 2 * Display.FpsSmooth) / 3;
  Display.LastFrameTime = now;

  Display.FrameParity = 1 - Display.FrameParity;

  // Exit: Alt+F4, or the window's close request.
  if ((IsKeyDown(115) && (IsKeyDown(164) || IsKeyDown(165))) || TakeCloseRequest()) {
    if (Hooks.ExitScreen) Hooks.ExitScreen();
  }
  return pauseResult;
}
