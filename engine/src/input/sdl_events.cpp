// The window system as event source: SDL events translated into input events.
#include <SDL.h>
#include <signal.h>

#include <csignal>

#include "input/input.h"

int VirtualKeyFromScancode(int scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) return 65 + (scancode - SDL_SCANCODE_A);
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) return 49 + (scancode - SDL_SCANCODE_1);
  if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12) return 112 + (scancode - SDL_SCANCODE_F1);
  if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24) return 124 + (scancode - SDL_SCANCODE_F13);
  if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9) return 97 + (scancode - SDL_SCANCODE_KP_1);
  switch (scancode) {
    case SDL_SCANCODE_0: return 48;
    case SDL_SCANCODE_KP_0: return 96;
    case SDL_SCANCODE_BACKSPACE: return 8;
    case SDL_SCANCODE_TAB: return 9;
    case SDL_SCANCODE_CLEAR: return 12;
    case SDL_SCANCODE_RETURN: return 13;
    case SDL_SCANCODE_KP_ENTER: return 13;
    case SDL_SCANCODE_PAUSE: return 19;
    case SDL_SCANCODE_CAPSLOCK: return 20;
    case SDL_SCANCODE_ESCAPE: return 27;
    case SDL_SCANCODE_SPACE: return 32;
    case SDL_SCANCODE_PAGEUP: return 33;
    case SDL_SCANCODE_PAGEDOWN: return 34;
    case SDL_SCANCODE_END: return 35;
    case SDL_SCANCODE_HOME: return 36;
    case SDL_SCANCODE_LEFT: return 37;
    case SDL_SCANCODE_UP: return 38;
    case SDL_SCANCODE_RIGHT: return 39;
    case SDL_SCANCODE_DOWN: return 40;
    case SDL_SCANCODE_SELECT: return 41;
    case SDL_SCANCODE_EXECUTE: return 43;
    case SDL_SCANCODE_PRINTSCREEN: return 44;
    case SDL_SCANCODE_INSERT: return 45;
    case SDL_SCANCODE_DELETE: return 46;
    case SDL_SCANCODE_HELP: return 47;
    case SDL_SCANCODE_LGUI: return 91;
    case SDL_SCANCODE_RGUI: return 92;
    case SDL_SCANCODE_APPLICATION: return 93;
    case SDL_SCANCODE_KP_MULTIPLY: return 106;
    case SDL_SCANCODE_KP_PLUS: return 107;
    case SDL_SCANCODE_KP_MINUS: return 109;
    case SDL_SCANCODE_KP_PERIOD: return 110;
    case SDL_SCANCODE_KP_DIVIDE: return 111;
    case SDL_SCANCODE_NUMLOCKCLEAR: return 144;
    case SDL_SCANCODE_SCROLLLOCK: return 145;
    case SDL_SCANCODE_LSHIFT: return 160;
    case SDL_SCANCODE_RSHIFT: return 161;
    case SDL_SCANCODE_LCTRL: return 162;
    case SDL_SCANCODE_RCTRL: return 163;
    case SDL_SCANCODE_LALT: return 164;
    case SDL_SCANCODE_RALT: return 165;
    // Browser and media keys.
    case SDL_SCANCODE_AC_BACK: return 166;
    case SDL_SCANCODE_AC_FORWARD: return 167;
    case SDL_SCANCODE_AC_REFRESH: return 168;
    case SDL_SCANCODE_AC_STOP: return 169;
    case SDL_SCANCODE_AC_SEARCH: return 170;
    case SDL_SCANCODE_AC_BOOKMARKS: return 171;
    case SDL_SCANCODE_AC_HOME: return 172;
    case SDL_SCANCODE_MUTE: return 173;
    case SDL_SCANCODE_AUDIOMUTE: return 173;  // the mute key of PC keyboards
    case SDL_SCANCODE_VOLUMEDOWN: return 174;
    case SDL_SCANCODE_VOLUMEUP: return 175;
    case SDL_SCANCODE_AUDIONEXT: return 176;
    case SDL_SCANCODE_AUDIOPREV: return 177;
    case SDL_SCANCODE_AUDIOSTOP: return 178;
    case SDL_SCANCODE_AUDIOPLAY: return 179;
    // Punctuation by its place on a United Kingdom keyboard (the names of the codes follow it).
    case SDL_SCANCODE_SEMICOLON: return 186;
    case SDL_SCANCODE_EQUALS: return 187;
    case SDL_SCANCODE_COMMA: return 188;
    case SDL_SCANCODE_MINUS: return 189;
    case SDL_SCANCODE_PERIOD: return 190;
    case SDL_SCANCODE_SLASH: return 191;
    case SDL_SCANCODE_APOSTROPHE: return 192;
    case SDL_SCANCODE_LEFTBRACKET: return 219;
    case SDL_SCANCODE_BACKSLASH: return 220;
    case SDL_SCANCODE_RIGHTBRACKET: return 221;
    case SDL_SCANCODE_NONUSHASH: return 222;
    case SDL_SCANCODE_GRAVE: return 223;
    case SDL_SCANCODE_NONUSBACKSLASH: return 226;
    default: return 0;
  }
}

int VirtualKeyFromSdlKey(int scancode, int keycode) {
  const int byPlace = VirtualKeyFromScancode(scancode);
  // Digits of the top row, arrows, F-keys, the keypad and the other keys keep their place. Letters
  // and punctuation go by the symbol the keyboard layout puts on the key, so that the code and its
  // name match the key cap: the key marked "Z" gives 90 on a German or French keyboard too, and the
  // same place holds "#" on a United Kingdom keyboard and "\" on an American one.
  const bool letterOrPunctuation = (byPlace >= 65 && byPlace <= 90) || (byPlace >= 186 && byPlace <= 226);
  if (!letterOrPunctuation) return byPlace;
  if (keycode >= 'a' && keycode <= 'z') return 65 + (keycode - 'a');
  switch (keycode) {
    case ';': return 186;
    case '=': return 187;
    case ',': return 188;
    case '-': return 189;
    case '.': return 190;
    case '/': return 191;
    case '\'': return 192;
    case '[': return 219;
    case '\\': return scancode == SDL_SCANCODE_NONUSBACKSLASH ? 226 : 220;
    case ']': return 221;
    case '#': return 222;
    case '`': return 223;
    default: return byPlace;  // a symbol the names do not know (an accented or non-Latin letter): its place
  }
}

static int ButtonFromSdl(int sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

namespace {
volatile std::sig_atomic_t TerminationSignal = 0;
extern "C" void OnTerminationSignal(int) { TerminationSignal = 1; }
}  // namespace

void CatchTerminationSignals() {
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // before SDL starts: its own would only post a quit
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

void PumpEvents() {
  if (TerminationSignal) {
    TerminationSignal = 0;
    Input.Terminating = true;
    Input.CloseRequested = true;
  }
  const bool windowSystem = SDL_WasInit(SDL_INIT_VIDEO) != 0;
  if (Input.EventScript) {
    if (windowSystem) {  // a scripted run ignores the real window's events
      SDL_PumpEvents();
      SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    Input.EventScript();
    return;
  }
  if (!windowSystem) return;
  SDL_Event ev;
  while (SDL_PollEvent(&ev)) {
    InputEvent e;
    switch (ev.type) {
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        e.type = ev.type == SDL_KEYDOWN ? InputEvent::KeyDown : InputEvent::KeyUp;
        e.code = VirtualKeyFromSdlKey(ev.key.keysym.scancode, ev.key.keysym.sym);
        e.repeat = ev.key.repeat != 0;
        if (e.code == 0) continue;
        break;
      case SDL_TEXTINPUT:
        e.type = InputEvent::Text;
        e.text = ev.text.text;
        break;
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP:
        e.type = ev.type == SDL_MOUSEBUTTONDOWN ? InputEvent::MouseDown : InputEvent::MouseUp;
        e.code = ButtonFromSdl(ev.button.button);
        if (e.code == 0) continue;
        break;
      case SDL_MOUSEMOTION:
        e.type = InputEvent::MouseMove;
        e.x = ev.motion.x;
        e.y = ev.motion.y;
        break;
      case SDL_MOUSEWHEEL:
        e.type = InputEvent::Wheel;
        e.y = ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -ev.wheel.y : ev.wheel.y;
        break;
      case SDL_WINDOWEVENT:
        if (ev.window.event == SDL_WINDOWEVENT_FOCUS_LOST) e.type = InputEvent::FocusLost;
        else if (ev.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) e.type = InputEvent::FocusGained;
        else if (ev.window.event == SDL_WINDOWEVENT_CLOSE) e.type = InputEvent::Close;
        else continue;
        break;
      case SDL_QUIT:
        e.type = InputEvent::Close;
        break;
      default:
        continue;
    }
    FeedInputEvent(e);
  }
}
