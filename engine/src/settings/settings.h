// settings: the slide-in settings panel for display, audio and controls, drawn over whatever screen
// runs. The frame end toggles it with Tab (Display.SettingsOpen) and runs it once per frame.
//
// The control redefinition button lives here rather than with the controls: it draws with the
// display's glowing icons, and the input folder lies below the display.
#pragma once

#include <string>
#include <vector>

struct SettingsState {
  int SettingsOffset = -300;   // virtual units: -300 hidden, rising by 32 a frame to +20 while open
  int LeftHits = 0, RightHits = 0;  // clicks taken at the start of this frame
  bool OverResolution = false;      // the pointer was over the resolution choice last frame
  bool Applying = false;            // an Apply is re-applying the graphics (its engine test runs frames)
};
extern SettingsState Settings;

// Fresh settings state (tests).
void ResetSettingsState();

// The panel, once per frame: takes the frame's clicks, slides, and while visible draws and handles
// the graphics column (with Apply), the controls area (controls mode only) and the audio column.
void SettingsScreen();
// A cycling option for SetupValues[entry]: its icon (iconBase + value) and label; a click moves to
// the next of the non-empty labels (at most six). A label "top|bottom" takes two lines. Returns
// whether the pointer is over it.
bool OptionButton(int entry, int x, int y, int iconBase, const std::vector<std::string>& labels);
// A volume slider 100 units wide; dragging with the left button sets the value. Returns the value.
int VolumeSlider(int value, int x, int y, const std::string& label);
// The redefinition button of ControlTable[index], 48 x 48 at (x, y): while the pointer is on it (the
// panel fully open) the input pressed is assigned, Backspace unbinds; lit while its control is down.
void ControlButton(int index, int x, int y);
