// The pause menu: Escape in a game stops it inside the frame end and offers "Continue" and "Quit" over
// a slowly spinning, pulsing snapshot of the game, with the window title scattered across it in faint
// colours.
#include <cmath>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"

namespace {

constexpr int64_t TitleSeed = 37171650;  // the scattered titles lie where this seed puts them

double SinDegrees(double degrees) { return std::sin(degrees * 3.14159265358979323846 / 180.0); }

// Waits, answering the window meanwhile, until Escape is up, or until the program is asked to end
// (the window closed, a termination signal): the next frame end then runs the exit screen.
void WaitForEscapeRelease() {
  while (IsKeyDown(27) && !EndRequested()) SleepMs(2);
}

bool AnySet(int slot) {
  for (int set = 1; set <= 4; ++set)
    if (ControlDown(slot, set)) return true;
  return false;
}

// Titles first..last of the scattered window titles, each turned 2 degrees further than the one
// before; their colours and places come from the generator as the caller seeded it.
void ScatterTitles(int first, int last, float spin) {
  const std::string title = WindowTitle();
  for (int i = first; i <= last; ++i) {
    Rotate(spin + 2.0f * i);
    const int r = RandInt(1, 5), g = RandInt(1, 5), b = RandInt(1, 5);
    Colour(50 * r, 50 * g, 50 * b, 0.4);
    const int x = RandInt(0, Display.VirtualWidth);
    const int y = RandInt(0, Display.VirtualHeight);
    WriteText(x, y, title, 1, 1);
  }
}

}  // namespace

int PauseMenu() {
  WaitForEscapeRelease();
  // The back buffer still holds the game's frame drawn before the frame end began.
  std::shared_ptr<TImage> snapshot = CreateBlankImage(Display.ScreenWidth, Display.ScreenHeight, 1, ImageDynamic);
  GrabImageFrame(snapshot, 0, 0, 0);

  float spin = 0, wave = 0;
  int sel = 0;        // 0 "Continue", 1 "Quit"
  bool held = true;   // an input down when the menu opened does nothing until it is released
  int result = 0;
  while (result == 0) {
    // Read every frame: the settings panel's Apply may change the space while the menu runs.
    const int vw = Display.VirtualWidth, vh = Display.VirtualHeight;
    BeginFrame(1);
    ResetDraw();
    SetBlendKind(1);
    wave += 0.4f;
    const float sx = static_cast<float>(1.5 + 0.5 * SinDegrees(wave));
    const float sy = static_cast<float>(1.5 + 0.5 * SinDegrees(1.3 * wave));
    Scale(sx, sy);
    spin += 0.1f;
    Rotate(spin);
    SelectFont(Display.Fonts[7]);
    DrawImageFrame(snapshot, static_cast<float>(vw / 2), static_cast<float>(vh / 2), 0);

    // The same seed every frame: the titles stand still, only their rotation changes.
    SeedRnd(TitleSeed);
    ScatterTitles(1, 140, spin);

    Rotate(0);
    Scale(1);
    Colour(0, 0, 0, 0.5);
    const int boxY = TruncToInt(vh * 0.375);
    DrawRect(static_cast<float>(vw * 0.1), static_cast<float>(vh * 0.375), static_cast<float>(vw / 6),
             static_cast<float>(vh / 4));

    const bool up = AnySet(SlotUp) || IsKeyDown(38);
    const bool down = AnySet(SlotDown) || IsKeyDown(40);
    const bool fire = AnySet(SlotButtonBottom) || AnySet(SlotButtonRight) || IsKeyDown(32);
    if (up && !held) {
      --sel;
      held = true;
    }
    if (down && !held) {
      ++sel;
      held = true;
    }
    if (!up && !down && !fire) held = false;

    Colour(255, 255, 255);
    SelectFont(Display.Fonts[7]);
    // Above the first item the choice wraps before drawing; below the last only after it, so moving
    // down from "Quit" shows one frame without a highlight.
    if (sel < 0) sel = 1;
    const struct {
      const char* word;
      int choice;
    } items[2] = {{"Continue", 1}, {"Quit", 99}};
    for (int i = 0; i < 2; ++i) {
      int offset = 0;
      Colour(255, 255, 255, 1);
      if (sel == i) {
        Colour(255, 255, 0, 1);
        offset = 20;
        if (fire && !held) {
          held = true;
          result = items[i].choice;
        }
      }
      WriteText(TruncToInt(vw * 0.1 + offset + 10), boxY + 60 * (i + 1), items[i].word);
    }
    if (sel > 1) sel = 0;

    // Forty more titles, continuing the same sequence, lie over the box and the words.
    Scale(sx, sy);
    ScatterTitles(141, 180, spin);

    FrameEnd(1);
    if (IsKeyDown(27)) result = sel == 1 ? 99 : 1;
  }

  SeedRnd(ClockMs());
  WaitForEscapeRelease();  // the game never sees the Escape that closed the menu
  return result;
}
