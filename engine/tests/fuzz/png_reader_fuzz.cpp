// Any bytes as a picture file: loading never crashes or hangs; a damaged picture gives nullptr, a
// good one has frames of the size asked for.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/vq-fuzz-picture-" + std::to_string(::getpid()) + ".png";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  if (auto image = LoadImageFile(path, 1)) {
    if (image->pixmaps.size() != 1 || !image->pixmaps[0]) __builtin_trap();
  }
  if (auto strip = LoadImageStrip(path, 3, 2, 1, 2, 3)) {
    if (strip->width != 3 || strip->height != 2 || strip->pixmaps.size() != 2) __builtin_trap();
  }
  std::remove(path.c_str());
  return 0;
}
