// The title screen: a side panel with its tabs and pages (local high scores, online scores, about),
// the hints for the settings panel, the start prompt and the difficulty list. Everything slides into
// place over the first 32 frames, and again after every game.
#include <algorithm>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "online/online.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "shell/shell.h"

int PanelWidth() { return Display.ScreenWidth > 899 ? 335 : 415; }

namespace {

constexpr int KeyTab = 9, KeyEnter = 13, KeyUp = 38, KeyDown = 40;
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

// The online switch: the Online tab, its keys, its page and every request exist only while it is on.
bool OnlineOn() { return Online.Enabled != 0; }

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
  if (OnlineOn()) label(1, 0.5, "2.Online");
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
  else if (OnlineOn() && chosen(1, 0.33)) page = 1;
  else if (chosen(2, 0.66)) page = 2;
  if (page < 0) return;
  Shell.Page = page;
  PlaySfx(98, 2, 1, 0);
  Shell.ClickLatch = true;
}

// ---- Pages ------------------------------------------------------------------------------------------

// ---- Online page ------------------------------------------------------------------------------------

// The login fields (virtual units): 200 x 30, the user name's above the password's.
constexpr int FieldWidth = 200, FieldHeight = 30;
int FieldTop(int field) { return Display.VirtualHeight - (field == 1 ? 120 : 60); }
bool PointerInField(const Panel& p, int field) {
  return PointerIn(p.left + 20, FieldTop(field), FieldWidth, FieldHeight) == 1;
}
std::string& FieldText(int field) { return field == 1 ? ScoreLists.OnlineUser : ScoreLists.OnlinePassword; }

// Gives the keyboard to a field (1 user name, 2 password) or to nobody (0), with a click of sound.
// The Enter or click that takes focus away must be let go before it can start a game. The field let
// go of loses the blanks at its ends (blanks inside stay): they would not survive a restart.
void SetFieldFocus(int focus) {
  if (focus == Shell.FieldFocus) return;
  if (Shell.FieldFocus != 0) FieldText(Shell.FieldFocus) = Trim(FieldText(Shell.FieldFocus));
  if (focus == 0) Shell.StartLatch = true;
  Shell.FieldFocus = focus;
  PlaySfx(99, 1, 1, 0);
}

// The focused field takes the typed characters and Backspace; Enter lets go of it, Down and Up (or
// Tab) move between the two. Tab is taken here while a field has focus, so it moves the focus
// instead of sliding the settings panel in.
void EditFocusedField() {
  if (Shell.FieldFocus == 0) return;
  std::string& text = FieldText(Shell.FieldFocus);
  text = EditText(text);
  // The characters the server never accepts are replaced at once, so they never show.
  FilterCredential(text);
  const bool tab = TakeKeyHits(KeyTab) > 0;
  const bool up = TakeKeyHits(KeyUp) > 0, down = TakeKeyHits(KeyDown) > 0;
  if (TakeKeyHits(KeyEnter) > 0) SetFieldFocus(0);
  else if (Shell.FieldFocus == 1 && (down || tab)) SetFieldFocus(2);
  else if (Shell.FieldFocus == 2 && (up || tab)) SetFieldFocus(1);
}

// A field's frame in its colour (white; hovered (100, 255, 255); focused (100, 255, 100)), its text
// (the password as one "*" a character) in yellow, and the blinking cursor. A text wider than the
// field shows its end.
void DrawField(const Panel& p, int field) {
  const int x = p.left + 20, y = FieldTop(field);
  const bool focused = Shell.FieldFocus == field;
  if (focused) Colour(100, 255, 100);
  else if (PointerInField(p, field)) Colour(100, 255, 255);
  else Colour(255, 255, 255);
  DrawRect(static_cast<float>(x), static_cast<float>(y), FieldWidth, 2);
  DrawRect(static_cast<float>(x), static_cast<float>(y + FieldHeight - 2), FieldWidth, 2);
  DrawRect(static_cast<float>(x), static_cast<float>(y), 2, FieldHeight);
  DrawRect(static_cast<float>(x + FieldWidth - 2), static_cast<float>(y), 2, FieldHeight);

  const bool cursorOn = LoginCursorShown(field, focused, ClockMs());
  std::string shown = field == 1 ? ScoreLists.OnlineUser : std::string(ScoreLists.OnlinePassword.size(), '*');
  SelectSizedFont(1, 3);
  const int room = FieldWidth - 12 - StringWidth("_");
  while (!shown.empty() && StringWidth(shown) > room) shown.erase(0, 1);
  Colour(255, 255, 0);
  WriteText(x + 6, y + FieldHeight / 2, shown + (cursorOn ? "_" : ""), 0, 1);
}

// A fresh click on a field gives it the keyboard, emptied of what was pressed and typed before; a
// click anywhere else takes the keyboard away. A click on "Login" logs in, and a successful login
// asks for the table. Only a click on the form holds the click latch: one elsewhere stays free to
// choose a difficulty or a tab.
void LoginClicks(const Panel& p) {
  if (!IsMouseDown(1) || Shell.ClickLatch) return;
  int field = 0;
  if (PointerInField(p, 1)) field = 1;
  else if (PointerInField(p, 2)) field = 2;
  SetFieldFocus(field);
  if (field != 0) {
    FlushKeyboard();
    Shell.ClickLatch = true;
  }
  if (PointerIn(p.left + 50, Display.VirtualHeight - 30, 200, 30) != 1) return;
  Shell.ClickLatch = true;

  const LoginResult result = Login();
  if (result.LoggedIn) {
    Shell.MotdLines = {};
    for (size_t i = 0; i < result.Motd.size() && i + 1 < Shell.MotdLines.size(); ++i)
      Shell.MotdLines[i + 1] = result.Motd[i];
    Shell.LoggedIn = true;
    Shell.LoginFailed = false;
    Shell.RequestState = 1;
  } else {
    Shell.LoginFailed = true;
  }
}

// Not logged in: what the page asks of the player, the failure of the last login, the two fields
// and the "Login" button.
void LoginForm(const Panel& p) {
  const int c = p.left, vh = Display.VirtualHeight;
  LoginClicks(p);
  EditFocusedField();

  SelectSizedFont(1, 3);
  int y = vh - 542;
  Colour(255, 255, 255);
  WriteText(c + 10, y, "If you're new..");
  WriteText(c + 30, y + 30, "Use a new name,");
  WriteText(c + 30, y + 60, "and you'll be registered.");
  y += 120;
  Colour(255, 255, 180);
  WriteText(c + 10, y, "If you're returning..");
  WriteText(c + 30, y + 30, "Simply log back in.");
  y += 90;
  Colour(180, 255, 255);
  WriteText(c + 10, y, "Use a password that's");
  WriteText(c + 30, y + 30, "easy to remember!!");
  if (Shell.LoginFailed) {
    Colour(255, 0, 0);
    WriteText(c + 10, y + 90, LoginFailure());
  }

  SelectSizedFont(1, 2);
  Colour(0, 180, 255);
  WriteText(c + 10, vh - 150, "Username");
  WriteText(c + 10, vh - 90, "Password");
  DrawField(p, 1);
  DrawField(p, 2);

  SelectSizedFont(1, 3);
  if (PointerIn(c + 50, vh - 30, 200, 30) == 1) Colour(0, 255, 255);
  else Colour(255, 180, 0);
  // Small screens get a larger face that would run off the screen's foot: there the label rests on
  // the panel's bottom edge instead.
  WriteText(c + 70, std::min(vh - 30, vh - 5 - FontHeight()), "Login");
}

// Logged in: the "Refresh Scores" button and the server's message of the day.
void LoggedInPage(const Panel& p) {
  SelectSizedFont(1, 4);
  const bool over = PointerIn(p.left, 120, p.width, 50) == 1;
  if (over) Colour(0, 255, 255);
  else Colour(255, 255, 255);
  WriteText(p.centre, 120, "Refresh Scores", 1, 0);
  if (over && IsMouseDown(1) && !Shell.ClickLatch && Shell.RequestState == 0) {
    Shell.ClickLatch = true;
    Shell.RequestState = 1;
  }

  Colour(180, 180, 180);
  SelectSizedFont(1, 2);
  for (int i = 1; i <= MotdMaxLines; ++i)
    if (!Shell.MotdLines[i].empty()) WriteText(p.left + 10, 150 + 20 * i, Shell.MotdLines[i]);
}

// The online page's body: the login form, or the refresh button and the server's message once
// logged in.
void OnlinePage(const Panel& p) {
  if (Shell.LoggedIn) LoggedInPage(p);
  else LoginForm(p);
}

// The table refresh, one step a frame: the shown variant's online records go (1), the server's table
// comes in and the local best goes up when it belongs there (2), then the button must be let go (3).
// A refresh asked for runs to its end whichever page is shown.
void OnlineRequests() {
  switch (Shell.RequestState) {
    case 1:
      RemoveOnlineTable();
      Shell.RequestState = 2;
      break;
    case 2:
      PlaySfx(99, 0.5f, 1, 0);
      Shell.Submitted = RefreshOnlineTable().Uploaded;
      PlaySfx(99, 1, 1, 0);
      Shell.RequestState = 3;
      break;
    case 3:
      if (!IsMouseDown(1)) {
        Shell.RequestState = 0;
        Shell.Submitted = false;
      }
      break;
    default:
      break;
  }
}

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
      if (!OnlineOn()) break;
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
  const auto& names = ThisIdentity().DifficultyNames;
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

bool LoginCursorShown(int field, bool focused, uint32_t clockMs) {
  const bool shown = focused ? clockMs % 500 < 250 : clockMs % 750 > 324;
  return field == 2 ? !shown : shown;
}

bool TitleScreen() {
  const Panel p = PanelNow();
  ResetDraw();  // alpha blending: the panel is see-through
  DrawPanel(p);
  ChooseTab(p);
  ScoreTable(ScoreLists.LocalScores, p.left, p.width, Core.Difficulty, Core.Level, Core.GameFlags, Shell.Page == 0);
  DrawPage(p);
  if (OnlineOn()) {
    // Online records carry the complemented game mode, so they never mix with the local ones. The
    // table comes after the page's text, so its details box covers the message of the day.
    if (Shell.LoggedIn)
      ScoreTable(ScoreLists.OnlineScores, p.left, p.width, ~Core.Difficulty, Core.Level, Core.GameFlags,
                 Shell.Page == 1);
    OnlineRequests();
  }
  DrawSettingsHints();
  const bool start = StartPrompt(p);
  DifficultyList(p);
  return start;
}
