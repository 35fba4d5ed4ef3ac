// Finding drawn texts on the frame buffer: the box a text takes, and the pixels of a colour in it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "render/render.h"

// A rectangle of real pixels (one virtual unit a pixel in the tests that use it).
struct ScreenBox {
  int x, y, w, h;
};

// The box a text takes in the current font when written at (x, y); alignment 1 centres it on that
// axis, 0 puts its left or top edge there.
inline ScreenBox TextBox(int x, int y, const std::string& text, int alignX = 0, int alignY = 0) {
  const int w = StringWidth(text), h = FontHeight();
  return {alignX == 1 ? x - w / 2 : x, alignY == 1 ? y - h / 2 : y, w, h};
}

// How many pixels of the shot inside the box have the colour 0xRRGGBB, each channel within the
// tolerance (blending rounds differently between drivers).
inline int PixelsOfColour(const TPixmap& shot, const ScreenBox& box, uint32_t rgb, int tolerance = 3) {
  int n = 0;
  for (int y = std::max(box.y, 0); y < std::min(box.y + box.h, shot.height); ++y)
    for (int x = std::max(box.x, 0); x < std::min(box.x + box.w, shot.width); ++x) {
      const uint32_t p = shot.ReadPixel(x, y);
      bool near = true;
      for (int shift = 0; shift <= 16; shift += 8)
        near = near && std::abs(static_cast<int>((p >> shift) & 255) - static_cast<int>((rgb >> shift) & 255)) <= tolerance;
      n += near;
    }
  return n;
}
