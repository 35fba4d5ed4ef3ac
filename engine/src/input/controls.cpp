// Controls: control codes over keys and joystick ports, the test of a code, the scan that finds the
// input pressed now (used to redefine a control), and the names of codes.
#include <algorithm>

#include "input/input.h"

// The axis of each pair of axis details: 0/1 Y, 2/3 X, 4/5 Z, 6/7 U, 8/9 V, 10/11 R.
static constexpr int DetailAxis[6] = {AxisY, AxisX, AxisZ, AxisU, AxisV, AxisR};
static constexpr const char* AxisNames[12] = {"Y-", "Y+", "X-", "X+", "Z-", "Z+",
                                              "U-", "U+", "V-", "V+", "R-", "R+"};
static constexpr float DeadZone = 0.3f;  // an axis counts once it is this far from its rest value

void InitJoystickPorts() {
  Input.JoystickCount = std::min(CountJoysticks(), 4);
  for (JoyPort& port : Input.JoyPorts) port = JoyPort{};
  for (int p = 1; p <= Input.JoystickCount; ++p) {
    JoyPort& port = Input.JoyPorts[p];
    port.ButtonMask = JoystickButtonMask(p - 1);
    port.Name = JoystickName(p - 1);
    for (int axis = AxisX; axis <= AxisV; ++axis) port.Rest[axis] = JoystickAxis(axis, p - 1);
    port.Enabled = true;
    port.HasHat = JoystickHat(p - 1) == -1.0f;  // only a device with a hat reads centred
  }
}

// The enabled port a joystick code refers to, 0 for none.
static int PortOf(int code) {
  if (code < 300) return 0;
  const int p = code / 50 - 5;
  return p >= 1 && p <= 4 && Input.JoyPorts[p].Enabled ? p : 0;
}

// Axis detail d (0..11) of port p: the axis pushed below (even d) or above (odd d) its rest value.
static bool AxisPushed(int p, int d) {
  const int axis = DetailAxis[d / 2];
  const float reading = JoystickAxis(axis, p - 1);
  const float rest = Input.JoyPorts[p].Rest[axis];
  return d % 2 == 0 ? reading < rest - DeadZone : reading > rest + DeadZone;
}

bool ControlActive(int code) {
  if (code >= 10 && code <= 254) return IsKeyDown(code) != 0;
  const int p = PortOf(code);
  if (p == 0) return false;
  const int d = code % 50;
  if (d < 12) return AxisPushed(p, d);
  if (d == 20 || d == 23 || d == 25 || d == 28) {
    if (!Input.JoyPorts[p].HasHat) return false;
    // The windows overlap, so a diagonal position reports both neighbouring directions.
    const float h = JoystickHat(p - 1);
    switch (d) {
      case 20: return (h > 0.8f || h < 0.2f) && h >= 0.0f;
      case 25: return h > 0.1f && h < 0.4f;
      case 28: return h > 0.3f && h < 0.7f;
      default: return h > 0.6f && h < 0.9f;
    }
  }
  if (d >= 30 && d <= 48) return JoystickButtonDown(d - 30, p - 1) != 0;
  return false;
}

bool ControlDown(int slot, int set) {
  if (set < 1 || set > 4 || slot < 0 || slot > 19) return false;
  return ControlActive(Input.ControlTable[(set - 1) * 20 + slot]);
}

int DetectControl() {
  PumpEvents();
  if (Input.KeyDown[122] || Input.KeyDown[123]) return 0;  // F11 and F12 keep their own jobs
  for (int key = 1; key <= 255; ++key)
    if (Input.KeyDown[key]) return key;
  for (int p = 1; p <= std::min(Input.JoystickCount, 4); ++p) {
    const JoyPort& port = Input.JoyPorts[p];
    if (!port.Enabled) continue;
    const int base = 250 + 50 * p;
    for (int d = 0; d < 12; ++d)
      if (AxisPushed(p, d)) return base + d;
    if (port.HasHat) {
      // Only a hat held exactly on a cardinal direction is recognised here.
      const float h = JoystickHat(p - 1);
      if (h == 0.0f) return base + 20;
      if (h == 0.25f) return base + 25;
      if (h == 0.5f) return base + 28;
      if (h == 0.75f) return base + 23;
    }
    for (int b = 0; b < 19; ++b)
      if ((port.ButtonMask >> b) & 1 && JoystickButtonDown(b, p - 1)) return base + 30 + b;
  }
  return 0;
}

// Key names; the punctuation follows a United Kingdom keyboard.
static std::string KeyName(int code) {
  if (code >= 48 && code <= 57) return std::string(1, static_cast<char>(code));
  if (code >= 65 && code <= 90) return std::string(1, static_cast<char>(code));
  if (code >= 96 && code <= 105) return std::string(1, static_cast<char>('0' + code - 96));
  if (code >= 112 && code <= 123) return "F" + std::to_string(code - 111);
  switch (code) {
    case 1: return "Left Mousebutton";
    case 2: return "Right Mousebutton";
    case 3: return "Middle Mousebutton";
    case 8: return "Backspace";
    case 9: return "Tab";
    case 12: return "Clear";
    case 13: return "Return";
    case 19: return "Pause";
    case 20: return "CapsLock";
    case 27: return "Escape";
    case 32: return "Space";
    case 33: return "Page Up";
    case 34: return "Page Down";
    case 35: return "End";
    case 36: return "Home";
    case 37: return "Left";
    case 38: return "Up";
    case 39: return "Right";
    case 40: return "Down";
    case 41: return "Select";
    case 42: return "Print";
    case 43: return "Execute";
    case 44: return "Screen";
    case 45: return "Insert";
    case 46: return "Delete";
    case 91: return "Sys Left";
    case 92: return "Sys Right";
    case 106: return "*";
    case 107: return "+";
    case 109: return "-";
    case 110: return ".";
    case 111: return "/";
    case 144: return "NumLock";
    case 145: return "ScrollLock";
    case 160: return "LShift";
    case 161: return "RShift";
    case 162: return "LControl";
    case 163: return "RControl";
    case 164: return "LAlt";
    case 165: return "RAlt";
    case 173: return "Mute";
    case 174: return "Volume Down";
    case 175: return "Volume Up";
    case 186: return ";";
    case 187: return "=";
    case 188: return ",";
    case 189: return "-";
    case 190: return ".";
    case 191: return "/";
    case 192: return "'";
    case 219: return "[";
    case 220: return "\\";
    case 221: return "]";
    case 222: return "#";
    case 223: return "`";
    case 226: return "\\";
    default: return "Key " + std::to_string(code);  // a key without a name of its own
  }
}

std::string ControlName(int code) {
  if (code >= 1 && code <= 255) return KeyName(code);
  if (code < 300) return "";
  const int d = code % 50;  // the port does not show in the name
  if (d < 12) return AxisNames[d];
  switch (d) {
    case 20: return "Up";
    case 23: return "Left";
    case 25: return "Right";
    case 28: return "Down";
    default: break;
  }
  if (d >= 30 && d <= 48) return std::to_string(d - 30);
  return "";
}
