#include <csignal>

#include "display/display_fixture.h"
#include "support/read_back.h"

namespace {

// Keys pressed (true) and released (false) at fake-clock times.
struct KeyAt {
  uint32_t t;
  int key;
  bool down;
};

void ScriptKeys(std::vector<KeyAt> script) {
  auto pending = std::make_shared<std::vector<KeyAt>>(std::move(script));
  Input.EventScript = [pending] {
    while (!pending->empty() && pending->front().t <= ClockMs()) {
      const KeyAt k = pending->front();
      pending->erase(pending->begin());
      FeedInputEvent(InputEvent(k.down ? InputEvent::KeyDown : InputEvent::KeyUp, k.key));
    }
  };
}

// The menu's frames, seen from inside their frame ends (where the settings panel runs); the game's
// own frames have PauseState 1.
struct MenuFrames {
  static inline std::function<void()> each;
  static void Install() {
    Hooks.SettingsScreen = [] {
      if (each && Display.PauseState == 2) each();
    };
  }
  ~MenuFrames() { each = nullptr; }
};

// Which item is drawn yellow in a menu frame of the 800 x 600 space: 0 "Continue", 1 "Quit", -1 none.
int Highlighted() {
  for (int item = 0; item < 2; ++item) {
    auto band = GrabPixmap(80, 285 + 60 * item, 160, 16);
    int yellow = 0;
    for (int y = 0; y < band->height; ++y)
      for (int x = 0; x < band->width; ++x) {
        const uint32_t p = band->ReadPixel(x, y);
        yellow += ((p >> 16) & 255) > 200 && ((p >> 8) & 255) > 200 && (p & 255) < 80;
      }
    if (yellow > 10) return item;
  }
  return -1;
}

// Thrown by a script once a wait has gone on far past the moment it should have ended, so that a wait
// that never ends fails the test instead of hanging it.
struct StillWaiting {};

// The game: black frames (or grey ones) until the frame end returns the menu's answer.
int PlayUntilThePauseMenuAnswers(bool grey = false) {
  for (int frame = 0; frame < 2000; ++frame) {
    BeginFrame(1);
    if (grey) {
      Colour(160, 160, 160);
      DrawRect(0, 0, 800, 600);
    }
    if (const int answer = FrameEnd(0)) return answer;
  }
  ADD_FAILURE() << "the pause menu never answered";
  return 0;
}

}  // namespace

class PauseMenuTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    Hooks.PauseMenu = PauseMenu;
    Display.PauseState = 1;
    Display.OverlayOn = 0;
    Display.VirtualWidth = 800;  // the window's own size: the box at (80, 225), the words 60 and 120 below
    Display.VirtualHeight = 600;
    SetClsColor(0, 0, 0);
    MenuFrames::Install();
  }
  MenuFrames frames;
};

// Escape opens the menu; Escape again, or the fire button, chooses the highlighted item. The menu
// returns only once Escape is up, so the game never sees it.
TEST_F(PauseMenuTest, EscapeOrFireChoosesTheHighlightedItem) {
  REQUIRE_DISPLAY();
  struct Case {
    const char* what;
    std::vector<KeyAt> keys;
    int answer;
    uint32_t notBefore;
  } cases[] = {
      {"Escape on Continue", {{1100, 27, true}, {1200, 27, false}, {1500, 27, true}, {1800, 27, false}}, 1, 1800},
      {"Up, Escape on Quit", {{1100, 27, true}, {1200, 27, false}, {1300, 38, true}, {1350, 38, false},
                              {1500, 27, true}, {1900, 27, false}}, 99, 1900},
      {"Space on Continue", {{1100, 27, true}, {1200, 27, false}, {1500, 32, true}}, 1, 1500},
      {"Down, Space on Quit", {{1100, 27, true}, {1200, 27, false}, {1300, 40, true}, {1350, 40, false},
                               {1500, 32, true}}, 99, 1500},
      {"Z (set 1's bottom button) on Continue", {{1100, 27, true}, {1200, 27, false}, {1500, 90, true}}, 1, 1500},
  };
  for (const Case& c : cases) {
    ResetAllState(1000);
    ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
    SetVirtualSize(800, 600);
    SetDefaultControls();
    Hooks.PauseMenu = PauseMenu;
    Display.PauseState = 1;
    ScriptKeys(c.keys);
    EXPECT_EQ(PlayUntilThePauseMenuAnswers(), c.answer) << c.what;
    EXPECT_GE(ClockMs(), c.notBefore) << c.what;
    EXPECT_LT(ClockMs(), c.notBefore + 40) << c.what;
    EXPECT_EQ(IsKeyDown(27), 0) << c.what;
    EXPECT_EQ(Display.PauseState, 1) << c.what;
  }
}

// A fire button held when the menu opens selects nothing until it is released and pressed again.
TEST_F(PauseMenuTest, AFireButtonHeldWhenTheMenuOpensDoesNotSelect) {
  REQUIRE_DISPLAY();
  ScriptKeys({{900, 32, true}, {1100, 27, true}, {1200, 27, false}, {2000, 32, false}, {2500, 32, true}});
  EXPECT_EQ(PlayUntilThePauseMenuAnswers(), 1);
  EXPECT_GE(ClockMs(), 2500u);
}

// Down, Down from "Continue": "Quit", one frame without a highlight, "Continue". Up from
// "Continue" highlights "Quit" in the same frame.
TEST_F(PauseMenuTest, TheHighlightWrapsBelowTheLastItemAfterOneBlankFrameAndAboveTheFirstAtOnce) {
  REQUIRE_DISPLAY();
  struct Case {
    int key;
    std::vector<int> runs;
  } cases[] = {{40, {0, 1, -1, 0}}, {38, {0, 1}}};
  for (const Case& c : cases) {
    std::vector<int> seen;
    int blankFrames = 0;
    MenuFrames::each = [&] {
      const int h = Highlighted();
      blankFrames += h == -1;
      if (seen.empty() || seen.back() != h) seen.push_back(h);
    };
    const uint32_t t = ClockMs();
    std::vector<KeyAt> keys = {{t + 100, 27, true}, {t + 200, 27, false}, {t + 300, c.key, true},
                               {t + 350, c.key, false}};
    if (c.key == 40) keys.insert(keys.end(), {{t + 500, 40, true}, {t + 550, 40, false}});
    keys.insert(keys.end(), {{t + 800, 27, true}, {t + 850, 27, false}});
    ScriptKeys(keys);
    PlayUntilThePauseMenuAnswers();
    EXPECT_EQ(seen, c.runs) << "key " << c.key;
    EXPECT_EQ(blankFrames, c.key == 40 ? 1 : 0);
  }
}

// The menu's first frame over a grey game (on a black screen): the snapshot fills the screen, the box halves it, and the
// scattered titles show as the only other colours outside the box and the words. The titles come
// from the same numbers in every frame and every pause: the first frames of two pauses are the same
// picture. After the menu the generator is seeded from the clock.
TEST_F(PauseMenuTest, TheBoxAndTheTitlesAreDrawnAndTheTitlesStandStillAcrossFramesAndPauses) {
  REQUIRE_DISPLAY();
  std::vector<uint64_t> states;
  std::vector<std::shared_ptr<TPixmap>> firstFrames;
  int frame = 0;
  MenuFrames::each = [&] {
    states.push_back(Core.RandomState);
    if (frame++ == 0) firstFrames.push_back(GrabPixmap(0, 0, 800, 600));
  };
  for (uint32_t t : {1100u, 3100u}) {
    frame = 0;
    ScriptKeys({{t, 27, true}, {t + 100, 27, false}, {t + 600, 27, true}, {t + 650, 27, false}});
    PlayUntilThePauseMenuAnswers(true);
    EXPECT_NE(Core.RandomState, states.back());
    RandInt(0, 9);  // the game goes on using the generator between the pauses
  }
  ASSERT_EQ(firstFrames.size(), 2u);
  EXPECT_GT(states.size(), 40u);
  EXPECT_EQ(std::count(states.begin(), states.end(), states[0]), static_cast<long>(states.size()));
  EXPECT_TRUE(firstFrames[0]->pixels == firstFrames[1]->pixels);

  // The box: (80, 225), 133 x 150, black at alpha 0.5 over the grey; most of it shows as half grey,
  // none of that outside it. The titles: neither grey (nor the box's, nor the words' colours) outside
  // the box.
  const TPixmap& shot = *firstFrames[0];
  const ScreenBox box{80, 225, 133, 150};
  EXPECT_GT(PixelsOfColour(shot, box, 0x505050), box.w * box.h / 2);
  EXPECT_EQ(PixelsOfColour(shot, {0, 0, 80, 600}, 0x505050) + PixelsOfColour(shot, {213, 0, 587, 600}, 0x505050), 0);
  int titles = 0, grey = 0;
  for (int y = 0; y < shot.height; ++y)
    for (int x = 0; x < shot.width; ++x) {
      if (x >= box.x && x < box.x + box.w && y >= box.y && y < box.y + box.h) continue;
      const bool isGrey = PixelsOfColour(shot, {x, y, 1, 1}, 0xA0A0A0) == 1;
      grey += isGrey;
      titles += !isGrey;
    }
  EXPECT_GT(grey, 800 * 600 / 2) << "the snapshot of the game fills the screen";
  EXPECT_GT(titles, 5000) << "180 titles scattered across the screen";
}

// Ten seconds in the menu move the game's start time on by ten seconds; Escape in the menu's own
// frame ends never opens a second menu.
TEST_F(PauseMenuTest, TheTimeInTheMenuDoesNotCountForTheGame) {
  REQUIRE_DISPLAY();
  static int opened;
  opened = 0;
  Hooks.PauseMenu = [] { return ++opened, PauseMenu(); };
  Display.GameStartTime = 500;
  // Most of the ten seconds Escape stays held: the menu waits for its release before it draws.
  ScriptKeys({{2000, 27, true}, {11800, 27, false}, {11950, 27, true}, {12000, 27, false}});
  EXPECT_EQ(PlayUntilThePauseMenuAnswers(), 1);
  EXPECT_EQ(opened, 1);
  EXPECT_NEAR(static_cast<double>(Display.GameStartTime - 500), 10000.0, 20.0);
}

// Asked to end (the window closed, or SIGTERM) while Escape is held, the menu stops waiting for its
// release, and the next frame end runs the exit screen: the menu's own when the Escape that opened the
// menu is still held, the game's when the Escape that closed it is.
TEST_F(PauseMenuTest, AnEndRequestStopsTheWaitsForEscapesRelease) {
  REQUIRE_DISPLAY();
  struct Case {
    const char* what;
    bool signal;  // SIGTERM, else the window's close
    std::vector<KeyAt> keys;
    int exitsInPauseState;  // 2 in the menu's frame end, 1 in the game's
  } cases[] = {
      {"the window closed, the opening Escape held", false, {{1100, 27, true}}, 2},
      {"SIGTERM, the opening Escape held", true, {{1100, 27, true}}, 2},
      {"the window closed, the closing Escape held", false, {{1100, 27, true}, {1200, 27, false}, {1500, 27, true}}, 1},
      {"SIGTERM, the closing Escape held", true, {{1100, 27, true}, {1200, 27, false}, {1500, 27, true}}, 1},
  };
  static int exitPauseState;
  for (const Case& c : cases) {
    ResetAllState(1000);
    ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
    SetVirtualSize(800, 600);
    Hooks.PauseMenu = PauseMenu;
    exitPauseState = -1;
    Hooks.ExitScreen = [] {
      exitPauseState = Display.PauseState;
      throw ProgramExit{0};
    };
    Display.PauseState = 1;
    if (c.signal) CatchTerminationSignals();
    ScriptKeys(c.keys);
    auto keys = Input.EventScript;
    auto asked = std::make_shared<bool>(false), gaveUp = std::make_shared<bool>(false);
    const bool signal = c.signal;
    Input.EventScript = [keys, asked, gaveUp, signal] {
      keys();
      const uint32_t t = ClockMs();
      if (t >= 3000 && !*asked) {
        *asked = true;
        if (signal) std::raise(SIGTERM);
        else FeedInputEvent(InputEvent(InputEvent::Close));
      }
      if (t > 60000 && !*gaveUp) {
        *gaveUp = true;
        throw StillWaiting{};
      }
    };
    bool exited = false, hung = false;
    try {
      PlayUntilThePauseMenuAnswers();
    } catch (const ProgramExit&) {
      exited = true;
    } catch (const StillWaiting&) {
      hung = true;
    }
    EXPECT_FALSE(hung) << c.what << ": still waiting at " << ClockMs();
    EXPECT_TRUE(exited) << c.what;
    EXPECT_EQ(exitPauseState, c.exitsInPauseState) << c.what;
    EXPECT_GE(ClockMs(), 3000u) << c.what;
    EXPECT_LT(ClockMs(), 3040u) << c.what;
  }
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGHUP, SIG_DFL);
}
