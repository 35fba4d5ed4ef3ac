#include "settings/settings.h"

SettingsState Settings;

void ResetSettingsState() { Settings = SettingsState{}; }
