#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"

namespace quarvel {
namespace {

using std::numbers::pi;

// The fan's views in the order of their angles, to find the two around any angle.
class TViewFinder {
 public:
  explicit TViewFinder(const TScanGeometry& geometry) : order_(geometry.Views) {
    std::iota(order_.begin(), order_.end(), 0);
    std::stable_sort(order_.begin(), order_.end(), [&](int p, int q) {
      return geometry.AngleRadians(p) < geometry.AngleRadians(q);
    });
    for (int k : order_) angles_.push_back(geometry.AngleRadians(k));
    const double span = angles_.back() - angles_.front();
    const double gap = geometry.Uniform()   ? geometry.ArcDegrees * (pi / 180) / geometry.Views
                       : geometry.Views > 1 ? span / (geometry.Views - 1)
                                            : 2 * pi;
    // A full turn closes the circle: the last view and the first, a turn on, are neighbours.
    full_ = span + gap >= 2 * pi * (1 - 1e-12);
  }

  // The views k0, k1 around the angle beta and the fraction of the way from k0 to k1;
  // false outside the measured arc.
  bool Find(double beta, int& k0, int& k1, double& fraction) const {
    const double first = angles_.front();
    double b = std::fmod(beta - first, 2 * pi);
    if (b < 0) b += 2 * pi;
    b += first;
    const auto above = std::upper_bound(angles_.begin(), angles_.end(), b);
    const std::size_t n = static_cast<std::size_t>(above - angles_.begin());
    if (n == angles_.size()) {
      if (b == angles_.back()) {
        k0 = k1 = order_.back();
        fraction = 0;
        return true;
      }
      if (!full_) return false;
      const double next = first + 2 * pi;
      k0 = order_.back();
      k1 = order_.front();
      fraction = (b - angles_.back()) / (next - angles_.back());
      return true;
    }
    if (n == 0) return false;  // only past a turn, which the fold above rules out
    k0 = order_[n - 1];
    k1 = order_[n];
    const double width = angles_[n] - angles_[n - 1];
    fraction = width > 0 ? (b - angles_[n - 1]) / width : 0;
    return true;
  }

 private:
  std::vector<int> order_;
  std::vector<double> angles_;
  bool full_ = false;
};

// The fractional bin of the fan's ray at gamma; false when it lies outside the bins.
bool BinAt(const TScanGeometry& fan, double gamma, int& j0, double& fraction) {
  const double reach = fan.SourceDistance + fan.DetectorDistance;
  const double u = fan.Beam == TBeam::FanArc ? reach * gamma : reach * std::tan(gamma);
  const double position = u / fan.Spacing - fan.Offset + (fan.Detectors - 1) / 2.0;
  if (!(position >= 0 && position <= fan.Detectors - 1)) return false;
  j0 = std::min(static_cast<int>(position), fan.Detectors - 2);
  fraction = position - j0;
  return true;
}

}  // namespace

TScanGeometry RebinnedGeometry(const TScanGeometry& fan) {
  CheckGeometry(fan);
  TScanGeometry parallel;
  double arc = fan.ArcDegrees;
  if (!fan.Uniform()) {
    const auto [low, high] = std::minmax_element(fan.Angles.begin(), fan.Angles.end());
    arc = fan.Views > 1 ? (*high - *low) * fan.Views / (fan.Views - 1) : 360;
  }
  parallel.ArcDegrees = 180;
  parallel.Views =
      static_cast<int>(std::clamp(std::lround(fan.Views * 180 / std::max(arc, 1e-9)), 1L, 100000L));
  const double r = fan.SourceDistance;
  parallel.Spacing = fan.Spacing * r / (r + fan.DetectorDistance);
  const double gamma =
      std::max(std::fabs(FanAngle(fan, 0)), std::fabs(FanAngle(fan, fan.Detectors - 1)));
  const double reach = r * std::sin(gamma) / parallel.Spacing;
  parallel.Detectors = static_cast<int>(std::clamp(2 * std::ceil(reach) + 2, 2.0, 10000.0));
  return parallel;
}

TArray2D RebinToParallel(const TArrayView& sinogram, const TScanGeometry& fan,
                         const TScanGeometry& parallel) {
  CheckGeometry(fan);
  CheckGeometry(parallel);
  if (!IsFan(fan) || IsFan(parallel))
    throw EInvalidGeometry("rebinning takes a fan geometry to a parallel one");
  if (!(std::isfinite(fan.SourceDistance) && fan.SourceDistance > 0))
    throw EInvalidGeometry(
        FormatFixedMessage("source distance must be finite and greater than 0, not %g",
                           {static_cast<long double>(fan.SourceDistance)}));
  if (sinogram.Rows != fan.Views || sinogram.Columns != fan.Detectors)
    throw EInvalidStudyValue(
        FormatFixedMessage("the sinogram must have %d views of %d bins, not %d of %d",
                           {int64_t{fan.Views}, int64_t{fan.Detectors}, int64_t{sinogram.Rows},
                            int64_t{sinogram.Columns}}));
  const TViewFinder finder(fan);
  const double r = fan.SourceDistance;
  TArray2D out(parallel.Views, parallel.Detectors);
  for (int k = 0; k < parallel.Views; ++k) {
    const double theta = parallel.AngleRadians(k);
    for (int j = 0; j < parallel.Detectors; ++j) {
      const double t = parallel.BinCells(j);
      if (!(std::fabs(t) < r)) continue;
      const double gamma = std::asin(t / r);
      // The ray (theta, t) and the same line the other way, (theta + pi, -t).
      double sum = 0;
      int found = 0;
      for (const auto& [beta, g] :
           {std::pair{theta + gamma, gamma}, std::pair{theta + pi - gamma, -gamma}}) {
        int k0 = 0, k1 = 0, j0 = 0;
        double fv = 0, fb = 0;
        if (!finder.Find(beta, k0, k1, fv) || !BinAt(fan, g, j0, fb)) continue;
        const auto along = [&](int view) {
          return (1 - fb) * sinogram.At(view, j0) + fb * sinogram.At(view, j0 + 1);
        };
        sum += (1 - fv) * along(k0) + fv * along(k1);
        ++found;
      }
      out.At(k, j) = found > 0 ? sum / found : 0;
    }
  }
  return out;
}

}  // namespace quarvel
