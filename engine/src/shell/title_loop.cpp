// The title loop: the outermost screen loop.
#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "online/online.h"
#include "scores/scores.h"
#include "shell/shell.h"

void StartGame() {
  PlaySfx(98, 1.5f, 1, 0);
  if (Audio.ChannelTable[1] && Audio.ChannelTable[1]->Playing()) {
    Audio.ChannelTable[1]->Stop();
    Audio.ChannelTable[1] = nullptr;
  }
  Display.PauseState = 1;  // pause allowed
  if (Input.InputMode == 0) MovePointer(static_cast<float>(Display.VirtualWidth), static_cast<float>(Display.VirtualHeight));
  Display.GameStartTime = ClockMs();
  ThisGame().PlayGame();
  Display.PauseState = 0;
  // The score panel shows the newest games again, nothing selected.
  ScoreLists.GraphScroll = 0;
  ScoreLists.SelectedIndex = 0;
  // The control that ended the game must be released before it counts again.
  Shell.StartLatch = true;
  Shell.StartPressed = false;
  Shell.EscapeLatch = true;
  Shell.SlideIn = 0;
}

// The game's logo rises into place while the panel slides in: the game draws it centred on the
// point given.
static void DrawGameLogo() {
  ResetDraw();
  const int vw = Display.VirtualWidth, vh = Display.VirtualHeight;
  ThisGame().DrawTitleLogo((vw - PanelWidth()) / 2, vh / 2 + (800 - 25 * Shell.SlideIn));
  ResetDraw();
}

void TitleLoop() {
  for (;;) {
    BeginFrame(1);
    ResetDraw();
    DrawMenuBackground();
    // The characters the score server never accepts become "_" in both credentials, the same
    // replacement every request makes. (Blanks at their ends go when a field lets go of the
    // keyboard, not here: a blank typed last may be the middle of the name.)
    FilterCredential(ScoreLists.OnlineUser);
    FilterCredential(ScoreLists.OnlinePassword);
    if (Shell.SlideIn < 32) ++Shell.SlideIn;
    if (TitleScreen()) {
      StartGame();
      continue;  // a fresh frame: this one holds what the game left on the screen
    }
    DrawGameLogo();
    FrameEnd(1);

    // The Escape that ended a game must be released first; a fresh press ends the loop. A press
    // counts even when it was released again within the same frame.
    const bool pressed = TakeKeyHits(27) > 0;
    const bool held = IsKeyDown(27) != 0;
    if (Shell.EscapeLatch) {
      if (!held) Shell.EscapeLatch = false;
    } else if (pressed || held) {
      return;
    }
  }
}
