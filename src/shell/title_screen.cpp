// The title screen: a side panel with its tabs and pages (local high scores, online scores, about),
// the hints for the settings panel, the start prompt and the difficulty list. Everything slides into
// place over the first 32 frames, and again after every game.
#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "shell/shell.h"

int PanelWidth() { return Display.ScreenWidth > 899 ? 335 : 415; }

namespace {

constexpr int KeyEnter = 13;
constexpr int KeyDigit1 = 49, KeyF1 = 112;  // 1, 2, 3 and F1, F2, F3 choose the tabs

// Where the panel is this frame (virtual units).
struct Panel {
  int width;   // B
  int left;    // C: at the end of the slide its right edge is 5 units from the screen's
  int centre;  // G
};

Panel PanelNow() {
  Panel p;
  p.width = PanelWidth();
  p.left = Display.VirtualWidth + 795 - p.width - 25 * Shell.SlideIn;
  p.centre = p.left + p.width / 2;
  return p;
}

int Part(int width, double fraction) { return TruncToInt(width * fraction); }

// The settings panel has slid out of sight.
bool SettingsClosed() { return Settings.SettingsOffset < -250; }

bool TabKeyHeld(int tab) { return IsKeyDown(KeyDigit1 + tab) || IsKeyDown(KeyF1 + tab); }

// ---- Panel and tabs ---------------------------------------------------------------------------------

void DrawPanel(const Panel& p) {
  const int vh = Display.VirtualHeight;
  Colour(0, 0, 0, 0.5);
  DrawRect(static_cast<float>(p.left), 5, static_cast<float>(p.width), static_cast<float>(vh - 10));
  Colour(255, 255, 255, 0.3);
  DrawRect(static_cast<float>(p.left), 5, static_cast<float>(p.width), 35);

  // The labels are drawn opaque: at the strip's alpha they could hardly be read.
  SelectSizedFont(1, 2);
  auto label = [&](int page, double at, const char* text) {
    if (Shell.Page == page) Colour(255, 255, 255, 1);
    else Colour(0, 0, 0, 1);
    WriteText(p.left + Part(p.width, at), 23, text, 1, 1);
  };
  label(0, 0.2, "1.Hiscore");
  if (Shell.OnlineSwitch) label(1, 0.5, "2.Online");
  label(2, 0.8, "3.About");
}

// A key or a click on a tab turns to its page, once per press.
void ChooseTab(const Panel& p) {
  // The latch clears once the button and the tab keys are all up.
  bool held = IsMouseDown(1) != 0;
  for (int tab = 0; tab < 3; ++tab) held = held || TabKeyHeld(tab);
  if (!held) Shell.ClickLatch = false;
  if (Shell.FieldFocus != 0 || Shell.ClickLatch) return;

  const bool down = IsMouseDown(1) != 0;
  const int hitWidth = Part(p.width, 0.3);
  auto chosen = [&](int tab, double at) {
    return TabKeyHeld(tab) || (down && PointerIn(p.left + Part(p.width, at), 5, hitWidth, 50));
  };
  int page = -1;
  if (chosen(0, 0)) page = 0;
  else if (Shell.OnlineSwitch && chosen(1, 0.33)) page = 1;
  else if (chosen(2, 0.66)) page = 2;
  if (page < 0) return;
  Shell.Page = page;
  PlaySfx(98, 2, 1, 0);
  Shell.ClickLatch = true;
}

// ---- Pages ------------------------------------------------------------------------------------------

// The online page's body: the login form, or the refresh button and the server's message once
// logged in. Drawn only while the online switch is on; the online scores bring it.
void OnlinePage(const Panel&) {}

void AboutPage(const Panel& p) {
  SelectSizedFont(1, 2);
  Colour(255, 255, 255, 1);
  for (int i = 1; i <= 33; ++i) WriteText(p.centre, 95 + 20 * i, Core.AboutLines[i], 1, 0);
}

// The page's title, the background's hue, and the page itself.
void DrawPage(const Panel& p) {
  SelectSizedFont(1, 7);
  Colour(255, 255, 255, 1);
  // Small screens get a larger title face, whose tall ascent would put its foot on the About page's
  // first line; there the title sits 20 units higher.
  const int top = Display.ScreenWidth < 900 ? 30 : 50;
  switch (Shell.Page) {
    case 0:
      WriteText(p.centre, top, "Hiscores", 1, 0);
      Display.BackTarget = {0.2f, 0.0f, 1.0f};
      break;
    case 1:
      if (!Shell.OnlineSwitch) break;
      WriteText(p.centre, top, "Online", 1, 0);
      Display.BackTarget = {0.0f, 1.0f, 0.2f};
      OnlinePage(p);
      break;
    case 2:
      WriteText(p.centre, top, "About", 1, 0);
      Display.BackTarget = {0.0f, 0.2f, 1.0f};
      AboutPage(p);
      break;
    default:
      break;
  }
}

// ---- Hints, start prompt, difficulty ------------------------------------------------------------------

// Top left: the settings panel's key and what it offers. The key blinks yellow until the player has
// chosen a screen size other than the first start's 800 wide.
void DrawSettingsHints() {
  const bool small = Display.ScreenWidth < 900;
  ResetDraw();
  SelectSizedFont(2, small ? 4 : 3);
  if (Core.SetupValues[SetupWidth] == 800 && ClockMs() % 800 < 400) Colour(255, 255, 0);
  else Colour(255, 255, 255);
  WriteText(4, 4, "Hit [Tab] for settings");
  Colour(180, 255, 180);
  SelectSizedFont(2, small ? 3 : 2);
  WriteText(4, 35, "Redefine Controls");
  WriteText(4, 55, "Audio Options");
  WriteText(4, 75, "and Hi-Def gaming!");
}

// Whether a start control of the keyboard and joysticks is down: the buttons and the up and down
// directions of every control set, and Enter.
bool StartControlHeld() {
  static constexpr int slots[] = {SlotButtonBottom, SlotButtonRight, SlotButtonLeft, SlotButtonTop, SlotUp, SlotDown};
  for (int set = 1; set <= 4; ++set)
    for (int slot : slots)
      if (ControlDown(slot, set)) return true;
  return IsKeyDown(KeyEnter) != 0;
}

// The start prompt of the input mode. True when the player starts a game: in controls mode a start
// control held in the previous frame, in mouse mode a click on the prompt; either only once the
// controls held at the end of the last game or from a difficulty change have been let go.
bool StartPrompt(const Panel& p) {
  const int vw = Display.VirtualWidth, vh = Display.VirtualHeight, a = Shell.SlideIn;
  const int x = (vw - p.width) / 2, y = vh / 2 - 25 * a + 800;
  const bool mouseMode = Input.InputMode == 1;
  const bool hover = PointerIn(x - 200, vh / 2 - 25 * a + 760, 400, 80) == 1;

  ResetDraw();
  SelectFont(Display.Fonts[7]);
  if (mouseMode) {
    if (hover) Colour(255, 255, 255);
    else Colour(255, 150, 150);
    WriteText(x, y, "Click Here to Start", 1, 1);
  } else {
    WriteText(x, y, "Press Start (" + ControlName(Input.ControlTable[SlotButtonBottom]) + ") To Begin", 1, 1);
  }

  const bool keysHeld = StartControlHeld();
  const bool buttonHeld = IsMouseDown(1) != 0;
  const bool ready = Shell.StartPressed && !Shell.StartLatch && SettingsClosed() && Shell.FieldFocus == 0;
  const bool start = mouseMode ? ready && hover : ready;
  // The latch is tested before it clears, so letting go of a latched control never counts as a press.
  // In mouse mode the button is a start control too.
  if (!keysHeld && !(mouseMode && buttonHeld)) Shell.StartLatch = false;
  Shell.StartPressed = mouseMode ? buttonHeld : keysHeld;
  return start;
}

void DifficultyList(const Panel& p) {
  static constexpr const char* names[] = {"Easy", "Medium", "Hard"};
  const int vw = Display.VirtualWidth, vh = Display.VirtualHeight;
  const int x = (vw - p.width) / 2 - 100;
  const int top = vh / 2 - (800 - 25 * Shell.SlideIn);
  ResetDraw();
  SelectSizedFont(2, 6);
  const bool down = IsMouseDown(1) != 0;
  for (int d = 0; d < 3; ++d) {
    const int y = top + 200 + 50 * d;
    if (down && !Shell.ClickLatch && PointerIn(x, y, 200, 40)) {
      Core.Difficulty = d;
      PlaySfx(98, 1, 1, 0);
      Shell.ClickLatch = true;
    }
  }
  // Up and down of control sets 1 and 2 step through the list, wrapping at its ends.
  if (!Shell.StartLatch && Shell.FieldFocus == 0) {
    if (ControlDown(SlotUp, 1) || ControlDown(SlotUp, 2)) {
      Core.Difficulty = (Core.Difficulty + 2) % 3;
      PlaySfx(98, 0.95f, 1, 0);
      Shell.StartLatch = true;
    } else if (ControlDown(SlotDown, 1) || ControlDown(SlotDown, 2)) {
      Core.Difficulty = (Core.Difficulty + 1) % 3;
      PlaySfx(98, 1.05f, 1, 0);
      Shell.StartLatch = true;
    }
  }
  for (int d = 0; d < 3; ++d) {
    Colour(255, 255, 255, Core.Difficulty == d ? 1 : 0.5);
    WriteText(x, top + 200 + 50 * d, names[d]);
  }
}

}  // namespace

bool TitleScreen() {
  const Panel p = PanelNow();
  ResetDraw();  // alpha blending: the panel is see-through
  DrawPanel(p);
  ChooseTab(p);
  ScoreTable(ScoreLists.LocalScores, p.left, p.width, Core.Difficulty, Core.Level, Core.GameFlags, Shell.Page == 0);
  // Online records carry the complemented game mode, so they never mix with the local ones.
  if (Shell.OnlineSwitch && Shell.LoggedIn)
    ScoreTable(ScoreLists.OnlineScores, p.left, p.width, ~Core.Difficulty, Core.Level, Core.GameFlags,
               Shell.Page == 1);
  DrawPage(p);
  DrawSettingsHints();
  const bool start = StartPrompt(p);
  DifficultyList(p);
  return start;
}
