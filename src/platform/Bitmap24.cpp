#include "platform/Bitmap24.h"

#include <algorithm>
#include <cstring>

#include "platform/Bitmap.h"

namespace quarvel {

void TBitmap24::Resize(int width, int height) {
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  bytes_.assign(RowBytes() * height_, 0);
}

void TBitmap24::FillBlack(const TRect& rect) {
  const TRect r = Intersect(rect, {0, 0, width_, height_});
  for (int y = r.Top; y < r.Bottom; ++y)
    std::memset(ScanLine(y) + r.Left * 3, 0, static_cast<std::size_t>(r.Width()) * 3);
}

void TBitmap24::DrawOn(TCanvas& canvas, int x, int y) const {
  TBitmap converted(width_, height_);
  for (int row = 0; row < height_; ++row) {
    const uint8_t* from = ScanLine(row);
    uint32_t* to = converted.ScanLine(row);
    for (int col = 0; col < width_; ++col)
      to[col] = 0xFF000000u | (uint32_t{from[3 * col + 2]} << 16) |
                (uint32_t{from[3 * col + 1]} << 8) | from[3 * col];
  }
  canvas.Draw(x, y, converted.Surface());
}

}  // namespace quarvel
