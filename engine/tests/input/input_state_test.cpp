#include <gtest/gtest.h>

#include <SDL.h>

#include <set>
#include <vector>

#include "input/input.h"
#include "support/test_support.h"

class InputStateTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
  static void Key(int code, bool down, bool repeat = false) {
    InputEvent e;
    e.type = down ? InputEvent::KeyDown : InputEvent::KeyUp;
    e.code = code;
    e.repeat = repeat;
    FeedInputEvent(e);
  }
  static void Type(const std::string& utf8) {
    InputEvent e;
    e.type = InputEvent::Text;
    e.text = utf8;
    FeedInputEvent(e);
  }
};

TEST_F(InputStateTest, AutoRepeatAddsNoHits) {
  Key(27, true);
  for (int i = 0; i < 30; ++i) Key(27, true, true);
  EXPECT_EQ(IsKeyDown(27), 1);
  EXPECT_EQ(TakeKeyHits(27), 1);
  EXPECT_EQ(TakeKeyHits(27), 0);
  Key(27, false);
  EXPECT_EQ(IsKeyDown(27), 0);
  Key(27, true);
  EXPECT_EQ(TakeKeyHits(27), 1);
}

TEST_F(InputStateTest, TheTypedRingKeepsTheFirst256Characters) {
  for (int i = 0; i < 300; ++i) Type(std::string(1, static_cast<char>('a' + i % 26)));
  int taken = 0;
  int first = NextChar();
  ++taken;
  while (NextChar() != 0) ++taken;
  EXPECT_EQ(first, 'a');
  EXPECT_EQ(taken, 256);
  Type("\xC3\xA9\xE2\x82\xAC");  // e-acute kept as 233, the euro sign (above 255) refused
  EXPECT_EQ(NextChar(), 233);
  EXPECT_EQ(NextChar(), 0);
}

TEST_F(InputStateTest, EditingKeysReachTheRingAsControlCharacters) {
  Key(8, true);
  Key(13, true);
  EXPECT_EQ(NextChar(), 8);
  EXPECT_EQ(NextChar(), 13);
  EXPECT_EQ(NextChar(), 0);
}

TEST_F(InputStateTest, LosingOrRegainingTheFocusFlushesEverything) {
  Key(65, true);
  Type("x");
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
  FeedInputEvent(InputEvent(InputEvent::FocusLost));
  EXPECT_TRUE(Input.Suspended);
  FeedInputEvent(InputEvent(InputEvent::FocusGained));
  EXPECT_FALSE(Input.Suspended);
  EXPECT_EQ(IsKeyDown(65), 0);
  EXPECT_EQ(TakeKeyHits(65), 0);
  EXPECT_EQ(NextChar(), 0);
  EXPECT_EQ(IsMouseDown(1), 0);
  EXPECT_EQ(TakeMouseHits(1), 0);
}

TEST_F(InputStateTest, OutOfRangeCodesAreIgnored) {
  Key(-5, true);
  Key(300, true);
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 9));
  EXPECT_EQ(IsKeyDown(-5), 0);
  EXPECT_EQ(IsKeyDown(300), 0);
  EXPECT_EQ(TakeKeyHits(1000), 0);
  EXPECT_EQ(IsMouseDown(9), 0);
}

TEST_F(InputStateTest, TheCloseRequestIsTakenOnce) {
  FeedInputEvent(InputEvent(InputEvent::Close));
  EXPECT_EQ(TakeCloseRequest(), 1);
  EXPECT_EQ(TakeCloseRequest(), 0);
}

TEST_F(InputStateTest, TheFakeClockMovesOnlyWhenTheProgramSleeps) {
  UseFakeClock(5000);
  EXPECT_EQ(ClockMs(), 5000u);
  SleepMs(16);
  EXPECT_EQ(ClockMs(), 5016u);
  SleepMs(-5);
  SleepMs(0);
  EXPECT_EQ(ClockMs(), 5016u);
}

TEST(KeyMapping, ScancodesMapToWindowsKeyCodes) {
  struct Case {
    int scancode, key;
  } cases[] = {
      {SDL_SCANCODE_ESCAPE, 27},  {SDL_SCANCODE_TAB, 9},     {SDL_SCANCODE_RETURN, 13},   {SDL_SCANCODE_BACKSPACE, 8},
      {SDL_SCANCODE_SPACE, 32},   {SDL_SCANCODE_LEFT, 37},   {SDL_SCANCODE_DOWN, 40},     {SDL_SCANCODE_A, 65},
      {SDL_SCANCODE_Z, 90},       {SDL_SCANCODE_0, 48},      {SDL_SCANCODE_9, 57},        {SDL_SCANCODE_KP_0, 96},
      {SDL_SCANCODE_KP_9, 105},   {SDL_SCANCODE_F1, 112},    {SDL_SCANCODE_F11, 122},     {SDL_SCANCODE_F12, 123},
      {SDL_SCANCODE_F13, 124},    {SDL_SCANCODE_LALT, 164},  {SDL_SCANCODE_RALT, 165},    {SDL_SCANCODE_NONUSHASH, 222},
      {SDL_SCANCODE_NONUSBACKSLASH, 226}, {SDL_SCANCODE_AUDIOMUTE, 173}, {SDL_SCANCODE_KP_ENTER, 13},
      {SDL_SCANCODE_UNKNOWN, 0},  {SDL_SCANCODE_LANG1, 0},   {-1, 0},                     {100000, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromScancode(c.scancode), c.key) << c.scancode;
}

// Every key the control names know that a PC keyboard has is reachable from some SDL key.
TEST(KeyMapping, EveryNamedKeyOfAPcKeyboardIsReachable) {
  std::set<int> reachable;
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) reachable.insert(VirtualKeyFromScancode(sc));
  std::vector<int> named = {8, 9, 12, 13, 19, 20, 27, 32, 33, 34, 35, 36, 37, 38, 39, 40, 44, 45, 46,
                            91, 92, 106, 107, 109, 110, 111, 144, 145, 160, 161, 162, 163, 164, 165,
                            173, 174, 175, 186, 187, 188, 189, 190, 191, 192, 219, 220, 221, 222, 223, 226};
  for (int k = 48; k <= 57; ++k) named.push_back(k);
  for (int k = 65; k <= 90; ++k) named.push_back(k);
  for (int k = 96; k <= 105; ++k) named.push_back(k);
  for (int k = 112; k <= 123; ++k) named.push_back(k);
  for (int k : named) EXPECT_TRUE(reachable.count(k)) << "key " << k << " (" << ControlName(k) << ")";
}

// Letters and punctuation follow the layout's symbol, so the key cap and the shown name agree;
// the top row's digits, arrows, F-keys and the keypad keep their place on every layout.
TEST(KeyMapping, LettersAndPunctuationGoByTheLayoutsSymbol) {
  struct Case {
    int scancode, keycode, key;
  } cases[] = {
      {SDL_SCANCODE_BACKSLASH, '#', 222},       // United Kingdom: the key beside Return
      {SDL_SCANCODE_BACKSLASH, '\\', 220},      // United States: the same place
      {SDL_SCANCODE_NONUSBACKSLASH, '\\', 226}, // the extra key beside left Shift
      {SDL_SCANCODE_APOSTROPHE, '\'', 192},
      {SDL_SCANCODE_GRAVE, '`', 223},
      {SDL_SCANCODE_SEMICOLON, 0xF6, 186},      // a symbol without a name keeps its place
      {SDL_SCANCODE_A, 'q', 81},                // French: the key marked "Q" gives Q
      {SDL_SCANCODE_Y, 'z', 90},                // German: the key marked "Z" gives Z and is named "Z"
      {SDL_SCANCODE_Z, 'y', 89},
      {SDL_SCANCODE_SEMICOLON, 'm', 77},        // French: "M" sits where others have ";"
      {SDL_SCANCODE_M, ',', 188},               // and "," where others have "M"
      {SDL_SCANCODE_Q, 0x439, 81},              // Russian: a Cyrillic letter keeps its Latin place
      {SDL_SCANCODE_1, '&', 49},                // French top row: digits by place
      {SDL_SCANCODE_0, 0xE0, 48},
      {SDL_SCANCODE_KP_5, SDLK_KP_5, 101},
      {SDL_SCANCODE_UP, SDLK_UP, 38},
      {SDL_SCANCODE_F13, SDLK_F13, 124},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromSdlKey(c.scancode, c.keycode), c.key) << c.scancode;
}

TEST_F(InputStateTest, MouseHitsCountPressesAndFlushMouseClearsButtonsHitsAndWheel) {
  auto button = [](int b, bool down) { FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, b)); };
  auto wheel = [](int steps) {
    InputEvent e(InputEvent::Wheel);
    e.y = steps;
    FeedInputEvent(e);
  };
  button(1, true);
  button(1, true);  // a second press without a release is the same press
  button(1, false);
  button(1, true);
  button(1, false);
  button(3, true);
  wheel(2);
  wheel(-5);
  EXPECT_EQ(TakeMouseHits(1), 2);
  EXPECT_EQ(TakeMouseHits(1), 0);  // taken
  EXPECT_EQ(TakeMouseHits(2), 0);
  EXPECT_EQ(IsMouseDown(3), 1);
  EXPECT_EQ(MouseWheel(), -3);
  EXPECT_EQ(TakeMouseHits(0), 0);
  EXPECT_EQ(TakeMouseHits(4), 0);

  // FlushMouse clears the mouse and nothing else; FlushKeyboard leaves the mouse alone.
  Key(65, true);
  button(2, true);
  FlushMouse();
  for (int b = 1; b <= 3; ++b) {
    EXPECT_EQ(IsMouseDown(b), 0) << b;
    EXPECT_EQ(TakeMouseHits(b), 0) << b;
  }
  EXPECT_EQ(MouseWheel(), 0);
  EXPECT_EQ(IsKeyDown(65), 1);
  button(1, true);
  wheel(1);
  FlushKeyboard();
  EXPECT_EQ(IsKeyDown(65), 0);
  EXPECT_EQ(IsMouseDown(1), 1);
  EXPECT_EQ(MouseWheel(), 1);
  EXPECT_EQ(TakeMouseHits(1), 1);

  // A button held through a flush counts again only when pressed anew.
  button(1, true);
  EXPECT_EQ(TakeMouseHits(1), 0);
  button(1, false);
  button(1, true);
  EXPECT_EQ(TakeMouseHits(1), 1);

  // Losing the focus flushes the wheel with the buttons.
  wheel(4);
  FeedInputEvent(InputEvent(InputEvent::FocusLost));
  EXPECT_EQ(MouseWheel(), 0);
  EXPECT_EQ(IsMouseDown(1), 0);
}
