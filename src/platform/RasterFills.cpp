#include "platform/Raster.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace quarvel {

// A solid one-pixel outline in copy mode around a solid or clear fill, row by row.
bool TRaster::FastRectangle(int x0, int y0, int x1, int y1) {
  if (!fastPaths_ || penWidth_ != 1 || mode_ != TPenMode::pmCopy || monochrome_) return false;
  if (penStyle_ != TPenStyle::psSolid && penStyle_ != TPenStyle::psInsideFrame) return false;
  if (brushStyle_ != TBrushStyle::bsSolid && brushStyle_ != TBrushStyle::bsClear) return false;
  if (static_cast<int64_t>(x1) - x0 < 2 || static_cast<int64_t>(y1) - y0 < 2) return false;
  const bool fill = brushStyle_ == TBrushStyle::bsSolid;
  // Locals: a store through the buffer could alias the members.
  const TRect c = clip_;
  const uint32_t pen = penPixel_, brush = brushPixel_;
  const bool leftSide = x0 >= c.Left && x0 < c.Right,
             rightSide = x1 - 1 >= c.Left && x1 - 1 < c.Right;
  const int left = std::max(x0, c.Left), right = std::min(x1, c.Right);
  const int a = std::max(x0 + 1, c.Left), b = std::min(x1 - 1, c.Right);
  const int top = std::max(y0, c.Top), bottom = std::min(y1, c.Bottom);
  for (int y = top; y < bottom; ++y) {
    uint32_t* row = At(0, y);
    if (y == y0 || y == y1 - 1) {
      if (left < right) FillPixels(row + left, right - left, pen);
      continue;
    }
    if (leftSide) row[x0] = pen;
    if (rightSide) row[x1 - 1] = pen;
    if (fill && a < b) FillPixels(row + a, b - a, brush);
  }
  // The general path's outline is a polyline of four sides from the top-left corner.
  patternPos_ = PatternPosition(2 * (static_cast<int64_t>(x1) - 1 - x0) +
                                2 * (static_cast<int64_t>(y1) - 1 - y0));
  return true;
}

bool TRaster::HatchAt(int x, int y) const {
  const int hx = x & 7, hy = y & 7;
  switch (brushStyle_) {
    case TBrushStyle::bsHorizontal:
      return hy == 0;
    case TBrushStyle::bsVertical:
      return hx == 0;
    case TBrushStyle::bsFDiagonal:
      return ((hx - hy) & 7) == 0;
    case TBrushStyle::bsBDiagonal:
      return ((hx + hy) & 7) == 7;
    case TBrushStyle::bsCross:
      return hx == 0 || hy == 0;
    case TBrushStyle::bsDiagCross:
      return ((hx - hy) & 7) == 0 || ((hx + hy) & 7) == 7;
    default:
      return true;
  }
}

// Fills x0 <= x < x1 of row y with the brush; `combine` applies the mix mode.
void TRaster::FillSpan(int y, int x0, int x1, bool combine) {
  if (brushStyle_ == TBrushStyle::bsClear || y < clip_.Top || y >= clip_.Bottom) return;
  x0 = std::max(x0, clip_.Left);
  x1 = std::min(x1, clip_.Right);
  if (x0 >= x1) return;
  if (brushStyle_ == TBrushStyle::bsSolid && !monochrome_ &&
      (!combine || mode_ == TPenMode::pmCopy)) {
    FillPixels(pixels_ + static_cast<std::size_t>(y) * stride_ + x0, x1 - x0, brushPixel_);
    return;
  }
  const uint32_t background = PixelOf(bkColor_);
  for (int x = x0; x < x1; ++x) {
    uint32_t pixel;
    if (brushStyle_ == TBrushStyle::bsSolid || HatchAt(x, y))
      pixel = brushPixel_;
    else if (bkMode_ == OPAQUE)
      pixel = background;
    else
      continue;
    if (combine)
      Combine(x, y, pixel);
    else
      Store(x, y, pixel);
  }
}

void TRaster::FillRect(const TRect& rect) {
  Begin();
  for (int y = rect.Top; y < rect.Bottom; ++y) FillSpan(y, rect.Left, rect.Right, false);
}

void TRaster::Rectangle(int x0, int y0, int x1, int y1) {
  Begin();
  if (x1 < x0) std::swap(x0, x1);
  if (y1 < y0) std::swap(y0, y1);
  if (x0 == x1 || y0 == y1) return;
  if (FastRectangle(x0, y0, x1, y1)) return;
  if (penStyle_ == TPenStyle::psClear) {
    for (int y = y0; y < y1; ++y) FillSpan(y, x0, x1, true);
    return;
  }
  for (int y = y0 + 1; y < y1 - 1; ++y) FillSpan(y, x0 + 1, x1 - 1, true);
  const TPoint ring[5] = {{x0, y0}, {x1 - 1, y0}, {x1 - 1, y1 - 1}, {x0, y1 - 1}, {x0, y0}};
  if (x1 - x0 == 1 || y1 - y0 == 1) {
    // A one-pixel-wide or -high outline: the ring would paint its pixels twice.
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) PenPixel(x, y);
    return;
  }
  Polyline(ring, 5);
}

namespace {

TRect Normalised(int x0, int y0, int x1, int y1) {
  return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

// Points inside the ellipse inscribed in a box, shrunk by `inset` pixels.
struct EllipseTest {
  double cx, cy, a, b;
  EllipseTest(const TRect& box, double inset)
      : cx((box.Left + box.Right) / 2.0),
        cy((box.Top + box.Bottom) / 2.0),
        a(box.Width() / 2.0 - inset),
        b(box.Height() / 2.0 - inset) {}
  bool operator()(double px, double py) const {
    if (a <= 0 || b <= 0) return false;
    const double u = (px - cx) / a, v = (py - cy) / b;
    return u * u + v * v <= 1.0;
  }
};

// Counter-clockwise (on screen, y downwards) angular sector from the radial through
// `start` to the radial through `end`, about the box centre.
struct SectorTest {
  double cx, cy, from, span;
  SectorTest(const TRect& box, TPoint start, TPoint end)
      : cx((box.Left + box.Right) / 2.0), cy((box.Top + box.Bottom) / 2.0) {
    from = std::atan2(cy - start.Y, start.X - cx);
    const double to = std::atan2(cy - end.Y, end.X - cx);
    span = std::fmod(to - from + 4 * std::numbers::pi, 2 * std::numbers::pi);
    if (span == 0) span = 2 * std::numbers::pi;
  }
  bool operator()(double px, double py) const {
    const double angle =
        std::fmod(std::atan2(cy - py, px - cx) - from + 4 * std::numbers::pi, 2 * std::numbers::pi);
    return angle <= span;
  }
};

}  // namespace

template <class Inside, class Border>
void TRaster::Shape(const TRect& box, Inside inside, Border border) {
  const bool outline = penStyle_ != TPenStyle::psClear;
  const uint32_t background = PixelOf(bkColor_);
  for (int y = box.Top; y < box.Bottom; ++y) {
    for (int x = box.Left; x < box.Right; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      if (!inside(px, py)) continue;
      if (outline && border(px, py)) {
        Combine(x, y, penPixel_);
      } else if (brushStyle_ != TBrushStyle::bsClear) {
        if (brushStyle_ == TBrushStyle::bsSolid || HatchAt(x, y))
          Combine(x, y, brushPixel_);
        else if (bkMode_ == OPAQUE)
          Combine(x, y, background);
      }
    }
  }
}

void TRaster::Ellipse(int x0, int y0, int x1, int y1) {
  Begin();
  const TRect box = Normalised(x0, y0, x1, y1);
  if (box.IsEmpty()) return;
  const EllipseTest outer(box, 0), inner(box, penWidth_);
  Shape(box, outer, [&](double px, double py) { return !inner(px, py); });
}

void TRaster::RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) {
  Begin();
  const TRect box = Normalised(x0, y0, x1, y1);
  if (box.IsEmpty()) return;
  const double rx = std::min(std::abs(cornerWidth), box.Width()) / 2.0;
  const double ry = std::min(std::abs(cornerHeight), box.Height()) / 2.0;
  // Inside the box shrunk by `inset`, with its corners cut by the corner ellipses.
  auto within = [&](double px, double py, double inset) {
    const double l = box.Left + inset, t = box.Top + inset, r = box.Right - inset,
                 b = box.Bottom - inset;
    if (px < l || px > r || py < t || py > b) return false;
    const double a = rx - inset, c = ry - inset;
    if (a <= 0 || c <= 0) return true;
    const double ex = px < l + a ? l + a : (px > r - a ? r - a : px);
    const double ey = py < t + c ? t + c : (py > b - c ? b - c : py);
    const double u = (px - ex) / a, v = (py - ey) / c;
    return u * u + v * v <= 1.0;
  };
  Shape(
      box, [&](double px, double py) { return within(px, py, 0); },
      [&](double px, double py) { return !within(px, py, penWidth_); });
}

void TRaster::Arc(const TRect& box, TPoint start, TPoint end) {
  Begin();
  const TRect b = Normalised(box.Left, box.Top, box.Right, box.Bottom);
  if (b.IsEmpty() || penStyle_ == TPenStyle::psClear) return;
  const EllipseTest outer(b, 0), inner(b, penWidth_);
  const SectorTest sector(b, start, end);
  for (int y = b.Top; y < b.Bottom; ++y)
    for (int x = b.Left; x < b.Right; ++x) {
      const double px = x + 0.5, py = y + 0.5;
      if (outer(px, py) && !inner(px, py) && sector(px, py)) Combine(x, y, penPixel_);
    }
}

void TRaster::Pie(const TRect& box, TPoint start, TPoint end) {
  Begin();
  const TRect b = Normalised(box.Left, box.Top, box.Right, box.Bottom);
  if (b.IsEmpty()) return;
  const EllipseTest outer(b, 0), inner(b, penWidth_);
  const SectorTest sector(b, start, end);
  Shape(
      b, [&](double px, double py) { return outer(px, py) && sector(px, py); },
      [&](double px, double py) { return !inner(px, py); });
  // The two radii.
  const int cx = (b.Left + b.Right) / 2, cy = (b.Top + b.Bottom) / 2;
  for (const TPoint& p : {start, end}) {
    const double angle = std::atan2(cy - p.Y, p.X - cx);
    MoveTo(cx, cy);
    LineTo(cx + static_cast<int>(std::lround(std::cos(angle) * b.Width() / 2.0)),
           cy - static_cast<int>(std::lround(std::sin(angle) * b.Height() / 2.0)));
  }
}

void TRaster::Polygon(const TPoint* points, int count) {
  Begin();
  if (count < 2) return;
  if (brushStyle_ != TBrushStyle::bsClear && count >= 3) {
    int top = points[0].Y, bottom = points[0].Y;
    for (int i = 1; i < count; ++i) {
      top = std::min(top, points[i].Y);
      bottom = std::max(bottom, points[i].Y);
    }
    std::vector<double> crossings;
    for (int y = std::max(top, clip_.Top); y < std::min(bottom, clip_.Bottom); ++y) {
      // Even-odd rule, sampled at pixel centres.
      const double yc = y + 0.5;
      crossings.clear();
      for (int i = 0; i < count; ++i) {
        const TPoint& p = points[i];
        const TPoint& q = points[(i + 1) % count];
        if ((p.Y <= yc && yc < q.Y) || (q.Y <= yc && yc < p.Y))
          crossings.push_back(p.X + (yc - p.Y) * (q.X - p.X) / static_cast<double>(q.Y - p.Y));
      }
      std::sort(crossings.begin(), crossings.end());
      for (std::size_t k = 0; k + 1 < crossings.size(); k += 2) {
        const int from = static_cast<int>(std::ceil(crossings[k] - 0.5));
        const int to = static_cast<int>(std::ceil(crossings[k + 1] - 0.5));
        FillSpan(y, from, to, true);
      }
    }
  }
  if (penStyle_ == TPenStyle::psClear) return;
  std::vector<TPoint> ring(points, points + count);
  ring.push_back(points[0]);
  Polyline(ring.data(), static_cast<int>(ring.size()));
}

}  // namespace quarvel
