// FreeMix's mixer: voices resampled and mixed in float, with short ramps on every change.
#include <algorithm>
#include <cmath>

#include "audio/backend.h"
#include "input/input.h"

struct MixVoice {
  enum State { Idle, Cued, Running, Paused };
  State Now = Idle;
  std::shared_ptr<const SoundSamples> Sound;
  bool Loop = false;
  double Pos = 0;  // source frames from the start
  float Volume = 1, Pan = 0, Rate = 1;
  float Envelope = 0;        // 0..1: the start, stop and pause ramp
  float EnvelopeTarget = 0;
  float GainL = 0, GainR = 0;  // gains reached so far, moving towards the settings
  bool Fresh = true;           // the gains start at their targets
  bool Tail = false;           // the fading end of a stopped voice, dropped at silence
  bool Mixed = false;          // in the mixer's sounding list
  bool Done = false;           // to leave the sounding list
};

Mixer::Mixer(int outputRate) : Rate(std::max(outputRate, 1)), Fade(std::max(Rate / 250, 1)) {}

void Mixer::FollowClock(bool follow) {
  std::lock_guard<std::mutex> guard(Lock);
  Following = follow;
  LastClock = ClockMs();
  ClockCarry = 0;
}

void Mixer::CatchUp() {
  if (!Following) return;
  const uint32_t now = ClockMs();
  const int32_t elapsed = static_cast<int32_t>(now - LastClock);
  LastClock = now;
  if (elapsed <= 0) return;  // a clock set back (tests) moves nothing
  const int64_t scaled = static_cast<int64_t>(elapsed) * Rate + ClockCarry;
  ClockCarry = scaled % 1000;
  SkipLocked(scaled / 1000);
}

std::shared_ptr<MixVoice> Mixer::NewVoice() { return std::make_shared<MixVoice>(); }

// Takes a sounding voice out of the program's hands: if it can still be heard, a copy of it fades
// out in the mix, so a stop never clicks.
void Mixer::Release(MixVoice& voice) {
  if (voice.Mixed && !voice.Done && voice.Envelope > 0) {
    auto tail = std::make_shared<MixVoice>(voice);
    tail->Tail = true;
    tail->EnvelopeTarget = 0;
    tail->Mixed = true;
    Sounding.push_back(tail);
  }
  voice.Done = voice.Mixed;
  voice.Now = MixVoice::Idle;
  voice.Sound.reset();
}

void Mixer::Cue(const std::shared_ptr<MixVoice>& voice, std::shared_ptr<const SoundSamples> sound, bool loop) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  CatchUp();
  Release(*voice);
  if (!sound || sound->Channels < 1 || sound->Channels > 2 || sound->Rate <= 0 || sound->Frames() == 0) return;
  voice->Sound = std::move(sound);
  voice->Loop = loop;
  voice->Pos = 0;
  voice->Now = MixVoice::Cued;
}

void Mixer::SetPaused(const std::shared_ptr<MixVoice>& voice, bool paused) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  CatchUp();
  if (paused) {
    if (voice->Now == MixVoice::Running) {
      voice->Now = MixVoice::Paused;
      voice->EnvelopeTarget = 0;  // fades out, then leaves the mix
    }
    return;
  }
  if (voice->Now != MixVoice::Cued && voice->Now != MixVoice::Paused) return;
  if (voice->Now == MixVoice::Cued) {
    voice->Envelope = 0;
    voice->Fresh = true;
  }
  voice->Now = MixVoice::Running;
  voice->EnvelopeTarget = 1;
  if (!voice->Mixed || voice->Done) {
    // A voice whose removal is still pending gets a fresh entry; the old one is dropped.
    if (voice->Mixed) std::erase(Sounding, voice);
    voice->Mixed = true;
    voice->Done = false;
    Sounding.push_back(voice);
  }
}

void Mixer::Stop(const std::shared_ptr<MixVoice>& voice) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  CatchUp();
  Release(*voice);
}

void Mixer::SetVolume(const std::shared_ptr<MixVoice>& voice, float volume) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  voice->Volume = ClampVolume(volume);
}

void Mixer::SetPan(const std::shared_ptr<MixVoice>& voice, float pan) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  voice->Pan = ClampPan(pan);
}

void Mixer::SetRate(const std::shared_ptr<MixVoice>& voice, float rate) {
  if (!voice) return;
  std::lock_guard<std::mutex> guard(Lock);
  CatchUp();  // the time before the change ran at the old rate
  voice->Rate = ClampRate(rate);
}

bool Mixer::Playing(const std::shared_ptr<MixVoice>& voice) {
  if (!voice) return false;
  std::lock_guard<std::mutex> guard(Lock);
  CatchUp();
  return voice->Now == MixVoice::Running;
}

void Mixer::StopAll() {
  std::lock_guard<std::mutex> guard(Lock);
  for (auto& voice : Sounding) {
    if (!voice->Tail) {
      voice->Now = MixVoice::Idle;
      voice->Sound.reset();
    }
    voice->Mixed = false;
  }
  Sounding.clear();
}

namespace {

// The gains a voice moves towards: its volume, balanced by its pan (the far side fades out).
void TargetGains(const MixVoice& v, float& left, float& right) {
  left = v.Volume * std::min(1.0f, 1.0f - v.Pan);
  right = v.Volume * std::min(1.0f, 1.0f + v.Pan);
}

float Towards(float now, float target, float step) {
  if (now < target) return std::min(now + step, target);
  if (now > target) return std::max(now - step, target);
  return now;
}

// Source frames advanced per output frame.
double Step(const MixVoice& v, int outputRate) {
  return static_cast<double>(v.Rate) * v.Sound->Rate / outputRate;
}

}  // namespace

void Mixer::Mix(float* out, int frames) {
  if (!out || frames <= 0) return;
  std::lock_guard<std::mutex> guard(Lock);
  Scratch.assign(static_cast<size_t>(frames) * 2, 0.0f);
  const float ramp = 1.0f / static_cast<float>(Fade);
  for (auto& holder : Sounding) {
    MixVoice& v = *holder;
    if (v.Done || !v.Sound) {
      v.Done = true;
      continue;
    }
    const SoundSamples& s = *v.Sound;
    const int16_t* samples = s.Samples.data();
    const size_t length = s.Frames();
    const double step = Step(v, Rate);
    float targetL, targetR;
    TargetGains(v, targetL, targetR);
    if (v.Fresh) {
      v.GainL = targetL;
      v.GainR = targetR;
      v.Fresh = false;
    }
    for (int f = 0; f < frames; ++f) {
      v.Envelope = Towards(v.Envelope, v.EnvelopeTarget, ramp);
      v.GainL = Towards(v.GainL, targetL, ramp);
      v.GainR = Towards(v.GainR, targetR, ramp);
      // Linear interpolation between the two source frames around the position.
      const size_t i = static_cast<size_t>(v.Pos);
      const float t = static_cast<float>(v.Pos - static_cast<double>(i));
      const size_t j = i + 1 < length ? i + 1 : (v.Loop ? 0 : i);
      float left, right;
      if (s.Channels == 1) {
        left = right = (samples[i] + (samples[j] - samples[i]) * t) / 32768.0f;
      } else {
        left = (samples[2 * i] + (samples[2 * j] - samples[2 * i]) * t) / 32768.0f;
        right = (samples[2 * i + 1] + (samples[2 * j + 1] - samples[2 * i + 1]) * t) / 32768.0f;
      }
      Scratch[2 * f] += left * v.GainL * v.Envelope;
      Scratch[2 * f + 1] += right * v.GainR * v.Envelope;

      v.Pos += step;
      if (v.Pos >= static_cast<double>(length)) {
        if (v.Loop) {
          v.Pos = std::fmod(v.Pos, static_cast<double>(length));
        } else {  // the sound's end
          if (!v.Tail) v.Now = MixVoice::Idle;
          v.Done = true;
          break;
        }
      }
      if (v.EnvelopeTarget == 0 && v.Envelope == 0) {  // faded out: a stop's tail, or a pause
        v.Done = true;
        break;
      }
    }
  }
  std::erase_if(Sounding, [](const std::shared_ptr<MixVoice>& v) {
    if (v->Done) v->Mixed = false;
    return v->Done;
  });
  for (size_t k = 0; k < Scratch.size(); ++k) out[k] = std::clamp(Scratch[k], -1.0f, 1.0f);
}

void Mixer::Skip(int64_t frames) {
  std::lock_guard<std::mutex> guard(Lock);
  SkipLocked(frames);
}

void Mixer::SkipLocked(int64_t frames) {
  if (frames <= 0) return;
  for (auto& holder : Sounding) {
    MixVoice& v = *holder;
    // Ramps complete at once: tails and pausing voices fall silent, the rest reach their gains.
    if (v.Done || !v.Sound || v.Tail || v.EnvelopeTarget == 0) {
      v.Done = true;
      continue;
    }
    v.Envelope = 1;
    v.Fresh = true;
    const double length = static_cast<double>(v.Sound->Frames());
    v.Pos += static_cast<double>(frames) * Step(v, Rate);
    if (v.Pos >= length) {
      if (v.Loop) {
        v.Pos = std::fmod(v.Pos, length);
      } else {
        v.Now = MixVoice::Idle;
        v.Done = true;
      }
    }
  }
  std::erase_if(Sounding, [](const std::shared_ptr<MixVoice>& v) {
    if (v->Done) v->Mixed = false;
    return v->Done;
  });
}
