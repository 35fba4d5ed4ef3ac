// audio: the audio back ends, chosen by name at start-up.
#pragma once

#include <string>
#include <vector>

struct AudioState {
  std::vector<std::string> DriverNames;  // back ends available, in registration order
  int CurrentDriver = -1;                // index into DriverNames, -1 none selected
  bool OpenALChecked = false, OpenALAvailable = false;
};
extern AudioState Audio;

// Fresh audio state with the built-in back ends registered (tests).
void ResetAudioState();
// Names of the back ends available, in registration order, at most 100.
std::vector<std::string> ListAudioDrivers();
// Whether a back end of that name exists (letter case ignored).
bool HasAudioDriver(const std::string& name);
// Makes the back end of that name current; false when none matches or it cannot start.
bool SelectAudioDriver(const std::string& name);
// Registers the OpenAL back ends when an OpenAL library can be loaded; the first answer stays.
bool EnableOpenAL();
