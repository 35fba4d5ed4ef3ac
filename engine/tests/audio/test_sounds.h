// Sounds made in memory for the audio tests.
#pragma once

#include <memory>

#include "audio/audio.h"

// A mono sound of the given length (1000 samples a second, every sample 1000) on the current back end.
inline std::shared_ptr<TSound> SoundOf(int ms) {
  SoundSamples s;
  s.Rate = 1000;
  s.Channels = 1;
  s.Samples.assign(static_cast<size_t>(ms), 1000);
  return CreateSound(std::move(s));
}
