#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Reconstruction.h"

namespace quarvel {
namespace {

using joseph::TLines;
using joseph::TView;

// Weights below this count as no weight (a ray or a cell that the projector misses): the
// interpolation weights are multiples of about 1e-16, so nothing real lies below it.
constexpr double kNoWeight = 1e-12;

double Inverse(double w) { return w > kNoWeight ? 1 / w : 0; }

// A * image for every view, the views split over the threads. A stop is heard per view
// and raised as ECancelled.
void ProjectAll(const TLines& image, const std::vector<TView>& views, TArray2D& out,
                const std::stop_token& stop, int threads) {
  ParallelRanges(static_cast<int>(views.size()), threads, [&](int begin, int end) {
    for (int k = begin; k < end && !StopRequested(stop); ++k)
      joseph::ProjectView(image, views[k], &out.At(k, 0));
  });
  ThrowIfStopped(stop);
}

// A^T * values as an image [iy][ix]: lines split over the threads, each line taking the
// views in order (rows from the views along rows, columns from the others). A stop is
// heard per view and raised as ECancelled.
TArray2D BackProjectAll(const TArray2D& values, const std::vector<TView>& views,
                        const TImageSize& size, const std::stop_token& stop, int threads) {
  TLines lines(size);
  ParallelRanges(std::max(size.Rows, size.Columns), threads, [&](int begin, int end) {
    for (std::size_t k = 0; k < views.size() && !StopRequested(stop); ++k)
      joseph::BackProjectView(views[k], values.Values.data() + k * std::size_t(values.Columns),
                              begin, end,
                              views[k].AlongRows ? lines.Rows.data() : lines.Columns.data());
  });
  ThrowIfStopped(stop);
  TArray2D image(size.Rows, size.Columns);
  for (int iy = 0; iy < size.Rows; ++iy)
    for (int ix = 0; ix < size.Columns; ++ix)
      image.At(iy, ix) =
          lines.Rows[lines.Shape.RowAt(ix, iy)] + lines.Columns[lines.Shape.ColumnAt(ix, iy)];
  return image;
}

void Report(const TIterativeOptions& options, int iteration, const TArray2D& image) {
  if (options.Iterate) options.Iterate(iteration, image);
  if (options.Progress) options.Progress(iteration);
}

TArray2D Sirt(const TArrayView& sinogram, const std::vector<TView>& views, const TImageSize& size,
              const TIterativeOptions& options, const std::stop_token& stop, int threads) {
  const int detectors = sinogram.Columns;
  TArray2D ones(size.Rows, size.Columns);
  std::fill(ones.Values.begin(), ones.Values.end(), 1.0);
  TArray2D rowWeights(sinogram.Rows, detectors);
  ProjectAll(TLines(ones), views, rowWeights, stop, threads);
  for (double& w : rowWeights.Values) w = Inverse(w);
  TArray2D allOnes(sinogram.Rows, detectors);
  std::fill(allOnes.Values.begin(), allOnes.Values.end(), 1.0);
  TArray2D columnWeights = BackProjectAll(allOnes, views, size, stop, threads);
  for (double& w : columnWeights.Values) w = Inverse(w);

  const double lambda = options.Relaxation;
  TArray2D x(size.Rows, size.Columns);
  TLines lines(x);
  TArray2D residual(sinogram.Rows, detectors);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    ProjectAll(lines, views, residual, stop, threads);
    for (int k = 0; k < sinogram.Rows; ++k)
      for (int j = 0; j < detectors; ++j)
        residual.At(k, j) = (sinogram.At(k, j) - residual.At(k, j)) * rowWeights.At(k, j);
    const TArray2D update = BackProjectAll(residual, views, size, stop, threads);
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

// The order of the views in SART: view i * step mod N, with step the number coprime to
// N nearest N / 1.618 (golden ratio), so that consecutive views lie far apart.
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

TArray2D Sart(const TArrayView& sinogram, const std::vector<TView>& views, const TImageSize& size,
              const TIterativeOptions& options, const std::stop_token& stop) {
  const int detectors = sinogram.Columns;
  TArray2D ones(size.Rows, size.Columns);
  std::fill(ones.Values.begin(), ones.Values.end(), 1.0);
  TArray2D rowWeights(sinogram.Rows, detectors);
  ProjectAll(TLines(ones), views, rowWeights, stop, 1);
  for (double& w : rowWeights.Values) w = Inverse(w);

  const double lambda = options.Relaxation;
  TLines x(size);
  const joseph::TLineShape& shape = x.Shape;
  std::vector<double> projection(detectors), residual(detectors);
  const std::size_t cells = std::max(shape.RowCells(), shape.ColumnCells());
  std::vector<double> update(cells), weights(cells);
  const std::vector<int> order = ViewOrder(sinogram.Rows);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    for (int k : order) {
      if (StopRequested(stop)) throw ECancelled();
      const TView& view = views[k];
      joseph::ProjectView(x, view, projection.data());
      for (int j = 0; j < detectors; ++j)
        residual[j] = (sinogram.At(k, j) - projection[j]) * rowWeights.At(k, j);
      std::fill(update.begin(), update.end(), 0.0);
      std::fill(weights.begin(), weights.end(), 0.0);
      joseph::BackProjectView(view, residual.data(), 0, view.Lines, update.data(), weights.data());
      const std::vector<double>& cellsOf = view.AlongRows ? x.Rows : x.Columns;
      const std::size_t lineLength = std::size_t(view.Length) + 2 * joseph::kPad;
      for (int l = 0; l < view.Lines; ++l)
        for (int i = 0; i < view.Length; ++i) {
          const std::size_t at = std::size_t(l) * lineLength + joseph::kPad + std::size_t(i);
          if (!(weights[at] > kNoWeight)) continue;
          double v = cellsOf[at] + lambda * (update[at] / weights[at]);
          if (options.NonNegative && v < 0) v = 0;
          if (view.AlongRows)
            x.Set(i, l, v);
          else
            x.Set(l, i, v);
        }
    }
    if (options.Iterate)
      Report(options, iteration, x.Image());
    else if (options.Progress)
      options.Progress(iteration);
  }
  return x.Image();
}

// Sums in a fixed order (element after element), whatever the thread count.
double SquaredNorm(const std::vector<double>& values) {
  long double sum = 0;
  for (double v : values) sum += static_cast<long double>(v) * v;
  return static_cast<double>(sum);
}

// CGLS (conjugate gradients on A^T A x = A^T b), from x = 0:
//   r = b, s = A^T r, p = s, gamma = |s|^2; then each iteration
//   q = A p, alpha = gamma / |q|^2, x += alpha p, r -= alpha q,
//   s = A^T r, gamma' = |s|^2, p = s + (gamma' / gamma) p.
TArray2D Cgls(const TArrayView& sinogram, const std::vector<TView>& views, const TImageSize& size,
              const TIterativeOptions& options, const std::stop_token& stop, int threads) {
  TArray2D x(size.Rows, size.Columns);
  TArray2D r(sinogram);  // the residual b - A x, from x = 0
  TArray2D s = BackProjectAll(r, views, size, stop, threads);
  TArray2D p = s;
  double gamma = SquaredNorm(s.Values);
  TArray2D q(sinogram.Rows, sinogram.Columns);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    if (gamma > 0) {
      ProjectAll(TLines(p), views, q, stop, threads);
      const double qq = SquaredNorm(q.Values);
      if (qq > 0 && std::isfinite(qq)) {
        const double alpha = gamma / qq;
        for (std::size_t i = 0; i < x.Values.size(); ++i) x.Values[i] += alpha * p.Values[i];
        for (std::size_t i = 0; i < r.Values.size(); ++i) r.Values[i] -= alpha * q.Values[i];
        s = BackProjectAll(r, views, size, stop, threads);
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

}  // namespace

void CheckIterativeOptions(const TIterativeOptions& options) {
  if (options.Iterations < 1 || options.Iterations > 100000)
    throw EInvalidStudyValue(FormatFixedMessage("iterations must be from 1 to 100000, not %d",
                                                {int64_t{options.Iterations}}));
  if (options.Method == TIterativeMethod::Cgls) {
    if (options.Relaxation != 1)
      throw EInvalidStudyValue(
          FormatFixedMessage("CGLS takes no relaxation (its steps are its own), not %g",
                             {static_cast<long double>(options.Relaxation)}));
    if (options.NonNegative)
      throw EInvalidStudyValue("CGLS takes no non-negativity: use SIRT or SART for that");
    return;
  }
  if (!(options.Relaxation > 0 && options.Relaxation < 2))
    throw EInvalidStudyValue(
        FormatFixedMessage("relaxation must be greater than 0 and less than 2, not %g",
                           {static_cast<long double>(options.Relaxation)}));
}

TArray2D ReconstructIterative(const TArrayView& sinogram, const TScanGeometry& geometry,
                              const TIterativeOptions& options, const TImageSize& size,
                              const std::stop_token& stop, int threads) {
  if (IsFan(geometry))
    return ReconstructIterativeFan(sinogram, geometry, options, size, stop, threads);
  CheckIterativeOptions(options);
  joseph::CheckParallelGeometry(geometry, "the iterative methods");
  CheckImageSize(size);
  joseph::CheckSinogram(sinogram, geometry);
  std::vector<TView> views;
  views.reserve(std::size_t(geometry.Views));
  for (int k = 0; k < geometry.Views; ++k) views.emplace_back(geometry, k, size);
  const TArrayView& b = sinogram;
  switch (options.Method) {
    case TIterativeMethod::Sirt:
      return Sirt(b, views, size, options, stop, threads);
    case TIterativeMethod::Sart:
      return Sart(b, views, size, options, stop);
    case TIterativeMethod::Cgls:
      return Cgls(b, views, size, options, stop, threads);
  }
  return {};
}

}  // namespace quarvel
