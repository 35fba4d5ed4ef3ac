#include <gtest/gtest.h>

#include <climits>

#include "input/input.h"
#include "support/test_support.h"

namespace {

void Key(int code, bool down) { FeedInputEvent(InputEvent(down ? InputEvent::KeyDown : InputEvent::KeyUp, code)); }

JoystickDevice Pad(const std::string& name, int buttons, bool hat) {
  JoystickDevice d;
  d.Name = name;
  d.ButtonCount = buttons;
  d.HasHat = hat;
  d.Hat = hat ? -1.0f : 0.0f;
  return d;
}

}  // namespace

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetAllState();
    SetDefaultControls();
  }
  // Scripts the devices and fills the ports from them, as start-up does.
  static void Attach(std::vector<JoystickDevice> devices) {
    Input.JoystickScript = std::move(devices);
    InitJoystickPorts();
  }
  static JoystickDevice& Device(int i) { return (*Input.JoystickScript)[i]; }
};

TEST_F(ControlsTest, NamesOfCodes) {
  struct Case {
    int code;
    const char* name;
  } cases[] = {
      {350, "Y-"}, {333, "3"}, {300, "Y-"}, {311, "R+"}, {451, "Y+"}, {320, "Up"}, {325, "Right"},
      {328, "Down"}, {323, "Left"}, {348, "18"}, {330, "0"},  {349, ""},  {315, ""},  {321, ""},
      {38, "Up"},  {90, "Z"},  {49, "1"},  {97, "1"},  {107, "+"}, {123, "F12"}, {160, "LShift"},
      {222, "#"},  {223, "`"}, {220, "\\"}, {226, "\\"}, {192, "'"}, {174, "Volume Down"},
      {1, "Left Mousebutton"}, {8, "Backspace"}, {150, "Key 150"}, {255, "Key 255"},
      {0, ""}, {-1, ""}, {256, ""}, {299, ""}, {INT_MIN, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ControlName(c.code), c.name) << c.code;
  EXPECT_EQ(ControlName(550), "Y-");  // a port beyond 4 still has its detail's name
  EXPECT_EQ(ControlName(INT_MAX), ControlName(300 + INT_MAX % 50));
}

TEST_F(ControlsTest, WithDefaultsSetOneFollowsTheArrowsAndOtherSetsAreUnbound) {
  Key(38, true);
  EXPECT_TRUE(ControlDown(SlotUp, 1));
  EXPECT_FALSE(ControlDown(SlotUp, 2));
  EXPECT_FALSE(ControlDown(SlotDown, 1));
  Key(38, false);
  EXPECT_FALSE(ControlDown(SlotUp, 1));
  Key(90, true);
  EXPECT_TRUE(ControlDown(SlotButtonBottom, 1));
  // Sets and slots outside the table are never down.
  for (auto [slot, set] : {std::pair{SlotUp, 0}, {SlotUp, 5}, {20, 4}, {-1, 1}, {INT_MAX, INT_MAX}})
    EXPECT_FALSE(ControlDown(slot, set)) << slot << "," << set;
}

TEST_F(ControlsTest, OnlyKeyCodes10To254AreReadAsKeys) {
  for (int code : {9, 255, 8, 3}) {
    Key(code, true);
    EXPECT_FALSE(ControlActive(code)) << code;
  }
  Key(10, true);
  Key(254, true);
  EXPECT_TRUE(ControlActive(10));
  EXPECT_TRUE(ControlActive(254));
}

TEST_F(ControlsTest, PortsAreFilledFromTheDevicesPresentAtStartUpAtMostFour) {
  JoystickDevice pad = Pad("Pad", 5, true);
  pad.Axis = {0.1f, -0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  Attach({pad, Pad("Stick", 32, false), Pad("C", 0, false), Pad("D", 1, false), Pad("E", 1, false)});
  EXPECT_EQ(Input.JoystickCount, 4);
  EXPECT_EQ(Input.JoyPorts[1].Name, "Pad");
  EXPECT_EQ(Input.JoyPorts[1].ButtonMask, 31);
  EXPECT_EQ(Input.JoyPorts[2].ButtonMask, -1);  // all 32 bits
  EXPECT_EQ(Input.JoyPorts[3].ButtonMask, 0);
  EXPECT_EQ(Input.JoyPorts[1].Rest, pad.Axis);
  EXPECT_TRUE(Input.JoyPorts[1].HasHat);
  EXPECT_FALSE(Input.JoyPorts[2].HasHat);  // a device without a hat reads 0, not centred
  for (int p = 1; p <= 4; ++p) EXPECT_TRUE(Input.JoyPorts[p].Enabled);

  Attach({});
  EXPECT_EQ(Input.JoystickCount, 0);
  EXPECT_FALSE(Input.JoyPorts[1].Enabled);
  EXPECT_EQ(Input.JoyPorts[1].Name, "");
}

// Axis directions count once the axis is more than 0.3 from its rest value (strictly).
TEST_F(ControlsTest, AxesCountAgainstTheirRestValuesWithADeadZone) {
  JoystickDevice pad = Pad("Pad", 4, false);
  pad.Axis[AxisX] = 0.5f;  // an axis resting off centre
  Attach({pad, pad});
  struct Case {
    int axis;
    float reading;
    int code;   // port 2
    bool down;
  } cases[] = {
      {AxisY, -0.31f, 350, true}, {AxisY, -0.29f, 350, false}, {AxisY, -0.31f, 351, false},
      {AxisY, 0.31f, 351, true},  {AxisX, 0.79f, 353, false},  {AxisX, 0.81f, 353, true},
      {AxisX, 0.19f, 352, true},  {AxisX, 0.0f, 352, true},    {AxisX, 0.5f, 352, false},
      {AxisZ, -1.0f, 354, true},  {AxisZ, 1.0f, 355, true},    {AxisU, -0.5f, 356, true},
      {AxisU, 0.5f, 357, true},   {AxisV, -0.5f, 358, true},   {AxisV, 0.5f, 359, true},
      {AxisR, -0.5f, 360, true},  {AxisR, 0.5f, 361, true},    {AxisR, 0.5f, 360, false},
  };
  for (const Case& c : cases) {
    Device(1).Axis = pad.Axis;
    Device(1).Axis[c.axis] = c.reading;
    EXPECT_EQ(ControlActive(c.code), c.down) << "axis " << c.axis << " at " << c.reading << ", code " << c.code;
    EXPECT_FALSE(ControlActive(c.code - 50)) << "port 1 is at rest";
  }
}

// The hat windows overlap: a diagonal reports both neighbours; a centred or absent hat nothing.
TEST_F(ControlsTest, HatDirectionsUseOverlappingWindows) {
  Attach({Pad("Hat", 2, true), Pad("NoHat", 2, false)});
  struct Case {
    float hat;
    bool up, right, down, left;
  } cases[] = {
      {0.0f, true, false, false, false},   {0.125f, true, true, false, false}, {0.25f, false, true, false, false},
      {0.375f, false, true, true, false},  {0.5f, false, false, true, false},  {0.625f, false, false, true, true},
      {0.75f, false, false, false, true},  {0.875f, true, false, false, true}, {-1.0f, false, false, false, false},
  };
  for (const Case& c : cases) {
    Device(0).Hat = c.hat;
    EXPECT_EQ(ControlActive(320), c.up) << c.hat;
    EXPECT_EQ(ControlActive(325), c.right) << c.hat;
    EXPECT_EQ(ControlActive(328), c.down) << c.hat;
    EXPECT_EQ(ControlActive(323), c.left) << c.hat;
  }
  // Port 2 has no hat: its reading 0 would lie in the "up" window, but it never counts.
  EXPECT_FALSE(ControlActive(370));
}

TEST_F(ControlsTest, ButtonsDisabledPortsAndCodesOfAnyValue) {
  Attach({Pad("Pad", 20, false)});
  Device(0).ButtonsDown = 1u << 3;
  EXPECT_TRUE(ControlActive(333));  // button 3 of port 1
  EXPECT_FALSE(ControlActive(332));
  EXPECT_FALSE(ControlActive(383));  // port 2 is missing
  Device(0).ButtonsDown = 1u << 19;
  EXPECT_FALSE(ControlActive(349));  // detail 49 names no input

  Device(0).ButtonsDown = 1u << 3;
  Input.JoyPorts[1].Enabled = false;
  EXPECT_FALSE(ControlActive(333));
  EXPECT_EQ(DetectControl(), 0);

  for (int code : {499, 500, 549, 10000, INT_MAX, INT_MIN, -300, 256, 299}) {
    EXPECT_FALSE(ControlActive(code)) << code;
    ControlName(code);
  }
}

TEST_F(ControlsTest, DetectionScansKeysThenPortsInOrder) {
  JoystickDevice pad = Pad("Pad", 25, true);
  Attach({pad, pad});
  EXPECT_EQ(DetectControl(), 0);

  // Buttons, the last thing scanned on a port; only buttons 0..18 are recognised.
  Device(1).ButtonsDown = (1u << 19) | (1u << 7);
  EXPECT_EQ(DetectControl(), 387);
  Device(1).ButtonsDown = 1u << 19;
  EXPECT_EQ(DetectControl(), 0);

  // The hat only exactly on a cardinal direction.
  Device(1).Hat = 0.125f;
  EXPECT_EQ(DetectControl(), 0);
  Device(1).Hat = 0.75f;
  EXPECT_EQ(DetectControl(), 373);
  Device(1).Hat = 0.0f;
  EXPECT_EQ(DetectControl(), 370);

  // An axis comes before the hat; port 1 before port 2.
  Device(1).Axis[AxisR] = 0.9f;
  EXPECT_EQ(DetectControl(), 361);
  Device(1).Axis[AxisX] = -0.9f;
  EXPECT_EQ(DetectControl(), 352);
  Device(0).ButtonsDown = 1;
  EXPECT_EQ(DetectControl(), 330);

  // A key comes first, the lowest code first, and nothing while F11 or F12 is held.
  Key(90, true);
  Key(40, true);
  EXPECT_EQ(DetectControl(), 40);
  Key(122, true);
  EXPECT_EQ(DetectControl(), 0);
  Key(122, false);
  Key(123, true);
  EXPECT_EQ(DetectControl(), 0);
}

TEST_F(ControlsTest, JoystickQueriesOfMissingDevicesAndAxes) {
  JoystickDevice pad = Pad("Pad", 3, true);
  pad.AxisCount = 2;  // reports X and Y only
  pad.Axis = {0.5f, -0.5f, 0.9f, 0.9f, 0.9f, 0.9f};
  Input.JoystickScript = std::vector<JoystickDevice>{pad};
  EXPECT_EQ(CountJoysticks(), 1);
  EXPECT_EQ(JoystickName(0), "Pad");
  EXPECT_EQ(JoystickButtonMask(0), 7);
  EXPECT_FLOAT_EQ(JoystickAxis(AxisX, 0), 0.5f);
  EXPECT_FLOAT_EQ(JoystickAxis(AxisZ, 0), 0.0f);  // not reported: keeps its last value, at first 0
  EXPECT_FLOAT_EQ(JoystickHat(0), -1.0f);         // a released hat reads -1, not 0

  Device(0).Hat = 0.25f;
  EXPECT_FLOAT_EQ(JoystickHat(0), 0.25f);
  Input.JoystickScript->clear();  // unplugged: axes and hat keep their last values, the rest is 0
  EXPECT_FLOAT_EQ(JoystickAxis(AxisY, 0), -0.5f);
  EXPECT_FLOAT_EQ(JoystickHat(0), 0.25f);
  EXPECT_EQ(JoystickButtonMask(0), 0);
  EXPECT_EQ(JoystickButtonDown(0, 0), 0);
  EXPECT_EQ(JoystickName(0), "");

  for (int port : {-1, 16, INT_MAX, INT_MIN}) {
    EXPECT_FLOAT_EQ(JoystickAxis(AxisX, port), 0.0f);
    EXPECT_FLOAT_EQ(JoystickHat(port), 0.0f);
    EXPECT_EQ(JoystickButtonDown(0, port), 0);
  }
  EXPECT_FLOAT_EQ(JoystickAxis(6, 0), 0.0f);
  EXPECT_FLOAT_EQ(JoystickAxis(-1, 0), 0.0f);
}

// Without a script the queries go to SDL; a machine without joysticks answers with none.
TEST(SdlJoysticks, AMachineWithoutJoysticksHasNoPorts) {
  ResetAllState();
  Input.JoystickScript.reset();
  InitJoystickPorts();
  EXPECT_GE(Input.JoystickCount, 0);
  EXPECT_LE(Input.JoystickCount, 4);
  EXPECT_EQ(JoystickButtonMask(15), 0);
  ResetInputState();
}
