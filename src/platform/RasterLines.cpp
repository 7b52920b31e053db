#include "platform/Raster.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace quarvel {
namespace {

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

}  // namespace

void TRaster::PenPixel(int x, int y) {
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

void TRaster::Segment(int x0, int y0, int x1, int y1) {
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
bool TRaster::FastSegment(int x0, int y0, int x1, int y1) {
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
  // Locals: a store through the buffer could alias the members, which would then be
  // read again at every step.
  const TRect c = clip_;
  uint32_t* const pixels = pixels_;
  const std::size_t stride = static_cast<std::size_t>(stride_);
  const uint32_t ink = penPixel_;
  patternPos_ =
      PatternPosition(patternPos_ + WalkLine(x0, y0, x1, y1, c, 0, [&](int x, int y, int64_t) {
                        if (x >= c.Left && x < c.Right && y >= c.Top && y < c.Bottom)
                          pixels[static_cast<std::size_t>(y) * stride + x] = ink;
                      }));
  return true;
}

// A horizontal or vertical one-pixel line of any style: only the steps inside the clip
// are visited, the pattern read from a table of one period.
void TRaster::AxisSegment(int x0, int y0, int x1, int y1) {
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
  const std::ptrdiff_t stride = horizontal ? step : static_cast<std::ptrdiff_t>(step) * stride_;
  uint32_t* p =
      pixels_ + (horizontal ? static_cast<std::size_t>(y0) * stride_ + (from + first * step)
                            : static_cast<std::size_t>(from + first * step) * stride_ + x0);
  const int64_t count = last - first;
  const Pattern* pattern = PatternOf(penStyle_);
  if (penStyle_ != TPenStyle::psAlternate && !pattern) {
    const uint32_t ink = penPixel_;  // a local: the stores cannot alias it
    if (horizontal && step > 0)
      FillPixels(p, count, ink);
    else
      for (int64_t i = 0; i < count; ++i, p += stride) *p = ink;
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
void TRaster::WideAxisSegment(int x0, int y0, int x1, int y1) {
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
    FillPixels(pixels_ + static_cast<std::size_t>(y) * stride_ + left, right - left, penPixel_);
}

// A solid one-pixel outline in copy mode around a solid or clear fill, row by row.
void TRaster::MoveTo(int x, int y) {
  penPos_ = {x, y};
  patternPos_ = 0;
}

void TRaster::LineTo(int x, int y) {
  Begin();
  Segment(penPos_.X, penPos_.Y, x, y);
  penPos_ = {x, y};
}

void TRaster::ColumnLines(const TColumnLine* lines, int count) {
  Begin();
  if (count <= 0) return;
  const bool solid = penStyle_ == TPenStyle::psSolid || penStyle_ == TPenStyle::psInsideFrame;
  if (!fastPaths_ || mode_ != TPenMode::pmCopy || monochrome_ || penWidth_ > 1 || !solid) {
    for (int i = 0; i < count; ++i) {
      MoveTo(lines[i].X, lines[i].From);
      LineTo(lines[i].X, lines[i].To);
    }
    return;
  }
  // Solid one-pixel lines in copy mode: every pixel a line visits becomes the pen's,
  // whatever the order, so the lines are drawn in bands of rows. Drawn one by one, a
  // line stores into a new cache line at every pixel, and each cache line is fetched
  // again for every line that crosses it (the window's 381 stems cross most of the
  // plot); within a band of rows, the cache lines a band touches stay in the cache.
  // The rows a line visits: From ... To - 1 downwards, From ... To + 1 upwards.
  const TRect c = clip_;
  auto rows = [&c](const TColumnLine& l) {
    int64_t lo = l.From, hi = l.To;
    if (hi < lo) {
      lo = static_cast<int64_t>(l.To) + 1;
      hi = static_cast<int64_t>(l.From) + 1;
    }
    if (l.X < c.Left || l.X >= c.Right) hi = lo;  // outside the clip: no row
    return std::pair{std::max<int64_t>(lo, c.Top), std::min<int64_t>(hi, c.Bottom)};
  };
  int64_t top = c.Bottom, bottom = c.Top;
  for (int i = 0; i < count; ++i) {
    const auto [lo, hi] = rows(lines[i]);
    if (lo < hi) {
      top = std::min(top, lo);
      bottom = std::max(bottom, hi);
    }
  }
  constexpr int64_t kBandRows = 16;
  uint32_t* const pixels = pixels_;
  const std::size_t stride = static_cast<std::size_t>(stride_);
  const uint32_t ink = penPixel_;
  for (int64_t bandTop = top; bandTop < bottom; bandTop += kBandRows) {
    const int64_t bandBottom = std::min(bandTop + kBandRows, bottom);
    for (int i = 0; i < count; ++i) {
      const auto [lo, hi] = rows(lines[i]);
      const std::size_t x = static_cast<std::size_t>(lines[i].X);
      for (int64_t y = std::max(lo, bandTop); y < std::min(hi, bandBottom); ++y)
        pixels[static_cast<std::size_t>(y) * stride + x] = ink;
    }
  }
  // Where MoveTo and LineTo leave the pen: at the last line's end, its pattern moved on
  // by the line's steps from the start.
  const TColumnLine& last = lines[count - 1];
  penPos_ = {last.X, last.To};
  patternPos_ = PatternPosition(std::abs(static_cast<int64_t>(last.To) - last.From));
}

void TRaster::Polyline(const TPoint* points, int count) {
  Begin();
  if (count < 2) return;
  patternPos_ = 0;
  for (int i = 1; i < count; ++i)
    Segment(points[i - 1].X, points[i - 1].Y, points[i].X, points[i].Y);
}

}  // namespace quarvel
