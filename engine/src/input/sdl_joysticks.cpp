// SDL's joysticks as the joystick source.
#include <SDL.h>

#include "input/platform.h"

int SdlJoystickCount() {
  if (Input.SdlJoysticksOpened) return Input.SdlJoystickCount;
  Input.SdlJoysticksOpened = true;
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return 0;
  // The queries read the devices directly; joystick events would only pile up in the queue.
  SDL_JoystickEventState(SDL_IGNORE);
  const int found = SDL_NumJoysticks();
  for (int i = 0; i < found && Input.SdlJoystickCount < static_cast<int>(Input.SdlJoysticks.size()); ++i) {
    if (SDL_Joystick* joystick = SDL_JoystickOpen(i)) Input.SdlJoysticks[Input.SdlJoystickCount++] = joystick;
  }
  return Input.SdlJoystickCount;
}

static float HatFraction(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0.0f;
    case SDL_HAT_RIGHTUP: return 0.125f;
    case SDL_HAT_RIGHT: return 0.25f;
    case SDL_HAT_RIGHTDOWN: return 0.375f;
    case SDL_HAT_DOWN: return 0.5f;
    case SDL_HAT_LEFTDOWN: return 0.625f;
    case SDL_HAT_LEFT: return 0.75f;
    case SDL_HAT_LEFTUP: return 0.875f;
    default: return -1.0f;  // centred
  }
}

bool SdlJoystickRead(int port, JoystickDevice& out) {
  if (port < 0 || port >= SdlJoystickCount()) return false;
  SDL_Joystick* joystick = Input.SdlJoysticks[port];
  SDL_JoystickUpdate();
  if (!SDL_JoystickGetAttached(joystick)) return false;
  const char* name = SDL_JoystickName(joystick);
  out.Name = name ? name : "";
  out.ButtonCount = SDL_JoystickNumButtons(joystick);
  out.ButtonsDown = 0;
  for (int b = 0; b < out.ButtonCount && b < 32; ++b)
    if (SDL_JoystickGetButton(joystick, b)) out.ButtonsDown |= 1u << b;
  out.AxisCount = SDL_JoystickNumAxes(joystick);
  if (out.AxisCount > 6) out.AxisCount = 6;
  for (int a = 0; a < out.AxisCount; ++a) {
    // The raw range -32768..32767 taken as 0..65535: (raw - minimum) * 2 / maximum - 1.
    const float raw = static_cast<float>(SDL_JoystickGetAxis(joystick, a)) + 32768.0f;
    out.Axis[a] = raw * 2.0f / 65535.0f - 1.0f;
  }
  out.HasHat = SDL_JoystickNumHats(joystick) > 0;
  out.Hat = out.HasHat ? HatFraction(SDL_JoystickGetHat(joystick, 0)) : 0.0f;
  return true;
}

void SdlJoysticksClose() {
  for (int i = 0; i < Input.SdlJoystickCount; ++i) SDL_JoystickClose(Input.SdlJoysticks[i]);
  Input.SdlJoysticks.fill(nullptr);
  Input.SdlJoystickCount = 0;
  if (Input.SdlJoysticksOpened && SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  Input.SdlJoysticksOpened = false;
}
