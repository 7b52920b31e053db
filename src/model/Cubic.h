#pragma once
// The one-sided cubic of the resampling: anchored near zero at one point of an
// interval and near the other point's value at the other end.

#include "base/Exception.h"

namespace quarvel {

// The fit error: its message is the four lines of the fitted points, and it keeps them.
class EFitError : public Exception {
 public:
  EFitError(double x1, double y1, double x2, double y2);
  double X1, Y1, X2, Y2;
};

struct TProjectionPoint {
  double X = 0;
  double Y = 0;
  friend bool operator==(const TProjectionPoint&, const TProjectionPoint&) = default;
};

inline TProjectionPoint MakeProjectionPoint(double x, double y) { return {x, y}; }

// C3 x^3 + C2 x^2 + C1 x + C0.
struct TCubic {
  double C3 = 0;
  double C2 = 0;
  double C1 = 0;
  double C0 = 0;
  friend bool operator==(const TCubic&, const TCubic&) = default;
};

// Fits the cubic p with p(X1) = 2K X1 and p(X2) = Y2 + 2K X1 (K = 1e-6) in exact
// arithmetic, computed step by step in extended precision with each coefficient
// stored as a double as soon as it is known. Y1 only appears in the error message.
// Any floating-point error in the steps becomes EFitError with the four-line message
// "X1 = %g\r\nY1 = %g\r\nX2 = %g\r\nY2 = %g"; the coefficients stored before the
// error keep their new values. Equal X1 and X2 always fail.
void FitCubic(TCubic& cubic, double X1, double Y1, double X2, double Y2);

// ((((C3 x) x) x + (C2 x) x) + C1 x) + C0 in extended precision, rounded to double.
inline double EvalCubic(const TCubic& c, double x) {
  const long double lx = x;
  return static_cast<double>(((((c.C3 * lx) * lx) * lx + (c.C2 * lx) * lx) + c.C1 * lx) + c.C0);
}

}  // namespace quarvel
