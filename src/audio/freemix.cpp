// "FreeMix": our own mixer over SDL's audio output. Without an audio device (or with device output
// switched off) it runs silently, its voices moved on by the program clock. Offline it opens no
// device and mixes only when the program asks, so a render runs as fast as the machine allows.
#include <SDL.h>

#include <algorithm>

#include "audio/backend.h"

namespace {

constexpr int WantedRate = 44100;  // frames per second asked of the device
constexpr int DeviceFrames = 1024; // frames per device callback: about 23 ms

class FreeMixChannel : public TChannel {
 public:
  FreeMixChannel(std::shared_ptr<Mixer> mixer) : Owner(std::move(mixer)), Voice(Owner->NewVoice()) {}
  void Stop() override { Owner->Stop(Voice); }
  void SetPaused(bool paused) override { Owner->SetPaused(Voice, paused); }
  void SetVolume(float volume) override { Owner->SetVolume(Voice, volume); }
  void SetPan(float pan) override { Owner->SetPan(Voice, pan); }
  void SetDepth(float) override {}
  void SetRate(float rate) override { Owner->SetRate(Voice, rate); }
  bool Playing() override { return Owner->Playing(Voice); }

  std::shared_ptr<Mixer> Owner;
  std::shared_ptr<MixVoice> Voice;
};

class FreeMixSound : public TSound {
 public:
  FreeMixSound(std::shared_ptr<Mixer> mixer, std::shared_ptr<const SoundSamples> samples, int flags)
      : Owner(std::move(mixer)), Samples(std::move(samples)), Loop((flags & SoundLoop) != 0) {}

  std::shared_ptr<TChannel> Cue(std::shared_ptr<TChannel> channel) override {
    auto own = std::dynamic_pointer_cast<FreeMixChannel>(channel);
    if (!own || own->Owner != Owner) own = std::make_shared<FreeMixChannel>(Owner);  // not one of ours
    Owner->Cue(own->Voice, Samples, Loop);
    return own;
  }

 private:
  std::shared_ptr<Mixer> Owner;
  std::shared_ptr<const SoundSamples> Samples;
  bool Loop;
};

void SDLCALL MixCallback(void* driver, Uint8* stream, int bytes);

class FreeMixDriver : public TAudioDriver {
 public:
  ~FreeMixDriver() override { Shutdown(); }
  std::string Name() override { return "FreeMix"; }

  bool Startup() override {
    Shutdown();
    if (Audio.OfflineRate > 0) {
      Current = std::make_shared<Mixer>(Audio.OfflineRate);
      Audio.OfflineMixer = Current;
      return true;
    }
    if (Audio.DeviceOutput && OpenDevice()) return true;
    // No device: silent, the voices kept in time by the program clock.
    Current = std::make_shared<Mixer>(WantedRate);
    Current->FollowClock(true);
    return true;
  }

  void Shutdown() override {
    if (Device) {
      SDL_CloseAudioDevice(Device);  // waits for the mixing thread
      Device = 0;
    }
    if (AudioInit) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      AudioInit = false;
    }
    if (Current) {
      // Sounds and channels of this run stay usable, silent and in time.
      Current->StopAll();
      Current->FollowClock(true);
      Current.reset();
    }
  }

  std::shared_ptr<TSound> CreateSound(std::shared_ptr<const SoundSamples> samples, int flags) override {
    if (!Current || !samples || samples->Frames() == 0) return nullptr;
    return std::make_shared<FreeMixSound>(Current, std::move(samples), flags);
  }
  std::shared_ptr<TChannel> AllocChannel() override {
    return Current ? std::make_shared<FreeMixChannel>(Current) : nullptr;
  }
  std::shared_ptr<TSound> LoadSound(const std::string& path, int flags) override {
    return CreateSound(ReadSoundFile(path), flags);
  }

 private:
  bool OpenDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    AudioInit = true;
    SDL_AudioSpec want{}, have{};
    want.freq = WantedRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = DeviceFrames;
    want.callback = MixCallback;
    want.userdata = this;
    Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (Device == 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      AudioInit = false;
      return false;
    }
    // The device opens paused: the mixer, at the device's rate, is in place before it first calls.
    Current = std::make_shared<Mixer>(have.freq);
    SDL_PauseAudioDevice(Device, 0);
    return true;
  }

  friend void SDLCALL MixCallback(void* driver, Uint8* stream, int bytes);

  std::shared_ptr<Mixer> Current;
  SDL_AudioDeviceID Device = 0;
  bool AudioInit = false;
};

// The device's thread asks for the next stretch of output.
void SDLCALL MixCallback(void* driver, Uint8* stream, int bytes) {
  static_cast<FreeMixDriver*>(driver)->Current->Mix(reinterpret_cast<float*>(stream),
                                                    bytes / static_cast<int>(2 * sizeof(float)));
}

}  // namespace

std::shared_ptr<TAudioDriver> MakeFreeMixDriver() { return std::make_shared<FreeMixDriver>(); }

bool UseOfflineMixing(int rate) {
  Audio.OfflineRate = rate > 0 ? rate : 44100;
  const bool started = SelectAudioDriver("FreeMix");
  Audio.OfflineRate = 0;  // a later start of FreeMix looks for a device again
  return started && !Audio.OfflineMixer.expired();
}

void MixOffline(float* out, int frames) {
  if (!out || frames <= 0) return;
  if (const std::shared_ptr<Mixer> mixer = Audio.OfflineMixer.lock()) {
    mixer->Mix(out, frames);  // after a shut-down its voices are stopped: silence
  } else {
    std::fill(out, out + 2 * static_cast<size_t>(frames), 0.0f);
  }
}
