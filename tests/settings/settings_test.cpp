// The settings panel, run frame by frame as the frame end runs it. Without a window nothing is drawn
// while every rule runs; the pointer is placed in virtual units as the frame end latches it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "render/render.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "support/test_support.h"

namespace {

void Key(int code, bool down = true) { FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code)); }
void Click(int button) {
  FeedInputEvent(InputEvent(InputEvent::MouseDown, button));
  FeedInputEvent(InputEvent(InputEvent::MouseUp, button));
}
void PointAt(int x, int y) {
  Display.PointerX = x;
  Display.PointerY = y;
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultSetupValues();
    SetDefaultControls();
    Display.VirtualWidth = 1280;
    Display.VirtualHeight = 960;
  }
  void TearDown() override { ResetRenderState(); }
  // The panel fully open (offset +20).
  void Open() {
    Display.SettingsOpen = 1;
    for (int i = 0; i < 10; ++i) SettingsScreen();
    ASSERT_EQ(Settings.SettingsOffset, 20);
  }
};

}  // namespace

// Tab opens the panel in ten frames to +20 and closes it in ten; a half-open panel turns back at
// once. Each Tab rewrites the setup file.
TEST_F(SettingsTest, ThePanelSlidesWithTabAndAHalfOpenPanelTurnsBack) {
  static int writes;
  writes = 0;
  Hooks.WriteSetup = [] { ++writes; };
  Hooks.SettingsScreen = SettingsScreen;
  std::vector<int> offsets;
  for (int frame = 1; frame <= 9; ++frame) {
    if (frame == 1 || frame == 5) Key(9);
    if (frame == 2 || frame == 6) Key(9, false);
    FrameEnd(0);
    offsets.push_back(Settings.SettingsOffset);
  }
  EXPECT_EQ(offsets, (std::vector<int>{-268, -236, -204, -172, -204, -236, -268, -300, -300}));
  EXPECT_EQ(writes, 2);
  EXPECT_EQ(Display.SettingsOpen, 0);
  Open();
  Display.SettingsOpen = 0;
  for (int i = 0; i < 10; ++i) SettingsScreen();
  EXPECT_EQ(Settings.SettingsOffset, -300);
}

// Dragging a volume below 6 gives silence, above 94 full volume; the knob follows the pointer.
TEST_F(SettingsTest, AVolumeSliderSnapsToSilenceAndToFull) {
  Open();
  const int x = 1280 - 280, y = 20 + 70;  // the master volume's track
  const std::pair<int, int> drags[] = {{x + 2, 0}, {x + 3, 0}, {x + 4, 6}, {x + 48, 50}, {x + 92, 94}, {x + 94, 100}};
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
  for (const auto& [px, stored] : drags) {
    PointAt(px, y + 5);
    SettingsScreen();
    EXPECT_EQ(Core.SetupValues[SetupMaster], stored) << "pointer at " << px - x;
  }
  FeedInputEvent(InputEvent(InputEvent::MouseUp, 1));
  PointAt(x + 20, y + 5);
  SettingsScreen();
  EXPECT_EQ(Core.SetupValues[SetupMaster], 100);  // without the button held nothing moves
  PointAt(x + 20, 20 + 120 + 5);                    // the sounds' track
  FeedInputEvent(InputEvent(InputEvent::MouseDown, 1));
  SettingsScreen();
  EXPECT_EQ(Core.SetupValues[SetupSound], 22);
}

// Over the resolution choice, Right, Up and a left click take the next mode, Left, Down and a right
// click the one before, wrapping at both ends; with a single mode it stays selected.
TEST_F(SettingsTest, TheResolutionCyclesThroughTheModes) {
  struct Case {
    int modes;
    std::vector<std::function<void()>> inputs;
    int index;
  } cases[] = {
      {3, {[] { Key(39); }}, 2},
      {3, {[] { Key(38); }, [] { Key(38, false); }, [] { Key(38); }}, 3},
      {3, {[] { Key(37); }}, 3},
      {3, {[] { Key(40); }, [] { Key(40, false); }, [] { Key(40); }}, 2},
      {3, {[] { Click(1); }, [] { Click(1); }, [] { Click(1); }}, 1},
      {3, {[] { Click(2); }}, 3},
      {1, {[] { Key(39); }, [] { Key(39, false); }, [] { Key(37); }}, 1},
      {1, {[] { Click(1); }, [] { Click(2); }}, 1},
  };
  const int widths[] = {0, 800, 1280, 1600}, heights[] = {0, 600, 720, 900};
  for (const Case& c : cases) {
    ResetAllState();
    SetDefaultSetupValues();
    Display.ModeCount = c.modes;
    for (int i = 1; i <= c.modes; ++i) {
      Display.ModeWidths[i] = widths[i];
      Display.ModeHeights[i] = heights[i];
    }
    Core.SetupValues[SetupModeIndex] = 1;
    Open();
    PointAt(100, 20 + 120);  // inside the choice's area, below its icon
    SettingsScreen();
    for (const auto& input : c.inputs) {
      input();
      SettingsScreen();
    }
    const int i = c.index;
    EXPECT_EQ(Core.SetupValues[SetupModeIndex], i);
    EXPECT_EQ(Core.SetupValues[SetupWidth], widths[i]);
    EXPECT_EQ(Core.SetupValues[SetupHeight], heights[i]);
  }
}

// A key pressed before the pointer came to the resolution choice does not count there, and a click
// on the choice leaves the shape of the screen in use alone.
TEST_F(SettingsTest, TheResolutionTakesOnlyWhatHappenedOverIt) {
  Display.ModeCount = 2;
  Display.ModeWidths[1] = 800, Display.ModeHeights[1] = 600;
  Display.ModeWidths[2] = 1280, Display.ModeHeights[2] = 720;
  Core.SetupValues[SetupModeIndex] = 1;
  Core.SetupValues[SetupWidescreen] = 1;
  Open();
  Key(39);
  PointAt(30, 20 + 80);  // on the icon itself
  SettingsScreen();
  EXPECT_EQ(Core.SetupValues[SetupModeIndex], 1);
  Click(1);
  SettingsScreen();
  EXPECT_EQ(Core.SetupValues[SetupModeIndex], 2);
  EXPECT_EQ(Core.SetupValues[SetupWidescreen], 1);
}

// The other options cycle through their labels; the audio back ends offered are the first six.
TEST_F(SettingsTest, OptionsCycleThroughTheirChoices) {
  struct Case {
    int entry;
    int drivers;
    int x, y;  // a point on the option's icon, panel open
    int start;
    std::vector<int> afterClicks;
  } cases[] = {
      {SetupAudioDriver, 3, 1280 - 270, 20 + 30, 0, {1, 2, 0}},
      {SetupAudioDriver, 8, 1280 - 270, 20 + 30, 4, {5, 0}},
      {SetupFullscreen, 1, 30, 20 + 40, 0, {1, 0}},
      {SetupESS, 1, 30, 20 + 156, 0, {1, 0}},
      {SetupEngine, 1, 30, 20 + 194, 0, {1, 2, 0}},
  };
  for (const Case& c : cases) {
    ResetAllState();
    SetDefaultSetupValues();
    Audio.DriverList.clear();
    for (int i = 0; i < c.drivers; ++i) Audio.DriverList.push_back("Driver " + std::to_string(i));
    Core.SetupValues[c.entry] = c.start;
    Open();
    PointAt(c.x, c.y);
    std::vector<int> seen;
    for (size_t i = 0; i < c.afterClicks.size(); ++i) {
      Click(1);
      SettingsScreen();
      seen.push_back(Core.SetupValues[c.entry]);
    }
    EXPECT_EQ(seen, c.afterClicks) << "entry " << c.entry;
  }
}

// Pointing at a redefinition button with the panel fully open assigns the input held (the lowest
// key first), Backspace unbinds and the setup file then has no line for it; F11 held changes
// nothing, a panel still sliding changes nothing, and in mouse mode there are no buttons at all.
TEST_F(SettingsTest, ARedefinitionButtonTakesTheInputPressedWhilePointedAt) {
  TempDir dir;
  Shell.FilesDir = dir.path();
  struct Case {
    const char* what;
    int inputMode;
    int offset;
    std::vector<int> keys;
    int code;  // ControlTable[0] afterwards (set 1's Up, default 38)
  } cases[] = {
      {"a key", 0, 20, {81}, 81},
      {"two keys: the lowest", 0, 20, {90, 81}, 81},
      {"Backspace", 0, 20, {8}, 0},
      {"F11 held", 0, 20, {122, 81}, 38},
      {"the panel still sliding", 0, -12, {81}, 38},
      {"mouse mode", 1, 20, {81}, 38},
      {"mouse mode, Backspace", 1, 20, {8}, 38},
  };
  for (const Case& c : cases) {
    SetDefaultControls();
    FlushKeyboard();
    Input.InputMode = c.inputMode;
    Display.SettingsOpen = 1;
    Settings.SettingsOffset = c.offset - 32;
    PointAt(320, c.offset + 30);  // set 1's Up button: (300, offset + 10), 48 x 48
    for (int key : c.keys) Key(key);
    SettingsScreen();
    EXPECT_EQ(Input.ControlTable[0], c.code) << c.what;
  }
  // Unbound by Backspace, the control's line leaves the setup file; the others stay.
  SetDefaultControls();
  FlushKeyboard();
  Input.InputMode = 0;
  Key(8);
  SettingsScreen();
  WriteSetup();
  const auto lines = ReadLines(dir.file("Setup.ini"));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("Key=0,", 0) == 0; }), 0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Key=3,37"), lines.end());
}

// A click on a joystick's name turns its port off, another turns it on again.
TEST_F(SettingsTest, AClickOnAJoystickNameTogglesItsPort) {
  JoystickDevice pad;
  pad.Name = "Pad";
  pad.ButtonCount = 4;
  Input.JoystickScript->push_back(pad);
  InitJoystickPorts();
  ASSERT_EQ(Input.JoystickCount, 1);
  Open();
  PointAt(1280 - 280 + 2, 20 + 230 + 5);
  Click(1);
  SettingsScreen();
  EXPECT_FALSE(Input.JoyPorts[1].Enabled);
  Click(1);
  SettingsScreen();
  EXPECT_TRUE(Input.JoyPorts[1].Enabled);
}

// Apply closes the panel, writes the setup file and re-applies the graphics once, even when the
// pointer stays on it and the player keeps clicking through the frames the engine test draws.
TEST_F(SettingsTest, ApplyReappliesTheGraphicsOnce) {
  REQUIRE_DISPLAY();
  TempDir dir;
  for (const char* sub : {"/Files", "/Files/Common", "/Files/278"}) ::mkdir((dir.path() + sub).c_str(), 0755);
  ChangeDir(dir.file("Files/278"));
  ASSERT_NE(OpenScreen(800, 600, 0, 60, 0), nullptr);
  Display.GraphicsReady = 1;
  Display.ModeSource = [] { return std::vector<TGraphicsMode>{{800, 600, 24, 60}, {1280, 720, 24, 60}}; };
  Core.SetupValues[SetupWidth] = 1280;
  Core.SetupValues[SetupHeight] = 720;
  static int writes, applies;
  writes = applies = 0;
  Hooks.WriteSetup = [] { ++writes; };
  Hooks.SettingsScreen = SettingsScreen;
  Hooks.LoadGameAssets = [] {  // stands in for the engine test: frames of its own, clicks in them
    ++applies;
    for (int i = 0; i < 12; ++i) {
      PointAt(25, Settings.SettingsOffset - 32 + 265);  // where Apply is in this frame, sliding out
      Click(1);
      BeginFrame(1);
      FrameEnd(0);
    }
  };
  Open();
  PointAt(25, 20 + 265);
  Click(1);
  SettingsScreen();
  EXPECT_EQ(applies, 1);
  EXPECT_EQ(writes, 1);
  EXPECT_EQ(Display.SettingsOpen, 0);
  EXPECT_EQ(Settings.SettingsOffset, -300);
  EXPECT_EQ(Display.VirtualWidth, 1600);
  EXPECT_FALSE(Settings.Applying);
}
