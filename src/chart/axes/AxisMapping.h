#pragma once
// What an axis computes for a paint, as one value: the effective range it maps, its two
// pixel ends along its direction (x for a horizontal axis, y downwards for a vertical
// one), its orientation and its inversion; and the two mappings between values and
// pixels, inverse to each other up to the pixel rounding.
//
// Invariants kept by SetRange and SetPixels: Range = Maximum - Minimum formed in extended
// precision and rounded to double; PixelLength = EndPixel - StartPixel; CenterPixel =
// (StartPixel + EndPixel) div 2, truncated toward zero. Where the minimum lies: at
// StartPixel for a plain horizontal axis, at EndPixel (the bottom) for a plain vertical
// one; inversion swaps the two ends, and MinimumAtEnd is the one place that says so.
//
// Degenerate input never fails and never leaves the 32-bit pixels: a zero Range maps
// every value to CenterPixel, and so does a value whose pixel is not a number, lies
// 2^31 - 1 pixels or more from its end, or does not fit a 32-bit integer (PixelAt);
// an axis shorter than one pixel maps every pixel to the value 0. A Range that is not a
// finite number is mapped as it comes (a finite offset over an infinite range is 0).
//
// Pure: no chart, no canvas, no allocation.

#include <cmath>
#include <limits>
#if defined(__x86_64__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/Assert.h"

namespace quarvel {

struct TAxisMapping {
  double Minimum = 0, Maximum = 0, Range = 0;
  int StartPixel = 0, EndPixel = 0, PixelLength = 0, CenterPixel = 0;
  bool Horizontal = true;
  bool Inverted = false;
  // Set by SetPixels: the mapping has pixels and may be used (the axes' paint places
  // them; a series reading its X axis before that is a fault).
  bool Placed = false;

  // Minimum ... maximum as given (not ordered), with its Range.
  void SetRange(double min, double max) {
    Minimum = min;
    Maximum = max;
    Range = static_cast<double>(static_cast<long double>(max) - min);
  }
  // The pixel ends, with PixelLength and CenterPixel. The ends must lie within
  // +-2^30 so that their sum and difference fit an int (a contract, checked).
  void SetPixels(int start, int end) {
    QUARVEL_ASSERT(start >= -kMaxPixelEnd && start <= kMaxPixelEnd && end >= -kMaxPixelEnd &&
                       end <= kMaxPixelEnd,
                   "a pixel end beyond +-2^30: its length or centre would overflow an int");
    Placed = true;
    StartPixel = start;
    EndPixel = end;
    PixelLength = end - start;
    CenterPixel = (start + end) / 2;
  }
  // True when the minimum lies at EndPixel: a plain vertical or an inverted horizontal
  // axis.
  bool MinimumAtEnd() const { return Horizontal == Inverted; }

  // The pixel of a value: Round((value - Minimum) x PixelLength / Range) pixels from the
  // minimum's end towards the other one (half to even).
  int ToPixel(double value) const {
    if (Range == 0) return CenterPixel;
    return PixelAt(static_cast<double>(Offset(value)));
  }

  // The same place before any rounding, in extended precision: where a line to a value
  // thousands or billions of pixels away is headed. CenterPixel for a zero Range;
  // infinite or not a number as the value makes it.
  long double Position(double value) const {
    if (Range == 0) return CenterPixel;
    return PositionAt(Offset(value));
  }

  // ToPixel and Position of one value, its offset formed once (a series drawing a
  // point needs both, and the offset's extended division is most of their cost).
  struct TPlace {
    int pixel;
    long double position;
  };
  TPlace Place(double value) const {
    if (Range == 0) return {CenterPixel, static_cast<long double>(CenterPixel)};
    const long double t = Offset(value);
    return {PixelAt(static_cast<double>(t)), PositionAt(t)};
  }

  // The value at a pixel: from Minimum (horizontal) or Maximum (vertical) by the
  // pixel's distance from StartPixel (EndPixel when inverted) in value widths.
  double ToValue(int pixel) const {
    if (PixelLength < 1) return 0;
    const long double steps = Inverted ? EndPixel - pixel : pixel - StartPixel;
    const double d = static_cast<double>(steps * Range / PixelLength);
    return Horizontal ? static_cast<double>(static_cast<long double>(Minimum) + d)
                      : static_cast<double>(static_cast<long double>(Maximum) - d);
  }

  // The pixel `t` pixels (a value offset already scaled) from the minimum's end; the
  // centre when there is no such 32-bit pixel.
  int PixelAt(double t) const {
    if (!(std::fabs(t) < kMaxPixelOffset)) return CenterPixel;  // too far, or not a number
    // The pixel is formed in 64 bits: near the end of the offset range it need not fit
    // a 32-bit integer, and such a value maps to the centre too.
    const long long offset = RoundToInteger(t);
    const long long pixel = MinimumAtEnd() ? EndPixel - offset : StartPixel + offset;
    if (pixel < std::numeric_limits<int>::min() || pixel > std::numeric_limits<int>::max())
      return CenterPixel;
    return static_cast<int>(pixel);
  }

  static constexpr long double kMaxPixelOffset = 2147483647.0L;
  static constexpr int kMaxPixelEnd = 1 << 30;

 private:
  // Pixels from the minimum's end, unrounded (Range not 0).
  long double Offset(double value) const {
    return (static_cast<long double>(value) - Minimum) * PixelLength / Range;
  }
  long double PositionAt(long double t) const {
    return MinimumAtEnd() ? EndPixel - t : StartPixel + t;
  }
  // std::llrint of a value below 2^31 in magnitude: the current rounding mode (half to
  // even), as one conversion instruction where there is one rather than a library call
  // (thousands of mappings a paint).
  static long long RoundToInteger(double t) {
#if defined(__x86_64__) && defined(__SSE2__)
    return _mm_cvtsd_si64(_mm_set_sd(t));
#else
    return std::llrint(t);
#endif
  }
};

}  // namespace quarvel
