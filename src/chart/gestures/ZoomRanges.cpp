#include "chart/gestures/ZoomRanges.h"

#include <cmath>

namespace quarvel {
namespace {

constexpr double kAnimatedZoomFactor = 3.0;

}  // namespace

std::pair<double, double> ZoomedRange(const TAxisMapping& m, int lowPixel, int highPixel) {
  if (m.Horizontal) return {m.ToValue(lowPixel), m.ToValue(highPixel)};
  return {m.ToValue(highPixel), m.ToValue(lowPixel)};
}

std::pair<double, double> PannedRange(const TAxisMapping& m, double min, double max, int fromPixel,
                                      int toPixel) {
  const double d =
      static_cast<double>(static_cast<long double>(m.ToValue(fromPixel)) - m.ToValue(toPixel));
  return {static_cast<double>(static_cast<long double>(min) + d),
          static_cast<double>(static_cast<long double>(max) + d)};
}

double WheelShift(double min, double max, int direction) {
  const double offset = static_cast<double>((static_cast<long double>(max) - min) * 3 * 0.01L);
  return direction * offset;
}

std::pair<double, double> AnimatedZoomStep(double min, double max, double targetMin,
                                           double targetMax) {
  return {
      static_cast<double>(min + (targetMin - static_cast<long double>(min)) / kAnimatedZoomFactor),
      static_cast<double>(max - (max - static_cast<long double>(targetMax)) / kAnimatedZoomFactor)};
}

std::pair<double, double> FiniteRangeOr(long double lo, long double hi, double min, double max) {
  if (!std::isfinite(static_cast<double>(lo)) || !std::isfinite(static_cast<double>(hi)))
    return {min, max};
  return {static_cast<double>(lo), static_cast<double>(hi)};
}

std::pair<double, double> ScaledRange(double min, double max, double scale) {
  const long double centre = (static_cast<long double>(min) + max) / 2;
  const long double half = (static_cast<long double>(max) - min) / 2 * scale;
  return FiniteRangeOr(centre - half, centre + half, min, max);
}

std::pair<double, double> ShiftedRange(double min, double max, double fraction) {
  const long double d = (static_cast<long double>(max) - min) * fraction;
  return FiniteRangeOr(min + d, max + d, min, max);
}

}  // namespace quarvel
