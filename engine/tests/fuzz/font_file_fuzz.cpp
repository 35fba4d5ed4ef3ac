// Any bytes as a TrueType font file through the font wrapper: opening it, measuring text and making
// every glyph picture never crashes or hangs; a file that is not a font gives nullptr.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "render/render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/vq-fuzz-font-" + std::to_string(::getpid()) + ".ttf";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  for (int style : {FontSmooth, 0}) {
    auto font = TImageFont::Load(path, style == FontSmooth ? 24 : 9, style);
    if (!font) continue;
    if (font->Height() < 0) __builtin_trap();
    for (int code = 0; code < 256; ++code) {
      const int index = font->CharToGlyph(code);
      if (index < 0) continue;
      const TImageGlyph* glyph = font->Glyph(index);
      if (!glyph) __builtin_trap();
      if (glyph->_w < 0 || glyph->_h < 0 || glyph->_w > 4096 || glyph->_h > 4096) __builtin_trap();
      if (glyph->_image && (glyph->_image->width != glyph->_w || glyph->_image->height != glyph->_h)) __builtin_trap();
    }
  }
  std::remove(path.c_str());
  return 0;
}
