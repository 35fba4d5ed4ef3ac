// Inside the audio folder: the sound file readers, the back ends' makers and FreeMix's mixer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio.h"

// ---- Sound files -------------------------------------------------------------------------------------
// Limits that keep a hostile file from asking for a huge allocation.
inline constexpr size_t MaxSoundFileBytes = 256u << 20;
inline constexpr size_t MaxDecodedSamples = 64u << 20;  // 16-bit samples: 128 MB, 12 minutes of CD stereo

// A RIFF WAVE image (PCM, 8 or 16 bit, mono or stereo); nullptr when it is not one or is damaged.
std::shared_ptr<SoundSamples> ReadWave(const uint8_t* data, size_t size);
// An Ogg Vorbis image (mono or stereo); nullptr when it cannot be decoded.
std::shared_ptr<SoundSamples> ReadOggVorbis(const uint8_t* data, size_t size);
// A WAVE or Ogg Vorbis file, told apart by its content; nullptr when missing or undecodable.
std::shared_ptr<SoundSamples> ReadSoundFile(const std::string& path);

// ---- Back ends ---------------------------------------------------------------------------------------
std::shared_ptr<TAudioDriver> MakeFreeMixDriver();
std::shared_ptr<TAudioDriver> MakeRecordingDriver();
// The OpenAL library's entry points, nullptr when the file does not load or lacks one of them.
std::shared_ptr<OpenALLibrary> LoadOpenAL(const std::string& file);
// "OpenAL Default", then "OpenAL " + the name of each output device.
std::vector<std::shared_ptr<TAudioDriver>> MakeOpenALDrivers(const std::shared_ptr<OpenALLibrary>& library);

// Channel settings as every back end takes them: gain 0..1, pan -1..1, rate 1/64..64.
float ClampVolume(float volume);
float ClampPan(float pan);
float ClampRate(float rate);

// ---- FreeMix's mixer ----------------------------------------------------------------------------------
// Voices mixed in float into interleaved stereo, resampled by linear interpolation. Starts, stops,
// pauses and gain or pan changes are ramped over a few milliseconds so that they never click.
// Every operation takes the mixer's lock: the output device mixes on a thread of its own.
struct MixVoice;

class Mixer {
 public:
  explicit Mixer(int outputRate);
  int OutputRate() const { return Rate; }
  // Without an output device the voices are moved on by the program clock before each operation,
  // so that they still end in time.
  void FollowClock(bool follow);

  std::shared_ptr<MixVoice> NewVoice();
  void Cue(const std::shared_ptr<MixVoice>& voice, std::shared_ptr<const SoundSamples> sound, bool loop);
  void SetPaused(const std::shared_ptr<MixVoice>& voice, bool paused);
  void Stop(const std::shared_ptr<MixVoice>& voice);
  void SetVolume(const std::shared_ptr<MixVoice>& voice, float volume);
  void SetPan(const std::shared_ptr<MixVoice>& voice, float pan);
  void SetRate(const std::shared_ptr<MixVoice>& voice, float rate);
  bool Playing(const std::shared_ptr<MixVoice>& voice);
  void StopAll();

  // Writes frames of interleaved stereo, each sample clamped to -1..1.
  void Mix(float* out, int frames);
  // Moves every voice on by frames without output.
  void Skip(int64_t frames);

  // Output frames over which a start, stop or gain change is ramped.
  int FadeFrames() const { return Fade; }

 private:
  void CatchUp();
  void Release(MixVoice& voice);
  void SkipLocked(int64_t frames);

  std::mutex Lock;
  int Rate;
  int Fade;
  std::vector<std::shared_ptr<MixVoice>> Sounding;  // voices being mixed (playing or fading out)
  std::vector<float> Scratch;
  bool Following = false;
  uint32_t LastClock = 0;  // ms
  int64_t ClockCarry = 0;  // ms x rate not yet turned into frames
};
