// settings: the slide-in settings panel for display, audio and controls, drawn over whatever screen
// runs. The frame end toggles it with Tab (Display.SettingsOpen) and runs it once per frame.
#pragma once

struct SettingsState {
  int SettingsOffset = -300;  // virtual units: -300 hidden, rising by 32 a frame to +20 while open
};
extern SettingsState Settings;

// Fresh settings state (tests).
void ResetSettingsState();
