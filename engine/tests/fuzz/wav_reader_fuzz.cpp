// Any bytes as a WAVE file: reading never crashes, never reads outside the bytes, and whatever it
// gives back is a well-formed sound no larger than the data could hold.
#include <cstddef>
#include <cstdint>

#include "audio/backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::shared_ptr<SoundSamples> sound = ReadWave(data, size);
  if (!sound) return 0;
  if (sound->Channels != 1 && sound->Channels != 2) __builtin_trap();
  if (sound->Rate <= 0 || sound->Samples.empty()) __builtin_trap();
  if (sound->Samples.size() % static_cast<size_t>(sound->Channels) != 0) __builtin_trap();
  if (sound->Samples.size() > size) __builtin_trap();  // at least one byte of data per sample
  return 0;
}
