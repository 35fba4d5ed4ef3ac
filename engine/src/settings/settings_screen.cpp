// The settings panel: slides down from the top over any screen. Graphics on the left (with Apply),
// the control redefinition buttons in the middle (controls mode), audio and joysticks on the right.
// Every vertical position is relative to the panel's slide offset.
#include "audio/audio.h"
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "settings/settings.h"
#include "settings/settings_internal.h"

namespace {

constexpr int Green[3] = {80, 255, 80};

// The panel draws its sprites on a budget of its own: on top of a game that has used the frame's
// whole budget its icons would otherwise not be drawn at all. The frame's counts still add up.
struct OwnSpriteBudget {
  int main = Display.SpritesDrawn[1], glow = Display.SpritesDrawn[2];
  OwnSpriteBudget() { Display.SpritesDrawn[1] = Display.SpritesDrawn[2] = 0; }
  ~OwnSpriteBudget() {
    Display.SpritesDrawn[1] += main;
    Display.SpritesDrawn[2] += glow;
  }
};

void SelectMode(int i) {
  auto& values = Core.SetupValues;
  values[SetupModeIndex] = i;
  values[SetupWidth] = Display.ModeWidths[i];
  values[SetupHeight] = Display.ModeHeights[i];
}

// One step through the display modes: after the last comes the first, before the first the last.
void StepMode(int step) {
  if (Display.ModeCount < 1) return;
  int i = Core.SetupValues[SetupModeIndex] + step;
  if (i > Display.ModeCount) i = 1;
  if (i < 1) i = Display.ModeCount;
  SelectMode(i);
}

void DrawBackground(int offset) {
  const float vw = static_cast<float>(Display.VirtualWidth);
  SetBlendKind(2);
  Colour(40, 40, 40, 0.8);
  DrawRect(0, 0, vw, static_cast<float>(offset + 300));
  SetBlendKind(1);
  Colour(80, 80, 80, 0.4);
  DrawRect(0, 0, vw, static_cast<float>(offset + 298));
  Colour(180, 255, 180, 1);
  DrawRect(0, static_cast<float>(offset + 298), vw, 2);
}

// The mode, window, frame skipping and engine choices, and Apply. Returns true when Apply ran: the
// screen has been reopened and the panel has closed meanwhile.
bool GraphicsColumn(int offset) {
  auto& values = Core.SetupValues;
  Colour(Green[0], Green[1], Green[2]);
  SelectFont(PanelFont());
  WriteText(20, offset + 4, "Graphics");
  OptionButton(SetupFullscreen, 20, offset + 30, 13, {"Windowed", "Fullscreen"});

  // The resolution: its icon shows the shape of the screen in use, which a click here leaves alone.
  const int shape = values[SetupWidescreen];
  bool over = OptionButton(SetupWidescreen, 20, offset + 70, 11, {"Resolution"});
  values[SetupWidescreen] = shape;
  over = over || PointerIn(20, offset + 70, 200, 70) == 1;
  if (over) {
    // Key presses count when they came while the pointer was here.
    const int right = TakeKeyHits(39), up = TakeKeyHits(38), left = TakeKeyHits(37), down = TakeKeyHits(40);
    const int keysForward = Settings.OverResolution ? right + up : 0;
    const int keysBack = Settings.OverResolution ? left + down : 0;
    for (int i = 0; i < keysForward + Settings.LeftHits; ++i) StepMode(1);
    for (int i = 0; i < keysBack + Settings.RightHits; ++i) StepMode(-1);
  }
  Settings.OverResolution = over;

  Colour(Green[0], Green[1], Green[2]);
  SelectFont(PanelFont());
  const int height = values[SetupHeight];
  WriteText(20, offset + 108, std::to_string(values[SetupWidth]) + "x" + std::to_string(height));
  if (height < 900) {
    Colour(255, 180, 80);
    WriteText(80, offset + 128, "Small (Bit blurry)");
  } else if (height <= 960) {
    Colour(255, 255, 80);
    WriteText(80, offset + 128, "Native (Crisp, Clear)");
  } else {
    Colour(180, 255, 80);
    WriteText(80, offset + 128, "Bigger! (High-Definition!)");
  }

  Colour(Green[0], Green[1], Green[2]);
  OptionButton(SetupESS, 20, offset + 146, 18, {"Draw all Frames|Decent System", "Frameskip|Slow System"});
  OptionButton(SetupEngine, 20, offset + 184, 18, {"OpenGL|Optimum", "DirectX 9|Alternative", "DirectX 7|Backup"});

  SelectFont(PanelFont());
  const std::string apply = "Apply";
  if (PointerIn(18, offset + 258, StringWidth(apply) + 4, FontHeight() + 4) == 1) {
    Colour(0, 120, 0, 0.5);
    DrawRect(18, static_cast<float>(offset + 258), static_cast<float>(StringWidth(apply) + 4),
             static_cast<float>(FontHeight() + 4));
    // The engine test that the graphics set-up runs draws frames of its own, and with them this
    // panel: they must not apply again.
    if (Settings.LeftHits > 0 && !Settings.Applying) {
      Display.SettingsOpen = 0;
      if (Hooks.WriteSetup) Hooks.WriteSetup();
      Settings.Applying = true;
      struct Done {
        ~Done() { Settings.Applying = false; }
      } done;
      ApplyGraphicsSettings();
      return true;
    }
  }
  Colour(Green[0], Green[1], Green[2], 1);
  WriteText(20, offset + 260, apply);
  return false;
}

// Eight buttons for each of the four control sets: the pad's directions on the left, its four
// buttons in their own colours on the right.
void ControlsArea(int offset) {
  int x0 = 250, y0 = 10;
  for (int set = 1; set <= 4; ++set) {
    const int base = (set - 1) * 20;
    const int y = offset + y0;
    Colour(80, 255, 80);
    ControlButton(base + SlotUp, x0 + 50, y);
    ControlButton(base + SlotLeft, x0, y + 50);
    ControlButton(base + SlotRight, x0 + 100, y + 50);
    ControlButton(base + SlotDown, x0 + 50, y + 50);
    Colour(255, 255, 80);
    ControlButton(base + SlotButtonTop, x0 + 190, y);
    Colour(80, 80, 255);
    ControlButton(base + SlotButtonLeft, x0 + 155, y + 30);
    Colour(255, 80, 80);
    ControlButton(base + SlotButtonRight, x0 + 225, y + 30);
    Colour(80, 255, 80);
    ControlButton(base + SlotButtonBottom, x0 + 190, y + 60);
    y0 += 150;
    if (set == 2) {
      x0 = 650;
      y0 = 10;
    }
  }
}

// A volume: below 6 counts as silence, above 94 as full.
void Volume(int entry, int x, int y, const char* label) {
  int value = VolumeSlider(Core.SetupValues[entry], x, y, label);
  if (value < 6) value = 0;
  if (value > 94) value = 100;
  Core.SetupValues[entry] = value;
}

void AudioColumn(int offset) {
  const int x = Display.VirtualWidth - 280;
  // The back ends start-up listed; the choice takes effect at the next start.
  std::vector<std::string> drivers;
  for (size_t i = 0; i < Audio.DriverList.size() && i < 6; ++i) drivers.push_back("Audio Driver|" + Audio.DriverList[i]);
  if (drivers.empty()) drivers.push_back("AUDIO");
  Colour(Green[0], Green[1], Green[2]);
  OptionButton(SetupAudioDriver, x, offset + 20, 24, drivers);
  Colour(255, 180, 180);
  SelectFont(PanelFont());
  WriteText(x, offset + 50, "Changes require a Restart");

  Volume(SetupMaster, x, offset + 70, "Master Volume");
  Volume(SetupSound, x, offset + 120, "Sounds");
  Volume(SetupMusic, x, offset + 170, "Music");

  // The joysticks found at start-up: a click on a name turns the port off or on again.
  SelectFont(PanelFont());
  for (int port = 1; port <= std::min(Input.JoystickCount, 4); ++port) {
    JoyPort& p = Input.JoyPorts[port];
    const int y = offset + 230 + 15 * (port - 1);
    if (JoystickButtonDown(0, port - 1)) Colour(255, 255, 80);
    else Colour(80, 255, 80);
    SetAlpha(p.Enabled ? 1.0f : 0.2f);
    WriteText(x, y, p.Name);
    if (PointerIn(x, y, StringWidth(p.Name), 14) == 1 && Settings.LeftHits > 0) p.Enabled = !p.Enabled;
  }
  SetAlpha(1);
}

}  // namespace

void SettingsScreen() {
  // Every frame, open or not: a click counts for the panel only when it came since the last frame.
  Settings.LeftHits = TakeMouseHits(1);
  Settings.RightHits = TakeMouseHits(2);

  int& offset = Settings.SettingsOffset;
  if (Display.SettingsOpen == 1 && offset < 0) offset += 32;
  else if (Display.SettingsOpen == 0 && offset > -300) offset -= 32;
  if (offset <= -300) {
    Settings.OverResolution = false;
    return;
  }

  OwnSpriteBudget budget;
  ResetDraw();
  DrawBackground(offset);
  if (GraphicsColumn(offset)) return;
  if (Input.InputMode == 0) ControlsArea(offset);
  AudioColumn(offset);
  ResetDraw();
}
