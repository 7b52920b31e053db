#include "tomo/Limits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <numbers>

#include "format/MessageFormat.h"
#include "tomo/Geometry.h"

namespace quarvel {

double PeakDensity(const TGauss3D& blob) {
  // In extended precision the product of two spreads down to the smallest double
  // neither underflows to 0 nor its inverse overflows.
  const long double spreads =
      std::fabs(static_cast<long double>(blob.DX)) * std::fabs(static_cast<long double>(blob.DY));
  const long double peak = 1.0L / std::sqrt(2 * std::numbers::pi_v<long double> * spreads);
  return peak > static_cast<long double>(std::numeric_limits<double>::max())
             ? std::numeric_limits<double>::infinity()
             : static_cast<double>(peak);
}

void CheckBlobDensities(const std::vector<TGauss3D>& blobs) {
  for (std::size_t i = 0; i < blobs.size(); ++i) {
    const TGauss3D& b = blobs[i];
    if (!b.Enabled) continue;
    const double peak = PeakDensity(b);
    if (!(peak <= kMaxPeakDensity))
      throw EInvalidStudyValue(FormatMessage(
          "blob %d is too dense for the tomography commands: spreads %g and %g give a peak "
          "density of %.3g, and at most %g keeps every sum finite",
          {int64_t(i + 1), static_cast<long double>(b.DX), static_cast<long double>(b.DY),
           static_cast<long double>(peak), static_cast<long double>(kMaxPeakDensity)}));
  }
}

std::uint64_t StudyPeakBytes(const TStudyOptions& options, bool sinogramOnly) {
  const std::uint64_t sinogram =
      8 * std::uint64_t(options.Geometry.Views) * std::uint64_t(options.Geometry.Detectors);
  // While the noise is drawn the clean sinogram and the noisy one are both held.
  const std::uint64_t projected = options.Photons ? 2 * sinogram : sinogram;
  if (sinogramOnly) return projected;
  std::uint64_t reconstructing = sinogram;
  switch (options.Method) {
    case TReconstructionMethod::Fbp:
      reconstructing += sinogram;  // the filtered views (and their few padding bins)
      break;
    case TReconstructionMethod::Sirt:
      reconstructing += 3 * sinogram;  // row weights, the ones they come from, the residual
      break;
    case TReconstructionMethod::Sart:
      reconstructing += sinogram;  // row weights
      break;
    case TReconstructionMethod::Cgls:
      reconstructing += 2 * sinogram;  // the residual and the projected direction
      break;
  }
  return std::max(projected, reconstructing);
}

std::string ApproximateSize(std::uint64_t bytes, bool roundUp) {
  static const char* const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
  // In tenths of the unit, so that the rounding is done on whole numbers.
  int unit = 0;
  std::uint64_t scale = 1;
  while (unit < 6 && bytes / scale >= 1000) {
    scale *= 1000;
    ++unit;
  }
  const std::uint64_t tenths = scale == 1 ? 10 * bytes : bytes / (scale / 10);
  const bool inexact = scale > 1 && bytes % (scale / 10) != 0;
  std::uint64_t shown = tenths + (roundUp && inexact ? 1 : 0);  // tenths of the unit
  // Two significant digits: one decimal below 10, none from 10 on.
  if (shown >= 100) shown = roundUp ? (shown + 9) / 10 * 10 : shown / 10 * 10;
  if (shown >= 10000 && unit < 6) {  // 999.5 kB rounded up is 1.0 MB
    shown /= 1000;
    ++unit;
  }
  char text[32];
  if (shown < 100 && unit > 0)
    std::snprintf(text, sizeof text, "%llu.%llu %s", static_cast<unsigned long long>(shown / 10),
                  static_cast<unsigned long long>(shown % 10), kUnits[unit]);
  else
    std::snprintf(text, sizeof text, "%llu %s", static_cast<unsigned long long>(shown / 10),
                  kUnits[unit]);
  return text;
}

std::optional<std::string> MemoryShortfall(std::uint64_t needed, std::uint64_t available) {
  if (needed <= available) return std::nullopt;
  return "needs about " + ApproximateSize(needed, true) + ", " + ApproximateSize(available, false) +
         " available";
}

}  // namespace quarvel
