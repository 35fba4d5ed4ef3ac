// Any bytes as an Ogg Vorbis file: decoding never crashes and never gives back more than the
// decoded-size limit or a malformed sound.
#include <cstddef>
#include <cstdint>

#include "audio/backend.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::shared_ptr<SoundSamples> sound = ReadOggVorbis(data, size);
  if (!sound) return 0;
  if (sound->Channels != 1 && sound->Channels != 2) __builtin_trap();
  if (sound->Rate <= 0 || sound->Samples.empty() || sound->Samples.size() > MaxDecodedSamples) __builtin_trap();
  if (sound->Samples.size() % static_cast<size_t>(sound->Channels) != 0) __builtin_trap();
  return 0;
}
