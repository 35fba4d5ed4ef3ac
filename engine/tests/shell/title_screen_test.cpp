#include <gtest/gtest.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "online/online.h"
#include "render/render.h"
#include "scores/scores.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "test_game/test_game.h"
#include "support/test_support.h"

namespace {

void Key(int code, bool down) { FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code)); }
void Button(bool down) { FeedInputEvent(InputEvent(down ? InputEvent::MouseDown : InputEvent::MouseUp, 1)); }
void PointerAt(int x, int y) {
  Display.PointerX = x;
  Display.PointerY = y;
}

// The rates of the menu sound (98) started since the last call.
std::vector<float> MenuSoundRates() {
  std::vector<float> rates;
  for (const AudioEvent& e : Audio.Recorded)
    if (e.What == AudioEvent::Started && e.Sound == Audio.SoundBank[98].get()) rates.push_back(e.Rate);
  Audio.Recorded.clear();
  return rates;
}

// The 1280 x 960 space of a wide screen, everything slid in: the panel is 335 wide at x 940, the
// prompt's centre is (472, 480), the difficulties start at (372, 680), 50 apart.
constexpr int PromptX = 472, PromptY = 480;

}  // namespace

class TitleScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    SetDefaultControls();
    UseRecordingAudio();
    Audio.SoundBank[98] = CreateSound(SoundSamples{8000, 1, std::vector<int16_t>(800)});
    Display.ScreenWidth = 1280;
    Display.ScreenHeight = 960;
    Shell.SlideIn = 32;
  }
  void TearDown() override { ResetRenderState(); }
};

TEST_F(TitleScreenTest, AStartNeedsAStartControlOfTheInputModeHeldInThePreviousFrame) {
  enum Press { Enter, KeyZ, KeyV, SetTwoButton, SetFourButton, SetThreeUp, UpArrow, Click, ClickOffPrompt };
  struct Case {
    const char* what;
    int mode;
    Press press;
    bool start;
    int settingsOffset = -300, focus = 0;
    bool latch = false;
  } cases[] = {
      {"Enter", 0, Enter, true},
      {"Z", 0, KeyZ, true},
      {"V", 0, KeyV, true},
      {"a button of set 2", 0, SetTwoButton, true},
      {"a button of set 4", 0, SetFourButton, true},
      {"up of set 3", 0, SetThreeUp, true},
      {"up of set 1 changes the difficulty instead", 0, UpArrow, false},
      {"a click in controls mode", 0, Click, false},
      {"a click on the prompt", 1, Click, true},
      {"a click beside the prompt", 1, ClickOffPrompt, false},
      {"Enter in mouse mode", 1, Enter, false},
      {"settings panel still showing", 0, Enter, false, -250},
      {"settings panel still showing, mouse", 1, Click, false, 20},
      {"a login field has the keys", 0, Enter, false, -300, 1},
      {"latched after a game", 0, Enter, false, -300, 0, true},
      {"latched after a game, mouse", 1, Click, false, -300, 0, true},
  };
  for (const Case& c : cases) {
    SetUp();
    Input.InputMode = c.mode;
    Input.ControlTable[20 + SlotButtonBottom] = 65;  // A
    Input.ControlTable[60 + SlotButtonTop] = 66;     // B
    Input.ControlTable[40 + SlotUp] = 85;            // U
    Settings.SettingsOffset = c.settingsOffset;
    Shell.FieldFocus = c.focus;
    Shell.StartLatch = c.latch;
    PointerAt(c.press == ClickOffPrompt ? PromptX + 250 : PromptX, PromptY);
    auto press = [&](bool down) {
      switch (c.press) {
        case Enter: Key(13, down); break;
        case KeyZ: Key(90, down); break;
        case KeyV: Key(86, down); break;
        case SetTwoButton: Key(65, down); break;
        case SetFourButton: Key(66, down); break;
        case SetThreeUp: Key(85, down); break;
        case UpArrow: Key(38, down); break;
        case Click:
        case ClickOffPrompt: Button(down); break;
      }
    };
    press(true);
    EXPECT_FALSE(TitleScreen()) << c.what << ": the first frame only notes the press";
    EXPECT_EQ(TitleScreen(), c.start) << c.what;
    if (c.latch) {
      // The player lets go of the control held from the game and presses it again: letting go
      // starts nothing, the fresh press starts the game.
      press(false);
      EXPECT_FALSE(TitleScreen()) << c.what << ": let go";
      press(true);
      EXPECT_FALSE(TitleScreen()) << c.what << ": pressed again, first frame";
      EXPECT_TRUE(TitleScreen()) << c.what << ": pressed again";
    }
  }
}

TEST_F(TitleScreenTest, UpAndDownStepThroughTheDifficultiesOncePerPressAndWrap) {
  struct Case {
    int from, key, to;
    float rate;
  } cases[] = {
      {0, 38, 2, 0.95f},  // Up on Easy: Hard
      {2, 40, 0, 1.05f},  // Down on Hard: Easy
      {1, 38, 0, 0.95f},  {1, 40, 2, 1.05f},
      {0, 87, 2, 0.95f},  // up of control set 2 (W)
      {2, 83, 0, 1.05f},  // down of control set 2 (S)
  };
  for (int mode : {0, 1})
    for (const Case& c : cases) {
      SetUp();
      Input.InputMode = mode;
      Input.ControlTable[20 + SlotUp] = 87;
      Input.ControlTable[20 + SlotDown] = 83;
      Core.Difficulty = c.from;
      Key(c.key, true);
      for (int frame = 0; frame < 10; ++frame) EXPECT_FALSE(TitleScreen());  // held: no start either
      EXPECT_EQ(Core.Difficulty, c.to) << c.from << " " << c.key;
      EXPECT_EQ(MenuSoundRates(), std::vector<float>{c.rate});
      // Up and Down are start controls too: neither letting go nor pressing again starts a game.
      Key(c.key, false);
      EXPECT_FALSE(TitleScreen()) << "let go: " << c.from << " " << c.key;
      Key(c.key, true);  // pressed again: one more step
      for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(TitleScreen()) << "again: " << c.from << " " << c.key;
      EXPECT_EQ(Core.Difficulty, (c.to + (c.key == 38 || c.key == 87 ? 2 : 1)) % 3);
    }

  // A click picks a difficulty directly.
  SetUp();
  PointerAt(400, 790);  // on "Hard"
  Button(true);
  TitleScreen();
  TitleScreen();
  EXPECT_EQ(Core.Difficulty, 2);
  EXPECT_EQ(MenuSoundRates(), std::vector<float>{1.0f});
}

// While a login field has the keyboard, Up and Down move between the fields and the difficulty stays.
TEST_F(TitleScreenTest, UpAndDownLeaveTheDifficultyAloneWhileALoginFieldHasFocus) {
  for (int mode : {0, 1})
    for (int focus : {1, 2})
      for (int key : {38, 40, 87, 83}) {  // the arrows, and up and down of control set 2
        SetUp();
        Input.InputMode = mode;
        Input.ControlTable[20 + SlotUp] = 87;
        Input.ControlTable[20 + SlotDown] = 83;
        Online.Enabled = 1;
        Shell.Page = 1;
        Shell.FieldFocus = focus;
        for (int press = 0; press < 2; ++press) {
          Key(key, true);
          for (int frame = 0; frame < 3; ++frame) EXPECT_FALSE(TitleScreen());
          Key(key, false);
          EXPECT_FALSE(TitleScreen());
        }
        EXPECT_NE(Shell.FieldFocus, 0) << mode << " " << focus << " " << key;
        EXPECT_EQ(Core.Difficulty, 1) << mode << " " << focus << " " << key;
        EXPECT_TRUE(MenuSoundRates().empty()) << mode << " " << focus << " " << key;
      }
}

TEST_F(TitleScreenTest, TabsTurnByKeysAndClicksAndTheOnlineTabExistsOnlyWithItsSwitch) {
  // The tab strip: "1.Hiscore" 940..1040, "2.Online" 1050..1150, "3.About" 1161..1261, 5..55.
  struct Case {
    bool online;
    int from;
    int key;     // 0: a click at clickX
    int clickX;
    int to;
  } cases[] = {
      {false, 0, 50, 0, 0},    {false, 0, 113, 0, 0},  {false, 0, 0, 1060, 0},  // 2, F2, click: nothing
      {false, 0, 51, 0, 2},    {false, 0, 114, 0, 2},  {false, 0, 0, 1170, 2},  // 3, F3, click: About
      {false, 2, 49, 0, 0},    {false, 2, 112, 0, 0},  {false, 2, 0, 950, 0},   // 1, F1, click: Hiscores
      {true, 0, 50, 0, 1},     {true, 0, 113, 0, 1},   {true, 0, 0, 1060, 1},
  };
  for (const Case& c : cases) {
    SetUp();
    Online.Enabled = c.online;
    Shell.Page = c.from;
    PointerAt(c.clickX, 20);
    if (c.key) Key(c.key, true);
    else Button(true);
    for (int frame = 0; frame < 5; ++frame) TitleScreen();
    EXPECT_EQ(Shell.Page, c.to) << c.online << " " << c.key << " " << c.clickX;
    EXPECT_EQ(MenuSoundRates().size(), c.to != c.from ? 1u : 0u) << "one sound per choice";
  }

  // The click latch: while the button that chose About is held, key 1 does nothing; once all is let
  // go, it turns the page.
  SetUp();
  PointerAt(1170, 20);
  Button(true);
  TitleScreen();
  Key(49, true);
  TitleScreen();
  EXPECT_EQ(Shell.Page, 2);
  Button(false);
  Key(49, false);
  TitleScreen();
  Key(49, true);
  TitleScreen();
  EXPECT_EQ(Shell.Page, 0);
}

TEST_F(TitleScreenTest, PagesSetTheBackgroundsTarget) {
  struct Case {
    int page;
    std::array<float, 3> target;
  } cases[] = {{0, {0.2f, 0, 1}}, {1, {0, 1, 0.2f}}, {2, {0, 0.2f, 1}}};
  for (const Case& c : cases) {
    SetUp();
    Online.Enabled = 1;
    Shell.Page = c.page;
    TitleScreen();
    EXPECT_EQ(Display.BackTarget, c.target) << c.page;
  }
}

// A whole loop in controls mode: Z starts a game and is held through its end, through name entry and
// back onto the title, where it starts nothing until it has been let go and pressed again.
TEST_F(TitleScreenTest, AfterAGameThePanelSlidesInAgainAndTheHeldStartControlWaitsForItsRelease) {
  TempDir dir;
  ChangeDir(dir.path());
  BuildDefaultKey();
  LoadScores();
  Display.SpriteBudget[1] = 50000;
  Display.SpriteBudget[3] = 500;
  Input.InputMode = 0;
  Shell.SlideIn = 0;
  Hooks.PauseMenu = [] { return 99; };  // Escape in a game quits it
  ScoreLists.GraphScroll = 400;
  ScoreLists.SelectedIndex = 1003;

  struct Frame {
    int slideIn, pauseState, graphScroll, selectedIndex;
  };
  static std::vector<Frame> frames;
  frames.clear();
  Hooks.MusicTick = [] {
    frames.push_back({Shell.SlideIn, Display.PauseState, ScoreLists.GraphScroll, ScoreLists.SelectedIndex});
  };

  int games = 0;
  bool inGame = false, zHeld = false;
  uint32_t gameStart = 0, nameEntry = 0, secondStart = 0, releasedZ = 0, pressedZ = 0;
  Input.EventScript = [&] {
    const uint32_t t = ClockMs();
    if (!inGame && Display.PauseState == 1) {
      inGame = true;
      ++games;
      gameStart = t;
      if (games == 2) secondStart = t;
    }
    if (inGame && Display.PauseState == 0) {  // the game is over: name entry follows at once
      inGame = false;
      nameEntry = t;
      Key(27, false);
    }
    // Every game is quit after a second; every name is confirmed by one press of Enter.
    if (inGame && t > gameStart + 1000) Key(27, true);
    if (!inGame && nameEntry) Key(13, t >= nameEntry + 500 && t < nameEntry + 550);
    // Z: held from the title into the first game and on through its end, let go 1.5 s after the
    // first name entry, pressed once more half a second later.
    if (t >= 1100 && games == 0 && !zHeld) {
      zHeld = true;
      Key(90, true);
    }
    if (zHeld && games == 1 && !inGame && t > nameEntry + 2000) {
      zHeld = false;
      Key(90, false);
      releasedZ = t;
    }
    if (releasedZ && pressedZ == 0 && t > releasedZ + 500) {
      Key(90, true);
      pressedZ = t;
    }
    if (pressedZ && t > pressedZ + 100) Key(90, false);
    // A held key repeats, as the window system repeats it.
    if (zHeld) {
      InputEvent repeat(InputEvent::KeyDown, 90);
      repeat.repeat = true;
      FeedInputEvent(repeat);
    }
    // The end: Escape pressed now and then ends whatever runs, and at last the title loop.
    if ((games >= 2 && !inGame && t > nameEntry + 3000) || t > 60000) {
      zHeld = false;
      Key(90, false);
      Key(27, t % 500 < 50);
    }
  };
  TitleLoop();

  EXPECT_EQ(games, 2);
  EXPECT_GT(pressedZ, 0u);
  EXPECT_GT(secondStart, pressedZ);  // not while Z was held from the first game
  // The first title frames after the first game: the panel slides in from 0 again, one step a frame,
  // with the graph back at the newest games and nothing selected.
  size_t i = 0;
  while (i < frames.size() && frames[i].pauseState != 1) ++i;   // the first game
  while (i < frames.size() && frames[i].slideIn != 1) ++i;      // back on the title
  ASSERT_LT(i + 32, frames.size());
  for (int a = 1; a <= 32; ++a, ++i) {
    EXPECT_EQ(frames[i].slideIn, a);
    EXPECT_EQ(frames[i].pauseState, 0);
  }
  EXPECT_EQ(frames[i].slideIn, 32);
  EXPECT_EQ(frames[i].graphScroll, 0);
  EXPECT_EQ(frames[i].selectedIndex, 0);
  EXPECT_EQ(ScoreLists.LocalScores.size(), 2u);
}

// ---- On the frame buffer ------------------------------------------------------------------------------

class TitleScreenDrawTest : public TitleScreenTest {
 protected:
  void SetUp() override {
    TitleScreenTest::SetUp();
    if (!HaveDisplay()) return;
    ASSERT_NE(OpenScreen(1280, 960, 0, 60, 0), nullptr);
    SetVirtualSize(1280, 960);
    SetAutoCentreHandle(1);
    SetClsColor(200, 200, 200);
    Cls();
  }
  static int Red(int x, int y) { return static_cast<int>((GrabPixmap(x, y, 1, 1)->ReadPixel(0, 0) >> 16) & 255); }
};

TEST_F(TitleScreenDrawTest, ThePanelSlidesInToFiveUnitsFromTheRightEdge) {
  REQUIRE_DISPLAY();
  struct Case {
    int slideIn, left;  // the panel's left edge; black at 0.5 over the grey 200 gives 100
  } cases[] = {{32, 940}, {31, 965}, {20, 1240}};
  for (const Case& c : cases) {
    Cls();
    Shell.SlideIn = c.slideIn;
    TitleScreen();
    EXPECT_EQ(Red(c.left - 1, 200), 200) << c.slideIn;
    EXPECT_EQ(Red(c.left, 200), 100) << c.slideIn;
    const int right = c.left + 335;  // on screen only once slid in
    if (right < 1280) {
      EXPECT_EQ(Red(right - 1, 200), 100) << c.slideIn;
      EXPECT_EQ(Red(right, 200), 200) << c.slideIn;
    }
  }
}

TEST_F(TitleScreenDrawTest, TheOnlineLabelIsDrawnOnlyWithTheOnlineSwitch) {
  REQUIRE_DISPLAY();
  auto darkInTheMiddleOfTheStrip = [] {
    auto shot = GrabPixmap(1074, 8, 67, 30);
    int dark = 0;
    for (int y = 0; y < shot->height; ++y)
      for (int x = 0; x < shot->width; ++x) dark += ((shot->ReadPixel(x, y) >> 16) & 255) < 40;
    return dark;
  };
  TitleScreen();
  EXPECT_EQ(darkInTheMiddleOfTheStrip(), 0);
  Cls();
  Online.Enabled = 1;
  TitleScreen();
  EXPECT_GT(darkInTheMiddleOfTheStrip(), 20);  // "2.Online" in black: not the page shown
}
