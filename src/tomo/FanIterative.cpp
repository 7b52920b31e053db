#include <algorithm>
#include <cmath>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/FanRays.h"
#include "tomo/IterativeSteps.h"
#include "tomo/Parallel.h"

namespace quarvel {
namespace {

using fan::kPad;
using iterative::Filled;
using iterative::Inverse;
using iterative::kNoWeight;
using iterative::Report;

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
  using Lines = fan::TFanLines;
  const fan::TRays& Rays;
  int Threads;
  std::stop_token Stop;

  TImageSize Size() const { return Rays.Size; }

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
    for (int k : iterative::ViewOrder(sinogram.Rows)) {
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
      return iterative::Sirt(sinogram, a, options, stop);
    case TIterativeMethod::Sart:
      return Sart(sinogram, a, options, stop);
    case TIterativeMethod::Cgls:
      break;
  }
  return iterative::Cgls(sinogram, a, options, stop);
}

}  // namespace quarvel
