// PNG output through libpng.
#include "png_write.h"

#include <png.h>

#include <cstdio>

namespace {

// libpng reports errors by a long jump back here; nothing in this frame needs to survive it.
bool WriteRows(png_structp png, png_infop info, FILE* file, int width, int height, int colorType,
               int channels, const std::vector<uint8_t>& pixels) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, width, height, 8, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, pixels.data() + static_cast<size_t>(y) * width * channels);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, int channels,
              const std::vector<uint8_t>& pixels) {
  int colorType = 0;
  switch (channels) {
    case 1: colorType = PNG_COLOR_TYPE_GRAY; break;
    case 3: colorType = PNG_COLOR_TYPE_RGB; break;
    case 4: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
    default: return false;
  }
  if (width <= 0 || height <= 0 ||
      pixels.size() != static_cast<size_t>(width) * height * channels)
    return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool written = png && info && WriteRows(png, info, file, width, height, colorType, channels, pixels);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  return std::fclose(file) == 0 && written;
}
