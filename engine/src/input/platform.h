// Inside the input folder: what the SDL joystick layer provides to the generic joystick queries.
#pragma once

#include "input/input.h"

// Opens SDL's joysticks on the first call; the number of devices that opened.
int SdlJoystickCount();
// Reads device `port` now; false when there is no such device.
bool SdlJoystickRead(int port, JoystickDevice& out);
// Closes every joystick opened.
void SdlJoysticksClose();
