// Images: loading pictures and strips of cells, the mask colour, blank images filled from the
// screen, and drawing one frame as one quad of the batch.
#include <algorithm>

#include "render/render_internal.h"

namespace {

// The most frames one image may have (a strip of tiny cells would otherwise cost a fortune).
constexpr int MaxFrames = 1 << 16;

int EffectiveFlags(int flags) { return flags == -1 ? Render.DefaultImageFlags : flags & 15; }

}  // namespace

std::shared_ptr<TImage> NewImage(int width, int height, int frames, int flags) {
  auto image = std::make_shared<TImage>();
  image->width = width;
  image->height = height;
  image->flags = flags;
  image->mask_r = Render.MaskRed;
  image->mask_g = Render.MaskGreen;
  image->mask_b = Render.MaskBlue;
  if (Render.AutoCentre) {
    image->handle_x = width * 0.5f;
    image->handle_y = height * 0.5f;
  }
  image->pixmaps.resize(static_cast<size_t>(frames));
  return image;
}

void ApplyMask(TPixmap& pixmap, int r, int g, int b) {
  if (pixmap.format != PixmapRGBA8888) return;
  const int w = pixmap.width, h = pixmap.height;
  auto at = [&](int x, int y) { return &pixmap.pixels[static_cast<size_t>(y) * pixmap.pitch + static_cast<size_t>(x) * 4]; };
  // Which pixels are mask-coloured, decided on the picture as loaded.
  std::vector<uint8_t> masked(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = at(x, y);
      masked[static_cast<size_t>(y) * w + x] = p[0] == r && p[1] == g && p[2] == b;
    }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = at(x, y);
      if (!masked[static_cast<size_t>(y) * w + x]) {
        p[3] = 255;
        continue;
      }
      // A transparent pixel takes the colour of its visible neighbours, so that filtering at the
      // edge of the picture blends toward them and not toward the mask colour.
      int sum[3] = {0, 0, 0}, n = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          if (masked[static_cast<size_t>(ny) * w + nx]) continue;
          const uint8_t* q = at(nx, ny);
          for (int c = 0; c < 3; ++c) sum[c] += q[c];
          ++n;
        }
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(n ? sum[c] / n : 0);
      p[3] = 0;
    }
  }
}

std::shared_ptr<TImage> LoadImageFile(const std::string& path, int flags) {
  flags = EffectiveFlags(flags);
  bool hasAlpha = false;
  std::shared_ptr<TPixmap> pixels = DecodePng(path, hasAlpha);
  if (!pixels) return nullptr;
  auto image = NewImage(pixels->width, pixels->height, 1, flags);
  if ((flags & ImageMasked) && !hasAlpha) ApplyMask(*pixels, image->mask_r, image->mask_g, image->mask_b);
  image->pixmaps[0] = std::move(pixels);
  if (!PlaceFrames(*image)) return nullptr;
  return image;
}

std::shared_ptr<TImage> LoadImageStrip(const std::string& path, int cellWidth, int cellHeight, int first, int count,
                                       int flags) {
  if (cellWidth <= 0 || cellHeight <= 0 || first < 0 || count <= 0 || count > MaxFrames) return nullptr;
  flags = EffectiveFlags(flags);
  bool hasAlpha = false;
  std::shared_ptr<TPixmap> picture = DecodePng(path, hasAlpha);
  if (!picture) return nullptr;
  const int perRow = picture->width / cellWidth;
  const int64_t cells = int64_t{perRow} * (picture->height / cellHeight);
  if (int64_t{first} + count > cells) return nullptr;
  auto image = NewImage(cellWidth, cellHeight, count, flags);
  for (int i = 0; i < count; ++i) {
    const int cell = first + i;
    const int cx = (cell % perRow) * cellWidth, cy = (cell / perRow) * cellHeight;
    auto frame = std::make_shared<TPixmap>(cellWidth, cellHeight);
    for (int y = 0; y < cellHeight; ++y) {
      const uint8_t* from = &picture->pixels[static_cast<size_t>(cy + y) * picture->pitch + static_cast<size_t>(cx) * 4];
      std::copy_n(from, static_cast<size_t>(cellWidth) * 4, &frame->pixels[static_cast<size_t>(y) * frame->pitch]);
    }
    if ((flags & ImageMasked) && !hasAlpha) ApplyMask(*frame, image->mask_r, image->mask_g, image->mask_b);
    image->pixmaps[static_cast<size_t>(i)] = std::move(frame);
  }
  if (!PlaceFrames(*image)) return nullptr;
  return image;
}

void SetMaskColor(int r, int g, int b) {
  Render.MaskRed = r;
  Render.MaskGreen = g;
  Render.MaskBlue = b;
}

void SetAutoCentreHandle(int on) { Render.AutoCentre = on != 0; }

std::shared_ptr<TImage> CreateBlankImage(int width, int height, int frames, int flags) {
  if (width <= 0 || height <= 0 || frames <= 0 || frames > MaxFrames ||
      int64_t{width} * height * frames > MaxPicturePixels)
    return nullptr;
  auto image = NewImage(width, height, frames, (flags & 15) | ImageDynamic);
  for (auto& pixmap : image->pixmaps) pixmap = std::make_shared<TPixmap>(width, height);
  if (!PlaceFrames(*image)) return nullptr;
  return image;
}

void GrabImageFrame(const std::shared_ptr<TImage>& image, int x, int y, int frame) {
  TPelmoGraphics* g = CurrentScreen();
  if (!g || !image || frame < 0 || frame >= static_cast<int>(image->frames.size())) return;
  std::shared_ptr<TPixmap> grabbed = g->driver->GrabPixmap(x, y, image->width, image->height);
  if (!grabbed) return;
  if (image->flags & ImageMasked) ApplyMask(*grabbed, image->mask_r, image->mask_g, image->mask_b);
  // Into the frame's own pixel buffer, which its texture page shares.
  TPixmap& kept = *image->pixmaps[static_cast<size_t>(frame)];
  kept.pixels = std::move(grabbed->pixels);
  TImageFrame& f = image->frames[static_cast<size_t>(frame)];
  if (f.page) InvalidateCell(*f.page, f.cell);
  image->seqs[static_cast<size_t>(frame)] = 0;
}

void PrepareImage(const std::shared_ptr<TImage>& image) {
  if (!image || !Render.Current) return;
  for (size_t frame = 0; frame < image->frames.size(); ++frame)
    if (image->seqs[frame] != Render.ScreenSeq) PrepareFrame(*image, static_cast<int>(frame));
}

void DrawImageFrame(TImage* image, float x, float y, int frame) {
  const TPelmoGraphics* g = Render.Current.get();
  if (!g || !image || static_cast<unsigned>(frame) >= image->frames.size()) return;
  if (image->seqs[static_cast<size_t>(frame)] != Render.ScreenSeq && !PrepareFrame(*image, frame)) return;
  const TImageFrame& f = image->frames[static_cast<size_t>(frame)];
  DrawBatch& b = *Render.Batch;
  BatchVertex* v = BatchQuad(f.page.get(), b.drawBlend);
  // The quad from (-handle) to (size - handle) in the frame's own space, turned and scaled about
  // the handle, which lands on (x, y).
  const float x0 = -image->handle_x, y0 = -image->handle_y;
  const float x1 = image->width - image->handle_x, y1 = image->height - image->handle_y;
  const float tx = x + g->origin_x, ty = y + g->origin_y;
  const float ix = b.ix, iy = b.iy, jx = b.jx, jy = b.jy;
  const uint32_t c = b.color;
  v[0] = {x0 * ix + y0 * iy + tx, x0 * jx + y0 * jy + ty, f.u0, f.v0, c};
  v[1] = {x1 * ix + y0 * iy + tx, x1 * jx + y0 * jy + ty, f.u1, f.v0, c};
  v[2] = {x1 * ix + y1 * iy + tx, x1 * jx + y1 * jy + ty, f.u1, f.v1, c};
  v[3] = {x0 * ix + y1 * iy + tx, x0 * jx + y1 * jy + ty, f.u0, f.v1, c};
}

int ImageWidth(const TImage* image) { return image ? image->width : 0; }
int ImageHeight(const TImage* image) { return image ? image->height : 0; }
int ImageFrames(const TImage* image) { return image ? static_cast<int>(image->frames.size()) : 0; }
