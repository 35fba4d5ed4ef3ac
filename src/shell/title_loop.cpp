// The title loop: the outermost screen loop.
#include "display/display.h"
#include "input/input.h"
#include "scores/scores.h"
#include "shell/shell.h"

// Characters that never stay in the online user name or password.
static void StripCredentialCharacters(std::string& text) {
  static constexpr std::string_view banned = "*\"'-+&?{}[]~#\\/:;";
  std::erase_if(text, [](char c) { return banned.find(c) != std::string_view::npos; });
}

void TitleLoop() {
  for (;;) {
    BeginFrame(1);
    ResetDraw();
    DrawMenuBackground();
    StripCredentialCharacters(ScoreLists.OnlineUser);
    StripCredentialCharacters(ScoreLists.OnlinePassword);
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
