// Readers for the generated Files/ tree: pictures through libpng, WAV by hand, Ogg Vorbis through
// vorbisfile; and where the tree is.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The Files/ folder the build made (VQ_BUILD_DIR/Files).
std::string FilesDir();

struct Picture {
  int width = 0, height = 0;
  int channels = 0;             // as stored: 1 grey, 2 grey + alpha, 3 RGB, 4 RGBA
  std::vector<uint8_t> rgba;    // decoded to RGBA, top row first
  bool ok = false;
  // Red, green, blue, alpha of one pixel.
  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};
Picture ReadPicture(const std::string& path);

struct Sound {
  int channels = 0, rate = 0, bits = 0;
  std::vector<float> samples;  // interleaved, -1..1
  bool ok = false;
  size_t Frames() const { return channels ? samples.size() / channels : 0; }
  double Seconds() const { return rate ? static_cast<double>(Frames()) / rate : 0; }
};
// A RIFF WAVE file (PCM), read chunk by chunk.
Sound ReadWav(const std::string& path);
// An Ogg Vorbis file, decoded whole.
Sound ReadOgg(const std::string& path);

std::string ReadBytes(const std::string& path);
