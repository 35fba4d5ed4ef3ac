// The OpenGL back end's drawing: the vertex batch, blend modes, clearing, shapes, read-back and the
// projection of the virtual size. Everything is drawn as textured quads through one client-side
// vertex array and prebuilt 16-bit indices (OpenGL 1.1), so a frame of sprites from one texture is
// a handful of draw calls.
#include <algorithm>
#include <cmath>

#include "render/render_internal.h"

namespace {

TPelmoGraphics& Screen() { return *Render.Current; }

uint8_t ClampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// Four corners of a shape's own frame, transformed by the coefficients and moved to (tx, ty).
void QueueShape(const float (&px)[4], const float (&py)[4], float tx, float ty) {
  const DrawBatch& b = *Render.Batch;
  float u, v;
  BatchVertex* q = ShapeQuad(u, v);
  for (int i = 0; i < 4; ++i)
    q[i] = {px[i] * b.ix + py[i] * b.iy + tx, px[i] * b.jx + py[i] * b.jy + ty, u, v, b.color};
}

// Four corners already in virtual units.
void QueuePlaced(const float (&px)[4], const float (&py)[4]) {
  const DrawBatch& b = *Render.Batch;
  float u, v;
  BatchVertex* q = ShapeQuad(u, v);
  for (int i = 0; i < 4; ++i) q[i] = {px[i], py[i], u, v, b.color};
}

// A line in real pixels as a quad: line_width across, half a pixel past each end so that both end
// pixels are drawn. Odd widths are centred on pixel centres, even widths on pixel corners, so that
// a straight line covers whole pixel rows or columns.
void QueueLine(float x0, float y0, float x1, float y1) {
  const TPelmoGraphics& g = Screen();
  const DrawBatch& b = *Render.Batch;
  const float sx = g.vres_mousexscale, sy = g.vres_mouseyscale;
  const float width = std::max(b.lineWidth, 0.0f);
  const float snap = static_cast<int>(std::lround(width)) % 2 == 1 ? 0.5f : 0.0f;
  auto toReal = [&](float v, float scale) {
    const float r = v / scale;
    return snap > 0 ? std::floor(r) + 0.5f : std::round(r);
  };
  const float rx0 = toReal(x0, sx), ry0 = toReal(y0, sy), rx1 = toReal(x1, sx), ry1 = toReal(y1, sy);
  float dx = rx1 - rx0, dy = ry1 - ry0;
  const float length = std::sqrt(dx * dx + dy * dy);
  if (length > 1e-4f) {
    dx /= length;
    dy /= length;
  } else {
    dx = 1;
    dy = 0;
  }
  const float nx = -dy * width / 2, ny = dx * width / 2;
  const float ax = rx0 - dx * 0.5f, ay = ry0 - dy * 0.5f, bx = rx1 + dx * 0.5f, by = ry1 + dy * 0.5f;
  const float px[4] = {(ax + nx) * sx, (bx + nx) * sx, (bx - nx) * sx, (ax - nx) * sx};
  const float py[4] = {(ay + ny) * sy, (by + ny) * sy, (by - ny) * sy, (ay - ny) * sy};
  QueuePlaced(px, py);
}

}  // namespace

// ---- The batch ---------------------------------------------------------------------------------------
DrawBatch::DrawBatch() : vertices(static_cast<size_t>(BatchQuads) * 4), indices(static_cast<size_t>(BatchQuads) * 6) {
  for (int q = 0; q < BatchQuads; ++q) {
    const auto first = static_cast<uint16_t>(q * 4);
    uint16_t* i = &indices[static_cast<size_t>(q) * 6];
    i[0] = first;
    i[1] = static_cast<uint16_t>(first + 1);
    i[2] = static_cast<uint16_t>(first + 2);
    i[3] = first;
    i[4] = static_cast<uint16_t>(first + 2);
    i[5] = static_cast<uint16_t>(first + 3);
  }
}

void ApplyBlend(int mode) {
  DrawBatch& b = *Render.Batch;
  if (mode == b.appliedBlend) return;
  switch (mode) {
    case 1:  // masked: no blending, drawn where the alpha is at least 0.5
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      break;
    case 2:  // solid
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
    case 3:  // alpha
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      break;
    case 4:  // additive
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      break;
    case 5:  // multiply
      glEnable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      break;
    default:  // an unknown mode leaves blending as it was
      return;
  }
  b.appliedBlend = mode;
}

void FlushBatch() {
  if (!Render.Batch) return;
  DrawBatch& b = *Render.Batch;
  if (b.quads == 0) return;
  ApplyBlend(b.blend);
  const GLuint texture = b.page ? b.page->texture : 0;
  if (b.boundTexture != texture) {
    glBindTexture(GL_TEXTURE_2D, texture);
    b.boundTexture = texture;
  }
  glDrawElements(GL_TRIANGLES, b.quads * 6, GL_UNSIGNED_SHORT, b.indices.data());
  b.quads = 0;
}

BatchVertex* ShapeQuad(float& u, float& v) {
  DrawBatch& b = *Render.Batch;
  TexturePage* page = b.page && b.page->hasWhite && b.page->seq == Render.ScreenSeq ? b.page : b.white.get();
  u = page->whiteU;
  v = page->whiteV;
  return BatchQuad(page, b.drawBlend);
}

// ---- State ---------------------------------------------------------------------------------------------
void TGLPelmoDriver::SetGraphics(TPelmoGraphics* g) {
  Render.Batch = std::make_unique<DrawBatch>();
  DrawBatch& b = *Render.Batch;
  GLint maxTexture = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
  if (maxTexture >= 64) Render.MaxTextureSize = maxTexture;

  glViewport(0, 0, g->g_width, g->g_height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_DITHER);
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  // Every quad has one colour at all four corners, so flat shading draws the same picture and
  // spares the rasteriser interpolating it.
  glShadeModel(GL_FLAT);
  glAlphaFunc(GL_GEQUAL, 0.5f);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(BatchVertex), &b.vertices[0].x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(BatchVertex), &b.vertices[0].u);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(BatchVertex), &b.vertices[0].rgba);

  b.white = std::make_shared<TexturePage>(4, 4, false, false);
  AddWhiteCell(*b.white, 0, 0, 4);
  PrepareCell(*b.white, 0);

  SetResolution(g->vres_width, g->vres_height);
  SetViewport(g->viewport_x, g->viewport_y, g->viewport_w, g->viewport_h);
  SetBlend(g->blend_mode);
  SetColor(g->color_red, g->color_green, g->color_blue);
  SetAlpha(g->color_alpha);
  SetTransform(g->tform_ix, g->tform_iy, g->tform_jx, g->tform_jy);
  SetLineWidth(g->line_width);
}

void TGLPelmoDriver::SetBlend(int mode) {
  // Applied when the quads drawn with it are sent, and only if it differs from the active mode.
  if (mode >= 1 && mode <= 5) Render.Batch->drawBlend = mode;
}

void TGLPelmoDriver::SetAlpha(float alpha) {
  if (!(alpha >= 0)) alpha = 0;  // also not-a-number
  const auto a = static_cast<uint32_t>(std::min(alpha, 1.0f) * 255.0f);
  uint32_t& c = Render.Batch->color;
  c = (c & 0x00ffffffu) | (a << 24);
}

void TGLPelmoDriver::SetColor(int r, int g, int b) {
  uint32_t& c = Render.Batch->color;
  c = (c & 0xff000000u) | ClampByte(r) | (uint32_t{ClampByte(g)} << 8) | (uint32_t{ClampByte(b)} << 16);
}

void TGLPelmoDriver::SetClsColor(int r, int g, int b) {
  glClearColor(ClampByte(r) / 255.0f, ClampByte(g) / 255.0f, ClampByte(b) / 255.0f, 1.0f);
}

void TGLPelmoDriver::SetViewport(int x, int y, int w, int h) {
  FlushBatch();
  const TPelmoGraphics& g = Screen();
  const int rx = static_cast<int>(std::lround(x / g.vres_mousexscale));
  const int ry = static_cast<int>(std::lround(y / g.vres_mouseyscale));
  const int rw = static_cast<int>(std::lround(w / g.vres_mousexscale));
  const int rh = static_cast<int>(std::lround(h / g.vres_mouseyscale));
  DrawBatch& b = *Render.Batch;
  b.scissor = !(rx <= 0 && ry <= 0 && rx + rw >= g.g_width && ry + rh >= g.g_height);
  if (b.scissor) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(rx, g.g_height - (ry + rh), std::max(rw, 0), std::max(rh, 0));
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
}

void TGLPelmoDriver::SetTransform(float ix, float iy, float jx, float jy) {
  DrawBatch& b = *Render.Batch;
  b.ix = ix;
  b.iy = iy;
  b.jx = jx;
  b.jy = jy;
}

void TGLPelmoDriver::SetLineWidth(float width) { Render.Batch->lineWidth = width; }

void TGLPelmoDriver::SetResolution(float width, float height) {
  FlushBatch();
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, width, height, 0, -1, 1);
  glMatrixMode(GL_MODELVIEW);
}

// ---- Drawing ---------------------------------------------------------------------------------------
void TGLPelmoDriver::Cls() {
  FlushBatch();
  const TPelmoGraphics& g = Screen();
  SetClsColor(g.clscolor_red, g.clscolor_green, g.clscolor_blue);
  // The whole back buffer, whatever the viewport.
  if (Render.Batch->scissor) glDisable(GL_SCISSOR_TEST);
  glClear(GL_COLOR_BUFFER_BIT);
  if (Render.Batch->scissor) glEnable(GL_SCISSOR_TEST);
}

void TGLPelmoDriver::Plot(float x, float y) {
  // The real pixel that holds the point.
  const TPelmoGraphics& g = Screen();
  const float rx = std::floor(x / g.vres_mousexscale), ry = std::floor(y / g.vres_mouseyscale);
  const float sx = g.vres_mousexscale, sy = g.vres_mouseyscale;
  const float px[4] = {rx * sx, (rx + 1) * sx, (rx + 1) * sx, rx * sx};
  const float py[4] = {ry * sy, ry * sy, (ry + 1) * sy, (ry + 1) * sy};
  QueuePlaced(px, py);
}

void TGLPelmoDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  const DrawBatch& b = *Render.Batch;
  QueueLine(x0 * b.ix + y0 * b.iy + tx, x0 * b.jx + y0 * b.jy + ty, x1 * b.ix + y1 * b.iy + tx,
            x1 * b.jx + y1 * b.jy + ty);
}

void TGLPelmoDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float px[4] = {x0, x1, x1, x0};
  const float py[4] = {y0, y0, y1, y1};
  QueueShape(px, py, tx, ty);
}

void TGLPelmoDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  const TPelmoGraphics& g = Screen();
  const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
  const float rx = (x1 - x0) / 2, ry = (y1 - y0) / 2;
  // Enough segments that the edge stays within about a pixel of the true ellipse.
  const float scale = std::max(std::abs(g.tform_scale_x), std::abs(g.tform_scale_y)) /
                      std::min(g.vres_mousexscale, g.vres_mouseyscale);
  const float radius = std::max(std::abs(rx), std::abs(ry)) * scale;
  const int segments = std::clamp(static_cast<int>(radius), 12, 256);
  constexpr double tau = 6.283185307179586;
  float px0 = cx + rx, py0 = cy;
  for (int i = 1; i <= segments; ++i) {
    const double a = tau * i / segments;
    const float px1 = cx + rx * static_cast<float>(std::cos(a)), py1 = cy + ry * static_cast<float>(std::sin(a));
    const float px[4] = {cx, px0, px1, px1};
    const float py[4] = {cy, py0, py1, py1};
    QueueShape(px, py, tx, ty);
    px0 = px1;
    py0 = py1;
  }
}

void TGLPelmoDriver::DrawPoly(const std::vector<float>& xy, float handleX, float handleY, float tx, float ty) {
  const size_t points = xy.size() / 2;
  if (points < 3) return;
  const float fx = xy[0] + handleX, fy = xy[1] + handleY;
  for (size_t i = 1; i + 1 < points; ++i) {
    const float ax = xy[i * 2] + handleX, ay = xy[i * 2 + 1] + handleY;
    const float bx = xy[i * 2 + 2] + handleX, by = xy[i * 2 + 3] + handleY;
    const float px[4] = {fx, ax, bx, bx};
    const float py[4] = {fy, ay, by, by};
    QueueShape(px, py, tx, ty);
  }
}

void TGLPelmoDriver::DrawPixmap(const TPixmap& pixmap, float x, float y) {
  if (pixmap.width <= 0 || pixmap.height <= 0 || pixmap.format != PixmapRGBA8888) return;
  const int w = pixmap.width + 2, h = pixmap.height + 2;
  if (PowerOfTwo(w) > Render.MaxTextureSize || PowerOfTwo(h) > Render.MaxTextureSize) return;
  // A texture for this one draw; it goes (after the quad is sent) when the page does.
  TexturePage page(PowerOfTwo(w), PowerOfTwo(h), false, false);
  const int cell = AddCell(page, std::make_shared<TPixmap>(pixmap), 0, 0, w, h);
  if (!PrepareCell(page, cell)) return;
  const TPelmoGraphics& g = Screen();
  const float x1 = x + pixmap.width * g.vres_mousexscale, y1 = y + pixmap.height * g.vres_mouseyscale;
  const float u0 = 1.0f / page.width, v0 = 1.0f / page.height;
  const float u1 = static_cast<float>(pixmap.width + 1) / page.width;
  const float v1 = static_cast<float>(pixmap.height + 1) / page.height;
  BatchVertex* q = BatchQuad(&page, Render.Batch->drawBlend);
  q[0] = {x, y, u0, v0, 0xffffffffu};
  q[1] = {x1, y, u1, v0, 0xffffffffu};
  q[2] = {x1, y1, u1, v1, 0xffffffffu};
  q[3] = {x, y1, u0, v1, 0xffffffffu};
}

std::shared_ptr<TPixmap> TGLPelmoDriver::GrabPixmap(int x, int y, int w, int h) {
  if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > MaxPicturePixels) return nullptr;
  FlushBatch();
  const TPelmoGraphics& g = Screen();
  auto pixmap = std::make_shared<TPixmap>(w, h);
  // The part of the block inside the screen; the rest stays 0.
  const int64_t cx0 = std::max<int64_t>(x, 0), cy0 = std::max<int64_t>(y, 0);
  const int64_t cx1 = std::min<int64_t>(int64_t{x} + w, g.g_width), cy1 = std::min<int64_t>(int64_t{y} + h, g.g_height);
  if (cx1 <= cx0 || cy1 <= cy0) return pixmap;
  const int cw = static_cast<int>(cx1 - cx0), ch = static_cast<int>(cy1 - cy0);
  std::vector<uint8_t> rows(static_cast<size_t>(cw) * ch * 4);
  // OpenGL counts rows from the bottom.
  glReadPixels(static_cast<int>(cx0), g.g_height - static_cast<int>(cy1), cw, ch, GL_RGBA, GL_UNSIGNED_BYTE,
               rows.data());
  for (int r = 0; r < ch; ++r) {
    const uint8_t* from = &rows[static_cast<size_t>(ch - 1 - r) * cw * 4];
    uint8_t* to = &pixmap->pixels[static_cast<size_t>(cy0 - y + r) * pixmap->pitch + static_cast<size_t>(cx0 - x) * 4];
    std::copy(from, from + static_cast<size_t>(cw) * 4, to);
  }
  return pixmap;
}

bool TGLPelmoDriver::CreateFrameFromPixmap(TImage& image, int frame) {
  TImageFrame& f = image.frames[static_cast<size_t>(frame)];
  return f.page && PrepareCell(*f.page, f.cell);
}
