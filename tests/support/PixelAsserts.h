#pragma once
// Reading pictures back in tests: which pixels of a surface hold a colour.

#include <set>
#include <utility>

#include "platform/PixelSurface.h"
#include "platform/Raster.h"

namespace quarvel::testing {

using PixelSet = std::set<std::pair<int, int>>;

// Every (x, y) whose pixel is `rgb`.
inline PixelSet PixelsOf(const TPixelSurface& s, TColor rgb) {
  PixelSet found;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (s.PixelAt(x, y) == PixelOf(rgb)) found.insert({x, y});
  return found;
}

// Every (x, y) whose colour is `rgb`, whatever the alpha byte (mix modes combine it too).
inline PixelSet PixelsOfColor(const TPixelSurface& s, TColor rgb) {
  PixelSet found;
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x)
      if (ColorOfPixel(s.PixelAt(x, y)) == rgb) found.insert({x, y});
  return found;
}

// How many pixels of columns x0 ... x1 - 1 and rows y0 ... y1 - 1 have the colour `rgb`.
inline int CountOfColor(const TPixelSurface& s, TColor rgb, int x0, int x1, int y0, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += ColorOfPixel(s.PixelAt(x, y)) == rgb;
  return n;
}

// The same, read through a raster's surface.
inline PixelSet PixelsOf(const TRaster& r, TColor rgb) { return PixelsOf(r.Surface(), rgb); }
inline PixelSet PixelsOfColor(const TRaster& r, TColor rgb) {
  return PixelsOfColor(r.Surface(), rgb);
}
inline int CountOfColor(const TRaster& r, TColor rgb, int x0, int x1, int y0, int y1) {
  return CountOfColor(r.Surface(), rgb, x0, x1, y0, y1);
}

// The pixels of the half-open rectangle.
inline PixelSet RectPixels(int left, int top, int right, int bottom) {
  PixelSet r;
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) r.insert({x, y});
  return r;
}

// The one-pixel outline of the half-open rectangle.
inline PixelSet FramePixels(int left, int top, int right, int bottom) {
  PixelSet r;
  for (int x = left; x < right; ++x) r.insert({x, top}), r.insert({x, bottom - 1});
  for (int y = top; y < bottom; ++y) r.insert({left, y}), r.insert({right - 1, y});
  return r;
}

}  // namespace quarvel::testing
