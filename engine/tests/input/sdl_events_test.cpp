#include <gtest/gtest.h>

#include <SDL.h>

#include <cstring>

#include "input/input.h"
#include "support/test_support.h"

// The window system's events, pushed into SDL's queue and read by the queries as the program reads
// them. SDL's video subsystem runs (on the test's X server) without a window, so no real window
// event (a focus change, say) mixes in.
class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    Input.EventScript = nullptr;  // the window system is the event source
    if (!HaveDisplay()) return;
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    started = true;
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  void TearDown() override {
    if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  static void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
  static void Key(bool down, SDL_Scancode scancode, SDL_Keycode sym, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat ? 1 : 0;
    e.key.keysym.scancode = scancode;
    e.key.keysym.sym = sym;
    Push(e);
  }
  static void Button(bool down, Uint8 button) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = button;
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.clicks = 1;
    Push(e);
  }
  static void Wheel(int y, bool flipped) {
    SDL_Event e{};
    e.type = SDL_MOUSEWHEEL;
    e.wheel.y = y;
    e.wheel.direction = flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
    Push(e);
  }
  static void Window(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = event;
    Push(e);
  }

  bool started = false;
};

TEST_F(SdlEventsTest, AKeyHeldWithAutoRepeatIsOneHitAndReleasesOnItsKeyUp) {
  REQUIRE_DISPLAY();
  Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  for (int i = 0; i < 20; ++i) Key(true, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, true);
  Key(true, SDL_SCANCODE_F1, SDLK_F1);
  Key(false, SDL_SCANCODE_F1, SDLK_F1);
  Key(true, SDL_SCANCODE_F1, SDLK_F1);
  Key(true, SDL_SCANCODE_LANG1, SDLK_UNKNOWN);  // a key without a code is never down
  EXPECT_EQ(IsKeyDown(27), 1);
  EXPECT_EQ(TakeKeyHits(27), 1);
  EXPECT_EQ(TakeKeyHits(112), 2);  // pressed twice
  EXPECT_EQ(IsKeyDown(112), 1);
  int down = 0;
  for (int k = 0; k < 256; ++k) down += IsKeyDown(k);
  EXPECT_EQ(down, 2);
  Key(false, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
  EXPECT_EQ(IsKeyDown(27), 0);
  EXPECT_EQ(TakeKeyHits(27), 0);
}

TEST_F(SdlEventsTest, TypedTextAndPointerMotionReachTheirState) {
  REQUIRE_DISPLAY();
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  std::strcpy(text.text.text, "a\xC3\xA9");  // "a" and e-acute, as UTF-8
  Push(text);
  SDL_Event motion{};
  motion.type = SDL_MOUSEMOTION;
  motion.motion.x = 321;
  motion.motion.y = 123;
  Push(motion);
  PumpEvents();
  EXPECT_EQ(Input.MouseX, 321);
  EXPECT_EQ(Input.MouseY, 123);
  EXPECT_EQ(NextChar(), 'a');
  EXPECT_EQ(NextChar(), 233);
  EXPECT_EQ(NextChar(), 0);
}

TEST_F(SdlEventsTest, MouseButtonsAreOneLeftTwoRightThreeMiddle) {
  REQUIRE_DISPLAY();
  struct Case {
    Uint8 sdl;
    int button;
  } cases[] = {{SDL_BUTTON_LEFT, 1}, {SDL_BUTTON_RIGHT, 2}, {SDL_BUTTON_MIDDLE, 3}};
  for (const Case& c : cases) {
    Button(true, c.sdl);
    for (int b = 1; b <= 3; ++b) EXPECT_EQ(IsMouseDown(b), b == c.button ? 1 : 0) << int(c.sdl) << " " << b;
    Button(false, c.sdl);
    Button(true, c.sdl);
    EXPECT_EQ(TakeMouseHits(c.button), 2) << int(c.sdl);
    Button(false, c.sdl);
    EXPECT_EQ(IsMouseDown(c.button), 0) << int(c.sdl);
  }
  // The side buttons have no number: they press nothing.
  Button(true, SDL_BUTTON_X1);
  Button(true, SDL_BUTTON_X2);
  for (int b = 0; b <= 3; ++b) {
    EXPECT_EQ(IsMouseDown(b), 0) << b;
    EXPECT_EQ(TakeMouseHits(b), 0) << b;
  }
}

TEST_F(SdlEventsTest, WheelStepsFollowTheWheelsDirectionFlippedOrNot) {
  REQUIRE_DISPLAY();
  struct Case {
    int y;
    bool flipped;
    int steps;
  } cases[] = {{2, false, 2}, {-1, false, -1}, {3, true, -3}, {-4, true, 4}};
  int total = 0;
  for (const Case& c : cases) {
    Wheel(c.y, c.flipped);
    total += c.steps;
    EXPECT_EQ(MouseWheel(), total) << c.y << (c.flipped ? " flipped" : "");
  }
}

TEST_F(SdlEventsTest, QuitAndWindowCloseAskToCloseOnce) {
  REQUIRE_DISPLAY();
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  Push(quit);
  EXPECT_EQ(TakeCloseRequest(), 1);
  EXPECT_EQ(TakeCloseRequest(), 0);
  Window(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(TakeCloseRequest(), 1);
  EXPECT_EQ(TakeCloseRequest(), 0);
  for (Uint8 other : {SDL_WINDOWEVENT_MOVED, SDL_WINDOWEVENT_RESIZED, SDL_WINDOWEVENT_MINIMIZED,
                      SDL_WINDOWEVENT_EXPOSED}) {
    Window(other);
    EXPECT_EQ(TakeCloseRequest(), 0) << int(other);
    EXPECT_FALSE(Input.Suspended) << int(other);
  }
}

TEST_F(SdlEventsTest, LosingTheFocusReleasesEverythingHeldAndFlushesWhatWasPending) {
  REQUIRE_DISPLAY();
  Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
  Button(true, SDL_BUTTON_LEFT);
  Wheel(2, false);
  Window(SDL_WINDOWEVENT_FOCUS_LOST);
  PumpEvents();
  EXPECT_TRUE(Input.Suspended);
  EXPECT_EQ(IsKeyDown(37), 0);
  EXPECT_EQ(TakeKeyHits(37), 0);
  EXPECT_EQ(IsMouseDown(1), 0);
  EXPECT_EQ(TakeMouseHits(1), 0);
  EXPECT_EQ(MouseWheel(), 0);
  // Back in focus, the key still held is up until it is pressed again.
  Window(SDL_WINDOWEVENT_FOCUS_GAINED);
  PumpEvents();
  EXPECT_FALSE(Input.Suspended);
  EXPECT_EQ(IsKeyDown(37), 0);
  Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT, true);  // auto-repeat of the held key: no new press
  EXPECT_EQ(TakeKeyHits(37), 0);
  Key(false, SDL_SCANCODE_LEFT, SDLK_LEFT);
  Key(true, SDL_SCANCODE_LEFT, SDLK_LEFT);
  EXPECT_EQ(TakeKeyHits(37), 1);
}
