// Sound files: read whole, then decoded by their content.
#include <cstring>
#include <fstream>

#include "audio/backend.h"

std::shared_ptr<SoundSamples> ReadSoundFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 12 || static_cast<uint64_t>(size) > MaxSoundFileBytes) return nullptr;
  in.seekg(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return nullptr;
  if (std::memcmp(bytes.data(), "RIFF", 4) == 0) return ReadWave(bytes.data(), bytes.size());
  if (std::memcmp(bytes.data(), "OggS", 4) == 0) return ReadOggVorbis(bytes.data(), bytes.size());
  return nullptr;
}
