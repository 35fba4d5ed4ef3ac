// Window events into keyboard and mouse state, and the queries the screens make.
#include "core/core.h"
#include "input/platform.h"

InputState Input;

void ResetInputState() {
  SdlJoysticksClose();
  Input = InputState{};
}

static bool ValidKey(int key) { return key >= 0 && key < 256; }
static bool ValidButton(int button) { return button >= 1 && button <= 3; }

static void PushChar(int code) {
  if (Input.CharWrite - Input.CharRead >= Input.CharRing.size()) return;  // full: dropped
  Input.CharRing[Input.CharWrite % Input.CharRing.size()] = static_cast<uint8_t>(code);
  ++Input.CharWrite;
}

void FeedInputEvent(const InputEvent& e) {
  switch (e.type) {
    case InputEvent::KeyDown:
      if (!ValidKey(e.code) || e.code == 0) break;
      if (!Input.KeyDown[e.code] && !e.repeat) ++Input.KeyHits[e.code];
      Input.KeyDown[e.code] = true;
      // The editing keys reach the typed-character ring as their control characters.
      if (e.code == 8 || e.code == 9 || e.code == 13 || e.code == 27) PushChar(e.code);
      break;
    case InputEvent::KeyUp:
      if (ValidKey(e.code)) Input.KeyDown[e.code] = false;
      break;
    case InputEvent::Text:
      for (char c : Latin1FromUtf8(e.text)) PushChar(static_cast<unsigned char>(c));
      break;
    case InputEvent::MouseDown:
      if (!ValidButton(e.code)) break;
      if (!Input.MouseDown[e.code]) ++Input.MouseHits[e.code];
      Input.MouseDown[e.code] = true;
      break;
    case InputEvent::MouseUp:
      if (ValidButton(e.code)) Input.MouseDown[e.code] = false;
      break;
    case InputEvent::MouseMove:
      Input.MouseX = e.x;
      Input.MouseY = e.y;
      break;
    case InputEvent::Wheel:
      Input.Wheel += e.y;
      break;
    case InputEvent::FocusLost:
    case InputEvent::FocusGained:
      Input.Suspended = e.type == InputEvent::FocusLost;
      FlushKeyboard();
      FlushMouse();
      break;
    case InputEvent::Close:
      Input.CloseRequested = true;
      break;
  }
}

int IsKeyDown(int key) {
  PumpEvents();
  return ValidKey(key) && Input.KeyDown[key] ? 1 : 0;
}

int TakeKeyHits(int key) {
  PumpEvents();
  if (!ValidKey(key)) return 0;
  const int hits = Input.KeyHits[key];
  Input.KeyHits[key] = 0;
  return hits;
}

int IsMouseDown(int button) {
  PumpEvents();
  return ValidButton(button) && Input.MouseDown[button] ? 1 : 0;
}

int TakeMouseHits(int button) {
  PumpEvents();
  if (!ValidButton(button)) return 0;
  const int hits = Input.MouseHits[button];
  Input.MouseHits[button] = 0;
  return hits;
}

int NextChar() {
  PumpEvents();
  if (Input.CharRead == Input.CharWrite) return 0;
  return Input.CharRing[Input.CharRead++ % Input.CharRing.size()];
}

void FlushKeyboard() {
  Input.KeyDown.fill(false);
  Input.KeyHits.fill(0);
  Input.CharRead = Input.CharWrite = 0;
}

void FlushMouse() {
  Input.MouseDown.fill(false);
  Input.MouseHits.fill(0);
  Input.Wheel = 0;
}

int TakeCloseRequest() {
  PumpEvents();
  const bool requested = Input.CloseRequested;
  Input.CloseRequested = false;
  return requested ? 1 : 0;
}

int EndRequested() {
  PumpEvents();
  return Input.CloseRequested || Input.Terminating ? 1 : 0;
}

int MouseWheel() {
  PumpEvents();
  return Input.Wheel;
}

void SetDefaultControls() {
  Input.ControlTable.fill(0);
  Input.ControlTable[0] = 38;   // up: Up arrow
  Input.ControlTable[3] = 37;   // left: Left arrow
  Input.ControlTable[5] = 39;   // right: Right arrow
  Input.ControlTable[8] = 40;   // down: Down arrow
  Input.ControlTable[10] = 90;  // bottom button: Z
  Input.ControlTable[11] = 88;  // right button: X
  Input.ControlTable[12] = 67;  // left button: C
  Input.ControlTable[13] = 86;  // top button: V
}
