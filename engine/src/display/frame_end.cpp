// The frame end: the framework's services of every frame, in a fixed order.
#include <malloc.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"

void ShowNotice(const std::string& text, int kind) { Display.Notices.push_back(Notice{0, text, kind}); }

int64_t AllocatedBytes() {
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd);
}

static void DrawOverlay() {
  WriteText(2, 2, std::to_string(Display.FpsSmooth));
  SelectFont(Display.Fonts[2]);
  const auto& drawn = Display.SpritesDrawn;
  const auto& budget = Display.SpriteBudget;
  WriteText(2, 40, "Collection : " + std::to_string(Display.LastCollected));
  WriteText(2, 60, "Used Memory : " + std::to_string(AllocatedBytes()));
  WriteText(2, 80, "Drawn Images : " + std::to_string(drawn[1]) + "/" + std::to_string(budget[1]));
  WriteText(2, 100, "Drawn Glow : " + std::to_string(drawn[2]) + "/" + std::to_string(budget[2]));
  WriteText(2, 120, "Drawn Particles : " + std::to_string(drawn[3]) + "/" + std::to_string(budget[3]));
  WriteText(2, 150, "Hit F12 to remove this");
}

// The oldest notice at the bottom, newer ones stacked 14 units above; each shows 180 frames, the
// first 59 highlighted.
static void DrawNotices() {
  int y = Display.VirtualHeight - 16;
  Scale(1, 1);
  SelectFont(Display.Fonts[3]);
  for (auto it = Display.Notices.begin(); it != Display.Notices.end();) {
    Notice& n = *it;
    ++n.tick;
    const bool fresh = n.tick < 60;
    if (fresh) Colour(255, 255, 0, 0.7);
    else Colour(0, 0, 0, 0.7);
    DrawRect(0, static_cast<float>(y), static_cast<float>(StringWidth(n.txt)), static_cast<float>(FontHeight()));
    if (fresh) Colour(0, 0, 0, 1);
    else Colour(255, 255, 255, 1);
    WriteText(0, y, n.txt);
    y -= 14;
    it = n.tick >= 180 ? Display.Notices.erase(it) : it + 1;
  }
}

// The slow-system switch as it stands now: the settings panel, or an engine test that its Apply
// starts, may change it in the middle of a frame end.
static bool SlowSystem() { return Core.SetupValues[SetupESS] == 1; }

int FrameEnd(int showPointer) {
  int pauseResult = 0;

  if (Hooks.DrawScorePops) Hooks.DrawScorePops();

  if (TakeKeyHits(9) > 0) {  // Tab
    Display.SettingsOpen = 1 - Display.SettingsOpen;
    if (Hooks.WriteSetup) Hooks.WriteSetup();
  }

  // Memory is released the moment nothing refers to it any more, so a collection finds nothing.
  if (Display.FrameParity == 1) Display.LastCollected = 0;

  // A slow system acts on F11 and Escape on presented frames only.
  if (Display.FrameParity == 0 || !SlowSystem()) {
    if (TakeKeyHits(122) > 0 && Hooks.TakeScreenshot) Hooks.TakeScreenshot();
    if (IsKeyDown(27) && Display.PauseState == 1) {
      Display.PauseState = 2;
      const uint32_t t0 = ClockMs();
      if (Hooks.PauseMenu) pauseResult = Hooks.PauseMenu();
      Display.PauseState = 1;
      Display.GameStartTime += ClockMs() - t0;  // game timers do not count the paused time
    }
  }

  if (Hooks.SettingsScreen) Hooks.SettingsScreen();

  ResetDraw();
  Scale(1.5f);
  SelectFont(Display.Fonts[1]);
  if (TakeKeyHits(123) > 0) Display.OverlayOn = 1 - Display.OverlayOn;  // F12
  if (Display.OverlayOn == 1) DrawOverlay();

  // The pointer's 16 x 16 icon is centred on its handle: at scale 1.5 its top-left is the mouse.
  if (showPointer == 1 || Display.SettingsOpen == 1)
    DrawImageFrame(Display.IconsFiltered, VirtualMouseX() + 12, VirtualMouseY() + 12, 63);

  Display.PointerPrevX = Display.PointerX;
  Display.PointerPrevY = Display.PointerY;
  Display.PointerX = TruncToInt(VirtualMouseX());
  Display.PointerY = TruncToInt(VirtualMouseY());

  // Pace to 60 frames per second in 1 ms sleeps. The frame's drawing goes to the driver first, so a
  // rasteriser that works only once commands are flushed uses the sleep instead of adding to it.
  FlushDrawing();
  do {
    SleepMs(1);
  } while (static_cast<double>(static_cast<int32_t>(ClockMs() - Display.LastFrameTime)) < 1000.0 / 60.0 - 2.0);

  if (Hooks.MusicTick) Hooks.MusicTick();
  ServiceAudio();  // the audio back end looks after its device (one that went away, one that came back)

  DrawNotices();

  // Present at once (the pacing above replaces the retrace wait); a slow system presents every
  // second frame only.
  if (!SlowSystem() || Display.FrameParity == 0) {
    Flip(0);
    ++Display.FramesPresented;
  }

  const uint32_t now = ClockMs();
  const int frameTime = static_cast<int32_t>(now - Display.LastFrameTime);
  if (frameTime > 0) Display.FpsSmooth = (1000 / frameTime + 2 * Display.FpsSmooth) / 3;
  Display.LastFrameTime = now;

  Display.FrameParity = 1 - Display.FrameParity;

  if ((IsKeyDown(115) && (IsKeyDown(164) || IsKeyDown(165))) || TakeCloseRequest()) {
    if (Hooks.ExitScreen) Hooks.ExitScreen();
  }
  return pauseResult;
}
