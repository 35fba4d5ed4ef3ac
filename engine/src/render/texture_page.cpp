// Texture pages: the frames of an image (or the glyphs of a font) packed into as few textures as
// the size limit allows, each frame ringed by its own repeated edge pixels so that filtering never
// reaches a neighbour. Textures are made on a frame's first draw on a screen, from the pixels the
// image keeps, so images outlive the screens they were first drawn on.
#include <algorithm>
#include <cmath>

#include "render/render_internal.h"

namespace {

// A block of a cell: its picture with the edge pixels repeated over the whole block.
std::vector<uint32_t> BuildBlock(const TextureCell& cell) {
  std::vector<uint32_t> block(static_cast<size_t>(cell.blockW) * cell.blockH, 0xffffffffu);
  if (!cell.pixels || cell.pixels->width <= 0 || cell.pixels->height <= 0) return block;
  const TPixmap& p = *cell.pixels;
  const int ox = cell.x - cell.blockX, oy = cell.y - cell.blockY;
  for (int j = 0; j < cell.blockH; ++j) {
    const int sy = std::clamp(j - oy, 0, p.height - 1);
    const uint8_t* row = &p.pixels[static_cast<size_t>(sy) * p.pitch];
    uint32_t* out = &block[static_cast<size_t>(j) * cell.blockW];
    for (int i = 0; i < cell.blockW; ++i) {
      const int sx = std::clamp(i - ox, 0, p.width - 1);
      const uint8_t* s = row + static_cast<size_t>(sx) * 4;
      out[i] = s[0] | (uint32_t{s[1]} << 8) | (uint32_t{s[2]} << 16) | (uint32_t{s[3]} << 24);
    }
  }
  return block;
}

// The next mipmap level: each texel the average of (up to) a 2 x 2 block.
std::vector<uint32_t> HalveLevel(const std::vector<uint32_t>& level, int& w, int& h) {
  const int nw = std::max(w / 2, 1), nh = std::max(h / 2, 1);
  std::vector<uint32_t> out(static_cast<size_t>(nw) * nh);
  for (int y = 0; y < nh; ++y) {
    for (int x = 0; x < nw; ++x) {
      uint32_t sum[4] = {0, 0, 0, 0};
      int n = 0;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          const int sx = x * 2 + dx, sy = y * 2 + dy;
          if (sx >= w || sy >= h) continue;
          const uint32_t t = level[static_cast<size_t>(sy) * w + sx];
          for (int c = 0; c < 4; ++c) sum[c] += (t >> (c * 8)) & 0xff;
          ++n;
        }
      }
      uint32_t t = 0;
      for (int c = 0; c < 4; ++c) t |= ((sum[c] + n / 2) / n) << (c * 8);
      out[static_cast<size_t>(y) * nw + x] = t;
    }
  }
  w = nw;
  h = nh;
  return out;
}

// Uploads a region of level 0 and, in a mipmapped page, the matching regions of the smaller levels.
void UploadRegion(const TexturePage& page, int x, int y, int w, int h, std::vector<uint32_t> pixels) {
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  if (!page.mipmapped) return;
  for (int level = 1; level <= page.maxLevel; ++level) {
    pixels = HalveLevel(pixels, w, h);
    glTexSubImage2D(GL_TEXTURE_2D, level, x >> level, y >> level, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  }
}

void BindForUpload(GLuint texture) {
  glBindTexture(GL_TEXTURE_2D, texture);
  if (Render.Batch) Render.Batch->boundTexture = texture;
}

// Makes the page's texture on the current screen with every cell in it.
bool MakeTexture(TexturePage& page) {
  while (glGetError() != GL_NO_ERROR) {
  }
  GLuint texture = 0;
  glGenTextures(1, &texture);
  BindForUpload(texture);
  const GLint mag = page.filtered ? GL_LINEAR : GL_NEAREST;
  GLint min = mag;
  if (page.mipmapped) min = page.filtered ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  if (page.mipmapped) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, page.maxLevel);

  // Level 0 with every cell in place (unused space transparent), then the smaller levels from it.
  std::vector<uint32_t> level(static_cast<size_t>(page.width) * page.height, 0);
  for (TextureCell& cell : page.cells) {
    const std::vector<uint32_t> block = BuildBlock(cell);
    for (int j = 0; j < cell.blockH; ++j)
      std::copy_n(&block[static_cast<size_t>(j) * cell.blockW], cell.blockW,
                  &level[static_cast<size_t>(cell.blockY + j) * page.width + cell.blockX]);
    cell.uploaded = true;
  }
  int w = page.width, h = page.height;
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
  for (int l = 1; page.mipmapped && l <= page.maxLevel; ++l) {
    level = HalveLevel(level, w, h);
    glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, level.data());
  }
  if (glGetError() != GL_NO_ERROR) {  // too large, or out of memory
    glDeleteTextures(1, &texture);
    BindForUpload(0);
    for (TextureCell& cell : page.cells) cell.uploaded = false;
    return false;
  }
  page.texture = texture;
  page.seq = Render.ScreenSeq;
  page.alive = Render.ScreenAlive;
  return true;
}

}  // namespace

int PowerOfTwo(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

TexturePage::TexturePage(int w, int h, bool f, bool m) : width(w), height(h), filtered(f), mipmapped(m) {
  if (mipmapped) maxLevel = static_cast<int>(std::log2(std::max(width, height)));
}

TexturePage::~TexturePage() {
  if (!texture || alive.expired()) return;  // the context that held it is gone, and the texture with it
  if (Render.Batch) {
    if (Render.Batch->page == this) {
      FlushBatch();
      Render.Batch->page = nullptr;
    }
    if (Render.Batch->boundTexture == texture) Render.Batch->boundTexture = 0;
  }
  glDeleteTextures(1, &texture);
}

int AddCell(TexturePage& page, std::shared_ptr<TPixmap> pixels, int bx, int by, int bw, int bh) {
  TextureCell cell;
  cell.pixels = std::move(pixels);
  cell.x = bx + 1;
  cell.y = by + 1;
  cell.blockX = bx;
  cell.blockY = by;
  cell.blockW = bw;
  cell.blockH = bh;
  page.cells.push_back(std::move(cell));
  return static_cast<int>(page.cells.size()) - 1;
}

void AddWhiteCell(TexturePage& page, int bx, int by, int size) {
  AddCell(page, nullptr, bx, by, size, size);
  page.hasWhite = true;
  page.whiteU = (bx + size / 2.0f) / page.width;
  page.whiteV = (by + size / 2.0f) / page.height;
}

bool PrepareCell(TexturePage& page, int cell) {
  if (!Render.Current || !Render.Batch || cell < 0 || cell >= static_cast<int>(page.cells.size())) return false;
  if (page.seq != Render.ScreenSeq || !page.texture || page.alive.expired()) {
    page.texture = 0;  // a texture of a closed screen went with its context
    return MakeTexture(page);
  }
  TextureCell& c = page.cells[static_cast<size_t>(cell)];
  if (!c.uploaded) {
    if (Render.Batch->page == &page) FlushBatch();  // queued quads keep the old picture
    BindForUpload(page.texture);
    UploadRegion(page, c.blockX, c.blockY, c.blockW, c.blockH, BuildBlock(c));
    c.uploaded = true;
  }
  return true;
}

void InvalidateCell(TexturePage& page, int cell) {
  if (cell >= 0 && cell < static_cast<int>(page.cells.size())) page.cells[static_cast<size_t>(cell)].uploaded = false;
}

bool PlaceFrames(TImage& image) {
  const int count = static_cast<int>(image.pixmaps.size());
  const int limit = Render.MaxTextureSize;
  const bool filtered = image.flags & ImageFiltered, mipmapped = image.flags & ImageMipmapped;
  const int cw = image.width + 2, ch = image.height + 2;  // a frame and its one-pixel gutter
  if (image.width <= 0 || image.height <= 0 || PowerOfTwo(cw) > limit || PowerOfTwo(ch) > limit) return false;
  image.frames.assign(static_cast<size_t>(count), TImageFrame{});
  image.seqs.assign(static_cast<size_t>(count), 0);
  auto place = [&](int frame, const std::shared_ptr<TexturePage>& page, int cell) {
    const TextureCell& c = page->cells[static_cast<size_t>(cell)];
    TImageFrame& f = image.frames[static_cast<size_t>(frame)];
    f.page = page;
    f.cell = cell;
    f.u0 = static_cast<float>(c.x) / page->width;
    f.v0 = static_cast<float>(c.y) / page->height;
    f.u1 = static_cast<float>(c.x + image.width) / page->width;
    f.v1 = static_cast<float>(c.y + image.height) / page->height;
  };

  if (mipmapped) {
    // Each frame in a texture of its own, its edges repeated to the texture's ends, so that the
    // small mipmap levels hold nothing but the frame.
    for (int i = 0; i < count; ++i) {
      auto page = std::make_shared<TexturePage>(PowerOfTwo(cw), PowerOfTwo(ch), filtered, true);
      place(i, page, AddCell(*page, image.pixmaps[static_cast<size_t>(i)], 0, 0, page->width, page->height));
    }
    return true;
  }

  // A grid of cells, as square as the frames allow; a strip too large for one texture fills more.
  int next = 0;
  while (next < count) {
    const int left = count - next;
    const double area = static_cast<double>(left) * cw * ch;
    int w = std::clamp(PowerOfTwo(static_cast<int>(std::min(std::sqrt(area), 1e9))), PowerOfTwo(cw), limit);
    int columns = w / cw;
    if (left < columns) {
      w = PowerOfTwo(left * cw);
      columns = w / cw;
    }
    const int rowsWanted = (left + columns - 1) / columns;
    const int h = std::min(PowerOfTwo(static_cast<int>(std::min<int64_t>(int64_t{rowsWanted} * ch, 1 << 30))), limit);
    const int rows = h / ch;
    const int here = std::min(left, columns * rows);
    auto page = std::make_shared<TexturePage>(w, h, filtered, false);
    for (int k = 0; k < here; ++k)
      place(next + k, page,
            AddCell(*page, image.pixmaps[static_cast<size_t>(next + k)], (k % columns) * cw, (k / columns) * ch, cw, ch));
    // A white block for shapes drawn between this image's frames, where the layout leaves room.
    if (here < columns * rows && cw >= 4 && ch >= 4) AddWhiteCell(*page, (here % columns) * cw, (here / columns) * ch, 4);
    else if (w - columns * cw >= 4) AddWhiteCell(*page, columns * cw, 0, 4);
    else if (h - rows * ch >= 4) AddWhiteCell(*page, 0, rows * ch, 4);
    next += here;
  }
  return true;
}

bool PrepareFrame(TImage& image, int frame) {
  if (!Render.Current || !Render.Current->driver->CreateFrameFromPixmap(image, frame)) return false;
  image.seqs[static_cast<size_t>(frame)] = Render.ScreenSeq;
  return true;
}
