// The registry of audio back ends, the current one, and what goes through it.
#include <algorithm>
#include <cmath>

#include "audio/backend.h"
#include "core/core.h"

AudioState Audio;

// The built-in back end, registered before any other.
static void RegisterBuiltIn() {
  if (Audio.Drivers.empty()) Audio.Drivers.push_back(MakeFreeMixDriver());
}

void ResetAudioState() {
  Audio = AudioState{};  // the old back ends shut down as they go
  RegisterBuiltIn();
}

// The running back end. Until one is selected, the first registered starts on first use.
static TAudioDriver* ActiveDriver() {
  if (!Audio.Current && Audio.DefaultPending) {
    Audio.DefaultPending = false;
    RegisterBuiltIn();
    if (Audio.Drivers.front()->Startup()) Audio.Current = Audio.Drivers.front();
  }
  return Audio.Current.get();
}

std::vector<std::string> ListAudioDrivers() {
  RegisterBuiltIn();
  std::vector<std::string> names;
  for (const auto& driver : Audio.Drivers) {
    if (names.size() == 100) break;
    names.push_back(driver->Name());
  }
  return names;
}

static std::shared_ptr<TAudioDriver> FindDriver(const std::string& name) {
  RegisterBuiltIn();
  for (const auto& driver : Audio.Drivers)
    if (Upper(driver->Name()) == Upper(name)) return driver;
  return nullptr;
}

bool HasAudioDriver(const std::string& name) { return FindDriver(name) != nullptr; }

bool SelectAudioDriver(const std::string& name) {
  Audio.DefaultPending = false;
  if (Audio.Current) {
    Audio.Current->Shutdown();
    Audio.Current.reset();
  }
  std::shared_ptr<TAudioDriver> driver = FindDriver(name);
  if (!driver || !driver->Startup()) return false;  // no sound output from here on
  Audio.Current = driver;
  return true;
}

bool EnableOpenAL() {
  if (Audio.OpenALChecked) return Audio.OpenALAvailable;
  Audio.OpenALChecked = true;
  RegisterBuiltIn();
  Audio.OpenAL = LoadOpenAL(Audio.OpenALFile);
  Audio.OpenALAvailable = Audio.OpenAL != nullptr;
  for (auto& driver : MakeOpenALDrivers(Audio.OpenAL)) Audio.Drivers.push_back(std::move(driver));
  return Audio.OpenALAvailable;
}

void UseRecordingAudio() {
  if (!HasAudioDriver("Recording")) Audio.Drivers.push_back(MakeRecordingDriver());
  SelectAudioDriver("Recording");
}

std::shared_ptr<TSound> LoadSoundFile(const std::string& path, int flags) {
  TAudioDriver* driver = ActiveDriver();
  return driver ? driver->LoadSound(path, flags) : nullptr;
}

std::shared_ptr<TSound> CreateSound(SoundSamples samples, int flags) {
  TAudioDriver* driver = ActiveDriver();
  if (!driver || samples.Channels < 1 || samples.Channels > 2 || samples.Rate <= 0) return nullptr;
  return driver->CreateSound(std::make_shared<const SoundSamples>(std::move(samples)), flags);
}

void ServiceAudio() {
  if (Audio.Current) Audio.Current->Service();
}

std::shared_ptr<TChannel> NewChannel() {
  TAudioDriver* driver = ActiveDriver();
  return driver ? driver->AllocChannel() : nullptr;
}

float ClampVolume(float volume) { return volume >= 0.0f ? std::min(volume, 1.0f) : 0.0f; }  // NaN: 0
float ClampPan(float pan) { return std::isnan(pan) ? 0.0f : std::clamp(pan, -1.0f, 1.0f); }
float ClampRate(float rate) { return std::isnan(rate) ? 1.0f : std::clamp(rate, 1.0f / 64, 64.0f); }
