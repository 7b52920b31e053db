#include "ui/ColourMaps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quarvel {

namespace {

uint8_t Level(double fraction) { return static_cast<uint8_t>(std::lround(255.0 * fraction)); }

}  // namespace

std::pair<double, double> FiniteRange(const TArray2D& array) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const double v : array.Values)
    if (std::isfinite(v)) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  return {low, high};
}

double DivergingReach(const TArray2D& array) {
  const auto [low, high] = FiniteRange(array);
  return high >= low ? std::max(std::abs(low), std::abs(high)) : 0;
}

uint8_t GreyLevel(double value, double low, double high) {
  // == is a quiet comparison: a NaN raises nothing.
  if (!std::isfinite(value)) return value == std::numeric_limits<double>::infinity() ? 255 : 0;
  // Halved, so that a range wider than the largest double (-1e308 ... 1e308) stays finite.
  const double halfRange = high > low ? high / 2 - low / 2 : 0;
  if (!(halfRange > 0)) return 0;
  return Level(std::clamp((value / 2 - low / 2) / halfRange, 0.0, 1.0));
}

TRgb DivergingRgb(double value, double reach) {
  const double s = std::isnan(value)       ? 0
                   : !std::isfinite(value) ? (value > 0 ? 1 : -1)
                   : reach > 0             ? std::clamp(value / reach, -1.0, 1.0)
                                           : 0;
  const uint8_t fade = Level(1 - std::abs(s));
  return s >= 0 ? TRgb{255, fade, fade} : TRgb{fade, fade, 255};
}

}  // namespace quarvel
