// Fonts: TrueType faces rendered by FreeType at a pixel size into glyph pictures made on first use
// and packed into the font's own textures, and the text operations over the current font.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "core/core.h"
#include "render/render_internal.h"

struct FreeTypeLibrary {
  FT_Library library = nullptr;
  ~FreeTypeLibrary() {
    if (library) FT_Done_FreeType(library);
  }
};

namespace {

constexpr int MaxFontPixels = 2048;                  // largest pixel size a font opens at
constexpr std::streamoff MaxFontFile = 64 << 20;     // bytes

std::shared_ptr<FreeTypeLibrary> Library() {
  if (!Render.FreeType) {
    auto library = std::make_shared<FreeTypeLibrary>();
    if (FT_Init_FreeType(&library->library) != 0) return nullptr;
    Render.FreeType = library;
  }
  return Render.FreeType;
}

bool ReadWholeFile(const std::string& path, std::vector<unsigned char>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > MaxFontFile) return false;
  in.seekg(0);
  bytes.resize(static_cast<size_t>(size));
  return static_cast<bool>(in.read(reinterpret_cast<char*>(bytes.data()), size));
}

// The file's bytes, read once while any font opened from it lives (a face is opened at many sizes).
std::shared_ptr<const std::vector<unsigned char>> FontFileBytes(const std::string& path) {
  const std::string key = !path.empty() && path[0] == '/' ? path : CurrentDir() + "/" + path;
  if (auto shared = Render.FontFiles[key].lock()) return shared;
  auto bytes = std::make_shared<std::vector<unsigned char>>();
  if (!ReadWholeFile(path, *bytes)) {
    Render.FontFiles.erase(key);
    return nullptr;
  }
  Render.FontFiles[key] = bytes;
  return bytes;
}

// Coverage of one bitmap pixel, 0..255.
uint8_t Coverage(const FT_Bitmap& bitmap, const unsigned char* row, unsigned x) {
  switch (bitmap.pixel_mode) {
    case FT_PIXEL_MODE_MONO:
      return (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    case FT_PIXEL_MODE_GRAY: {
      const int grays = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
      return static_cast<uint8_t>(std::min(255, row[x] * 255 / grays));
    }
    case FT_PIXEL_MODE_BGRA:
      return row[x * 4 + 3];
    default:
      return 0;
  }
}

TImageFont* CurrentFont() {
  const TPelmoGraphics* g = CurrentScreen();
  if (g && g->image_font) return g->image_font.get();
  if (!Render.BuiltinFont) Render.BuiltinFont = MakeBuiltinFont();
  return Render.BuiltinFont.get();
}

}  // namespace

TImageFont::TImageFont() = default;

TImageFont::~TImageFont() {
  if (_src_font) FT_Done_Face(static_cast<FT_Face>(_src_font));
}

std::shared_ptr<TImageFont> TImageFont::Load(const std::string& path, int size, int style) {
  if (size <= 0 || size > MaxFontPixels) return nullptr;
  auto font = std::make_shared<TImageFont>();
  font->library_ = Library();
  if (!font->library_ || !(font->fileData_ = FontFileBytes(path))) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(font->library_->library, font->fileData_->data(), static_cast<FT_Long>(font->fileData_->size()),
                         0, &face) != 0)
    return nullptr;
  font->_src_font = face;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) return nullptr;
  FT_Select_Charmap(face, FT_ENCODING_UNICODE);  // 8-bit codes are the first 256 of Unicode
  font->style_ = style;
  font->size_ = size;
  font->_imageFlags = (style & FontSmooth) ? ImageFiltered | ImageMipmapped : 0;
  const FT_Size_Metrics& m = face->size->metrics;
  font->ascender_ = static_cast<int>((m.ascender + 32) >> 6);
  font->height_ = std::max(1, static_cast<int>((m.ascender - m.descender + 32) >> 6));
  // One texture block holds any ordinary glyph picture (with its margin and gutter); a larger one
  // gets a texture of its own.
  int box = std::max(font->height_, static_cast<int>((m.max_advance + 63) >> 6));
  if (FT_IS_SCALABLE(face)) {
    const int bw = static_cast<int>((FT_MulFix(face->bbox.xMax - face->bbox.xMin, m.x_scale) + 63) >> 6);
    const int bh = static_cast<int>((FT_MulFix(face->bbox.yMax - face->bbox.yMin, m.y_scale) + 63) >> 6);
    box = std::max(bw, bh);
  }
  if (style & FontBold) box += size / 8 + 1;
  if (style & FontItalic) box += size / 4 + 1;
  box = std::min(box, size * 2);
  font->cellSize_ = std::min(PowerOfTwo(box + 4), Render.MaxTextureSize);
  font->_glyphs.resize(static_cast<size_t>(std::max<FT_Long>(face->num_glyphs, 0)));
  return font;
}

int TImageFont::CharToGlyph(int code) const {
  if (!_src_font) return code >= 32 && code <= 127 ? code - 32 : -1;
  if (code < 0 || code > 255) return -1;
  const FT_UInt index = FT_Get_Char_Index(static_cast<FT_Face>(_src_font), static_cast<FT_ULong>(code));
  return index == 0 ? -1 : static_cast<int>(index);
}

const TImageGlyph* TImageFont::Glyph(int index) {
  if (index < 0 || index >= static_cast<int>(_glyphs.size())) return nullptr;
  auto& slot = _glyphs[static_cast<size_t>(index)];
  if (slot || !_src_font) return slot.get();
  slot = std::make_unique<TImageGlyph>();
  TImageGlyph& glyph = *slot;
  FT_Face face = static_cast<FT_Face>(_src_font);
  const bool smooth = style_ & FontSmooth;
  if (FT_Load_Glyph(face, static_cast<FT_UInt>(index), smooth ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO) != 0)
    return slot.get();  // a damaged glyph: no picture, no advance
  FT_GlyphSlot g = face->glyph;
  if (style_ & FontBold) FT_GlyphSlot_Embolden(g);
  if (style_ & FontItalic) FT_GlyphSlot_Oblique(g);
  glyph._advance = static_cast<float>(g->advance.x) / 64.0f;
  if (g->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(g, smooth ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
    return slot.get();
  const FT_Bitmap& bitmap = g->bitmap;
  const int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
  if (w <= 0 || h <= 0 || !bitmap.buffer) return slot.get();
  // A damaged or hostile font can describe a glyph far larger than its size (thousands of pixels
  // across): such a glyph keeps its advance but gets no picture, rather than a picture of gigabytes.
  const int limit = 8 * std::max(size_, 1) + 64;
  if (w > limit || h > limit) return slot.get();
  // White, with the coverage as alpha, in a one-pixel transparent margin: filtered edges fade out
  // as they would at the edge of a texture of the glyph alone.
  auto pixels = std::make_shared<TPixmap>(w + 2, h + 2);
  for (size_t i = 0; i < pixels->pixels.size(); i += 4) pixels->pixels[i] = pixels->pixels[i + 1] = pixels->pixels[i + 2] = 255;
  const unsigned pitch = static_cast<unsigned>(std::abs(bitmap.pitch));
  for (int y = 0; y < h; ++y) {
    // A negative pitch means the rows are stored bottom first.
    const int stored = bitmap.pitch < 0 ? h - 1 - y : y;
    const unsigned char* row = bitmap.buffer + static_cast<size_t>(stored) * pitch;
    for (int x = 0; x < w; ++x)
      pixels->pixels[static_cast<size_t>(y + 1) * pixels->pitch + static_cast<size_t>(x + 1) * 4 + 3] =
          Coverage(bitmap, row, static_cast<unsigned>(x));
  }
  glyph._x = g->bitmap_left - 1;
  glyph._y = ascender_ - g->bitmap_top - 1;
  glyph._w = w + 2;
  glyph._h = h + 2;
  glyph._image = MakeGlyphImage(pixels, _imageFlags, cellSize_, pages_);
  return slot.get();
}

std::shared_ptr<TImage> MakeGlyphImage(std::shared_ptr<TPixmap> pixels, int imageFlags, int cellSize,
                                       std::vector<std::shared_ptr<TexturePage>>& pages) {
  const int w = pixels->width, h = pixels->height;
  const bool filtered = imageFlags & ImageFiltered, mipmapped = imageFlags & ImageMipmapped;
  std::shared_ptr<TexturePage> page;
  int cell = -1;
  if (std::max(w, h) + 2 > cellSize) {
    // Larger than the font's blocks: a texture of its own.
    const int pw = PowerOfTwo(w + 2), ph = PowerOfTwo(h + 2);
    if (pw > Render.MaxTextureSize || ph > Render.MaxTextureSize) return nullptr;
    page = std::make_shared<TexturePage>(pw, ph, filtered, mipmapped);
    cell = AddCell(*page, pixels, 0, 0, pw, ph);
  } else {
    // Blocks of cellSize on a grid of their own size, so each mipmap level of a block holds only
    // that block's glyph; the levels stop where a block becomes one texel.
    page = pages.empty() ? nullptr : pages.back();
    const int perRow = page ? page->width / cellSize : 0;
    if (!page || static_cast<int>(page->cells.size()) >= perRow * perRow) {
      const int size = std::clamp(PowerOfTwo(cellSize * 8), std::min(512, Render.MaxTextureSize),
                                  std::min(2048, Render.MaxTextureSize));
      page = std::make_shared<TexturePage>(std::max(size, cellSize), std::max(size, cellSize), filtered, mipmapped);
      if (mipmapped) page->maxLevel = static_cast<int>(std::log2(cellSize));
      AddWhiteCell(*page, 0, 0, cellSize);
      pages.push_back(page);
    }
    const int k = static_cast<int>(page->cells.size()), per = page->width / cellSize;
    cell = AddCell(*page, pixels, (k % per) * cellSize, (k / per) * cellSize, cellSize, cellSize);
  }
  auto image = std::make_shared<TImage>();
  image->width = w;
  image->height = h;
  image->flags = imageFlags;
  image->pixmaps = {pixels};
  image->seqs = {0};
  const TextureCell& c = page->cells[static_cast<size_t>(cell)];
  TImageFrame frame;
  frame.page = page;
  frame.cell = cell;
  frame.u0 = static_cast<float>(c.x) / page->width;
  frame.v0 = static_cast<float>(c.y) / page->height;
  frame.u1 = static_cast<float>(c.x + w) / page->width;
  frame.v1 = static_cast<float>(c.y + h) / page->height;
  image->frames = {frame};
  return image;
}

// ---- Text operations ---------------------------------------------------------------------------------
void SelectFont(std::shared_ptr<TImageFont> font) {
  if (TPelmoGraphics* g = CurrentScreen()) g->image_font = std::move(font);
}

void DrawString(const std::string& text, float x, float y) {
  const TPelmoGraphics* g = CurrentScreen();
  if (!g || text.empty()) return;
  TImageFont* font = CurrentFont();
  DrawBatch& b = *Render.Batch;
  const float ix = b.ix, iy = b.iy, jx = b.jx, jy = b.jy;
  // The pen starts at the position moved by the (negated) handle through the transform.
  float penX = x + g->origin_x + g->handle_x * ix + g->handle_y * iy;
  float penY = y + g->origin_y + g->handle_x * jx + g->handle_y * jy;
  for (const unsigned char ch : text) {
    const TImageGlyph* glyph = font->Glyph(font->CharToGlyph(ch));
    if (!glyph) continue;  // no glyph: skipped, the pen stays
    if (TImage* image = glyph->_image.get()) {
      if (image->seqs[0] == Render.ScreenSeq || PrepareFrame(*image, 0)) {
        const TImageFrame& f = image->frames[0];
        const float x0 = static_cast<float>(glyph->_x), y0 = static_cast<float>(glyph->_y);
        const float x1 = x0 + glyph->_w, y1 = y0 + glyph->_h;
        BatchVertex* v = BatchQuad(f.page.get(), b.drawBlend);
        const uint32_t c = b.color;
        v[0] = {x0 * ix + y0 * iy + penX, x0 * jx + y0 * jy + penY, f.u0, f.v0, c};
        v[1] = {x1 * ix + y0 * iy + penX, x1 * jx + y0 * jy + penY, f.u1, f.v0, c};
        v[2] = {x1 * ix + y1 * iy + penX, x1 * jx + y1 * jy + penY, f.u1, f.v1, c};
        v[3] = {x0 * ix + y1 * iy + penX, x0 * jx + y1 * jy + penY, f.u0, f.v1, c};
      }
    }
    penX += glyph->_advance * ix;
    penY += glyph->_advance * jx;
  }
}

int StringWidth(const std::string& text) {
  TImageFont* font = CurrentFont();
  int total = 0;
  for (const unsigned char ch : text) {
    const TImageGlyph* glyph = font->Glyph(font->CharToGlyph(ch));
    if (glyph) total = TruncToInt(total + static_cast<double>(glyph->_advance));
  }
  return total;
}

int FontHeight() { return CurrentFont()->Height(); }
