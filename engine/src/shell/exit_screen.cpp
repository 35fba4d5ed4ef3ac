// The single way the program ends: everything saved, the closing log lines, a farewell page that
// waits for the player, then the process ends with status 0.
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "shell/shell.h"

namespace {

// The farewell page, drawn once.
void DrawFarewell() {
  const int vw = Display.VirtualWidth, vh = Display.VirtualHeight;
  BeginFrame(1);
  DrawMenuBackground();
  DrawImageFrame(Display.LogoImage, 256, 256, 0);
  DrawImageFrame(Display.SiteLogo, static_cast<float>(vw - 256), 256, 0);

  SelectSizedFont(1, 6);
  Colour(180, 255, 255);
  WriteText(vw / 2, vh / 2, "Thanks for Playing", 1, 1);

  SelectSizedFont(2, 5);
  const struct {
    int offset;
    int r, g, b;
    const char* text;
  } lines[] = {
      {40, 255, 255, 180, "Why not take the next few minutes to hop back to the site"},
      {80, 255, 255, 180, "where you found this game, and leave a comment."},
      {130, 255, 255, 180, "Good or bad, every little helps."},
      {180, 255, 210, 180, "There are so many wonderful homebrew communities"},
      {220, 255, 210, 180, "and developers out there, who bring you hundreds"},
      {260, 255, 210, 180, "of free games, every month."},
      {320, 255, 255, 180, "Give a little back."},
      {380, 180, 255, 255, "Feedback is King"},
  };
  for (const auto& line : lines) {
    Colour(line.r, line.g, line.b);
    WriteText(40, vh / 2 + line.offset, line.text);
  }
  Flip(0);
}

bool AltF4Held() { return IsKeyDown(115) && (IsKeyDown(164) || IsKeyDown(165)); }

// Any input the page answers to: a control (key, axis, hat, button), the left or right mouse
// button, or Alt+F4 held.
bool AnyInput() { return DetectControl() != 0 || IsMouseDown(1) || IsMouseDown(2) || AltF4Held(); }

}  // namespace

void ExitScreen() {
  SetPointerVisible(1);
  // A quit while the screen opens or the machine is measured is not a crash: the next run keeps
  // its drawing back end.
  RemoveCrashMarker();
  WriteSetup();
  if (!StoreHeldGame()) SaveScores();  // a game ended from inside the name entry is kept
  for (const char* line : {"Closing Up", "", "Bye!", "", "Play again, soon!!"}) DebugLine(line);

  DrawFarewell();

  // The input that led here (the Escape or the click) must be let go first, for about two seconds
  // at most; then any input ends the page. Both waits sleep between looks and keep the window
  // answering. Closing the window ends the page at once, and a termination signal (the system
  // shutting down, Ctrl+C in a terminal) does not wait at all.
  bool closed = Input.Terminating;
  auto windowClosed = [&closed] { return closed = closed || TakeCloseRequest() != 0; };
  for (int round = 0; round < 120 && !windowClosed() && AnyInput(); ++round) SleepMs(16);
  while (!windowClosed() && !AnyInput()) SleepMs(5);

  CloseScreen();
  CloseDebugLog();
  EndProcess(0);
}
