#include "display/display_fixture.h"

namespace {

// Key presses fed at the first pump of chosen frames (counted by FrameEnd calls).
struct FrameScript {
  std::vector<std::pair<int, InputEvent>> events;  // frame number from 1, event
  int frame = 0;
  void Install() {
    Input.EventScript = [this] {
      for (const auto& [at, e] : events)
        if (at == frame) FeedInputEvent(e);
      events.erase(std::remove_if(events.begin(), events.end(), [this](auto& p) { return p.first == frame; }),
                   events.end());
    };
  }
  int End(int showPointer = 0) {
    ++frame;
    return FrameEnd(showPointer);
  }
};

InputEvent Key(int code, bool down = true) { return InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code); }

}  // namespace

TEST_F(DisplayTest, FramesArePacedToSixtyPerSecond) {
  REQUIRE_DISPLAY();
  Display.LastFrameTime = ClockMs();
  const uint32_t start = ClockMs();
  for (int i = 0; i < 60; ++i) FrameEnd(0);
  const uint32_t elapsed = ClockMs() - start;
  EXPECT_GE(elapsed, 60u * 15);  // at least 14.67 ms each, in whole 1 ms sleeps
  EXPECT_LE(elapsed, 60u * 16);
  EXPECT_GE(Display.FpsSmooth, 60);
  EXPECT_LE(Display.FpsSmooth, 67);
  EXPECT_EQ(Display.FramesPresented, 60);
}

TEST_F(DisplayTest, ASlowSystemPresentsEverySecondFrame) {
  REQUIRE_DISPLAY();
  Core.SetupValues[SetupESS] = 1;
  int pauses = 0;
  static int* counter;
  counter = &pauses;
  Hooks.PauseMenu = [] { return ++*counter, 1; };
  Display.PauseState = 1;
  FrameScript s;
  s.events = {{1, Key(27)}};  // Escape held from the first frame on
  s.Install();
  for (int i = 0; i < 10; ++i) s.End();
  EXPECT_EQ(Display.FramesPresented, 5);
  EXPECT_EQ(pauses, 5);  // Escape is acted on only on presented frames
}

// The settings panel (or the engine test its Apply starts) may switch the slow-system mode on in the
// middle of a frame end; the presentation step goes by the switch as it stands then.
TEST_F(DisplayTest, APresentationFollowsTheSlowSystemSwitchAsItStandsAtThatStep) {
  REQUIRE_DISPLAY();
  Hooks.SettingsScreen = [] { Core.SetupValues[SetupESS] = 1; };
  Display.FrameParity = 1;
  FrameEnd(0);
  EXPECT_EQ(Display.FramesPresented, 0);  // a skipped frame of the slow system
  FrameEnd(0);
  EXPECT_EQ(Display.FramesPresented, 1);
}

// The settings panel's Apply re-applies the graphics settings from inside a frame end: the screen is
// reopened and the whole engine test runs its frame ends nested in the outer one, which then finishes
// on the new screen. Escape during the test does not open the pause menu over it, even in a game.
TEST_F(DisplayTest, AnApplyRunsTheWholeEngineTestInsideAFrameEnd) {
  REQUIRE_DISPLAY();
  GameFolders folders;
  Display.ModeSource = [] { return std::vector<TGraphicsMode>{{800, 600, 24, 60}, {640, 480, 24, 60}}; };
  Display.GraphicsReady = 1;
  Core.SetupValues[SetupWidth] = 640;
  Core.SetupValues[SetupHeight] = 480;
  Hooks.LoadGameAssets = [] { EngineTest(60, 2); };
  static int applies, pauses, nestedEnds;
  applies = pauses = nestedEnds = 0;
  Hooks.SettingsScreen = [] {
    if (Display.EngineCount > 0) ++nestedEnds;
    if (applies++ == 0) ApplyGraphicsSettings();  // the click, once
  };
  Hooks.PauseMenu = [] { return ++pauses, 1; };
  Display.PauseState = 1;
  Input.EventScript = [] {
    if (Display.EngineCount == 1000) FeedInputEvent(Key(27));
  };
  const int presented = Display.FramesPresented;
  EXPECT_EQ(FrameEnd(1), 0);
  EXPECT_EQ(pauses, 0);
  EXPECT_EQ(Display.PauseState, 1);
  EXPECT_GE(nestedEnds, 400);
  EXPECT_EQ(Display.FramesPresented - presented, 431);  // 30 slide-in + 400 measured + the outer one
  EXPECT_EQ(Display.ScreenWidth, 640);
  EXPECT_EQ(CurrentScreen()->g_width, 640);
  EXPECT_FALSE(FileExists(folders.game + "/crash.dat"));
  FrameEnd(1);  // Escape still held: the game's pause menu opens again now
  EXPECT_EQ(pauses, 1);
}

TEST_F(DisplayTest, EscapeOpensThePauseMenuOnlyDuringAGameAndPausedTimeDoesNotCount) {
  REQUIRE_DISPLAY();
  Hooks.PauseMenu = [] {
    EXPECT_EQ(Display.PauseState, 2);
    SleepMs(10000);  // a pause of ten seconds
    return 99;
  };
  FrameScript s;
  s.events = {{1, Key(27)}};
  s.Install();
  Display.PauseState = 0;  // the title screen
  EXPECT_EQ(s.End(), 0);
  EXPECT_EQ(s.End(), 0);
  Display.PauseState = 1;  // a game
  Display.GameStartTime = 5000;
  EXPECT_EQ(s.End(), 99);
  EXPECT_EQ(Display.PauseState, 1);
  EXPECT_EQ(Display.GameStartTime, 15000u);
}

TEST_F(DisplayTest, TabTogglesTheSettingsPanelAndRewritesTheSetupFile) {
  REQUIRE_DISPLAY();
  static int writes;
  writes = 0;
  Hooks.WriteSetup = [] { ++writes; };
  FrameScript s;
  s.events = {{1, Key(9)}, {2, Key(9, false)}, {3, Key(9)}, {5, Key(123)}};
  s.Install();
  s.End();
  EXPECT_EQ(Display.SettingsOpen, 1);
  s.End();
  s.End();
  EXPECT_EQ(Display.SettingsOpen, 0);
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(Display.OverlayOn, 1);
  s.End();
  s.End();
  EXPECT_EQ(Display.OverlayOn, 0);  // F12
}

TEST_F(DisplayTest, AltF4OrClosingTheWindowRunsTheExitScreen) {
  REQUIRE_DISPLAY();
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  FrameScript s;
  s.events = {{2, Key(165)}, {2, Key(115)}};
  s.Install();
  EXPECT_NO_THROW(s.End());
  EXPECT_THROW(s.End(), ProgramExit);
  ResetAllState();
  OpenScreen(800, 600, 0, 60, 0);
  Hooks.ExitScreen = [] { throw ProgramExit{0}; };
  FeedInputEvent(InputEvent(InputEvent::Close));
  EXPECT_THROW(FrameEnd(0), ProgramExit);
}

TEST_F(DisplayTest, NoticesStackUpwardHighlightedAtFirstAndLeaveAfterTheirHundredAndEightiethFrame) {
  REQUIRE_DISPLAY();
  Display.VirtualHeight = 600;
  // On a slow system a frame of odd parity is drawn but not presented, so its picture can be read.
  Core.SetupValues[SetupESS] = 1;
  Display.FrameParity = 1;
  Display.OverlayOn = 0;
  ShowNotice("First notice", 1);
  ShowNotice("Second", 1);
  // The topmost row holding a pixel that passes the test.
  auto topOf = [](bool (*match)(uint32_t)) {
    auto shot = GrabPixmap(0, 0, 800, 600);
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 200; ++x)
        if (match(shot->ReadPixel(x, y))) return y;
    return -1;
  };
  auto yellowBox = [](uint32_t p) { return ((p >> 16) & 255) > 150 && ((p >> 8) & 255) > 150 && (p & 255) < 50; };
  auto whiteText = [](uint32_t p) { return (p & 0xFFFFFF) == 0xFFFFFF; };
  Cls();
  FrameEnd(0);  // tick 1: yellow boxes, the first at the bottom, the second 14 units higher
  EXPECT_EQ(topOf(yellowBox), 570);
  EXPECT_EQ(topOf(whiteText), -1);
  for (int frame = 2; frame <= 60; ++frame) FrameEnd(0);
  Cls();
  FrameEnd(0);  // tick 61, not presented: white text on black boxes
  EXPECT_EQ(topOf(yellowBox), -1);
  EXPECT_GE(topOf(whiteText), 570);
  for (int frame = 62; frame < 180; ++frame) FrameEnd(0);
  ASSERT_EQ(Display.Notices.size(), 2u);
  EXPECT_EQ(Display.Notices[0].tick, 179);
  FrameEnd(0);
  EXPECT_TRUE(Display.Notices.empty());
}

TEST_F(DisplayTest, ThePointerIsLatchedInVirtualUnitsEachFrame) {
  REQUIRE_DISPLAY();
  SetVirtualSize(1280, 960);
  InputEvent move(InputEvent::MouseMove);
  move.x = 100;
  move.y = 50;
  FeedInputEvent(move);
  FrameEnd(1);
  EXPECT_EQ(Display.PointerX, 160);
  EXPECT_EQ(Display.PointerY, 80);
  move.x = 10;
  FeedInputEvent(move);
  FrameEnd(1);
  EXPECT_EQ(Display.PointerPrevX, 160);
  EXPECT_EQ(Display.PointerX, 16);
}
