// Pictures drawn from shapes and text for the data generators: coverage masks built from
// anti-aliased shapes, painted in colours onto an RGBA picture, then written as PNG.
// Coordinates are in pixels; (0, 0) is the top-left corner of the top-left pixel, so the centre of
// pixel (x, y) is (x + 0.5, y + 0.5).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Colour {
  float r = 0, g = 0, b = 0, a = 1;  // 0..1, alpha not premultiplied
};
// A colour from 0..255 components.
Colour Rgb(int r, int g, int b, float a = 1);
// Linear blend: t = 0 gives a, t = 1 gives b.
Colour Mix(Colour a, Colour b, float t);

struct Pt {
  float x = 0, y = 0;
};

// Coverage 0..1 per pixel.
struct Mask {
  int w = 0, h = 0;
  std::vector<float> v;
  Mask() = default;
  Mask(int width, int height) : w(width), h(height), v(static_cast<size_t>(width) * height, 0.f) {}
  float Get(int x, int y) const {
    return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : v[static_cast<size_t>(y) * w + x];
  }
  float& At(int x, int y) { return v[static_cast<size_t>(y) * w + x]; }
};

// Shapes: each adds its coverage to the mask (the larger value wins), anti-aliased over one pixel.
// A general shape given by its signed distance (negative inside) inside the box x0..x1, y0..y1.
void FillSdf(Mask& m, float x0, float y0, float x1, float y1,
             const std::function<float(float, float)>& distance);
void Segment(Mask& m, Pt a, Pt b, float width, bool roundCaps = true);
void Polyline(Mask& m, const std::vector<Pt>& points, float width, bool closed = false);
void Disc(Mask& m, Pt centre, float radius);
void Ring(Mask& m, Pt centre, float radius, float width);
// An arc of a circle from angle a0 to a1 in degrees (0 = right, 90 = down), round ends.
void Arc(Mask& m, Pt centre, float radius, float width, float a0, float a1);
void Box(Mask& m, float x0, float y0, float x1, float y1);
void RoundBox(Mask& m, float x0, float y0, float x1, float y1, float radius);
void RoundBoxOutline(Mask& m, float x0, float y0, float x1, float y1, float radius, float width);
// A shape given by an inside test, 8 x 8 samples per pixel inside the box x0..x1, y0..y1.
void FillSampled(Mask& m, float x0, float y0, float x1, float y1,
                 const std::function<bool(float, float)>& inside);
// A filled polygon (non-zero winding), 8 x 8 samples per pixel.
void Polygon(Mask& m, const std::vector<Pt>& points);
// A star of `points` points, the first pointing up.
void Star(Mask& m, Pt centre, float outer, float inner, int points = 5);

// Mask arithmetic.
void Subtract(Mask& m, const Mask& cut, int ox = 0, int oy = 0);  // m *= 1 - cut
void Multiply(Mask& m, const Mask& by, int ox = 0, int oy = 0);   // m *= by
void Union(Mask& m, const Mask& add, int ox = 0, int oy = 0);     // m = max(m, add)
Mask Blur(const Mask& m, float sigma);    // Gaussian, same size
Mask Dilate(const Mask& m, float radius);  // grow by radius pixels (soft edge)
// Pixels at or above the threshold become 1, the rest 0 (hard pixel shapes).
void Harden(Mask& m, float threshold);

// Text rendered through FreeType into a mask that holds the whole text plus pad pixels around it.
// tracking is extra space between letters in pixels. baseline receives the baseline's y in the mask.
Mask TextMask(const std::string& fontPath, float pixelSize, const std::string& text, int pad,
              float tracking = 0, int* baseline = nullptr);

// RGBA picture, premultiplied floats.
struct Image {
  int w = 0, h = 0;
  std::vector<float> p;  // r, g, b, a per pixel
  Image() = default;
  Image(int width, int height) : w(width), h(height), p(static_cast<size_t>(width) * height * 4, 0.f) {}

  // Paints colour through the mask placed at (ox, oy), over what is there.
  void Paint(const Mask& m, Colour c, int ox = 0, int oy = 0, float opacity = 1);
  // Same with a colour that depends on the position in the picture.
  void PaintFn(const Mask& m, const std::function<Colour(float, float)>& colour, int ox = 0,
               int oy = 0, float opacity = 1);
  // Adds colour through the mask (light: glows and highlights).
  void AddLight(const Mask& m, Colour c, int ox = 0, int oy = 0, float amount = 1);
  // Draws another picture over this one at (ox, oy).
  void Over(const Image& top, int ox = 0, int oy = 0);
  // Clamps every component into 0..1 and alpha into its premultiplied range.
  void Clamp();

  std::vector<uint8_t> ToRgb() const;   // composited over black
  std::vector<uint8_t> ToRgba() const;  // straight alpha
};

// Writes the picture as PNG with 3 (RGB over black) or 4 (RGBA) channels.
bool SaveImage(const Image& img, const std::string& path, int channels);
// Places a text mask centred on (cx, cy) of the picture, shaded from top to bottom.
void CentreText(Image& img, const Mask& text, float cx, float cy, Colour top, Colour bottom);
// A mask of the picture's size holding text centred on (cx, cy), for outlines and glows.
Mask Placed(int w, int h, const Mask& text, float cx, float cy);
