// RIFF WAVE files: PCM, 8 or 16 bit, mono or stereo, any sample rate, chunks in any order.
#include <cstring>

#include "audio/backend.h"

namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A chunk id is four printable characters.
bool LooksLikeChunkId(const uint8_t* p) {
  for (int i = 0; i < 4; ++i)
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  return true;
}

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatExtensible = 0xFFFE;
constexpr uint32_t MaxRate = 1000000;  // frames per second

}  // namespace

std::shared_ptr<SoundSamples> ReadWave(const uint8_t* data, size_t size) {
  if (!data || size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
    return nullptr;
  // Writers often get the RIFF size wrong; it only cuts off trailing bytes when it is smaller than
  // the file.
  size_t end = size;
  const uint64_t riffEnd = static_cast<uint64_t>(Le32(data + 4)) + 8;
  if (riffEnd >= 20 && riffEnd < end) end = static_cast<size_t>(riffEnd);

  const uint8_t* fmt = nullptr;
  size_t fmtSize = 0;
  const uint8_t* pcm = nullptr;
  size_t pcmSize = 0;
  size_t pos = 12;
  while (end - pos >= 8) {
    const uint8_t* chunk = data + pos;
    const size_t length = Le32(chunk + 4);
    const size_t body = pos + 8;
    const bool isFmt = std::memcmp(chunk, "fmt ", 4) == 0;
    const bool isData = std::memcmp(chunk, "data", 4) == 0;
    if (length > end - body) {
      if ((isFmt && !fmt) || (isData && !pcm)) return nullptr;  // truncated, or a size that lies
      break;                                                      // damaged trailing chunk: ignored
    }
    if (isFmt && !fmt) {
      fmt = data + body;
      fmtSize = length;
    } else if (isData && !pcm) {
      pcm = data + body;
      pcmSize = length;
    }
    size_t next = body + length;
    // An odd-sized chunk is followed by a pad byte, which some writers leave out.
    if (length % 2 == 1 && next < end) {
      const bool padded = end - next >= 9 && LooksLikeChunkId(data + next + 1);
      const bool unpadded = end - next >= 8 && LooksLikeChunkId(data + next);
      const bool knownUnpadded =
          unpadded && (std::memcmp(data + next, "data", 4) == 0 || std::memcmp(data + next, "fmt ", 4) == 0);
      if (!knownUnpadded && (padded || !unpadded)) ++next;
    }
    pos = next;
  }
  if (!fmt || !pcm || fmtSize < 16) return nullptr;

  uint16_t format = Le16(fmt);
  const uint16_t channels = Le16(fmt + 2);
  const uint32_t rate = Le32(fmt + 4);
  const uint16_t blockAlign = Le16(fmt + 12);
  const uint16_t bits = Le16(fmt + 14);
  if (format == FormatExtensible && fmtSize >= 26) format = Le16(fmt + 24);  // the sub-format's tag
  if (format != FormatPcm || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return nullptr;
  if (rate == 0 || rate > MaxRate || blockAlign != channels * bits / 8) return nullptr;

  const size_t frames = pcmSize / blockAlign;  // a partial last frame is dropped
  if (frames == 0 || frames * channels > MaxDecodedSamples) return nullptr;
  auto sound = std::make_shared<SoundSamples>();
  sound->Rate = static_cast<int>(rate);
  sound->Channels = channels;
  sound->Samples.resize(frames * channels);
  for (size_t i = 0; i < sound->Samples.size(); ++i) {
    sound->Samples[i] = bits == 8 ? static_cast<int16_t>((pcm[i] - 128) * 256)
                                  : static_cast<int16_t>(Le16(pcm + 2 * i));
  }
  return sound;
}
