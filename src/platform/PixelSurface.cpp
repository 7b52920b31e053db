#include "platform/PixelSurface.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "platform/TextEngine.h"

namespace quarvel {
namespace {

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t kRgbMask = 0x00FFFFFFu;

// On/off run lengths of the styled one-pixel pens, starting with "on".
struct Pattern {
  int runs[6];
  int count;
  int period;
};
constexpr Pattern kDash = {{18, 6}, 2, 24};
constexpr Pattern kDot = {{3, 3}, 2, 6};
constexpr Pattern kDashDot = {{9, 6, 3, 6}, 4, 24};
constexpr Pattern kDashDotDot = {{9, 3, 3, 3, 3, 3}, 6, 24};

// Every style's period (24, 6) and the alternate pen's 2 divide this, so the pattern
// position is kept modulo it: the same phase, and no overflow on lines of billions of
// steps.
constexpr int kPatternCycle = 24;
int PatternPosition(int64_t position) { return static_cast<int>(position % kPatternCycle); }

const Pattern* PatternOf(TPenStyle style) {
  switch (style) {
    case TPenStyle::psDash:
      return &kDash;
    case TPenStyle::psDot:
      return &kDot;
    case TPenStyle::psDashDot:
      return &kDashDot;
    case TPenStyle::psDashDotDot:
      return &kDashDotDot;
    default:
      return nullptr;
  }
}

bool PatternOn(const Pattern& p, int position) {
  int at = position % p.period;
  for (int i = 0; i < p.count; ++i) {
    if (at < p.runs[i]) return i % 2 == 0;
    at -= p.runs[i];
  }
  return false;
}

// Products of a coordinate difference and a step count (up to 2^65) are exact here.
__extension__ using Wide = __int128;

// ceil(n / d) for d > 0, and 0 for n <= 0.
int64_t CeilQuotientOrZero(Wide n, Wide d) {
  return n <= 0 ? 0 : static_cast<int64_t>((n + d - 1) / d);
}

// Visits the pixels of the one-pixel line from (x0, y0) up to, not including,
// (x1, y1), one per step of the longer axis, as visit(x, y, step); returns the number
// of steps. Only the steps whose coordinate along the longer axis lies within
// `window` widened by `margin` on both sides are visited: the others cannot reach the
// window, and a line of billions of steps (a deep zoom) costs only the steps it shows.
//
// The walk advances the longer axis at every step; the shorter one has moved, after
// `i` steps, ceil((2 * shorter * i - longer) / (2 * longer)) times (never below 0), and
// the error term follows from both counts, so the first visited step starts with the
// exact state of a walk from the line's start. For (0, 0) -> (10, 3) and step 4: the
// y count is ceil((24 - 10) / 20) = 1, so the walk stands at (4, 1) with err
// 10 - 3 - 3 * 4 + 10 * 1 = 5, as four plain steps leave it.
// The error terms are 64-bit: coordinates far apart overflow 32 bits.
template <class Visit>
int64_t WalkLine(int x0, int y0, int x1, int y1, const TRect& window, int margin, Visit visit) {
  const int64_t dx = std::abs(static_cast<int64_t>(x1) - x0),
                dy = std::abs(static_cast<int64_t>(y1) - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const int64_t steps = std::max(dx, dy);
  const bool xMajor = dx >= dy;
  // The steps [first, last) whose major coordinate lies in [lo, hi).
  const int64_t lo = static_cast<int64_t>(xMajor ? window.Left : window.Top) - margin,
                hi = static_cast<int64_t>(xMajor ? window.Right : window.Bottom) + margin;
  const int64_t start = xMajor ? x0 : y0;
  int64_t first = (xMajor ? sx : sy) > 0 ? lo - start : start - hi + 1;
  int64_t last = (xMajor ? sx : sy) > 0 ? hi - start : start - lo + 1;
  first = std::max<int64_t>(first, 0);
  last = std::min(last, steps);
  if (first >= last) return steps;
  const int64_t xMoves =
      xMajor ? first : CeilQuotientOrZero(2 * static_cast<Wide>(dx) * first - dy, 2 * Wide{dy});
  const int64_t yMoves =
      xMajor ? CeilQuotientOrZero(2 * static_cast<Wide>(dy) * first - dx, 2 * Wide{dx}) : first;
  int64_t err = static_cast<int64_t>(Wide{dx} - dy - static_cast<Wide>(dy) * xMoves +
                                     static_cast<Wide>(dx) * yMoves);
  int x = static_cast<int>(x0 + sx * xMoves), y = static_cast<int>(y0 + sy * yMoves);
  for (int64_t i = first; i < last; ++i) {
    visit(x, y, i);
    const int64_t e2 = 2 * err;
    if (e2 > -dy) {
      err -= dy;
      x += sx;
    }
    if (e2 < dx) {
      err += dx;
      y += sy;
    }
  }
  return steps;
}

uint32_t Mix(TPenMode mode, uint32_t pen, uint32_t dest) {
  uint32_t r = 0;
  switch (mode) {
    case TPenMode::pmBlack:
      r = 0;
      break;
    case TPenMode::pmWhite:
      r = ~0u;
      break;
    case TPenMode::pmNop:
      r = dest;
      break;
    case TPenMode::pmNot:
      r = ~dest;
      break;
    case TPenMode::pmCopy:
      r = pen;
      break;
    case TPenMode::pmNotCopy:
      r = ~pen;
      break;
    case TPenMode::pmMergePenNot:
      r = pen | ~dest;
      break;
    case TPenMode::pmMaskPenNot:
      r = pen & ~dest;
      break;
    case TPenMode::pmMergeNotPen:
      r = ~pen | dest;
      break;
    case TPenMode::pmMaskNotPen:
      r = ~pen & dest;
      break;
    case TPenMode::pmMerge:
      r = pen | dest;
      break;
    case TPenMode::pmNotMerge:
      r = ~(pen | dest);
      break;
    case TPenMode::pmMask:
      r = pen & dest;
      break;
    case TPenMode::pmNotMask:
      r = ~(pen & dest);
      break;
    case TPenMode::pmXor:
      r = pen ^ dest;
      break;
    case TPenMode::pmNotXor:
      r = ~(pen ^ dest);
      break;
  }
  return kOpaque | (r & kRgbMask);
}

}  // namespace

TPixelSurface::TPixelSurface(uint32_t* pixels, int width, int height) {
  Rebind(pixels, width, height);
}

void TPixelSurface::Rebind(uint32_t* pixels, int width, int height) {
  ++generation_;
  pixels_ = pixels;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  if (!clipped_)
    clip_ = {0, 0, width_, height_};
  else
    clip_ = Intersect(clip_, {0, 0, width_, height_});
}

void TPixelSurface::SetPen(TColor rgb, int width, TPenStyle style) {
  penPixel_ = PixelOf(rgb);
  penWidth_ = std::max(1, width);
  penStyle_ = style;
}

void TPixelSurface::SetBrush(TColor rgb, TBrushStyle style) {
  brushPixel_ = PixelOf(rgb);
  brushStyle_ = style;
}

void TPixelSurface::SetClip(const TRect& clip) {
  clipped_ = true;
  clip_ = Intersect(clip, {0, 0, width_, height_});
}

void TPixelSurface::RemoveClip() {
  clipped_ = false;
  clip_ = {0, 0, width_, height_};
}

uint32_t TPixelSurface::Mono(uint32_t pixel) const {
  if (!monochrome_) return pixel;
  const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  return (r * 299 + g * 587 + b * 114) >= 128 * 1000 ? 0xFFFFFFFFu : kOpaque;
}

void TPixelSurface::Store(int x, int y, uint32_t pixel) {
  if (!clip_.Contains(x, y)) return;
  pixels_[static_cast<std::size_t>(y) * width_ + x] = Mono(pixel);
}

void TPixelSurface::Combine(int x, int y, uint32_t pixel) {
  if (!clip_.Contains(x, y)) return;
  uint32_t& dest = pixels_[static_cast<std::size_t>(y) * width_ + x];
  dest = Mono(mode_ == TPenMode::pmCopy ? pixel : Mix(mode_, pixel, dest));
}

// One pixel of the one-pixel line, widened and styled as the pen says.
void TPixelSurface::PenPixel(int x, int y) {
  if (penWidth_ > 1) {
    const int from = -(penWidth_ / 2);
    for (int dy = from; dy < from + penWidth_; ++dy)
      for (int dx = from; dx < from + penWidth_; ++dx) Combine(x + dx, y + dy, penPixel_);
    return;
  }
  const int position = patternPos_;
  patternPos_ = PatternPosition(static_cast<int64_t>(position) + 1);
  if (penStyle_ == TPenStyle::psAlternate) {
    if (position % 2 == 0) Combine(x, y, penPixel_);
    return;
  }
  if (const Pattern* p = PatternOf(penStyle_)) {
    if (PatternOn(*p, position))
      Combine(x, y, penPixel_);
    else if (bkMode_ == OPAQUE)
      Combine(x, y, PixelOf(bkColor_));
    return;
  }
  Combine(x, y, penPixel_);
}

void TPixelSurface::Segment(int x0, int y0, int x1, int y1) {
  if (penStyle_ == TPenStyle::psClear) return;
  if (FastSegment(x0, y0, x1, y1)) return;
  if (penWidth_ > 1 && mode_ != TPenMode::pmCopy) {
    // A wide pen's squares overlap; a mix mode other than copy must combine each pixel
    // of the band once, so the band is collected first.
    std::vector<std::pair<int, int>> band;
    const int from = -(penWidth_ / 2);
    WalkLine(x0, y0, x1, y1, clip_, penWidth_, [&](int x, int y, int64_t) {
      for (int by = y + from; by < y + from + penWidth_; ++by)
        for (int bx = x + from; bx < x + from + penWidth_; ++bx) band.emplace_back(by, bx);
    });
    std::sort(band.begin(), band.end());
    band.erase(std::unique(band.begin(), band.end()), band.end());
    for (const auto& [by, bx] : band) Combine(bx, by, penPixel_);
    return;
  }
  // A one-pixel pen's pattern goes on with every step, visited or not.
  const int64_t position = patternPos_;
  const bool patterned = penWidth_ <= 1;
  const int64_t steps = WalkLine(x0, y0, x1, y1, clip_, penWidth_, [&](int x, int y, int64_t step) {
    if (patterned) patternPos_ = PatternPosition(position + step);
    PenPixel(x, y);
  });
  if (patterned) patternPos_ = PatternPosition(position + steps);
}

// ===========================================================================
// Fast paths: the same pixels as the general path, without its per-pixel calls.

// One-pixel pens in copy mode on a colour surface: every pixel the line visits is
// either stored as it is (pen, background) or left alone.
bool TPixelSurface::FastSegment(int x0, int y0, int x1, int y1) {
  if (!fastPaths_ || mode_ != TPenMode::pmCopy || monochrome_) return false;
  if (penWidth_ > 1) {
    if (x0 != x1 && y0 != y1) return false;
    WideAxisSegment(x0, y0, x1, y1);
    return true;
  }
  if (x0 == x1 || y0 == y1) {
    AxisSegment(x0, y0, x1, y1);
    return true;
  }
  if (penStyle_ != TPenStyle::psSolid && penStyle_ != TPenStyle::psInsideFrame) return false;
  // The general path's stepping, storing straight into the clipped buffer.
  const TRect c = clip_;
  patternPos_ =
      PatternPosition(patternPos_ + WalkLine(x0, y0, x1, y1, c, 0, [&](int x, int y, int64_t) {
                        if (x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom)
                          pixels_[static_cast<std::size_t>(y) * width_ + x] = penPixel_;
                      }));
  return true;
}

// A horizontal or vertical one-pixel line of any style: only the steps inside the clip
// are visited, the pattern read from a table of one period.
void TPixelSurface::AxisSegment(int x0, int y0, int x1, int y1) {
  const bool horizontal = y0 == y1;
  const int64_t from = horizontal ? x0 : y0, to = horizontal ? x1 : y1;
  const int64_t steps = to > from ? to - from : from - to;
  const int step = to > from ? 1 : -1;
  const int64_t across = horizontal ? y0 : x0;
  const int64_t lo = horizontal ? clip_.Left : clip_.Top,
                hi = horizontal ? clip_.Right : clip_.Bottom;
  const int64_t acrossLo = horizontal ? clip_.Top : clip_.Left,
                acrossHi = horizontal ? clip_.Bottom : clip_.Right;
  const int64_t startPosition = patternPos_;
  patternPos_ = PatternPosition(startPosition + steps);
  if (across < acrossLo || across >= acrossHi) return;
  // Steps i = first ... last - 1 land inside lo <= from + i * step < hi.
  const int64_t first = std::max<int64_t>(0, step > 0 ? lo - from : from - hi + 1);
  const int64_t last = std::min<int64_t>(steps, step > 0 ? hi - from : from - lo + 1);
  if (first >= last) return;
  const std::ptrdiff_t stride = horizontal ? step : static_cast<std::ptrdiff_t>(step) * width_;
  uint32_t* p =
      pixels_ + (horizontal ? static_cast<std::size_t>(y0) * width_ + (from + first * step)
                            : static_cast<std::size_t>(from + first * step) * width_ + x0);
  const int64_t count = last - first;
  const Pattern* pattern = PatternOf(penStyle_);
  if (penStyle_ != TPenStyle::psAlternate && !pattern) {
    if (horizontal && step > 0)
      std::fill_n(p, count, penPixel_);
    else
      for (int64_t i = 0; i < count; ++i, p += stride) *p = penPixel_;
    return;
  }
  // One period of the style: 1 on, 0 off (left alone), 2 off (painted with the
  // background colour in opaque mode).
  uint8_t table[24];
  int period = 2;
  if (pattern) {
    period = pattern->period;
    for (int at = 0; at < period; ++at)
      table[at] = PatternOn(*pattern, at) ? 1 : (bkMode_ == OPAQUE ? 2 : 0);
  } else {
    table[0] = 1;
    table[1] = 0;
  }
  const uint32_t ink[3] = {0, penPixel_, PixelOf(bkColor_)};
  int phase = static_cast<int>((startPosition + first) % period);
  for (int64_t i = 0; i < count; ++i, p += stride) {
    if (const uint8_t t = table[phase]) *p = ink[t];
    if (++phase == period) phase = 0;
  }
}

// A wide pen on a horizontal or vertical line: the squares of the visited pixels make
// one solid band (the style does not apply to wide pens, nor does the pattern move).
void TPixelSurface::WideAxisSegment(int x0, int y0, int x1, int y1) {
  const int64_t steps =
      std::max(std::abs(static_cast<int64_t>(x1) - x0), std::abs(static_cast<int64_t>(y1) - y0));
  if (steps == 0) return;
  // The last visited pixel is one step short of the end.
  const int64_t lastX = x1 == x0 ? x0 : (x1 > x0 ? x1 - 1LL : x1 + 1LL);
  const int64_t lastY = y1 == y0 ? y0 : (y1 > y0 ? y1 - 1LL : y1 + 1LL);
  const int64_t before = penWidth_ / 2, after = penWidth_ - 1 - penWidth_ / 2;
  const int64_t left = std::max<int64_t>(std::min<int64_t>(x0, lastX) - before, clip_.Left);
  const int64_t right = std::min<int64_t>(std::max<int64_t>(x0, lastX) + after + 1, clip_.Right);
  const int64_t top = std::max<int64_t>(std::min<int64_t>(y0, lastY) - before, clip_.Top);
  const int64_t bottom = std::min<int64_t>(std::max<int64_t>(y0, lastY) + after + 1, clip_.Bottom);
  if (left >= right) return;
  for (int64_t y = top; y < bottom; ++y)
    std::fill_n(pixels_ + static_cast<std::size_t>(y) * width_ + left, right - left, penPixel_);
}

// A solid one-pixel outline in copy mode around a solid or clear fill, row by row.
bool TPixelSurface::FastRectangle(int x0, int y0, int x1, int y1) {
  if (!fastPaths_ || penWidth_ != 1 || mode_ != TPenMode::pmCopy || monochrome_) return false;
  if (penStyle_ != TPenStyle::psSolid && penStyle_ != TPenStyle::psInsideFrame) return false;
  if (brushStyle_ != TBrushStyle::bsSolid && brushStyle_ != TBrushStyle::bsClear) return false;
  if (static_cast<int64_t>(x1) - x0 < 2 || static_cast<int64_t>(y1) - y0 < 2) return false;
  const bool fill = brushStyle_ == TBrushStyle::bsSolid;
  const TRect c = clip_;
  const int left = std::max(x0, c.Left), right = std::min(x1, c.Right);
  for (int y = std::max(y0, c.Top); y < std::min(y1, c.Bottom); ++y) {
    uint32_t* row = pixels_ + static_cast<std::size_t>(y) * width_;
    if (y == y0 || y == y1 - 1) {
      if (left < right) std::fill_n(row + left, right - left, penPixel_);
      continue;
    }
    if (x0 >= c.Left && x0 < c.Right) row[x0] = penPixel_;
    if (x1 - 1 >= c.Left && x1 - 1 < c.Right) row[x1 - 1] = penPixel_;
    const int a = std::max(x0 + 1, c.Left), b = std::min(x1 - 1, c.Right);
    if (fill && a < b) std::fill_n(row + a, b - a, brushPixel_);
  }
  // The general path's outline is a polyline of four sides from the top-left corner.
  patternPos_ = PatternPosition(2 * (static_cast<int64_t>(x1) - 1 - x0) +
                                2 * (static_cast<int64_t>(y1) - 1 - y0));
  return true;
}

void TPixelSurface::MoveTo(int x, int y) {
  penPos_ = {x, y};
  patternPos_ = 0;
}

void TPixelSurface::LineTo(int x, int y) {
  Segment(penPos_.X, penPos_.Y, x, y);
  penPos_ = {x, y};
}

void TPixelSurface::Polyline(const TPoint* points, int count) {
  if (count < 2) return;
  patternPos_ = 0;
  for (int i = 1; i < count; ++i)
    Segment(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

bool TPixelSurface::HatchAt(int x, int y) const {
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
void TPixelSurface::FillSpan(int y, int x0, int x1, bool combine) {
  if (brushStyle_ == TBrushStyle::bsClear || y < clip_.Top || y >= clip_.Bottom) return;
  x0 = std::max(x0, clip_.Left);
  x1 = std::min(x1, clip_.Right);
  if (x0 >= x1) return;
  if (brushStyle_ == TBrushStyle::bsSolid && !monochrome_ &&
      (!combine || mode_ == TPenMode::pmCopy)) {
    std::fill_n(pixels_ + static_cast<std::size_t>(y) * width_ + x0, x1 - x0, brushPixel_);
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

void TPixelSurface::FillRect(const TRect& rect) {
  for (int y = rect.Top; y < rect.Bottom; ++y) FillSpan(y, rect.Left, rect.Right, false);
}

void TPixelSurface::Rectangle(int x0, int y0, int x1, int y1) {
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
void TPixelSurface::Shape(const TRect& box, Inside inside, Border border) {
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

void TPixelSurface::Ellipse(int x0, int y0, int x1, int y1) {
  const TRect box = Normalised(x0, y0, x1, y1);
  if (box.IsEmpty()) return;
  const EllipseTest outer(box, 0), inner(box, penWidth_);
  Shape(box, outer, [&](double px, double py) { return !inner(px, py); });
}

void TPixelSurface::RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) {
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

void TPixelSurface::Arc(const TRect& box, TPoint start, TPoint end) {
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

void TPixelSurface::Pie(const TRect& box, TPoint start, TPoint end) {
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

void TPixelSurface::Polygon(const TPoint* points, int count) {
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

void TPixelSurface::SetPixel(int x, int y, TColor rgb) { Store(x, y, PixelOf(rgb)); }

TSize TPixelSurface::TextExtent(std::string_view text) const {
  if (text.empty()) return {0, FontCellOf(font_).height};
  return MeasureText(font_, text);
}

// The top-left corner of a text cell whose reference point is (x, y).
TPoint TPixelSurface::TextOrigin(int x, int y, int advance, int height, int ascent) const {
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

void TPixelSurface::RotatedTextOut(int x, int y, double degrees, std::string_view text) {
  if (text.empty()) return;
  const TextMask& mask = RenderText(font_, text);
  if (mask.height == 0) return;
  const TPoint origin = TextOrigin(x, y, mask.advance, mask.height, mask.ascent);
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

void TPixelSurface::TextOut(int x, int y, std::string_view text) {
  if (text.empty()) return;
  const TextMask& mask = RenderText(font_, text);
  if (mask.height == 0) return;
  const TPoint origin = TextOrigin(x, y, mask.advance, mask.height, mask.ascent);
  const int left = origin.X, top = origin.Y;

  if (bkMode_ == OPAQUE) {
    const TRect cell = Intersect({left, top, left + mask.advance, top + mask.height}, clip_);
    const uint32_t background = Mono(PixelOf(bkColor_));
    for (int row = cell.Top; row < cell.Bottom; ++row)
      std::fill_n(pixels_ + static_cast<std::size_t>(row) * width_ + cell.Left, cell.Width(),
                  background);
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
      uint32_t* dest = pixels_ + static_cast<std::size_t>(destY) * width_ + (maskLeft + a);
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

void TPixelSurface::CopyFrom(const TPixelSurface& source, int x, int y) {
  const TRect target = Intersect({x, y, x + source.width_, y + source.height_}, clip_);
  for (int row = target.Top; row < target.Bottom; ++row) {
    const uint32_t* from =
        source.pixels_ + static_cast<std::size_t>(row - y) * source.width_ + (target.Left - x);
    std::memcpy(pixels_ + static_cast<std::size_t>(row) * width_ + target.Left, from,
                static_cast<std::size_t>(target.Width()) * sizeof(uint32_t));
  }
}

}  // namespace quarvel
