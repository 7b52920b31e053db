#pragma once
// An off-screen bitmap: a pixel buffer it owns, with its own surface and canvas.
// A new or resized bitmap is black; its pixels stay valid until the next SetSize.

#include <cstdint>
#include <vector>

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
  bool Monochrome() const { return monochrome_; }
  void SetMonochrome(bool monochrome);

  TCanvas& Canvas() { return canvas_; }
  TPixelSurface& Surface() { return surface_; }
  const TPixelSurface& Surface() const { return surface_; }
  uint32_t PixelAt(int x, int y) const { return surface_.PixelAt(x, y); }
  // Row 0 ... Height() - 1; row 0 of an empty bitmap is the start of its (empty) buffer.
  // Rows out of range break a contract, checked where checks are live.
  const uint32_t* ScanLine(int y) const {
    QUARVEL_ASSERT(y >= 0 && (y < Height() || y == 0), "a bitmap row out of range");
    return surface_.Pixels() + static_cast<std::size_t>(y) * Width();
  }
  uint32_t* ScanLine(int y) {
    QUARVEL_ASSERT(y >= 0 && (y < Height() || y == 0), "a bitmap row out of range");
    return surface_.Pixels() + static_cast<std::size_t>(y) * Width();
  }

 private:
  std::vector<uint32_t> pixels_;
  TPixelSurface surface_;
  TCanvas canvas_;
  bool monochrome_ = false;
};

}  // namespace quarvel
