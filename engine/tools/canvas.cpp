// Anti-aliased shapes, masks, text and pictures for the data generators.
#include "canvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "png_write.h"

namespace {

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.f)); }

float SegmentDistance(float px, float py, Pt a, Pt b) {
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len2 = dx * dx + dy * dy;
  float t = len2 > 0 ? ((px - a.x) * dx + (py - a.y) * dy) / len2 : 0;
  t = std::clamp(t, 0.f, 1.f);
  const float qx = a.x + t * dx - px, qy = a.y + t * dy - py;
  return std::sqrt(qx * qx + qy * qy);
}

float BoxDistance(float px, float py, float x0, float y0, float x1, float y1, float radius) {
  const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
  const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  const float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.f) - radius;
}

}  // namespace

Colour Rgb(int r, int g, int b, float a) { return {r / 255.f, g / 255.f, b / 255.f, a}; }

Colour Mix(Colour a, Colour b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

void FillSdf(Mask& m, float x0, float y0, float x1, float y1,
             const std::function<float(float, float)>& distance) {
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0 - 1)));
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0 - 1)));
  const int ix1 = std::min(m.w - 1, static_cast<int>(std::ceil(x1 + 1)));
  const int iy1 = std::min(m.h - 1, static_cast<int>(std::ceil(y1 + 1)));
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      const float c = Clamp01(0.5f - distance(x + 0.5f, y + 0.5f));
      float& v = m.At(x, y);
      v = std::max(v, c);
    }
}

void Segment(Mask& m, Pt a, Pt b, float width, bool roundCaps) {
  const float r = width / 2;
  if (roundCaps) {
    FillSdf(m, std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r,
            std::max(a.y, b.y) + r,
            [&](float x, float y) { return SegmentDistance(x, y, a, b) - r; });
    return;
  }
  // Square-ended: a rotated box covering the segment exactly.
  const float dx = b.x - a.x, dy = b.y - a.y;
  const float len = std::sqrt(dx * dx + dy * dy);
  if (len <= 0) return;
  const float ux = dx / len, uy = dy / len;
  const float cx = (a.x + b.x) / 2, cy = (a.y + b.y) / 2;
  FillSdf(m, std::min(a.x, b.x) - r, std::min(a.y, b.y) - r, std::max(a.x, b.x) + r,
          std::max(a.y, b.y) + r, [&](float x, float y) {
            const float lx = (x - cx) * ux + (y - cy) * uy;
            const float ly = -(x - cx) * uy + (y - cy) * ux;
            return BoxDistance(lx, ly, -len / 2, -r, len / 2, r, 0);
          });
}

void Polyline(Mask& m, const std::vector<Pt>& points, float width, bool closed) {
  for (size_t i = 0; i + 1 < points.size(); ++i) Segment(m, points[i], points[i + 1], width);
  if (closed && points.size() > 2) Segment(m, points.back(), points.front(), width);
}

void Disc(Mask& m, Pt c, float radius) {
  FillSdf(m, c.x - radius, c.y - radius, c.x + radius, c.y + radius, [&](float x, float y) {
    return std::sqrt((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y)) - radius;
  });
}

void Ring(Mask& m, Pt c, float radius, float width) {
  const float outer = radius + width / 2;
  FillSdf(m, c.x - outer, c.y - outer, c.x + outer, c.y + outer, [&](float x, float y) {
    return std::fabs(std::sqrt((x - c.x) * (x - c.x) + (y - c.y) * (y - c.y)) - radius) - width / 2;
  });
}

void Arc(Mask& m, Pt c, float radius, float width, float a0, float a1) {
  const int steps = std::max(2, static_cast<int>(std::fabs(a1 - a0) / 6));
  std::vector<Pt> pts;
  for (int i = 0; i <= steps; ++i) {
    const float a = (a0 + (a1 - a0) * i / steps) * 3.14159265f / 180.f;
    pts.push_back({c.x + radius * std::cos(a), c.y + radius * std::sin(a)});
  }
  Polyline(m, pts, width);
}

void Box(Mask& m, float x0, float y0, float x1, float y1) { RoundBox(m, x0, y0, x1, y1, 0); }

void RoundBox(Mask& m, float x0, float y0, float x1, float y1, float radius) {
  FillSdf(m, x0, y0, x1, y1,
          [&](float x, float y) { return BoxDistance(x, y, x0, y0, x1, y1, radius); });
}

void RoundBoxOutline(Mask& m, float x0, float y0, float x1, float y1, float radius, float width) {
  const float h = width / 2;
  FillSdf(m, x0 - h, y0 - h, x1 + h, y1 + h, [&](float x, float y) {
    return std::fabs(BoxDistance(x, y, x0, y0, x1, y1, radius)) - h;
  });
}

void FillSampled(Mask& m, float x0, float y0, float x1, float y1,
                 const std::function<bool(float, float)>& inside) {
  constexpr int S = 8;
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
  const int ix1 = std::min(m.w - 1, static_cast<int>(std::ceil(x1)));
  const int iy1 = std::min(m.h - 1, static_cast<int>(std::ceil(y1)));
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      int count = 0;
      for (int sy = 0; sy < S; ++sy)
        for (int sx = 0; sx < S; ++sx)
          if (inside(x + (sx + 0.5f) / S, y + (sy + 0.5f) / S)) ++count;
      float& v = m.At(x, y);
      v = std::max(v, count / static_cast<float>(S * S));
    }
}

void Polygon(Mask& m, const std::vector<Pt>& pts) {
  if (pts.size() < 3) return;
  float minY = pts[0].y, maxY = pts[0].y, minX = pts[0].x, maxX = pts[0].x;
  for (const Pt& p : pts) {
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
  }
  FillSampled(m, minX, minY, maxX, maxY, [&](float px, float py) {
    int winding = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
      const Pt a = pts[i], b = pts[(i + 1) % pts.size()];
      if ((a.y <= py) != (b.y <= py)) {
        const float t = (py - a.y) / (b.y - a.y);
        if (a.x + t * (b.x - a.x) > px) winding += (b.y > a.y) ? 1 : -1;
      }
    }
    return winding != 0;
  });
}

void Star(Mask& m, Pt c, float outer, float inner, int points) {
  std::vector<Pt> pts;
  for (int k = 0; k < 2 * points; ++k) {
    const float r = k % 2 ? inner : outer;
    const float a = (-90 + 180.f / points * k) * 3.14159265f / 180;
    pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
  }
  Polygon(m, pts);
}

void Subtract(Mask& m, const Mask& cut, int ox, int oy) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) m.At(x, y) *= 1 - cut.Get(x - ox, y - oy);
}

void Multiply(Mask& m, const Mask& by, int ox, int oy) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) m.At(x, y) *= by.Get(x - ox, y - oy);
}

void Union(Mask& m, const Mask& add, int ox, int oy) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) m.At(x, y) = std::max(m.At(x, y), add.Get(x - ox, y - oy));
}

Mask Blur(const Mask& m, float sigma) {
  const int r = std::max(1, static_cast<int>(std::ceil(sigma * 3)));
  std::vector<float> k(2 * r + 1);
  float sum = 0;
  for (int i = -r; i <= r; ++i) sum += k[i + r] = std::exp(-0.5f * i * i / (sigma * sigma));
  for (float& v : k) v /= sum;
  Mask tmp(m.w, m.h), out(m.w, m.h);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * m.Get(x + i, y);
      tmp.At(x, y) = s;
    }
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float s = 0;
      for (int i = -r; i <= r; ++i) s += k[i + r] * tmp.Get(x, y + i);
      out.At(x, y) = s;
    }
  return out;
}

Mask Dilate(const Mask& m, float radius) {
  const int r = static_cast<int>(std::ceil(radius)) + 1;
  Mask out(m.w, m.h);
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float best = 0;
      for (int dy = -r; dy <= r && best < 1; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
          const float v = m.Get(x + dx, y + dy);
          if (v <= best) continue;
          const float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
          best = std::max(best, v * Clamp01(radius + 0.5f - d));
        }
      out.At(x, y) = best;
    }
  return out;
}

void Harden(Mask& m, float threshold) {
  for (float& v : m.v) v = v >= threshold ? 1.f : 0.f;
}

Mask TextMask(const std::string& fontPath, float pixelSize, const std::string& text, int pad,
              float tracking, int* baseline) {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&lib) != 0 || FT_New_Face(lib, fontPath.c_str(), 0, &face) != 0) {
    std::fprintf(stderr, "cannot open font %s\n", fontPath.c_str());
    std::exit(1);
  }
  FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(pixelSize * 64)), 72, 72);
  // First pass: the extent of the inked pixels relative to the pen start on the baseline.
  struct Placed {
    int x, y, w, h;
    std::vector<uint8_t> bits;
  };
  std::vector<Placed> placed;
  float pen = 0;
  FT_UInt previous = 0;
  int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
  for (unsigned char ch : text) {
    const FT_UInt index = FT_Get_Char_Index(face, ch);
    if (previous && index && FT_HAS_KERNING(face)) {
      FT_Vector k;
      FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k);
      pen += k.x / 64.f;
    }
    previous = index;
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_HINTING) != 0) continue;
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
    const FT_Bitmap& bm = face->glyph->bitmap;
    Placed p{static_cast<int>(std::lround(pen)) + face->glyph->bitmap_left, -face->glyph->bitmap_top,
             static_cast<int>(bm.width), static_cast<int>(bm.rows), {}};
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) p.bits.push_back(bm.buffer[y * bm.pitch + x]);
    if (p.w > 0 && p.h > 0) {
      minX = std::min(minX, p.x), minY = std::min(minY, p.y);
      maxX = std::max(maxX, p.x + p.w), maxY = std::max(maxY, p.y + p.h);
    }
    placed.push_back(std::move(p));
    pen += face->glyph->advance.x / 64.f + tracking;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  if (maxX < minX) return Mask(2 * pad + 1, 2 * pad + 1);
  Mask m(maxX - minX + 2 * pad, maxY - minY + 2 * pad);
  for (const Placed& p : placed)
    for (int y = 0; y < p.h; ++y)
      for (int x = 0; x < p.w; ++x) {
        float& v = m.At(p.x - minX + pad + x, p.y - minY + pad + y);
        v = std::max(v, p.bits[static_cast<size_t>(y) * p.w + x] / 255.f);
      }
  if (baseline) *baseline = pad - minY;
  return m;
}

void Image::Paint(const Mask& m, Colour c, int ox, int oy, float opacity) {
  PaintFn(m, [&](float, float) { return c; }, ox, oy, opacity);
}

void Image::PaintFn(const Mask& m, const std::function<Colour(float, float)>& colour, int ox,
                    int oy, float opacity) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      const int tx = x + ox, ty = y + oy;
      if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
      const float cov = m.v[static_cast<size_t>(y) * m.w + x] * opacity;
      if (cov <= 0) continue;
      const Colour c = colour(tx + 0.5f, ty + 0.5f);
      const float a = Clamp01(c.a * cov);
      float* d = &p[(static_cast<size_t>(ty) * w + tx) * 4];
      d[0] = c.r * a + d[0] * (1 - a);
      d[1] = c.g * a + d[1] * (1 - a);
      d[2] = c.b * a + d[2] * (1 - a);
      d[3] = a + d[3] * (1 - a);
    }
}

void Image::AddLight(const Mask& m, Colour c, int ox, int oy, float amount) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      const int tx = x + ox, ty = y + oy;
      if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
      const float k = m.v[static_cast<size_t>(y) * m.w + x] * amount * c.a;
      if (k <= 0) continue;
      float* d = &p[(static_cast<size_t>(ty) * w + tx) * 4];
      d[0] += c.r * k, d[1] += c.g * k, d[2] += c.b * k;
      d[3] = std::min(1.f, d[3] + k);
    }
}

void Image::Over(const Image& top, int ox, int oy) {
  for (int y = 0; y < top.h; ++y)
    for (int x = 0; x < top.w; ++x) {
      const int tx = x + ox, ty = y + oy;
      if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
      const float* s = &top.p[(static_cast<size_t>(y) * top.w + x) * 4];
      float* d = &p[(static_cast<size_t>(ty) * w + tx) * 4];
      for (int i = 0; i < 4; ++i) d[i] = s[i] + d[i] * (1 - s[3]);
    }
}

void Image::Clamp() {
  for (size_t i = 0; i < p.size(); i += 4) {
    p[i + 3] = Clamp01(p[i + 3]);
    for (int c = 0; c < 3; ++c) p[i + c] = std::clamp(p[i + c], 0.f, p[i + 3]);
  }
}

std::vector<uint8_t> Image::ToRgb() const {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(w) * h * 3);
  for (size_t i = 0; i < p.size(); i += 4)
    for (int c = 0; c < 3; ++c) out.push_back(ToByte(p[i + c]));
  return out;
}

std::vector<uint8_t> Image::ToRgba() const {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < p.size(); i += 4) {
    const float a = Clamp01(p[i + 3]);
    const uint8_t alpha = ToByte(a);
    for (int c = 0; c < 3; ++c) out.push_back(alpha == 0 ? 0 : ToByte(p[i + c] / a));
    out.push_back(alpha);
  }
  return out;
}

bool SaveImage(const Image& img, const std::string& path, int channels) {
  switch (channels) {
    case 3: return WritePng(path, img.w, img.h, 3, img.ToRgb());
    case 4: return WritePng(path, img.w, img.h, 4, img.ToRgba());
    default: return false;
  }
}

void CentreText(Image& img, const Mask& text, float cx, float cy, Colour top, Colour bottom) {
  const int ox = static_cast<int>(std::lround(cx - text.w / 2.f));
  const int oy = static_cast<int>(std::lround(cy - text.h / 2.f));
  img.PaintFn(text, [&](float, float y) { return Mix(top, bottom, (y - oy) / text.h); }, ox, oy);
}

Mask Placed(int w, int h, const Mask& text, float cx, float cy) {
  Mask m(w, h);
  Union(m, text, static_cast<int>(std::lround(cx - text.w / 2.f)), static_cast<int>(std::lround(cy - text.h / 2.f)));
  return m;
}
