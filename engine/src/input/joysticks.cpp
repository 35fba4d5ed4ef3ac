// The joystick queries over the joystick source: SDL's devices, or the scripted ones of a test.
#include "input/platform.h"

static bool ValidPort(int port) { return port >= 0 && port < static_cast<int>(Input.JoyAxes.size()); }

// Reads device `port` now and keeps its axes and hat as the last readings.
static bool ReadDevice(int port, JoystickDevice& d) {
  if (!ValidPort(port)) return false;
  if (Input.JoystickScript) {
    if (port >= static_cast<int>(Input.JoystickScript->size())) return false;
    d = (*Input.JoystickScript)[port];
  } else if (!SdlJoystickRead(port, d)) {
    return false;
  }
  for (int a = 0; a < d.AxisCount && a < 6; ++a) Input.JoyAxes[port][a] = d.Axis[a];
  Input.JoyHats[port] = d.HasHat ? d.Hat : 0.0f;
  return true;
}

int CountJoysticks() {
  if (Input.JoystickScript) return static_cast<int>(Input.JoystickScript->size());
  return SdlJoystickCount();
}

std::string JoystickName(int port) {
  JoystickDevice d;
  return ReadDevice(port, d) ? d.Name : std::string();
}

int JoystickButtonMask(int port) {
  JoystickDevice d;
  if (!ReadDevice(port, d) || d.ButtonCount <= 0) return 0;
  if (d.ButtonCount >= 32) return static_cast<int>(0xFFFFFFFFu);
  return static_cast<int>((1u << d.ButtonCount) - 1);
}

int JoystickButtonDown(int button, int port) {
  JoystickDevice d;
  if (button < 0 || !ReadDevice(port, d)) return 0;
  return (d.ButtonsDown >> (button % 32)) & 1u ? 1 : 0;
}

float JoystickAxis(int axis, int port) {
  JoystickDevice d;
  ReadDevice(port, d);  // a missing device leaves the last values
  if (!ValidPort(port) || axis < 0 || axis >= 6) return 0.0f;
  return Input.JoyAxes[port][axis];
}

float JoystickHat(int port) {
  JoystickDevice d;
  ReadDevice(port, d);
  return ValidPort(port) ? Input.JoyHats[port] : 0.0f;
}
