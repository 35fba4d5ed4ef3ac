// Name entry: after every game the player confirms or types the name its record will carry. The
// name typed last time (or the newest record's, after start-up) is offered again.
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "scores/scores.h"

namespace {

// Escape, Enter and the left button: each of them confirms the screen.
bool ConfirmControlHeld() { return IsKeyDown(27) || IsKeyDown(13) || IsMouseDown(1); }

// Waits, without drawing, until the controls that confirm are all up, or until the program is asked
// to end (the window closed, a termination signal): a key held then must not keep it alive.
void WaitForRelease() {
  while (ConfirmControlHeld() && !EndRequested()) SleepMs(1);
}

}  // namespace

std::string EditText(std::string text) {
  const int c = NextChar();
  // "|" would split a stored record's fields, and a name holds 8-bit characters only.
  if (IsNameChar(c)) text.push_back(static_cast<char>(c));
  if (TakeKeyHits(8) > 0 && !text.empty()) text.pop_back();
  return text;
}

std::shared_ptr<Scores> FinishGame(int64_t score, const std::array<int32_t, 31>& best, int32_t quit) {
  Display.PauseState = 0;
  HoldFinishedGame(score, best, quit);
  EnterName();
  return StoreHeldGame();
}

void EnterName() {
  // The control that ended the game must be let go first, and nothing typed or pressed before the
  // screen opened counts. The wait comes before the flush: the flush forgets which keys are held, so
  // after it a key still held would read as released and its auto-repeat would then confirm at once.
  WaitForRelease();
  FlushKeyboard();

  const int vw = Display.VirtualWidth, vh = Display.VirtualHeight;
  bool confirmed = false;
  while (!confirmed) {
    BeginFrame(1);
    DrawMenuBackground();
    ScoreLists.PlayerName = EditText(ScoreLists.PlayerName);
    Colour(0, 255, 0);
    SelectFont(Display.Fonts[6]);
    WriteText(vw / 2, vh / 2 - 100, "Enter Your Name", 1, 1);
    // The cursor hangs off the name's right end: the name alone decides where it starts, so it
    // stays centred while the cursor blinks.
    SelectFont(Display.Fonts[5]);
    const std::string& name = ScoreLists.PlayerName;
    const std::string cursor = ClockMs() % 600 < 300 ? "_" : " ";
    WriteText(vw / 2 - StringWidth(name) / 2, vh / 2, name + cursor, 0, 1);
    confirmed = TakeKeyHits(13) > 0 || IsMouseDown(1) || IsKeyDown(27);
    FrameEnd(1);
  }

  SeedRnd(ClockMs());
  WaitForRelease();
}
