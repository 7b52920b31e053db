#include "chart/axes/AxisReadout.h"

#include <algorithm>
#include <cmath>

#include "format/NumberFormat.h"

namespace quarvel {

double PixelValueWidth(const TAxisMapping& m) {
  if (m.PixelLength < 1) return 0;
  return static_cast<double>(static_cast<long double>(m.Range) / m.PixelLength);
}

int ReadoutDecimals(double pixelWidth) {
  if (!(pixelWidth > 0) || !std::isfinite(pixelWidth)) return -1;
  // 10^-d must not exceed the width: rounded to d decimals, values one width apart
  // stay apart.
  const double d = std::ceil(-std::log10(pixelWidth));
  return static_cast<int>(std::clamp(d, 0.0, 17.0));
}

std::string FormatReadoutValue(double value, double pixelWidth) {
  const int decimals = ReadoutDecimals(pixelWidth);
  if (decimals < 0 || !std::isfinite(value) || std::fabs(value) >= 1e15)
    return FormatGeneral(value);
  std::string pattern = "#,##0";
  if (decimals > 0) pattern += "." + std::string(static_cast<std::size_t>(decimals), '0');
  return FormatPattern(pattern, value);
}

}  // namespace quarvel
