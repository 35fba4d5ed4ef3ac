#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "scores/scores.h"
#include "support/test_support.h"

namespace {

void Key(int code, bool down) { FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code)); }

void Type(const std::string& utf8) {
  InputEvent e(InputEvent::Text);
  e.text = utf8;
  FeedInputEvent(e);
}

// Calls step with the number of frames the name entry screen has ended so far, at every pump of
// events; records the name at the end of every frame.
struct ScreenScript {
  explicit ScreenScript(std::function<void(int frame)> step) {
    static ScreenScript* current = nullptr;
    current = this;
    Hooks.MusicTick = [] {  // the frame end calls it once a frame
      current->names.push_back(ScoreLists.PlayerName);
      if (current->onFrame) current->onFrame();
    };
    Input.EventScript = [this, step] { step(static_cast<int>(names.size())); };
  }
  std::vector<std::string> names;  // PlayerName after each frame
  std::function<void()> onFrame;
};

// Thrown by a script once a wait has gone on far past the moment it should have ended, so that a wait
// that never ends fails the test instead of hanging it.
struct StillWaiting {};

}  // namespace

class NameEntryTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAllState(); }
  void TearDown() override { ResetRenderState(); }
};

TEST_F(NameEntryTest, EditTextAppendsOneStorableCharacterThenHonoursBackspace) {
  struct Case {
    const char* text;
    std::string typed;  // UTF-8, or "" for none
    int controlKey;     // a key whose control character enters the queue (0 none)
    bool backspace;
    const char* result;
  } cases[] = {
      {"Player", "a", 0, false, "Playera"},
      {"Player", "ab", 0, false, "Playera"},           // one character a step
      {"", " ", 0, false, " "},
      {"Jo", "\xC3\xA9", 0, false, "Jo\xE9"},          // 8-bit characters are kept as such
      {"Jo", "\xC3\xBF", 0, false, "Jo\xFF"},
      {"Jo", "|", 0, false, "Jo"},                      // would split the stored record
      {"Jo", "\x1F", 0, false, "Jo"},
      {"Jo", "\xE2\x82\xAC", 0, false, "Jo"},          // beyond 8 bits: never queued
      {"Jo", "", 9, false, "Jo"},                       // Tab
      {"Jo", "", 13, false, "Jo"},                      // Enter
      {"Jo", "", 27, false, "Jo"},                      // Escape
      {"Player", "", 0, true, "Playe"},
      {"P", "", 0, true, ""},
      {"", "", 0, true, ""},
      {"Player", "x", 0, true, "Player"},               // appended, then dropped
  };
  for (const Case& c : cases) {
    ResetAllState();
    if (!c.typed.empty()) Type(c.typed);
    if (c.controlKey) Key(c.controlKey, true);
    if (c.backspace) Key(8, true);
    EXPECT_EQ(EditText(c.text), c.result) << c.text << " + " << c.typed << " " << c.controlKey;
  }
}

TEST_F(NameEntryTest, TakesOneCharacterAFrameAndBackspacesToAnEmptyName) {
  ScoreLists.PlayerName = "Player";
  Type("zz");  // typed before the screen opened: forgotten
  ScreenScript script([](int frame) {
    if (frame == 2 && Input.CharWrite == 0) Type("abc");
    if (frame >= 8 && frame <= 27) Key(8, frame % 2 == 0);  // Backspace pressed in every second frame
    if (frame == 30) Key(13, true);
    if (frame > 30) Key(13, false);
  });
  EnterName();
  const auto& names = script.names;
  ASSERT_EQ(names.size(), 31u);
  EXPECT_EQ(names[1], "Player");
  EXPECT_EQ(names[2], "Playera");
  EXPECT_EQ(names[3], "Playerab");
  EXPECT_EQ(names[4], "Playerabc");
  EXPECT_EQ(names[8], "Playerab");
  EXPECT_EQ(names[9], "Playerab");
  EXPECT_EQ(names[22], "P");
  EXPECT_EQ(names[24], "");
  EXPECT_EQ(names[26], "");  // Backspace on an empty name
  EXPECT_EQ(ScoreLists.PlayerName, "");
}

TEST_F(NameEntryTest, AControlHeldFromTheGameMustBeLetGoBeforeAnythingConfirms) {
  // Each confirming control held as the screen opens: it is let go at 2000 and pressed again at 3000.
  struct Case {
    InputEvent down, up;
  } cases[] = {
      {InputEvent(InputEvent::KeyDown, 13), InputEvent(InputEvent::KeyUp, 13)},
      {InputEvent(InputEvent::KeyDown, 27), InputEvent(InputEvent::KeyUp, 27)},
      {InputEvent(InputEvent::MouseDown, 1), InputEvent(InputEvent::MouseUp, 1)},
  };
  for (const Case& c : cases) {
    ResetAllState(1000);
    FeedInputEvent(c.down);
    uint32_t firstFrame = 0;
    bool pressedAgain = false;
    ScreenScript script([&](int frames) {
      const uint32_t t = ClockMs();
      if (frames == 1 && firstFrame == 0) firstFrame = t;
      if (t >= 2000 && t < 3000 && !pressedAgain) FeedInputEvent(c.up);
      if (t >= 3000 && !pressedAgain) {
        pressedAgain = true;
        FeedInputEvent(c.down);
      }
      if (t >= 3100) FeedInputEvent(c.up);
    });
    EnterName();
    EXPECT_GE(firstFrame, 2000u) << c.down.code;  // no frame is shown while it is held
    EXPECT_GE(ClockMs(), 3100u) << c.down.code;   // confirmed by the new press, returned on its release
    EXPECT_LT(ClockMs(), 3200u) << c.down.code;
  }
}

// Asked to end (the window closed, or SIGTERM) while a confirming control is held, neither wait for its
// release goes on: the one before the screen's first frame, whose frame end then runs the exit screen,
// and the one after the screen was confirmed, which returns with the request still pending for the
// next frame end to act on.
TEST_F(NameEntryTest, AnEndRequestStopsTheWaitsForAHeldControl) {
  struct Case {
    const char* what;
    bool signal;        // SIGTERM, else the window's close
    bool heldFromGame;  // Enter held as the screen opens; else Escape pressed in its third frame and held
  } cases[] = {
      {"the window closed, Enter held from the game", false, true},
      {"SIGTERM, Enter held from the game", true, true},
      {"the window closed, the confirming Escape held", false, false},
      {"SIGTERM, the confirming Escape held", true, false},
  };
  for (const Case& c : cases) {
    ResetAllState(1000);
    Hooks.ExitScreen = [] { throw ProgramExit{0}; };
    if (c.signal) CatchTerminationSignals();
    if (c.heldFromGame) Key(13, true);
    bool asked = false, gaveUp = false;
    ScreenScript script([&](int frames) {
      const uint32_t t = ClockMs();
      if (!c.heldFromGame && frames == 3 && !Input.KeyDown[27]) Key(27, true);
      if (t >= 3000 && !asked) {
        asked = true;
        if (c.signal) std::raise(SIGTERM);
        else FeedInputEvent(InputEvent(InputEvent::Close));
      }
      if (t > 60000 && !gaveUp) {
        gaveUp = true;
        throw StillWaiting{};
      }
    });
    bool exited = false, hung = false;
    try {
      EnterName();
    } catch (const ProgramExit&) {
      exited = true;
    } catch (const StillWaiting&) {
      hung = true;
    }
    EXPECT_FALSE(hung) << c.what << ": still waiting at " << ClockMs();
    EXPECT_GE(ClockMs(), 3000u) << c.what;
    EXPECT_LT(ClockMs(), 3040u) << c.what;
    if (c.heldFromGame) {
      EXPECT_TRUE(exited) << c.what;
      EXPECT_EQ(script.names.size(), 1u) << c.what;  // the screen's first frame end ran the exit screen
    } else {
      EXPECT_FALSE(exited) << c.what;
      EXPECT_EQ(IsKeyDown(27), 1) << c.what;
      EXPECT_EQ(TakeCloseRequest(), 1) << c.what;  // left for the next frame end
    }
    EXPECT_EQ(Input.Terminating, c.signal) << c.what;
  }
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGHUP, SIG_DFL);
}

// ---- On the frame buffer ------------------------------------------------------------------------------

TEST_F(NameEntryTest, TheBlinkingCursorNeverMovesTheName) {
  REQUIRE_DISPLAY();
  ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
  SetVirtualSize(800, 600);  // one unit a pixel; the built-in font's letters are 8 wide
  Display.VirtualWidth = 800;
  Display.VirtualHeight = 600;
  Display.OverlayOn = 0;
  ScoreLists.PlayerName = "Ab";

  // The green name's left and right ends on the line centred on 300, frame by frame.
  std::vector<std::pair<int, int>> seen;
  ScreenScript script([](int frames) {
    if (frames == 60) Key(13, true);
    if (frames > 60) Key(13, false);
  });
  script.onFrame = [&] {
    auto shot = GrabPixmap(0, 285, 800, 30);
    int left = -1, right = -1;
    for (int y = 0; y < shot->height; ++y)
      for (int x = 0; x < shot->width; ++x) {
        const uint32_t p = shot->ReadPixel(x, y);
        if (((p >> 8) & 255) > 200 && ((p >> 16) & 255) < 100) {
          if (left < 0 || x < left) left = x;
          right = std::max(right, x);
        }
      }
    seen.emplace_back(left, right);
  };
  EnterName();

  // The cursor blinks: some frames end after the name's two letters, some after a third.
  int withCursor = 0, without = 0;
  for (const auto& [left, right] : seen) {
    EXPECT_NEAR(left, 400 - 16 / 2, 1);  // centred by the name alone
    if (std::abs(right - (392 + 3 * 8 - 1)) <= 2) ++withCursor;
    else if (std::abs(right - (392 + 2 * 8 - 1)) <= 2) ++without;
    else ADD_FAILURE() << "the name ends at " << right;
  }
  EXPECT_GT(withCursor, 10);
  EXPECT_GT(without, 10);
}
