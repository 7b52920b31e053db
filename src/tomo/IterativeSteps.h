#pragma once
// The iterative methods' steps, written once over a projector pair: the parallel beam's
// and the fan beam's SIRT and CGLS are the same arithmetic over different rays, and SART
// takes its views in one order for both. Internal to the core.
//
// An operator A offers
//   using Lines = ...;                                 // an image laid out for A's walks
//   TImageSize Size() const;
//   void Project(const Lines& image, TArray2D& out) const;   // out = A image, per view
//   TArray2D BackProject(const TArray2D& values) const;      // A^T values, [iy][ix]
// with Lines constructible from a TImageSize (zeros) and from an image, and
// Lines::Set(ix, iy, v) setting one cell. Both raise ECancelled on a stop; every sum
// keeps its order whatever the thread count, so the results do not depend on it.

#include <algorithm>
#include <cmath>
#include <vector>

#include "tomo/Parallel.h"
#include "tomo/Reconstruction.h"

namespace quarvel::iterative {

// Weights below this count as no weight (a ray or a cell that the projector misses): the
// interpolation weights are multiples of about 1e-16, so nothing real lies below it.
inline constexpr double kNoWeight = 1e-12;

inline double Inverse(double w) { return w > kNoWeight ? 1 / w : 0; }

inline TArray2D Filled(int rows, int columns, double value) {
  TArray2D array(rows, columns);
  std::fill(array.Values.begin(), array.Values.end(), value);
  return array;
}

inline void Report(const TIterativeOptions& options, int iteration, const TArray2D& image) {
  if (options.Iterate) options.Iterate(iteration, image);
  if (options.Progress) options.Progress(iteration);
}

// Sums in a fixed order (element after element), whatever the thread count.
inline double SquaredNorm(const std::vector<double>& values) {
  long double sum = 0;
  for (double v : values) sum += static_cast<long double>(v) * v;
  return static_cast<double>(sum);
}

// The order of the views in SART: view i * step mod N, with step the number coprime to
// N nearest N / 1.618 (golden ratio), so that consecutive views lie far apart. For 10
// views: 6 and 5 share a factor with 10, so the step is 7 and the order 0 7 4 1 8 5 2 9 6 3.
std::vector<int> ViewOrder(int views);

// SIRT from x = 0: x += lambda C A^T R (b - A x), R and C the inverse row and column
// sums of A, negative cells set to 0 after each update when asked.
template <class Operator>
TArray2D Sirt(const TArrayView& sinogram, const Operator& a, const TIterativeOptions& options,
              const std::stop_token& stop) {
  using Lines = typename Operator::Lines;
  const TImageSize size = a.Size();
  const int detectors = sinogram.Columns;
  TArray2D rowWeights(sinogram.Rows, detectors);
  a.Project(Lines(Filled(size.Rows, size.Columns, 1)), rowWeights);
  for (double& w : rowWeights.Values) w = Inverse(w);
  TArray2D columnWeights = a.BackProject(Filled(sinogram.Rows, detectors, 1));
  for (double& w : columnWeights.Values) w = Inverse(w);

  const double lambda = options.Relaxation;
  TArray2D x(size.Rows, size.Columns);
  Lines lines(size);
  TArray2D residual(sinogram.Rows, detectors);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    a.Project(lines, residual);
    for (int k = 0; k < sinogram.Rows; ++k)
      for (int j = 0; j < detectors; ++j)
        residual.At(k, j) = (sinogram.At(k, j) - residual.At(k, j)) * rowWeights.At(k, j);
    const TArray2D update = a.BackProject(residual);
    for (int iy = 0; iy < size.Rows; ++iy)
      for (int ix = 0; ix < size.Columns; ++ix) {
        // lambda = 1 multiplies exactly: the plain step's bits.
        double v = x.At(iy, ix) + lambda * (update.At(iy, ix) * columnWeights.At(iy, ix));
        if (options.NonNegative && v < 0) v = 0;
        x.At(iy, ix) = v;
        lines.Set(ix, iy, v);
      }
    Report(options, iteration, x);
  }
  return x;
}

// CGLS (conjugate gradients on A^T A x = A^T b), from x = 0:
//   r = b, s = A^T r, p = s, gamma = |s|^2; then each iteration
//   q = A p, alpha = gamma / |q|^2, x += alpha p, r -= alpha q,
//   s = A^T r, gamma' = |s|^2, p = s + (gamma' / gamma) p.
template <class Operator>
TArray2D Cgls(const TArrayView& sinogram, const Operator& a, const TIterativeOptions& options,
              const std::stop_token& stop) {
  using Lines = typename Operator::Lines;
  const TImageSize size = a.Size();
  TArray2D x(size.Rows, size.Columns);
  TArray2D r(sinogram);  // the residual b - A x, from x = 0
  TArray2D s = a.BackProject(r);
  TArray2D p = s;
  double gamma = SquaredNorm(s.Values);
  TArray2D q(sinogram.Rows, sinogram.Columns);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    if (gamma > 0) {
      a.Project(Lines(p), q);
      const double qq = SquaredNorm(q.Values);
      if (qq > 0 && std::isfinite(qq)) {
        const double alpha = gamma / qq;
        for (std::size_t i = 0; i < x.Values.size(); ++i) x.Values[i] += alpha * p.Values[i];
        for (std::size_t i = 0; i < r.Values.size(); ++i) r.Values[i] -= alpha * q.Values[i];
        s = a.BackProject(r);
        const double next = SquaredNorm(s.Values);
        const double beta = next / gamma;
        for (std::size_t i = 0; i < p.Values.size(); ++i)
          p.Values[i] = s.Values[i] + beta * p.Values[i];
        gamma = next;
      } else {
        gamma = 0;  // p lies in the null space of A: nothing more to gain
      }
    }
    Report(options, iteration, x);
  }
  return x;
}

}  // namespace quarvel::iterative
