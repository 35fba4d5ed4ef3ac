// The registry of audio back ends.
#include "audio/audio.h"
#include "core/core.h"

AudioState Audio;

void ResetAudioState() {
  Audio = AudioState{};
  Audio.DriverNames = {"FreeMix"};
}

std::vector<std::string> ListAudioDrivers() {
  if (Audio.DriverNames.empty()) ResetAudioState();
  std::vector<std::string> names = Audio.DriverNames;
  if (names.size() > 100) names.resize(100);
  return names;
}

bool HasAudioDriver(const std::string& name) {
  for (const std::string& n : ListAudioDrivers())
    if (Upper(n) == Upper(name)) return true;
  return false;
}

bool SelectAudioDriver(const std::string& name) {
  const std::vector<std::string> names = ListAudioDrivers();
  for (size_t i = 0; i < names.size(); ++i) {
    if (Upper(names[i]) == Upper(name)) {
      Audio.CurrentDriver = static_cast<int>(i);
      return true;
    }
  }
  return false;
}

bool EnableOpenAL() {
  Audio.OpenALChecked = true;
  return Audio.OpenALAvailable;
}
