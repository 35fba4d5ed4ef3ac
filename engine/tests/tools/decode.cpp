// Decoding the generated files for the tests.
#include "decode.h"

#include <png.h>
#include <vorbis/vorbisfile.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

std::string FilesDir() {
  const char* build = std::getenv("VQ_BUILD_DIR");
  return std::string(build ? build : ".") + "/Files";
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

Picture ReadPicture(const std::string& path) {
  Picture p;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
  p.width = static_cast<int>(image.width), p.height = static_cast<int>(image.height);
  p.channels = PNG_IMAGE_SAMPLE_CHANNELS(image.format);
  image.format = PNG_FORMAT_RGBA;
  p.rgba.resize(PNG_IMAGE_SIZE(image));
  p.ok = png_image_finish_read(&image, nullptr, p.rgba.data(), 0, nullptr) != 0;
  png_image_free(&image);
  return p;
}

namespace {

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
         static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

uint16_t Le16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

}  // namespace

Sound ReadWav(const std::string& path) {
  Sound s;
  const std::string b = ReadBytes(path);
  if (b.size() < 12 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) return s;
  bool haveFormat = false;
  for (size_t at = 12; at + 8 <= b.size();) {
    const std::string id = b.substr(at, 4);
    const uint32_t size = Le32(b, at + 4);
    const size_t body = at + 8;
    if (body + size > b.size()) return s;
    if (id == "fmt " && size >= 16) {
      if (Le16(b, body) != 1) return s;  // PCM only
      s.channels = Le16(b, body + 2), s.rate = static_cast<int>(Le32(b, body + 4)), s.bits = Le16(b, body + 14);
      haveFormat = true;
    } else if (id == "data" && haveFormat && s.bits == 16) {
      for (size_t i = 0; i + 1 < size; i += 2)
        s.samples.push_back(static_cast<int16_t>(Le16(b, body + i)) / 32768.f);
      s.ok = s.channels > 0;
    }
    at = body + size + (size & 1);
  }
  return s;
}

Sound ReadOgg(const std::string& path) {
  Sound s;
  OggVorbis_File vf;
  if (ov_fopen(path.c_str(), &vf) != 0) return s;
  const vorbis_info* info = ov_info(&vf, -1);
  s.channels = info->channels, s.rate = static_cast<int>(info->rate), s.bits = 32;
  for (;;) {
    float** pcm = nullptr;
    int section = 0;
    const long n = ov_read_float(&vf, &pcm, 4096, &section);
    if (n < 0) {
      ov_clear(&vf);
      return s;
    }
    if (n == 0) break;
    for (long i = 0; i < n; ++i)
      for (int c = 0; c < s.channels; ++c) s.samples.push_back(pcm[c][i]);
  }
  s.ok = static_cast<long long>(s.Frames()) == ov_pcm_total(&vf, -1);
  ov_clear(&vf);
  return s;
}
