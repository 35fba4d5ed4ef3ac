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
#include "support/read_back.h"
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
  for (const char* sub : {"/Files", "/Files/Common", "/Files/900"}) ::mkdir((dir.path() + sub).c_str(), 0755);
  ChangeDir(dir.file("Files/900"));
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

namespace {

// The redefinition buttons of the four control sets, as the panel lays them out fully open (offset
// +20): slot, top-left corner, colour. Sets 1 and 2 stand at x 250, sets 3 and 4 at x 650.
struct PanelButton {
  int slot, x, y;
  uint32_t rgb;
};
std::vector<PanelButton> RedefinitionButtons() {
  std::vector<PanelButton> buttons;
  for (int set = 1; set <= 4; ++set) {
    const int x0 = set <= 2 ? 250 : 650, y = 20 + 10 + (set % 2 == 0 ? 150 : 0), base = (set - 1) * 20;
    const PanelButton own[] = {
        {base + SlotUp, x0 + 50, y, 0x50FF50},          {base + SlotLeft, x0, y + 50, 0x50FF50},
        {base + SlotRight, x0 + 100, y + 50, 0x50FF50}, {base + SlotDown, x0 + 50, y + 50, 0x50FF50},
        {base + SlotButtonTop, x0 + 190, y, 0xFFFF50},  {base + SlotButtonLeft, x0 + 155, y + 30, 0x5050FF},
        {base + SlotButtonRight, x0 + 225, y + 30, 0xFF5050}, {base + SlotButtonBottom, x0 + 190, y + 60, 0x50FF50},
    };
    buttons.insert(buttons.end(), std::begin(own), std::end(own));
  }
  return buttons;
}

}  // namespace

// Every redefinition button takes the key pressed while the pointer is on it, and only there: a
// point just beside it (on no other button) changes no slot at all.
TEST_F(SettingsTest, EachRedefinitionButtonTakesAKeyAtItsPlaceAndNotBesideIt) {
  const auto buttons = RedefinitionButtons();
  auto onAButton = [&](int px, int py) {
    for (const PanelButton& b : buttons)
      if (b.x < px && px < b.x + 48 && b.y < py && py < b.y + 48) return true;
    return false;
  };
  Input.InputMode = 0;
  Display.SettingsOpen = 1;
  Settings.SettingsOffset = 20;
  auto pressAt = [&](int px, int py) {
    SetDefaultControls();
    FlushKeyboard();
    PointAt(px, py);
    Key(81);  // Q
    SettingsScreen();
    Key(81, false);
  };
  for (const PanelButton& b : buttons) {
    SetDefaultControls();
    auto expected = Input.ControlTable;
    expected[b.slot] = 81;
    pressAt(b.x + 24, b.y + 24);
    EXPECT_EQ(Input.ControlTable, expected) << "slot " << b.slot << " at " << b.x << "," << b.y;

    int tried = 0;
    for (const auto& [dx, dy] : {std::pair{-30, 0}, std::pair{30, 0}, std::pair{0, -30}, std::pair{0, 30}}) {
      const int px = b.x + 24 + dx, py = b.y + 24 + dy;
      if (onAButton(px, py)) continue;
      ++tried;
      pressAt(px, py);
      SetDefaultControls();
      const auto defaults = Input.ControlTable;
      pressAt(px, py);
      EXPECT_EQ(Input.ControlTable, defaults) << "beside slot " << b.slot << " at " << px << "," << py;
    }
    EXPECT_GT(tried, 0) << "slot " << b.slot;
  }
}

// An option changes with a click anywhere on its icon and label, and not with one just beside them.
TEST_F(SettingsTest, AnOptionTakesClicksOnItsIconAndLabelOnly) {
  Audio.DriverList = {"FreeMix", "Null", "Pulse"};
  struct Case {
    int entry, x, y;
    std::string widest;  // the widest line of the label shown at value 0
    int count;
  } cases[] = {
      {SetupFullscreen, 20, 20 + 30, "Windowed", 2},
      {SetupESS, 20, 20 + 146, "Draw all Frames", 2},
      {SetupEngine, 20, 20 + 184, "Optimum", 3},
      {SetupAudioDriver, 1280 - 280, 20 + 20, "Audio Driver", 3},
  };
  for (const Case& c : cases) {
    SelectFont(nullptr);  // the panel's font when none is loaded
    const int right = c.x + 38 + StringWidth(c.widest);
    struct Point {
      int x, y;
      bool changes;
    } points[] = {
        {c.x + 2, c.y + 2, true},      {c.x + 20, c.y + 16, true},     {right - 2, c.y + 30, true},
        {right + 2, c.y + 16, false},  {c.x - 2, c.y + 16, false},     {c.x + 20, c.y - 2, false},
        {c.x + 20, c.y + 34, false},
    };
    for (const Point& p : points) {
      SetDefaultSetupValues();
      Display.SettingsOpen = 1;
      Settings.SettingsOffset = 20;
      Core.SetupValues[c.entry] = 0;
      auto expected = Core.SetupValues;
      if (p.changes) expected[c.entry] = 1 % c.count;
      PointAt(p.x, p.y);
      Click(1);
      SettingsScreen();
      EXPECT_EQ(Core.SetupValues, expected) << "entry " << c.entry << " clicked at " << p.x << "," << p.y;
    }
  }
}

// ---- On the frame buffer ------------------------------------------------------------------------------

class SettingsDrawTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    if (!HaveDisplay()) return;
    ASSERT_NE(OpenScreen(1280, 960, 0, 60, 0), nullptr);
    SetVirtualSize(1280, 960);
    Display.Fonts[9] = TImageFont::Load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 14, FontSmooth);
    ASSERT_NE(Display.Fonts[9], nullptr);
    Audio.DriverList = {"FreeMix"};
    JoystickDevice pad;
    pad.Name = "Pad";
    pad.ButtonCount = 4;
    Input.JoystickScript->push_back(pad);
    InitJoystickPorts();
  }
  // The panel fully open, drawn once on a black screen, and read back.
  std::shared_ptr<TPixmap> Drawn() {
    SetClsColor(0, 0, 0);
    Cls();
    Display.SettingsOpen = 1;
    Settings.SettingsOffset = 20;
    SettingsScreen();
    return GrabPixmap(0, 0, 1280, 960);
  }
};

// Every text of the panel in its place and colour, the note on the height among them, the line at
// the panel's foot, and the name on each redefinition button in its button's colour.
TEST_F(SettingsDrawTest, ThePanelShowsEveryTextInItsColour) {
  REQUIRE_DISPLAY();
  constexpr uint32_t Green = 0x50FF50;
  struct Text {
    int x, y;
    std::string text;
    uint32_t rgb;
    int alignX = 0, alignY = 0;
  };
  const std::vector<Text> always = {
      {20, 24, "Graphics", Green},
      {58, 66, "Windowed", Green, 0, 1},
      {58, 174, "Draw all Frames", Green, 0, 1},
      {58, 190, "Decent System", Green, 0, 1},
      {58, 212, "OpenGL", Green, 0, 1},
      {58, 228, "Optimum", Green, 0, 1},
      {20, 280, "Apply", Green},
      {1038, 48, "Audio Driver", Green, 0, 1},
      {1038, 64, "FreeMix", Green, 0, 1},
      {1000, 70, "Changes require a Restart", 0xFFB4B4},
      {1000, 110, "Master Volume : 50", 0x50B4FF},
      {1000, 160, "Sounds : 50", 0x50B4FF},
      {1000, 210, "Music : 50", 0x50B4FF},
      {1000, 250, "Pad", Green},
  };
  struct Case {
    int width, height;
    Text note;
  } cases[] = {
      {800, 600, {80, 148, "Small (Bit blurry)", 0xFFB450}},
      {1280, 960, {80, 148, "Native (Crisp, Clear)", 0xFFFF50}},
      {1920, 1080, {80, 148, "Bigger! (High-Definition!)", 0xB4FF50}},
  };
  for (const Case& c : cases) {
    Input.InputMode = 0;
    Core.SetupValues[SetupWidth] = c.width;
    Core.SetupValues[SetupHeight] = c.height;
    std::vector<Text> texts = always;
    texts.push_back(c.note);
    texts.push_back({20, 128, std::to_string(c.width) + "x" + std::to_string(c.height), Green});
    for (const PanelButton& b : RedefinitionButtons()) {
      const int code = Input.ControlTable[b.slot];
      texts.push_back({b.x + 24, b.y + 24, code == 0 ? "?!" : ControlName(code), b.rgb, 1, 1});
    }
    const auto shot = Drawn();
    SelectFont(Display.Fonts[9]);
    for (const Text& t : texts)
      EXPECT_GT(PixelsOfColour(*shot, TextBox(t.x, t.y, t.text, t.alignX, t.alignY), t.rgb), 0)
          << t.text << " at " << t.x << "," << t.y;
    EXPECT_EQ(PixelsOfColour(*shot, {0, 318, 1280, 2}, 0xB4FFB4), 2 * 1280) << "the line at the panel's foot";
  }
}

// In mouse mode the controls area stays empty: none of the buttons' colours shows between the
// graphics and the audio columns.
TEST_F(SettingsDrawTest, InMouseModeTheControlsAreaIsEmpty) {
  REQUIRE_DISPLAY();
  for (int mode : {0, 1}) {
    Input.InputMode = mode;
    const auto shot = Drawn();
    int coloured = 0;
    for (uint32_t rgb : {0x50FF50u, 0xFFFF50u, 0x5050FFu, 0xFF5050u})
      coloured += PixelsOfColour(*shot, {250, 20, 650, 280}, rgb);
    if (mode == 0) EXPECT_GT(coloured, 100);
    else EXPECT_EQ(coloured, 0);
  }
}
