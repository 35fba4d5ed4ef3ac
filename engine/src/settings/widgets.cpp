// The panel's widgets: the cycling option, the volume slider and the control redefinition button.
#include "core/core.h"
#include "display/display.h"
#include "input/input.h"
#include "settings/settings.h"
#include "settings/settings_internal.h"

std::shared_ptr<TImageFont> PanelFont() { return Display.Fonts[9]; }

// ---- Option button ----------------------------------------------------------------------------------
bool OptionButton(int entry, int x, int y, int iconBase, const std::vector<std::string>& labels) {
  std::vector<std::string> shown;
  for (const std::string& label : labels)
    if (!label.empty() && shown.size() < 6) shown.push_back(label);
  const int count = static_cast<int>(shown.size());
  if (count == 0 || entry < 0 || entry >= static_cast<int>(Core.SetupValues.size())) return false;
  int& value = Core.SetupValues[entry];
  const int v = value;
  const std::string& label = v >= 0 && v < count ? shown[v] : shown[0];

  Scale(1);
  SelectFont(PanelFont());
  int width;
  const size_t bar = label.find('|');
  if (bar == std::string::npos) {
    WriteText(x + 38, y + 16, label, 0, 1);
    width = StringWidth(label);
  } else {
    const std::string top = label.substr(0, bar), bottom = label.substr(bar + 1);
    WriteText(x + 38, y + 8, top, 0, 1);
    WriteText(x + 38, y + 24, bottom, 0, 1);
    width = std::max(StringWidth(top), StringWidth(bottom));
  }

  const bool over = PointerIn(x, y, width + 38, 32) == 1;
  Scale(2);
  if (over) DrawGlowSprite(Display.IconsFiltered, x, y, iconBase + v, nullptr, 1.1f, 0.8f);
  else DrawSprite(Display.IconsFiltered, x, y, iconBase + v, 1);
  Scale(1);
  if (over && Settings.LeftHits > 0) value = ((v + 1) % count + count) % count;
  return over;
}

// ---- Volume slider ----------------------------------------------------------------------------------
int VolumeSlider(int value, int x, int y, const std::string& label) {
  // The track: two halves of the icon strip stretched, then the knob at the value.
  Colour(80, 255, 80);
  Scale(3.1f, 1.5f);
  DrawSprite(Display.IconsFiltered, x - 2, y, 21, 1);
  DrawSprite(Display.IconsFiltered, x + 48, y, 22, 1);
  Colour(255, 80, 80);
  Scale(1, 1.5f);
  DrawSprite(Display.IconsFiltered, x + value - 9, y, 23, 1);
  if (PointerIn(x - 2, y - 4, 100, 24) == 1 && IsMouseDown(1)) value = Display.PointerX - x + 2;
  Scale(1);
  Colour(80, 180, 255);
  SelectFont(PanelFont());
  WriteText(x, y + 20, label + " : " + std::to_string(value));
  return value;
}

// ---- Control redefinition button ----------------------------------------------------------------------
void ControlButton(int index, int x, int y) {
  if (index < 0 || index >= static_cast<int>(Input.ControlTable.size())) return;
  int& entry = Input.ControlTable[index];
  const int c = entry;  // drawn as it was: a change shows from the next frame

  // Pointed at while the panel is fully open: the input pressed now is assigned, Backspace unbinds.
  // F11 and F12 are never seen here (the scan ignores everything while they are held).
  bool lit = false;
  if (PointerIn(x, y, 48, 48) == 1 && Settings.SettingsOffset >= 0) {
    lit = true;
    const int n = DetectControl();
    if (n > 8) entry = n;
    else if (n == 8) entry = 0;
  }
  if (ControlActive(entry)) lit = true;

  int frame = -1, nameX = x + 24, nameY = y + 24;
  std::string name;
  if (c == 0) {
    frame = 3;
    name = "?!";
  } else if (c >= 9 && c <= 254) {
    frame = 3;
    name = ControlName(c);
  } else if (c >= 300) {
    const int d = c % 50;
    name = ControlName(c);
    if (d < 12) {
      frame = 9;  // an axis: its name by the icon's corner
      nameX = x;
      nameY = y;
    } else if (d >= 20 && d < 30) {
      frame = 8;  // a hat direction
      nameX = x;
      nameY = y;
    } else if (d >= 30) {
      frame = 10;  // a button
    }
  }
  if (frame < 0) return;  // codes 1..8 and 255..299 show nothing

  Scale(3);
  if (lit) DrawGlowSprite(Display.IconsFiltered, x, y, frame, nullptr, 1.1f, 0.8f);
  else DrawSprite(Display.IconsFiltered, x, y, frame, 1);
  Scale(1);
  SelectFont(PanelFont());
  WriteText(nameX, nameY, name, 1, 1);
}
