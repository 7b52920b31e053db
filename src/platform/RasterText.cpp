#include "platform/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>

#include "platform/TextEngine.h"

namespace quarvel {

TSize TRaster::TextExtent(std::string_view text) const {
  if (text.empty()) return {0, FontCellOf(font_).height};
  return MeasureText(font_, text);
}

// The top-left corner of a text cell whose reference point is (x, y).
TPoint TRaster::TextOrigin(int x, int y, int advance, int height, int ascent) const {
  int left = x;
  if ((textAlign_ & TA_CENTER) == TA_CENTER)
    left = x - advance / 2;
  else if (textAlign_ & TA_RIGHT)
    left = x - advance;
  int top = y;
  if ((textAlign_ & TA_BASELINE) == TA_BASELINE)
    top = y - ascent;
  else if (textAlign_ & TA_BOTTOM)
    top = y - height;
  return {left, top};
}

void TRaster::RotatedTextOut(int x, int y, double degrees, std::string_view text) {
  Begin();
  if (text.empty()) return;
  const TextMask& mask = RenderText(font_, text);
  if (mask.height == 0) return;
  const TPoint origin = TextOrigin(x, y, mask.advance, mask.height, mask.ascent);
  if (textSink_) {
    textSink_(
        {x, y, degrees, origin.X - x, origin.Y - y, std::string(text), font_, textColor_, clip_});
    return;
  }
  // Mask coordinates relative to the reference point, turned about it.
  const double ox = origin.X - x - mask.originX, oy = origin.Y - y;
  const double radians = degrees * std::numbers::pi / 180.0;
  const double c = std::cos(radians), s = std::sin(radians);
  const double reach = std::hypot(mask.maskWidth, mask.height) + std::hypot(ox, oy) + 1;
  const uint32_t ink = PixelOf(textColor_);
  for (int dy = static_cast<int>(-reach); dy <= reach; ++dy)
    for (int dx = static_cast<int>(-reach); dx <= reach; ++dx) {
      // Screen y grows downwards: a counter-clockwise turn on screen.
      const double u = dx * c - dy * s, v = dx * s + dy * c;
      const int mx = static_cast<int>(std::floor(u + 0.5 - ox)),
                my = static_cast<int>(std::floor(v + 0.5 - oy));
      if (mx < 0 || my < 0 || mx >= mask.maskWidth || my >= mask.height) continue;
      if (mask.coverage[static_cast<std::size_t>(my) * mask.maskWidth + mx])
        Store(x + dx, y + dy, ink);
    }
}

void TRaster::TextOut(int x, int y, std::string_view text) {
  Begin();
  if (text.empty()) return;
  const TextMask& mask = RenderText(font_, text);
  if (mask.height == 0) return;
  const TPoint origin = TextOrigin(x, y, mask.advance, mask.height, mask.ascent);
  const int left = origin.X, top = origin.Y;

  if (bkMode_ == OPAQUE) {
    const TRect cell = Intersect({left, top, left + mask.advance, top + mask.height}, clip_);
    const uint32_t background = Mono(PixelOf(bkColor_));
    for (int row = cell.Top; row < cell.Bottom; ++row)
      FillPixels(pixels_ + static_cast<std::size_t>(row) * stride_ + cell.Left, cell.Width(),
                 background);
  }
  if (textSink_) {
    textSink_({left, top, 0, 0, 0, std::string(text), font_, textColor_, clip_});
    return;
  }
  const uint32_t ink = PixelOf(textColor_);
  const int maskLeft = left - mask.originX;
  if (fastPaths_) {
    // Each row's columns inside the clip, stored straight into the buffer.
    const uint32_t stored = Mono(ink);
    const int64_t from = std::max<int64_t>(0, static_cast<int64_t>(clip_.Left) - maskLeft);
    const int64_t to =
        std::min<int64_t>(mask.maskWidth, static_cast<int64_t>(clip_.Right) - maskLeft);
    const bool spans = mask.rowFirst.size() == static_cast<std::size_t>(mask.height);
    for (int row = 0; row < mask.height && from < to; ++row) {
      const int64_t destY = static_cast<int64_t>(top) + row;
      if (destY < clip_.Top || destY >= clip_.Bottom) continue;
      const int64_t a = spans ? std::max<int64_t>(from, mask.rowFirst[row]) : from;
      const int64_t b = spans ? std::min<int64_t>(to, mask.rowEnd[row]) : to;
      if (a >= b) continue;
      const uint8_t* cover = mask.coverage.data() + static_cast<std::size_t>(row) * mask.maskWidth;
      uint32_t* dest = pixels_ + static_cast<std::size_t>(destY) * stride_ + (maskLeft + a);
      for (int64_t col = a; col < b; ++col)
        if (cover[col]) dest[col - a] = stored;
    }
    return;
  }
  for (int row = 0; row < mask.height; ++row) {
    const uint8_t* cover = mask.coverage.data() + static_cast<std::size_t>(row) * mask.maskWidth;
    for (int col = 0; col < mask.maskWidth; ++col)
      if (cover[col]) Store(maskLeft + col, top + row, ink);
  }
}

}  // namespace quarvel
