// "FreeMix": our own mixer over SDL's audio output. Without an audio device (or with device output
// switched off) it runs silently, its voices moved on by the program clock. Offline it opens no
// device and mixes only when the program asks, so a render runs as fast as the machine allows.
// A device that goes away while the program runs (unplugged) is closed at the next frame's service:
// sound goes silent, the voices keep time by the clock, and the default device is tried again every
// second until one opens, when sound comes back.
#include <SDL.h>

#include <algorithm>

#include "audio/backend.h"
#include "core/core.h"
#include "input/input.h"

namespace {

constexpr int WantedRate = 44100;  // frames per second asked of the device
constexpr int DeviceFrames = 1024; // frames per device callback: about 23 ms
constexpr int RetryMs = 1000;      // after a device went away, how often another is tried

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
    int rate = WantedRate;
    if (Audio.DeviceOutput && OpenOutput(rate, true)) {
      // The device opens paused: the mixer, at the device's rate, is in place before it first calls.
      Current = std::make_shared<Mixer>(rate);
      StartOutput();
      return true;
    }
    // No device: silent, the voices kept in time by the program clock.
    Current = std::make_shared<Mixer>(WantedRate);
    Current->FollowClock(true);
    return true;
  }

  void Shutdown() override {
    CloseOutput();
    if (AudioInit) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      AudioInit = false;
    }
    Lost = false;
    if (Current) {
      // Sounds and channels of this run stay usable, silent and in time.
      Current->StopAll();
      Current->FollowClock(true);
      Current.reset();
    }
  }

  void Service() override {
    if (!Current) return;
    if (Open && OutputGone()) {
      CloseOutput();
      Current->FollowClock(true);  // silent from here, the voices in time
      Lost = true;
      LastTry = ClockMs();
      DebugLine("\tThe audio device went away: sound is off until a device is back");
      return;
    }
    if (!Lost || static_cast<int32_t>(ClockMs() - LastTry) < RetryMs) return;
    LastTry = ClockMs();
    int rate = Current->OutputRate();
    if (!OpenOutput(rate, false)) return;  // the mixer's rate: SDL converts for another device
    Current->FollowClock(false);
    StartOutput();
    Lost = false;
    DebugLine("\tAn audio device is back: sound is on");
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
  // Opens the output device at rate (changed to the device's own when allowed), still paused.
  bool OpenOutput(int& rate, bool allowRateChange) {
    if (Audio.OutputScript) {
      ScriptedOutput& out = *Audio.OutputScript;
      if (!out.Present) return false;
      ++out.Opens;
      Open = true;
      return true;
    }
    if (!AudioInit) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
      AudioInit = true;
    }
    SDL_AudioSpec want{}, have{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = DeviceFrames;
    want.callback = MixCallback;
    want.userdata = this;
    Device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, allowRateChange ? SDL_AUDIO_ALLOW_FREQUENCY_CHANGE : 0);
    if (Device == 0) {
      if (allowRateChange) {  // at start-up: no device, no audio subsystem kept
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        AudioInit = false;
      }
      return false;
    }
    rate = have.freq;
    Open = true;
    return true;
  }

  // Lets the opened device ask for the mixer's output.
  void StartOutput() {
    if (Audio.OutputScript) {
      Audio.OutputScript->IsOpen = true;
      std::weak_ptr<Mixer> mixer = Current;
      Audio.OutputScript->Pull = [mixer](float* out, int frames) {
        if (const auto m = mixer.lock()) m->Mix(out, frames);
      };
    } else if (Device) {
      SDL_PauseAudioDevice(Device, 0);
    }
  }

  // Whether the open device has gone away (SDL stops a device that was unplugged).
  bool OutputGone() {
    if (Audio.OutputScript) return !Audio.OutputScript->Present;
    return Device != 0 && SDL_GetAudioDeviceStatus(Device) == SDL_AUDIO_STOPPED;
  }

  void CloseOutput() {
    if (Audio.OutputScript && Open) {
      Audio.OutputScript->IsOpen = false;
      Audio.OutputScript->Pull = nullptr;
    }
    if (Device) {
      SDL_CloseAudioDevice(Device);  // waits for the mixing thread
      Device = 0;
    }
    Open = false;
  }

  friend void SDLCALL MixCallback(void* driver, Uint8* stream, int bytes);

  std::shared_ptr<Mixer> Current;
  SDL_AudioDeviceID Device = 0;
  bool AudioInit = false;
  bool Open = false;      // an output device (SDL's or the scripted one) is open
  bool Lost = false;      // the device went away: another is tried every RetryMs
  uint32_t LastTry = 0;   // ms
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
