// RIFF WAVE output: the canonical 44-byte header (PCM format 1) followed by little-endian samples.
#include "wav_write.h"

#include <cmath>
#include <cstdint>
#include <fstream>

namespace {

void Put16(std::ofstream& out, uint16_t v) {
  const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
  out.write(b, 2);
}

void Put32(std::ofstream& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xffff));
  Put16(out, static_cast<uint16_t>(v >> 16));
}

}  // namespace

bool WriteWav(const std::string& path, const std::vector<float>& samples, int channels, int rate) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  Put32(out, 36 + dataBytes);
  out.write("WAVEfmt ", 8);
  Put32(out, 16);
  Put16(out, 1);  // PCM
  Put16(out, static_cast<uint16_t>(channels));
  Put32(out, static_cast<uint32_t>(rate));
  Put32(out, static_cast<uint32_t>(rate * channels * 2));  // bytes per second
  Put16(out, static_cast<uint16_t>(channels * 2));         // bytes per frame
  Put16(out, 16);                                          // bits per sample
  out.write("data", 4);
  Put32(out, dataBytes);
  for (float s : samples) {
    const float clipped = s < -1 ? -1 : (s > 1 ? 1 : s);
    Put16(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(clipped * 32767.f))));
  }
  return static_cast<bool>(out);
}
