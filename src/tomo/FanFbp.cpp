#include <kissfft/kissfft.hh>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/FbpFilter.h"
#include "tomo/Parallel.h"

namespace quarvel {
namespace {

using std::numbers::pi;
using TComplex = std::complex<double>;

// Where each view lies in the scan and the arc it stands for (radians): the scan covers
// [0, Arc), view k its piece around Position[k], Share[k] wide.
struct TScan {
  double Arc = 0;
  std::vector<double> Position, Share;
};

TScan ScanOf(const TScanGeometry& geometry) {
  const int views = geometry.Views;
  TScan scan;
  scan.Position.resize(views);
  scan.Share.resize(views);
  if (geometry.Uniform()) {
    const double share = geometry.ArcDegrees * (pi / 180) / views;
    scan.Arc = geometry.ArcDegrees * (pi / 180);
    for (int k = 0; k < views; ++k) {
      scan.Position[k] = (k + 0.5) * share;
      scan.Share[k] = share;
    }
    return scan;
  }
  // Measured angles: in order, each view stands for half the gaps to its neighbours, and
  // the ends reach half a mean gap beyond the first and the last.
  std::vector<int> order(views);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int p, int q) {
    return geometry.AngleRadians(p) < geometry.AngleRadians(q);
  });
  const double first = geometry.AngleRadians(order.front());
  const double span = geometry.AngleRadians(order.back()) - first;
  const double gap = views > 1 && span > 0 ? span / (views - 1) : 2 * pi / views;
  scan.Arc = span + gap;
  for (int n = 0; n < views; ++n) {
    const int k = order[n];
    const double here = geometry.AngleRadians(k) - first;
    const double before = n > 0 ? geometry.AngleRadians(order[n - 1]) - first : here - gap;
    const double after = n + 1 < views ? geometry.AngleRadians(order[n + 1]) - first : here + gap;
    scan.Position[k] = here + gap / 2;
    scan.Share[k] = (after - before) / 2;
  }
  return scan;
}

// The redundancy weight at `position` in a scan of `arc` for a ray at gamma: Parker's
// weights with the overscan (arc - pi) / 2 in place of the fan's half-angle. A ray and its
// conjugate (at position + pi - 2 gamma, at -gamma) add up to 1.
double Redundancy(double arc, double position, double gamma) {
  if (arc >= 2 * pi * (1 - 1e-12)) return pi / arc;
  const double overscan = (arc - pi) / 2;
  const double rise = overscan + gamma, fall = overscan - gamma;
  const auto taper = [](double x) {
    const double s = std::sin(pi / 4 * x);
    return s * s;
  };
  if (rise > 0 && position < 2 * rise) return taper(position / rise);
  if (fall > 0 && position > arc - 2 * fall) return taper((arc - position) / fall);
  return 1;
}

// Zero bins on each side of a filtered view: positions are clamped to [-2, M + 1].
constexpr int kViewPad = 3;

}  // namespace

double RedundancyWeight(const TScanGeometry& geometry, int view, int bin) {
  const TScan scan = ScanOf(geometry);
  return Redundancy(scan.Arc, scan.Position[view], FanAngle(geometry, bin));
}

TArray2D ReconstructFbpFan(const TArray2D& sinogram, const TScanGeometry& geometry,
                           const TImageSize& size, const TFbpOptions& options,
                           const std::stop_token& stop, int threads) {
  CheckFanGeometry(geometry, size);
  CheckFbpOptions(options);
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors ||
      sinogram.Values.size() != std::size_t(sinogram.Rows) * std::size_t(sinogram.Columns))
    throw EInvalidStudyValue(
        FormatMessage("the sinogram must have %d views of %d bins, not %d of %d",
                      {int64_t{geometry.Views}, int64_t{geometry.Detectors}, int64_t{sinogram.Rows},
                       int64_t{sinogram.Columns}}));
  const int views = geometry.Views, detectors = geometry.Detectors;
  const double r = geometry.SourceDistance, reach = r + geometry.DetectorDistance;
  const bool arcDetector = geometry.Beam == TBeam::FanArc;
  const TScan scan = ScanOf(geometry);
  std::vector<double> gammas(detectors);
  for (int j = 0; j < detectors; ++j) gammas[j] = FanAngle(geometry, j);

  // The kernel in bins: the ramp, for the arc times (n alpha / sin n alpha)^2 (placed up
  // to the farthest pair of bins only, where sin n alpha stays away from 0), and the
  // scale: R / alpha for the arc, 1 / a for the flat detector's spacing a at the centre.
  const int padded = filter::PaddedLength(detectors);
  const double alpha = geometry.Spacing / reach;
  const double scale = arcDetector ? r / alpha : reach / (geometry.Spacing * r);
  std::vector<TComplex> kernel(padded), spectrum(padded);
  const int reachBins = arcDetector ? detectors - 1 : padded / 2;
  for (int n = 0; n <= std::min(padded / 2, reachBins); ++n) {
    double value = filter::RampKernel(n);
    if (arcDetector && n > 0) {
      const double x = n * alpha;
      value *= (x / std::sin(x)) * (x / std::sin(x));
    }
    kernel[n] = value;
    kernel[(padded - n) % padded] = value;
  }
  kissfft<double>(padded, false).transform(kernel.data(), spectrum.data());
  std::vector<double> gains(padded);
  for (int i = 0; i < padded; ++i)
    gains[i] = spectrum[i].real() *
               filter::Window(options, double(std::min(i, padded - i)) / padded) * scale / padded;

  // Each view weighted (redundancy, cos gamma, its share of the scan) and filtered, two at
  // a time as the real and imaginary parts of one transform.
  const int stride = detectors + 2 * kViewPad;
  std::vector<double> filtered(std::size_t(views) * stride);
  const kissfft<double> forward(padded, false), inverse(padded, true);
  ParallelRanges((views + 1) / 2, threads, [&](int begin, int end) {
    std::vector<TComplex> buffer(padded), transformed(padded);
    for (int pair = begin; pair < end && !stop.stop_requested(); ++pair) {
      const int a = 2 * pair, b = std::min(a + 1, views - 1);
      std::fill(buffer.begin(), buffer.end(), TComplex());
      const auto weighted = [&](int k, int j) {
        return sinogram.At(k, j) * Redundancy(scan.Arc, scan.Position[k], gammas[j]) *
               std::cos(gammas[j]) * scan.Share[k];
      };
      for (int j = 0; j < detectors; ++j)
        buffer[j] = TComplex(weighted(a, j), b != a ? weighted(b, j) : 0.0);
      forward.transform(buffer.data(), transformed.data());
      for (int i = 0; i < padded; ++i) transformed[i] *= gains[i];
      inverse.transform(transformed.data(), buffer.data());
      for (int j = 0; j < detectors; ++j) {
        filtered[std::size_t(a) * stride + kViewPad + j] = buffer[j].real();
        if (b != a) filtered[std::size_t(b) * stride + kViewPad + j] = buffer[j].imag();
      }
    }
  });
  ThrowIfStopped(stop);

  // Back-projection: each pixel adds its views in order, with the distance weight.
  std::vector<double> cosines(views), sines(views);
  for (int k = 0; k < views; ++k) {
    cosines[k] = geometry.Cos(k);
    sines[k] = geometry.Sin(k);
  }
  const double centreBin = (detectors - 1) / 2.0 - geometry.Offset + kViewPad;
  const double binsPerUnit = reach / geometry.Spacing;  // per radian (arc), per tan (flat)
  const double high = detectors + 1.0 + kViewPad;
  const double cx = (size.Columns - 1) / 2.0, cy = (size.Rows - 1) / 2.0;
  TArray2D image(size.Rows, size.Columns);
  constexpr int kViewBlock = 32;
  ParallelRanges(size.Rows, threads, [&](int begin, int end) {
    for (int first = 0; first < views && !stop.stop_requested(); first += kViewBlock) {
      const int last = std::min(views, first + kViewBlock);
      for (int iy = begin; iy < end; ++iy) {
        const double y = iy - cy;
        double* row = &image.At(iy, 0);
        for (int k = first; k < last; ++k) {
          const double c = cosines[k], s = sines[k];
          const double* q = &filtered[std::size_t(k) * stride];
          for (int ix = 0; ix < size.Columns; ++ix) {
            const double x = ix - cx;
            const double depth = r + (y * c - x * s);  // the source's distance along e
            const double across = x * c + y * s;
            double position, weight;
            if (arcDetector) {
              position = std::atan2(across, depth) * binsPerUnit;
              weight = 1 / (across * across + depth * depth);
            } else {
              const double reciprocal = 1 / depth;
              position = across * reciprocal * binsPerUnit;
              weight = r * r * reciprocal * reciprocal;
            }
            const double u = std::min(std::max(position + centreBin, 1.0), high);
            const int i = static_cast<int>(u);
            const double f = u - i;
            row[ix] += weight * ((1 - f) * q[i] + f * q[i + 1]);
          }
        }
      }
    }
  });
  ThrowIfStopped(stop);
  return image;
}

}  // namespace quarvel
