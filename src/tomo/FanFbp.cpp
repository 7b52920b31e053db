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
#include "tomo/Wide.h"

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

// One view as the back-projection reads it: its angle's cosine and sine, and its line.
struct TBackView {
  double Cos, Sin;
  const double* Line;
};

// What every view shares: R, the positions per unit of across / depth and the origin's
// position, the largest position read (clamped there, as below 1: both cells are zero
// padding), and the weight's numerator.
struct TBackGeometry {
  double Source, PerTangent, Origin, High, Weight;
};

// The arc's views are resampled this many times finer than its bins at the centre.
constexpr double kOversample = 2;

// row[ix] += weight / d^2 times the view's line at across / d, for the image's row at y
// (relative to the centre; x = ix - cx).
inline double BackProjectPoint(double x, double y, const TBackView& v, const TBackGeometry& g) {
  const double depth = g.Source + (y * v.Cos - x * v.Sin);
  const double across = x * v.Cos + y * v.Sin;
  const double reciprocal = 1 / depth;
  const double u = std::min(std::max(across * reciprocal * g.PerTangent + g.Origin, 1.0), g.High);
  const int i = static_cast<int>(u);
  const double f = u - i;
  return g.Weight * reciprocal * reciprocal * ((1 - f) * v.Line[i] + f * v.Line[i + 1]);
}

void BackProjectRowPlain(double* row, int columns, double y, double cx, const TBackView& v,
                         const TBackGeometry& g) {
  for (int ix = 0; ix < columns; ++ix) row[ix] += BackProjectPoint(ix - cx, y, v, g);
}

#ifdef QUARVEL_WIDE_LOOPS
// Four points at a time, the rest as above; every lane computes what BackProjectPoint does.
__attribute__((target("avx2"))) void BackProjectRowWide(double* row, int columns, double y,
                                                        double cx, const TBackView& v,
                                                        const TBackGeometry& g) {
  const __m256d yc = _mm256_set1_pd(y * v.Cos), ys = _mm256_set1_pd(y * v.Sin);
  const __m256d c = _mm256_set1_pd(v.Cos), s = _mm256_set1_pd(v.Sin);
  const __m256d source = _mm256_set1_pd(g.Source), per = _mm256_set1_pd(g.PerTangent);
  const __m256d origin = _mm256_set1_pd(g.Origin), high = _mm256_set1_pd(g.High);
  const __m256d one = _mm256_set1_pd(1.0), weight = _mm256_set1_pd(g.Weight);
  const __m256d four = _mm256_set1_pd(4);
  __m256d x = _mm256_setr_pd(0 - cx, 1 - cx, 2 - cx, 3 - cx);
  int ix = 0;
  for (; ix + 4 <= columns; ix += 4) {
    const __m256d depth = _mm256_add_pd(source, _mm256_sub_pd(yc, _mm256_mul_pd(x, s)));
    const __m256d across = _mm256_add_pd(_mm256_mul_pd(x, c), ys);
    const __m256d reciprocal = _mm256_div_pd(one, depth);
    const __m256d u = _mm256_min_pd(
        _mm256_max_pd(_mm256_add_pd(_mm256_mul_pd(_mm256_mul_pd(across, reciprocal), per), origin),
                      one),
        high);
    const __m256d value =
        _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(weight, reciprocal), reciprocal),
                      wide::Interpolate4(v.Line, u));
    _mm256_storeu_pd(row + ix, _mm256_add_pd(_mm256_loadu_pd(row + ix), value));
    x = _mm256_add_pd(x, four);
  }
  for (; ix < columns; ++ix) row[ix] += BackProjectPoint(ix - cx, y, v, g);
}
#endif

void BackProjectRow(double* row, int columns, double y, double cx, const TBackView& v,
                    const TBackGeometry& g, bool wideLoop) {
#ifdef QUARVEL_WIDE_LOOPS
  if (wideLoop) {
    BackProjectRowWide(row, columns, y, cx, v, g);
    return;
  }
#endif
  (void)wideLoop;
  BackProjectRowPlain(row, columns, y, cx, v, g);
}

// Zero bins on each side of a filtered view: positions are clamped to [-2, M + 1].
constexpr int kViewPad = 3;

}  // namespace

double RedundancyWeight(const TScanGeometry& geometry, int view, int bin) {
  const TScan scan = ScanOf(geometry);
  return Redundancy(scan.Arc, scan.Position[view], FanAngle(geometry, bin));
}

TArray2D ReconstructFbpFan(const TArrayView& sinogram, const TScanGeometry& geometry,
                           const TImageSize& size, const TFbpOptions& options,
                           const std::stop_token& stop, int threads) {
  CheckFanGeometry(geometry, size);
  CheckFbpOptions(options);
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors || !sinogram.Data)
    throw EInvalidStudyValue(
        FormatFixedMessage("the sinogram must have %d views of %d bins, not %d of %d",
                           {int64_t{geometry.Views}, int64_t{geometry.Detectors},
                            int64_t{sinogram.Rows}, int64_t{sinogram.Columns}}));
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
    for (int pair = begin; pair < end && !StopRequested(stop); ++pair) {
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

  // The back-projection reads every view on a line at the detector's central ray's
  // distance from the source, where a point at depth d (along e from the source) and
  // `across` (along a) lands at across / d. The flat detector is such a line already
  // (its bins scaled by (R + D) / R); the arc's filtered view is resampled on it, kOversample
  // times finer than its bins at the centre, each value times cos^2 gamma, so that both
  // add weight / d^2 times the line's value: R^2 / U^2 (flat), R cos^2 gamma / (L cos gamma)^2
  // = R / L^2 (arc, R in its scale).
  std::vector<TBackView> lines(views);
  int lineLength = stride;
  double perTangent = reach / geometry.Spacing;  // positions per unit of across / d
  double origin = (detectors - 1) / 2.0 - geometry.Offset + kViewPad;
  std::vector<double> resampled;
  if (arcDetector) {
    const double lowest = std::tan(std::min(gammas.front(), gammas.back()));
    const double highest = std::tan(std::max(gammas.front(), gammas.back()));
    perTangent = kOversample / alpha;
    const int count = static_cast<int>(std::ceil((highest - lowest) * perTangent)) + 1;
    lineLength = count + 2 * kViewPad;
    origin = kViewPad - lowest * perTangent;
    resampled.resize(std::size_t(views) * lineLength);
    const double centreBin = (detectors - 1) / 2.0 - geometry.Offset + kViewPad;
    const double high = detectors + 1.0 + kViewPad;
    ParallelRanges(views, threads, [&](int begin, int end) {
      for (int k = begin; k < end && !StopRequested(stop); ++k) {
        const double* q = &filtered[std::size_t(k) * stride];
        double* line = &resampled[std::size_t(k) * lineLength];
        for (int i = 0; i < count; ++i) {
          const double tangent = lowest + i / perTangent;
          const double u = std::min(
              std::max(std::atan(tangent) * (reach / geometry.Spacing) + centreBin, 1.0), high);
          const int n = static_cast<int>(u);
          const double f = u - n;
          line[kViewPad + i] = ((1 - f) * q[n] + f * q[n + 1]) / (1 + tangent * tangent);
        }
      }
    });
    ThrowIfStopped(stop);
  }
  const double weight = arcDetector ? 1 : r * r;
  const double* source = arcDetector ? resampled.data() : filtered.data();
  for (int k = 0; k < views; ++k)
    lines[k] = {geometry.Cos(k), geometry.Sin(k), source + std::size_t(k) * lineLength};
  const TBackGeometry back{r, perTangent, origin, double(lineLength - kViewPad + 1), weight};
  const double cx = (size.Columns - 1) / 2.0, cy = (size.Rows - 1) / 2.0;
  TArray2D image(size.Rows, size.Columns);
  const bool wideLoop = wide::Enabled();
  constexpr int kViewBlock = 32;
  ParallelRanges(size.Rows, threads, [&](int begin, int end) {
    for (int first = 0; first < views && !StopRequested(stop); first += kViewBlock) {
      const int last = std::min(views, first + kViewBlock);
      // A block over a band of a large image takes tens of milliseconds: the stop is heard
      // per row as well.
      for (int iy = begin; iy < end && !StopRequested(stop); ++iy)
        for (int k = first; k < last; ++k)
          BackProjectRow(&image.At(iy, 0), size.Columns, iy - cy, cx, lines[k], back, wideLoop);
    }
  });
  ThrowIfStopped(stop);
  return image;
}

}  // namespace quarvel
