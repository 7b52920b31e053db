#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <vector>

#include "base/Exception.h"
#include "tomo/ExactRay.h"
#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"

namespace quarvel {
namespace {

using real = long double;

constexpr real kLow = 1;
constexpr real kHigh = 20;
constexpr real kCentre = TScanGeometry::kCentre;

// A blob as the exact projector uses it: value = exp(LogPeak - Kx (x - MX)^2 - Ky (y - MY)^2)
// = sqrt(N(x; MX, DX) N(y; MY, DY)), in extended precision (so that spreads down to the
// smallest double keep finite coefficients).
struct TBlobTerms {
  real MX, MY, Kx, Ky, LogPeak;
};

// One blob along one ray s -> p0 + s u: log value = LogPeak - Depth - Curvature (s - Centre)^2.
struct TRayBlob {
  real Centre, Curvature, Top;  // Top = LogPeak - Depth, the largest log value on the line
  real Log(real s) const { return Top - Curvature * (s - Centre) * (s - Centre); }
  real Slope(real s) const { return -2 * Curvature * (s - Centre); }
};

std::vector<TBlobTerms> BlobTerms(const std::vector<TGauss3D>& blobs) {
  std::vector<TBlobTerms> terms;
  for (const TGauss3D& b : blobs) {
    // Both spreads negative give the same value as both positive (BlobValue multiplies
    // the two densities); one negative was refused by TPhantomDensity. An infinite
    // spread or mean gives 0 everywhere.
    const real dx = std::fabs(static_cast<real>(b.DX));
    const real dy = std::fabs(static_cast<real>(b.DY));
    if (std::isinf(dx) || std::isinf(dy) || std::isinf(b.MX) || std::isinf(b.MY)) continue;
    terms.push_back(
        {b.MX, b.MY, 1 / (4 * dx * dx), 1 / (4 * dy * dy),
         -0.5L * std::log(2 * std::numbers::pi_v<real>) - 0.5L * (std::log(dx) + std::log(dy))});
  }
  return terms;
}

// The integral of exp(top - curvature (s - centre)^2) over [a, b], a <= b. The erf
// difference is taken on the side where it does not cancel.
real GaussianPiece(const TRayBlob& blob, real a, real b) {
  const real root = std::sqrt(blob.Curvature);
  const real za = root * (a - blob.Centre);
  const real zb = root * (b - blob.Centre);
  real difference;
  if (za >= 0)
    difference = std::erfc(za) - std::erfc(zb);
  else if (zb <= 0)
    difference = std::erfc(-zb) - std::erfc(-za);
  else
    difference = std::erf(zb) - std::erf(za);
  return std::exp(blob.Top) * (std::sqrt(std::numbers::pi_v<real>) / 2) / root * difference;
}

// The smallest x in (0, limit] where d0 + d1 x + d2 x^2 (with d0 <= 0) reaches 0 again,
// or limit + 1 when it does not. Divisions are made only where their quotient lies
// within twice the limit, so nothing overflows.
real FirstRise(real d0, real d1, real d2, real limit) {
  const real none = limit + 1;
  real best = none;
  const auto consider = [&](real numerator, real denominator) {
    if (denominator == 0 || std::fabs(numerator) > 2 * limit * std::fabs(denominator)) return;
    const real x = numerator / denominator;
    if (x > 0 && x <= limit && x < best) best = x;
  };
  if (d2 == 0) {
    if (d1 > 0) consider(-d0, d1);
    return best;
  }
  const real disc = d1 * d1 - 4 * d2 * d0;
  if (disc < 0) return none;
  const real q = -(d1 + std::copysign(std::sqrt(disc), d1)) / 2;
  consider(q, d2);
  consider(d0, q);
  return best;
}

// The index of the blob largest at s; ties go to the one that grows faster there, then
// to the one that bends less (the larger after s).
std::size_t Largest(const std::vector<TRayBlob>& ray, real s) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < ray.size(); ++i) {
    const real a = ray[i].Log(s), b = ray[best].Log(s);
    if (a > b || (a == b && (ray[i].Slope(s) > ray[best].Slope(s) ||
                             (ray[i].Slope(s) == ray[best].Slope(s) &&
                              ray[i].Curvature < ray[best].Curvature))))
      best = i;
  }
  return best;
}

// The integral of the largest blob along the chord [s0, s1]: walks the chord from one
// change of the largest blob to the next. Each step moves by at least one unit in the
// last place; the walk ends after a bounded number of steps in any case (the upper
// envelope of n such parabolas has at most 2n - 1 pieces). A step looks at every blob, so a
// ray through thousands of them takes up to seconds: the stop is heard per step, and the
// sum of a stopped walk is partial (the caller raises ECancelled).
real EnvelopeIntegral(const std::vector<TRayBlob>& ray, real s0, real s1,
                      const std::stop_token& stop) {
  real total = 0;
  real s = s0;
  const std::size_t maxSteps = 16 * ray.size() + 64;
  for (std::size_t step = 0; s < s1 && !StopRequested(stop); ++step) {
    const std::size_t b = Largest(ray, s);
    real end = s1;
    if (step < maxSteps) {
      const real limit = s1 - s;
      for (std::size_t c = 0; c < ray.size(); ++c) {
        if (c == b) continue;
        const real d0 = ray[c].Log(s) - ray[b].Log(s);
        const real d1 = ray[c].Slope(s) - ray[b].Slope(s);
        const real d2 = ray[b].Curvature - ray[c].Curvature;
        const real x = FirstRise(d0, d1, d2, limit);
        if (x <= limit) end = std::min(end, s + x);
      }
      end = std::max(end, std::nextafter(s, s1));
    }
    total += GaussianPiece(ray[b], s, end);
    s = end;
  }
  return total;
}

// The chord of the ray p0 + s u through the closed square [1, 20]^2, as [s0, s1]; false
// when the ray misses it.
bool Chord(real px, real py, real ux, real uy, real& s0, real& s1) {
  s0 = -std::numeric_limits<real>::infinity();
  s1 = std::numeric_limits<real>::infinity();
  const auto slab = [&](real p, real u) {
    if (u == 0) return kLow <= p && p <= kHigh;
    const real a = (kLow - p) / u, b = (kHigh - p) / u;
    s0 = std::max(s0, std::min(a, b));
    s1 = std::min(s1, std::max(a, b));
    return true;
  };
  return slab(px, ux) && slab(py, uy) && s0 < s1;
}

}  // namespace

TPhantomDensity::TPhantomDensity(const std::vector<TGauss3D>& blobs) {
  for (const TGauss3D& b : blobs) {
    if (!b.Enabled) continue;
    // The errors BlobValue raises for such a blob; checked here without evaluating it, as
    // its value at the mean may not fit a double (a spread near the smallest double).
    if (std::isnan(b.MX) || std::isnan(b.MY) || std::isnan(b.DX) || std::isnan(b.DY) ||
        (b.DX < 0) != (b.DY < 0))
      throw EInvalidOp();
    if (b.DX == 0 || b.DY == 0) throw EZeroDivide();
    enabled_.push_back(b);
  }
}

double TPhantomDensity::Value(double x, double y) const {
  if (!(x >= kLow && x <= kHigh && y >= kLow && y <= kHigh)) return 0;
  double value = 0;
  for (const TGauss3D& b : enabled_) value = std::max(value, b.BlobValue(x, y));
  return value;
}

TArray2D ProjectExact(const TPhantomDensity& phantom, const TScanGeometry& geometry, int size,
                      const std::stop_token& stop, int threads) {
  if (IsFan(geometry)) return ProjectExactFan(phantom, geometry, size, stop, threads);
  joseph::CheckParallelGeometry(geometry, "the exact projector");
  CheckImageSize({size, size});
  const std::vector<TBlobTerms> blobs = BlobTerms(phantom.EnabledBlobs());
  TArray2D sinogram(geometry.Views, geometry.Detectors);
  if (blobs.empty()) return sinogram;
  // The pixel 19 / (N - 1) and the bins' positions in model units, as the viewer's
  // 19.0 / 127 and t * 19 / 127 for N = 128.
  const real step = PixelSize(size);
  const double cells = size - 1;
  ParallelRanges(geometry.Views, threads, [&](int begin, int end) {
    std::vector<TRayBlob> ray(blobs.size());
    for (int k = begin; k < end && !StopRequested(stop); ++k) {
      const real c = geometry.Cos(k), s = geometry.Sin(k);
      const real ux = -s, uy = c;
      // A ray through thousands of blobs takes milliseconds or more: the stop is heard per
      // ray and within it.
      for (int j = 0; j < geometry.Detectors && !StopRequested(stop); ++j) {
        const real t = geometry.BinCells(j) * 19 / cells;
        const real px = kCentre + t * c, py = kCentre + t * s;
        real s0 = 0, s1 = 0;
        if (!Chord(px, py, ux, uy, s0, s1)) continue;
        for (std::size_t i = 0; i < blobs.size(); ++i) {
          const TBlobTerms& b = blobs[i];
          const real ex = px - b.MX, ey = py - b.MY;
          const real curvature = b.Kx * ux * ux + b.Ky * uy * uy;
          const real centre = -(b.Kx * ex * ux + b.Ky * ey * uy) / curvature;
          const real dx = ex + centre * ux, dy = ey + centre * uy;
          ray[i] = {centre, curvature, b.LogPeak - (b.Kx * dx * dx + b.Ky * dy * dy)};
        }
        sinogram.At(k, j) = static_cast<double>(EnvelopeIntegral(ray, s0, s1, stop) / step);
      }
    }
  });
  ThrowIfStopped(stop);
  return sinogram;
}

// The same integral as ProjectExact's, along a line of the caller's.
struct exact::TLineIntegrator::TState {
  std::vector<TBlobTerms> Blobs;
  std::vector<TRayBlob> Ray;
};

exact::TLineIntegrator::TLineIntegrator(const TPhantomDensity& phantom)
    : state_(std::make_unique<TState>()) {
  state_->Blobs = BlobTerms(phantom.EnabledBlobs());
  state_->Ray.resize(state_->Blobs.size());
}

exact::TLineIntegrator::~TLineIntegrator() = default;

bool exact::TLineIntegrator::Empty() const { return state_->Blobs.empty(); }

long double exact::TLineIntegrator::Integral(long double px, long double py, long double ux,
                                             long double uy, const std::stop_token& stop) {
  real s0 = 0, s1 = 0;
  if (Empty() || !Chord(px, py, ux, uy, s0, s1)) return 0;
  std::vector<TRayBlob>& ray = state_->Ray;
  for (std::size_t i = 0; i < state_->Blobs.size(); ++i) {
    const TBlobTerms& b = state_->Blobs[i];
    const real ex = px - b.MX, ey = py - b.MY;
    const real curvature = b.Kx * ux * ux + b.Ky * uy * uy;
    const real centre = -(b.Kx * ex * ux + b.Ky * ey * uy) / curvature;
    const real dx = ex + centre * ux, dy = ey + centre * uy;
    ray[i] = {centre, curvature, b.LogPeak - (b.Kx * dx * dx + b.Ky * dy * dy)};
  }
  return EnvelopeIntegral(ray, s0, s1, stop);
}

}  // namespace quarvel
