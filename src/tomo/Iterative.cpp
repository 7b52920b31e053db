#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Reconstruction.h"

namespace quarvel {
namespace {

using joseph::kLine;
using joseph::kPad;
using joseph::kSize;

// Weights below this count as no weight (a ray or a cell that the projector misses): the
// interpolation weights are multiples of about 1e-16, so nothing real lies below it.
constexpr double kNoWeight = 1e-12;

double Inverse(double w) { return w > kNoWeight ? 1 / w : 0; }

// A  * image for every view, the views split over the threads.
void ProjectAll(const joseph::TLines& image, const std::vector<joseph::TView>& views, TArray2D& out,
                int threads) {
  ParallelRanges(static_cast<int>(views.size()), threads, [&](int begin, int end) {
    for (int k = begin; k < end; ++k) joseph::ProjectView(image, views[k], &out.At(k, 0));
  });
}

// A^T  * values as an image [iy][ix]: lines split over the threads, each line taking the
// views in order (rows from the views along rows, columns from the others).
TArray2D BackProjectAll(const TArray2D& values, const std::vector<joseph::TView>& views,
                        int threads) {
  std::vector<double> rows(kSize * kLine), columns(kSize * kLine);
  ParallelRanges(kSize, threads, [&](int begin, int end) {
    for (std::size_t k = 0; k < views.size(); ++k)
      joseph::BackProjectView(views[k], values.Values.data() + k * std::size_t(values.Columns),
                              begin, end, views[k].AlongRows ? rows.data() : columns.data());
  });
  TArray2D image(kSize, kSize);
  for (int iy = 0; iy < kSize; ++iy)
    for (int ix = 0; ix < kSize; ++ix)
      image.At(iy, ix) = rows[iy * kLine + kPad + ix] + columns[ix * kLine + kPad + iy];
  return image;
}

TArray2D Sirt(const TArray2D& sinogram, const std::vector<joseph::TView>& views,
              const TIterativeOptions& options, const std::stop_token& stop, int threads) {
  const int detectors = sinogram.Columns;
  TArray2D ones(kSize, kSize);
  std::fill(ones.Values.begin(), ones.Values.end(), 1.0);
  TArray2D rowWeights(sinogram.Rows, detectors);
  ProjectAll(joseph::TLines(ones), views, rowWeights, threads);
  for (double& w : rowWeights.Values) w = Inverse(w);
  TArray2D allOnes(sinogram.Rows, detectors);
  std::fill(allOnes.Values.begin(), allOnes.Values.end(), 1.0);
  TArray2D columnWeights = BackProjectAll(allOnes, views, threads);
  for (double& w : columnWeights.Values) w = Inverse(w);

  TArray2D x(kSize, kSize);
  joseph::TLines lines(x);
  TArray2D residual(sinogram.Rows, detectors);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    ThrowIfStopped(stop);
    ProjectAll(lines, views, residual, threads);
    for (std::size_t i = 0; i < residual.Values.size(); ++i)
      residual.Values[i] = (sinogram.Values[i] - residual.Values[i]) * rowWeights.Values[i];
    const TArray2D update = BackProjectAll(residual, views, threads);
    for (int iy = 0; iy < kSize; ++iy)
      for (int ix = 0; ix < kSize; ++ix) {
        double v = x.At(iy, ix) + update.At(iy, ix) * columnWeights.At(iy, ix);
        if (options.NonNegative && v < 0) v = 0;
        x.At(iy, ix) = v;
        lines.Set(ix, iy, v);
      }
    if (options.Progress) options.Progress(iteration);
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

TArray2D Sart(const TArray2D& sinogram, const std::vector<joseph::TView>& views,
              const TIterativeOptions& options, const std::stop_token& stop) {
  const int detectors = sinogram.Columns;
  TArray2D ones(kSize, kSize);
  std::fill(ones.Values.begin(), ones.Values.end(), 1.0);
  TArray2D rowWeights(sinogram.Rows, detectors);
  ProjectAll(joseph::TLines(ones), views, rowWeights, 1);
  for (double& w : rowWeights.Values) w = Inverse(w);

  joseph::TLines x;
  std::vector<double> projection(detectors), residual(detectors);
  std::vector<double> update(kSize * kLine), weights(kSize * kLine);
  const std::vector<int> order = ViewOrder(sinogram.Rows);
  for (int iteration = 1; iteration <= options.Iterations; ++iteration) {
    for (int k : order) {
      ThrowIfStopped(stop);
      const joseph::TView& view = views[k];
      joseph::ProjectView(x, view, projection.data());
      for (int j = 0; j < detectors; ++j)
        residual[j] = (sinogram.At(k, j) - projection[j]) * rowWeights.At(k, j);
      std::fill(update.begin(), update.end(), 0.0);
      std::fill(weights.begin(), weights.end(), 0.0);
      joseph::BackProjectView(view, residual.data(), 0, kSize, update.data(), weights.data());
      const std::vector<double>& cells = view.AlongRows ? x.Rows : x.Columns;
      for (int l = 0; l < kSize; ++l)
        for (int i = 0; i < kSize; ++i) {
          const int at = l * kLine + kPad + i;
          if (!(weights[at] > kNoWeight)) continue;
          double v = cells[at] + update[at] / weights[at];
          if (options.NonNegative && v < 0) v = 0;
          if (view.AlongRows)
            x.Set(i, l, v);
          else
            x.Set(l, i, v);
        }
    }
    if (options.Progress) options.Progress(iteration);
  }
  TArray2D image(kSize, kSize);
  for (int iy = 0; iy < kSize; ++iy)
    for (int ix = 0; ix < kSize; ++ix) image.At(iy, ix) = x.Rows[iy * kLine + kPad + ix];
  return image;
}

}  // namespace

void CheckIterativeOptions(const TIterativeOptions& options) {
  if (options.Iterations < 1 || options.Iterations > 100000)
    throw EInvalidStudyValue(FormatMessage("iterations must be from 1 to 100000, not %d",
                                           {int64_t{options.Iterations}}));
}

TArray2D ReconstructIterative(const TArray2D& sinogram, const TScanGeometry& geometry,
                              const TIterativeOptions& options, const std::stop_token& stop,
                              int threads) {
  if (IsFan(geometry))
    return ReconstructIterativeFan(sinogram, geometry, {kSize, kSize}, options, stop, threads);
  CheckIterativeOptions(options);
  joseph::CheckSinogram(sinogram, geometry);
  std::vector<joseph::TView> views;
  views.reserve(geometry.Views);
  for (int k = 0; k < geometry.Views; ++k) views.emplace_back(geometry, k);
  return options.Method == TIterativeMethod::Sirt ? Sirt(sinogram, views, options, stop, threads)
                                                  : Sart(sinogram, views, options, stop);
}

}  // namespace quarvel
