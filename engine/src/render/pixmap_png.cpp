// Pixel buffers and the PNG codec (libpng): pictures decode to RGBA; pixel buffers are written
// with the zlib level asked for, their rows handed to libpng where they lie.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include "core/core.h"
#include "render/render_internal.h"

namespace {

int BytesPerPixel(int format) { return format == PixmapRGB888 ? 3 : 4; }

// libpng reports errors by jumping back to the setjmp of the call that failed; warnings are dropped.
[[noreturn]] void PngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

// Writes the rows with libpng. Kept free of C++ objects: a failure jumps out of it.
bool WritePngRows(std::FILE* file, const TPixmap* pixmap, png_bytep* rows, int compression) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, compression);
  // No row filter: on screen pictures (dark fields of small bright shapes) it is the fastest at
  // level 9 and gives the smallest files as well (bench/screenshot_bench compares the five).
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixmap->width), static_cast<png_uint_32>(pixmap->height), 8,
               pixmap->format == PixmapRGB888 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

// ---- Pixel buffers ----------------------------------------------------------------------------------
TPixmap::TPixmap(int w, int h, int f) : width(std::max(w, 0)), height(std::max(h, 0)), format(f) {
  if (format != PixmapRGB888) format = PixmapRGBA8888;
  pitch = width * BytesPerPixel(format);
  pixels.assign(static_cast<size_t>(pitch) * height, 0);
  capacity = static_cast<int>(pixels.size());
}

uint32_t TPixmap::ReadPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const uint8_t* p = &pixels[static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * BytesPerPixel(format)];
  const uint32_t a = format == PixmapRGB888 ? 255 : p[3];
  return (a << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
}

void TPixmap::WritePixel(int x, int y, uint32_t argb) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  uint8_t* p = &pixels[static_cast<size_t>(y) * pitch + static_cast<size_t>(x) * BytesPerPixel(format)];
  p[0] = static_cast<uint8_t>(argb >> 16);
  p[1] = static_cast<uint8_t>(argb >> 8);
  p[2] = static_cast<uint8_t>(argb);
  if (format != PixmapRGB888) p[3] = static_cast<uint8_t>(argb >> 24);
}

std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int w, int h) {
  TPelmoGraphics* g = CurrentScreen();
  return g ? g->driver->GrabPixmap(x, y, w, h) : nullptr;
}

// ---- PNG -------------------------------------------------------------------------------------------
std::shared_ptr<TPixmap> DecodePng(const std::string& path, bool& hasAlpha) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return nullptr;
  if (image.width == 0 || image.height == 0 || image.width > MaxPictureSide || image.height > MaxPictureSide ||
      int64_t{image.width} * image.height > MaxPicturePixels) {
    png_image_free(&image);
    return nullptr;
  }
  hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_RGBA;
  auto pixmap = std::make_shared<TPixmap>(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, pixmap->pixels.data(), pixmap->pitch, nullptr)) {
    png_image_free(&image);
    return nullptr;
  }
  return pixmap;
}

std::shared_ptr<TPixmap> LoadPixmapPNG(const std::string& path) {
  bool hasAlpha = false;
  return DecodePng(path, hasAlpha);
}

int SavePixmapAsPNG(const TPixmap* pixmap, const std::string& path, int compression) {
  if (!pixmap || pixmap->width <= 0 || pixmap->height <= 0 ||
      pixmap->pixels.size() < static_cast<size_t>(pixmap->pitch) * pixmap->height ||
      pixmap->pitch < pixmap->width * BytesPerPixel(pixmap->format))
    return 0;
  std::vector<png_bytep> rows(static_cast<size_t>(pixmap->height));
  for (int y = 0; y < pixmap->height; ++y)
    rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&pixmap->pixels[static_cast<size_t>(y) * pixmap->pitch]);
  // Written whole beside the path and renamed over it: a failed or killed write leaves no half
  // picture, and never removes a file that was there before.
  const int level = std::clamp(compression, 0, 9);
  return WriteFileAtomic(path, [&](std::FILE* file) { return WritePngRows(file, pixmap, rows.data(), level); }) ? 1 : 0;
}
