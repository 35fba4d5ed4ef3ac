// The engine test: how many rotated, scaled sprites this machine draws while holding the target
// frame rate. The logos slide in, then growing numbers of invisible sprites are drawn until the
// frame rate falls; the sprite budgets follow from the best count that held.
#include <cstdio>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"

// "2" for 2, "1.5" for 1.5.
static std::string NumberText(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

static void DrawLogos(float p) {
  const float vw = static_cast<float>(Display.VirtualWidth), vh = static_cast<float>(Display.VirtualHeight);
  Scale(1.5f);
  DrawImageFrame(Display.LogoImage, vw * 0.3f * p, vh * 0.3f, 0);
  DrawImageFrame(Display.SiteLogo, vw - vw * 0.3f * p, vh - vh * 0.3f, 0);
  Scale(1);
}

void EngineTest(int targetFps, float testScale) {
  // The test may run in the middle of a game (the settings panel's Apply): its frames are not the
  // game's, so Escape does not open the pause menu over them.
  const int pauseState = Display.PauseState;
  if (pauseState == 1) Display.PauseState = 0;
  Flip(-1);
  SleepMs(250);
  Display.OverlayOn = 0;
  auto& values = Core.SetupValues;
  const int target = values[SetupESS] == 1 ? 30 : targetFps;
  Display.TargetFps = target;
  auto& budget = Display.SpriteBudget;
  budget[1] = 500;
  budget[2] = 500;
  budget[3] = 250;
  Display.EngineBest = 0;
  DebugLine("Starting Engine Test");
  DebugLine("Aiming for " + std::to_string(target) + "," + NumberText(testScale));

  // The logos slide in over 30 frames.
  for (int n = 500; n <= 15000; n += 500) {
    BeginFrame(1);
    ResetDraw();
    DrawLogos(static_cast<float>(Clamp(n / 500.0 / 15.0 - 1.0, -1.0, 1.0)));
    FrameEnd(0);
  }

  // Ten frames per count; the first count is a warm-up that can neither pass nor stop the test.
  for (int n = 500; n <= 20000; n += 500) {
    Display.EngineCount = n;
    for (int frame = 0; frame < 10; ++frame) {
      BeginFrame(1);
      ResetDraw();
      DrawLogos(1);
      for (int i = 0; i <= n; ++i) {
        SetRotation(static_cast<float>(RandInt(1, 360)));
        Colour(0, 0, 0, 0);
        SetScale(testScale, testScale);
        DrawImageFrame(Display.IconsSharp, static_cast<float>(RandInt(1, Display.VirtualWidth)),
                       static_cast<float>(RandInt(1, Display.VirtualHeight)), 0);
      }
      FrameEnd(0);
    }
    const int fps = Display.FpsSmooth;
    if (n > 500 && fps >= target - 6) Display.EngineBest = n;
    if (n > 500 && fps <= target - 6) break;
  }
  DebugLine("Test Complete");

  // Nine tenths of the best count, the factor a single-precision constant (15000 gives 13499).
  budget[1] = TruncToInt(Display.EngineBest * static_cast<double>(0.9f));
  budget[2] = 500;
  budget[3] = 500;
  for (const std::string& line :
       {std::string(), std::string("Engine Test Results"), std::string(),
        "\tMaximum Sprites Allowed for " + std::to_string(target) + " Frames Per Second",
        "\tMain sprites : " + std::to_string(budget[1]), "\tGlowy Sprites : " + std::to_string(budget[2]),
        "\tParticles : " + std::to_string(budget[3]), std::string()})
    DebugLine(line);

  if (budget[1] < 1000) {  // too slow even for 1000 sprites: present every second frame
    budget[1] = 1000;
    Display.TargetFps = 30;
    values[SetupESS] = 1;
  }
  if (budget[2] < 500) budget[2] = 500;
  if (budget[3] < 250) budget[3] = 250;
  if (Display.TargetFps == 30) DebugLine("Settings Overwritten, Set to Default Lower Limits at 30fps.");
  DebugLine("");
  Display.OverlayOn = 0;
  Display.PauseState = pauseState;
}
