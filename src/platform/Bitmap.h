#pragma once
// An off-screen bitmap: a pixel surface that owns its buffer, and a canvas over it.
// A new or resized bitmap is black; its pixels stay valid until the next SetSize.

#include <cstdint>

#include "base/Assert.h"
#include "platform/Canvas.h"
#include "platform/PixelSurface.h"

namespace quarvel {

class TBitmap {
 public:
  TBitmap();
  TBitmap(int width, int height);
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return surface_.Width(); }
  int Height() const { return surface_.Height(); }
  // Negative sizes count as 0.
  void SetSize(int width, int height);
  bool Monochrome() const { return surface_.Monochrome(); }
  void SetMonochrome(bool monochrome);

  TCanvas& Canvas() { return canvas_; }
  // The canvas' raster: its drawing state and operations, set and called directly.
  TRaster& Raster() { return canvas_.Raster(); }
  TPixelSurface& Surface() { return surface_; }
  const TPixelSurface& Surface() const { return surface_; }
  uint32_t PixelAt(int x, int y) const { return surface_.PixelAt(x, y); }
  // Row 0 ... Height() - 1, Width() pixels apart; row 0 of an empty bitmap is the start of
  // its (empty) buffer. Rows out of range break a contract, checked where checks are live.
  const uint32_t* ScanLine(int y) const {
    QUARVEL_ASSERT(y >= 0 && (y < Height() || y == 0), "a bitmap row out of range");
    return surface_.Row(y);
  }
  uint32_t* ScanLine(int y) {
    QUARVEL_ASSERT(y >= 0 && (y < Height() || y == 0), "a bitmap row out of range");
    return surface_.Row(y);
  }

 private:
  TPixelSurface surface_;
  TCanvas canvas_;
};

}  // namespace quarvel
