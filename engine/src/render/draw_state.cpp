// The drawing state: each operation stores into the current screen's state and hands the value to
// the back end, which clamps it where it is used. Without a screen they do nothing.
#include <cmath>

#include "render/render_internal.h"

namespace {

// ix = cos(rot) x sx, iy = -sin(rot) x sy, jx = sin(rot) x sx, jy = cos(rot) x sy.
// The cosine and sine are kept for the last rotation: screens change the scale far more often
// than the angle (the engine test sets both for every sprite).
void UpdateTransform(TPelmoGraphics& g) {
  if (g.tform_rot != g.trig_rot) {
    const double radians = g.tform_rot * 3.14159265358979323846 / 180.0;
    g.trig_cos = std::cos(radians);
    g.trig_sin = std::sin(radians);
    g.trig_rot = g.tform_rot;
  }
  const double c = g.trig_cos, s = g.trig_sin;
  g.tform_ix = static_cast<float>(c * g.tform_scale_x);
  g.tform_iy = static_cast<float>(-s * g.tform_scale_y);
  g.tform_jx = static_cast<float>(s * g.tform_scale_x);
  g.tform_jy = static_cast<float>(c * g.tform_scale_y);
  g.driver->SetTransform(g.tform_ix, g.tform_iy, g.tform_jx, g.tform_jy);
}

}  // namespace

void SetColor(int r, int g, int b) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->color_red = r;
  s->color_green = g;
  s->color_blue = b;
  s->driver->SetColor(r, g, b);
}

void GetColor(int& r, int& g, int& b) {
  const TPelmoGraphics* s = CurrentScreen();
  r = s ? s->color_red : 255;
  g = s ? s->color_green : 255;
  b = s ? s->color_blue : 255;
}

void SetAlpha(float a) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->color_alpha = a;
  s->driver->SetAlpha(a);
}

float GetAlpha() { return CurrentScreen() ? CurrentScreen()->color_alpha : 1.0f; }

void SetClsColor(int r, int g, int b) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->clscolor_red = r;
  s->clscolor_green = g;
  s->clscolor_blue = b;
  s->driver->SetClsColor(r, g, b);
}

void SetBlend(int mode) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->blend_mode = mode;
  s->driver->SetBlend(mode);
}

int GetBlend() { return CurrentScreen() ? CurrentScreen()->blend_mode : 1; }

void SetRotation(float degrees) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->tform_rot = degrees;
  UpdateTransform(*s);
}

float GetRotation() { return CurrentScreen() ? CurrentScreen()->tform_rot : 0.0f; }

void SetScale(float sx, float sy) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->tform_scale_x = sx;
  s->tform_scale_y = sy;
  UpdateTransform(*s);
}

void GetScale(float& sx, float& sy) {
  const TPelmoGraphics* s = CurrentScreen();
  sx = s ? s->tform_scale_x : 1.0f;
  sy = s ? s->tform_scale_y : 1.0f;
}

void SetOrigin(float x, float y) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->origin_x = x;
  s->origin_y = y;
}

void SetHandle(float x, float y) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->handle_x = -x;
  s->handle_y = -y;
}

void SetLineWidth(float width) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->line_width = width;
  s->driver->SetLineWidth(width);
}

void SetViewport(int x, int y, int w, int h) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->viewport_x = x;
  s->viewport_y = y;
  s->viewport_w = w;
  s->viewport_h = h;
  s->driver->SetViewport(x, y, w, h);
}

// ---- Primitives ------------------------------------------------------------------------------------
void Cls() {
  if (TPelmoGraphics* s = CurrentScreen()) s->driver->Cls();
}

void DrawRect(float x, float y, float w, float h) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->driver->DrawRect(s->handle_x, s->handle_y, s->handle_x + w, s->handle_y + h, x + s->origin_x, y + s->origin_y);
}

void DrawLine(float x, float y, float x2, float y2) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  // Turned and scaled about its start point.
  s->driver->DrawLine(s->handle_x, s->handle_y, x2 - x + s->handle_x, y2 - y + s->handle_y, x + s->origin_x,
                      y + s->origin_y);
}

void Plot(float x, float y) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->driver->Plot(x + s->origin_x, y + s->origin_y);
}

void DrawOval(float x, float y, float w, float h) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->driver->DrawOval(s->handle_x, s->handle_y, s->handle_x + w, s->handle_y + h, x + s->origin_x, y + s->origin_y);
}

void DrawPoly(const std::vector<float>& xy, float x, float y) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s) return;
  s->driver->DrawPoly(xy, s->handle_x, s->handle_y, x + s->origin_x, y + s->origin_y);
}

void DrawPixmap(const TPixmap* pixmap, float x, float y) {
  TPelmoGraphics* s = CurrentScreen();
  if (!s || !pixmap) return;
  s->driver->DrawPixmap(*pixmap, x + s->origin_x, y + s->origin_y);
}
