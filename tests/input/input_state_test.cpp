#include <gtest/gtest.h>

#include <SDL.h>

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
      {SDL_SCANCODE_ESCAPE, 27}, {SDL_SCANCODE_TAB, 9},   {SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_BACKSPACE, 8},
      {SDL_SCANCODE_SPACE, 32},  {SDL_SCANCODE_LEFT, 37}, {SDL_SCANCODE_DOWN, 40},   {SDL_SCANCODE_A, 65},
      {SDL_SCANCODE_Z, 90},      {SDL_SCANCODE_0, 48},    {SDL_SCANCODE_9, 57},      {SDL_SCANCODE_KP_0, 96},
      {SDL_SCANCODE_KP_9, 105},  {SDL_SCANCODE_F1, 112},  {SDL_SCANCODE_F11, 122},   {SDL_SCANCODE_F12, 123},
      {SDL_SCANCODE_LALT, 164},  {SDL_SCANCODE_RALT, 165}, {SDL_SCANCODE_NONUSHASH, 222},
      {SDL_SCANCODE_NONUSBACKSLASH, 226}, {SDL_SCANCODE_F13, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromScancode(c.scancode), c.key) << c.scancode;
}
