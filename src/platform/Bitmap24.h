#pragma once
// A 24-bit bitmap with direct row access: each row holds Width() pixels of three bytes
// in the order blue, green, red; row 0 is the top. New pixels are black.

#include <cstdint>
#include <vector>

#include "base/Assert.h"
#include "platform/Canvas.h"

namespace quarvel {

class TBitmap24 {
 public:
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Negative sizes count as 0; the pixels of a resized bitmap become black.
  void SetWidth(int width) { Resize(width, height_); }
  void SetHeight(int height) { Resize(width_, height); }
  // Row 0 ... Height() - 1 (a contract, checked).
  uint8_t* ScanLine(int row) {
    QUARVEL_ASSERT(row >= 0 && row < height_, "a 24-bit bitmap row out of range");
    return bytes_.data() + static_cast<std::size_t>(row) * RowBytes();
  }
  const uint8_t* ScanLine(int row) const {
    QUARVEL_ASSERT(row >= 0 && row < height_, "a 24-bit bitmap row out of range");
    return bytes_.data() + static_cast<std::size_t>(row) * RowBytes();
  }
  // The black pattern fill of the rectangle (clipped to the bitmap).
  void FillBlack(const TRect& rect);
  // Draws the bitmap unscaled with its top-left at (x, y), within the canvas' clip.
  void DrawOn(TCanvas& canvas, int x, int y) const;

 private:
  std::size_t RowBytes() const { return static_cast<std::size_t>(width_) * 3; }
  void Resize(int width, int height);

  int width_ = 0;
  int height_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace quarvel
