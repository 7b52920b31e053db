#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/IterativeSteps.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Reconstruction.h"

namespace quarvel {
namespace {

using iterative::Filled;
using iterative::Inverse;
using iterative::kNoWeight;
using iterative::Report;
using iterative::ViewOrder;
using joseph::TLines;
using joseph::TView;

// A and its transpose over the whole sinogram: the views split over the threads for A,
// the lines for A^T (each line taking the views in order: rows from the views along rows,
// columns from the others). A stop is heard per view and raised as ECancelled.
struct TParallelOperator {
  using Lines = TLines;
  const std::vector<TView>& Views;
  TImageSize ImageSize;
  int Threads;
  std::stop_token Stop;

  TImageSize Size() const { return ImageSize; }
  void Project(const TLines& image, TArray2D& out) const {
    ParallelRanges(static_cast<int>(Views.size()), Threads, [&](int begin, int end) {
      for (int k = begin; k < end && !StopRequested(Stop); ++k)
        joseph::ProjectView(image, Views[k], &out.At(k, 0));
    });
    ThrowIfStopped(Stop);
  }
  TArray2D BackProject(const TArray2D& values) const {
    TLines lines(ImageSize);
    ParallelRanges(std::max(ImageSize.Rows, ImageSize.Columns), Threads, [&](int begin, int end) {
      for (std::size_t k = 0; k < Views.size() && !StopRequested(Stop); ++k)
        joseph::BackProjectView(Views[k], values.Values.data() + k * std::size_t(values.Columns),
                                begin, end,
                                Views[k].AlongRows ? lines.Rows.data() : lines.Columns.data());
    });
    ThrowIfStopped(Stop);
    return lines.Sum();
  }
};

TArray2D Sart(const TArrayView& sinogram, const std::vector<TView>& views, const TImageSize& size,
              const TIterativeOptions& options, const std::stop_token& stop) {
  const int detectors = sinogram.Columns;
  TArray2D rowWeights(sinogram.Rows, detectors);
  const TParallelOperator a{views, size, 1, stop};
  a.Project(TLines(Filled(size.Rows, size.Columns, 1)), rowWeights);
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

}  // namespace

namespace iterative {

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

}  // namespace iterative

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
  const TParallelOperator a{views, size, threads, stop};
  switch (options.Method) {
    case TIterativeMethod::Sirt:
      return iterative::Sirt(sinogram, a, options, stop);
    case TIterativeMethod::Sart:
      return Sart(sinogram, views, size, options, stop);
    case TIterativeMethod::Cgls:
      break;
  }
  return iterative::Cgls(sinogram, a, options, stop);
}

}  // namespace quarvel
