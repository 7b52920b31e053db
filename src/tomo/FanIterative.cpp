#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/FanRays.h"
#include "tomo/Parallel.h"

namespace quarvel {
namespace {

using fan::kPad;

// Weights below this count as no weight (a ray or a cell that the projector misses).
constexpr double kNoWeight = 1e-12;

double Inverse(double w) { return w > kNoWeight ? 1 / w : 0; }

void CheckSinogramShape(const TArrayView& sinogram, const TScanGeometry& geometry) {
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors || !sinogram.Data)
    throw EInvalidStudyValue(
        FormatFixedMessage("the sinogram must have %d views of %d bins, not %d of %d",
                           {int64_t{geometry.Views}, int64_t{geometry.Detectors},
                            int64_t{sinogram.Rows}, int64_t{sinogram.Columns}}));
}

// A and its transpose over the whole sinogram, the work split as in ProjectGridFan and
// BackProjectGridFan. A stop is heard per view and raised as ECancelled.
struct TOperator {
  const fan::TRays& Rays;
  int Threads;
  std::stop_token Stop;

  void Project(const fan::TFanLines& image, TArray2D& out) const {
    ParallelRanges(Rays.Views, Threads, [&](int begin, int end) {
      for (int k = begin; k < end && !StopRequested(Stop); ++k)
        fan::ProjectView(Rays, image, k, &out.At(k, 0));
    });
    ThrowIfStopped(Stop);
  }
  TArray2D BackProject(const TArray2D& values) const {
    const TImageSize size = Rays.Size;
    fan::TFanLines lines(size);
    ParallelRanges(size.Rows + size.Columns, Threads, [&](int begin, int end) {
      const int rowBegin = std::min(begin, size.Rows), rowEnd = std::min(end, size.Rows);
      const int columnBegin = std::max(begin, size.Rows) - size.Rows;
      const int columnEnd = std::max(end, size.Rows) - size.Rows;
      for (int k = 0; k < Rays.Views && !StopRequested(Stop); ++k)
        fan::BackProjectView(Rays, k, values.Values.data() + std::size_t(k) * values.Columns,
                             rowBegin, rowEnd, columnBegin, columnEnd, lines.Rows.data(),
                             lines.Columns.data());
    });
    ThrowIfStopped(Stop);
    return fan::Combine(size, lines.Rows, lines.Columns);
  }
};

void Report(const TIterativeOptions& options, int iteration, const TArray2D& image) {
  if (options.Iterate) options.Iterate(iteration, image);
  if (options.Progress) options.Progress(iteration);
}

TArray2D Filled(int rows, int columns, double value) {
  TArray2D array(rows, columns);
  std::fill(array.Values.begin(), array.Values.end(), value);
  return array;
}

TArray2D Sirt(const TArrayView& sinogram, const TOperator& a, const TIterativeOptions& options,
              const std::stop_token& stop) {
  const TImageSize size = a.Rays.Size;
  TArray2D rowWeights(sinogram.Rows, sinogram.Columns);
  a.Project(fan::TFanLines(Filled(size.Rows, size.Columns, 1)), rowWeights);
  for (double& w : rowWeights.Values) w = Inverse(w);
  TArray2D columnWeights = a.BackProject(Filled(sinogram.Rows, sinogram.Columns, 1));
  for (double& w : columnWeights.Values) w = Inverse(w);

  const double lambda = options.Relaxation;
  TArray2D x(size.Rows, size.Columns);
  fan::TFanLines lines(size);
  TArray2D residual(sinogram.Rows, sinogram.Columns);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    a.Project(lines, residual);
    for (int k = 0; k < sinogram.Rows; ++k)
      for (int j = 0; j < sinogram.Columns; ++j)
        residual.At(k, j) = (sinogram.At(k, j) - residual.At(k, j)) * rowWeights.At(k, j);
    const TArray2D update = a.BackProject(residual);
    for (int iy = 0; iy < size.Rows; ++iy)
      for (int ix = 0; ix < size.Columns; ++ix) {
        double v = x.At(iy, ix) + lambda * (update.At(iy, ix) * columnWeights.At(iy, ix));
        if (options.NonNegative && v < 0) v = 0;
        x.At(iy, ix) = v;
        lines.Set(ix, iy, v);
      }
    Report(options, iteration, x);
  }
  return x;
}

// Views i * step mod N, step coprime to N nearest N / 1.618, as the parallel SART takes them.
std::vector<int> ViewOrder(int views) {
  int step = std::max(1, static_cast<int>(std::lround(views / std::numbers::phi)));
  for (int d = 0;; ++d) {
    if (step - d >= 1 && std::gcd(step - d, views) == 1) {
      step -= d;
      break;
    }
    if (std::gcd(step + d, views) == 1) {
      step += d;
      break;
    }
  }
  std::vector<int> order(views);
  for (int i = 0; i < views; ++i) order[i] = int((long(i) * step) % views);
  return order;
}

TArray2D Image(const fan::TFanLines& lines) {
  TArray2D image(lines.Size.Rows, lines.Size.Columns);
  for (int iy = 0; iy < lines.Size.Rows; ++iy)
    for (int ix = 0; ix < lines.Size.Columns; ++ix)
      image.At(iy, ix) = lines.Rows[std::size_t(iy) * lines.RowStride + kPad + ix];
  return image;
}

TArray2D Sart(const TArrayView& sinogram, const TOperator& a, const TIterativeOptions& options,
              const std::stop_token& stop) {
  const TImageSize size = a.Rays.Size;
  const int detectors = sinogram.Columns;
  TArray2D rowWeights(sinogram.Rows, detectors);
  a.Project(fan::TFanLines(Filled(size.Rows, size.Columns, 1)), rowWeights);
  for (double& w : rowWeights.Values) w = Inverse(w);

  fan::TFanLines x(size), update(size), weights(size);
  std::vector<double> projection(detectors), residual(detectors);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    for (int k : ViewOrder(sinogram.Rows)) {
      if (StopRequested(stop)) throw ECancelled();
      fan::ProjectView(a.Rays, x, k, projection.data());
      for (int j = 0; j < detectors; ++j)
        residual[j] = (sinogram.At(k, j) - projection[j]) * rowWeights.At(k, j);
      for (std::vector<double>* v :
           {&update.Rows, &update.Columns, &weights.Rows, &weights.Columns})
        std::fill(v->begin(), v->end(), 0.0);
      fan::BackProjectView(a.Rays, k, residual.data(), 0, size.Rows, 0, size.Columns,
                           update.Rows.data(), update.Columns.data(), weights.Rows.data(),
                           weights.Columns.data());
      const TArray2D change = fan::Combine(size, update.Rows, update.Columns);
      const TArray2D weight = fan::Combine(size, weights.Rows, weights.Columns);
      for (int iy = 0; iy < size.Rows; ++iy)
        for (int ix = 0; ix < size.Columns; ++ix) {
          const double w = weight.At(iy, ix);
          if (!(w > kNoWeight)) continue;
          double v = x.Rows[std::size_t(iy) * x.RowStride + kPad + ix] +
                     options.Relaxation * (change.At(iy, ix) / w);
          if (options.NonNegative && v < 0) v = 0;
          x.Set(ix, iy, v);
        }
    }
    Report(options, iteration, Image(x));
  }
  return Image(x);
}

double SquaredNorm(const std::vector<double>& values) {
  long double sum = 0;
  for (double v : values) sum += static_cast<long double>(v) * v;
  return static_cast<double>(sum);
}

// CGLS from x = 0, as the parallel one: r = b, s = p = A^T r, gamma = |s|^2; then
// q = A p, alpha = gamma / |q|^2, x += alpha p, r -= alpha q, s = A^T r, p = s + beta p.
TArray2D Cgls(const TArrayView& sinogram, const TOperator& a, const TIterativeOptions& options,
              const std::stop_token& stop) {
  const TImageSize size = a.Rays.Size;
  TArray2D x(size.Rows, size.Columns);
  TArray2D r(sinogram);
  TArray2D s = a.BackProject(r);
  TArray2D p = s;
  double gamma = SquaredNorm(s.Values);
  TArray2D q(sinogram.Rows, sinogram.Columns);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    if (gamma > 0) {
      a.Project(fan::TFanLines(p), q);
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
        gamma = 0;
      }
    }
    Report(options, iteration, x);
  }
  return x;
}

}  // namespace

TArray2D ReconstructIterativeFan(const TArrayView& sinogram, const TScanGeometry& geometry,
                                 const TIterativeOptions& options, const TImageSize& size,
                                 const std::stop_token& stop, int threads) {
  CheckIterativeOptions(options);
  CheckFanGeometry(geometry, size);
  CheckSinogramShape(sinogram, geometry);
  const fan::TRays rays(geometry, size);
  const TOperator a{rays, threads, stop};
  switch (options.Method) {
    case TIterativeMethod::Sirt:
      return Sirt(sinogram, a, options, stop);
    case TIterativeMethod::Sart:
      return Sart(sinogram, a, options, stop);
    case TIterativeMethod::Cgls:
      break;
  }
  return Cgls(sinogram, a, options, stop);
}

}  // namespace quarvel
