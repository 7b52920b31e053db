#pragma once
// The crossing search of the resampling: step along X from the left end of an interval
// by 1e-5 (each step rounded to double) and stop at the first X where the two
// one-sided cubics agree to within 0.01.

#include "model/Cubic.h"

namespace quarvel {

inline constexpr long double kCrossingTolerance = 0.01L;
inline constexpr long double kCrossingStep = 1e-5L;

// One probe of the search at x: the two cubics' values and their distance.
struct CrossingProbe {
  double y1;
  double y2;
  long double gap;  // |y2 - y1| in extended precision
  double Sum() const { return static_cast<double>(static_cast<long double>(y1) + y2); }
};

inline CrossingProbe ProbeCrossing(const TCubic& fit1, const TCubic& fit2, double x) {
  CrossingProbe p;
  p.y1 = EvalCubic(fit1, x);
  p.y2 = EvalCubic(fit2, x);
  const long double d = static_cast<long double>(p.y2) - p.y1;
  p.gap = d < 0 ? -d : d;
  return p;
}

// The X after x in the search: x + 1e-5 rounded to double.
inline double NextSearchX(double x) { return static_cast<double>(x + kCrossingStep); }

struct CrossingResult {
  double X = 0;
  double Y = 0;
  bool Found = false;
};

// Searches the X values xl, NextSearchX(xl), ... below xr.
// Found: the first X whose gap is at most 0.01, with Y = y1 + y2 there.
// Not found: the first searched X with the smallest gap, with Y = y1 + y2 there; it
// lies in [xl, xr) and keeps the resampled points in order. When nothing is searched
// (xl not below xr) the result is xl with y1 + y2 at xl. The search also ends where a
// step no longer advances X (|X| beyond about 1e11).
//
// The result equals that of probing every step in turn. Stretches where the two cubics
// provably stay apart (bounded through their difference's derivatives and the rounding
// of the evaluation) are stepped over: within one binary exponent range of X every
// step advances by the same number of units in the last place, so the X of a later
// step is computed directly.
CrossingResult SearchCrossing(const TCubic& fit1, const TCubic& fit2, double xl, double xr);

}  // namespace quarvel
