#include "model/Cubic.h"

#include "base/Exception.h"
#include "format/MessageFormat.h"
#include "model/CheckedFloat.h"

namespace quarvel {
namespace {

constexpr long double kAnchor = 1e-6L;

void FitSteps(TCubic& cubic, Checked X1, Checked X2, Checked Y2) {
  const double q2 = (X2 * X2).ToDouble();
  const double q1 = (X1 * X1).ToDouble();
  const double d = (X2 - X1).ToDouble();
  const Checked K = kAnchor;

  cubic.C3 =
      ((Checked(d) * d * K - d) / ((Checked(q2) - X1 * X2) * (Checked(3) * q2 - Checked(3) * q1) -
                                   Checked(q2) * X2 + Checked(3) * q1 * X2 - Checked(2) * q1 * X1))
          .ToDouble();
  const Checked C3 = cubic.C3;

  cubic.C2 = (((Y2 - (X2 - X1) * K) - (X1 * X1 * 2 * X1 + (X2 * X2 * X2 - X1 * X1 * 3 * X2)) * C3) /
              (X2 * X2 - X1 * X2))
                 .ToDouble();
  const Checked C2 = cubic.C2;

  cubic.C1 = (X1 * X1 * (Checked(-3) * C3) - C2 * X1 + K).ToDouble();
  cubic.C0 = (X1 * X1 * (Checked(2) * C3) * X1 + K * X1).ToDouble();
}

}  // namespace

EFitError::EFitError(double x1, double y1, double x2, double y2)
    : Exception(FormatMessage("X1 = %g\r\nY1 = %g\r\nX2 = %g\r\nY2 = %g",
                              {static_cast<long double>(x1), static_cast<long double>(y1),
                               static_cast<long double>(x2), static_cast<long double>(y2)})),
      X1(x1),
      Y1(y1),
      X2(x2),
      Y2(y2) {}

void FitCubic(TCubic& cubic, double X1, double Y1, double X2, double Y2) {
  try {
    FitSteps(cubic, X1, X2, Y2);
  } catch (const EMathError&) {
    throw EFitError(X1, Y1, X2, Y2);
  }
}

}  // namespace quarvel
