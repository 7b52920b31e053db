#include "tomo/FanBeam.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "format/MessageFormat.h"
#include "tomo/ExactRay.h"
#include "tomo/FanRays.h"
#include "tomo/Parallel.h"
#include "tomo/Wide.h"

namespace quarvel {

// [SECTION] The geometry

double HalfDiagonal(const TImageSize& size) {
  return std::hypot(double(size.Columns), double(size.Rows)) / 2;
}

namespace {

void CheckDistances(double source, double detector, const TImageSize& size) {
  const double half = HalfDiagonal(size);
  if (!(std::isfinite(source) && source > half))
    throw EInvalidGeometry(FormatFixedMessage(
        "source distance must be finite and greater than the image's half-diagonal %g, not %g",
        {static_cast<long double>(half), static_cast<long double>(source)}));
  if (!(std::isfinite(detector) && detector >= 0))
    throw EInvalidGeometry(
        FormatFixedMessage("detector distance must be finite and at least 0, not %g",
                           {static_cast<long double>(detector)}));
}

}  // namespace

TFanFields DefaultFanFields(TBeam beam, const TImageSize& size,
                            std::optional<double> sourceDistance,
                            std::optional<double> detectorDistance) {
  CheckImageSize(size);
  TFanFields fields;
  fields.SourceDistance = sourceDistance.value_or(2.0 * std::max(size.Columns, size.Rows));
  fields.DetectorDistance = detectorDistance.value_or(fields.SourceDistance);
  CheckDistances(fields.SourceDistance, fields.DetectorDistance, size);
  const double r = fields.SourceDistance;
  fields.Spacing = (r + fields.DetectorDistance) / r;
  const double half = std::asin(HalfDiagonal(size) / r);
  const double reach = beam == TBeam::FanArc ? r * half : r * std::tan(half);
  fields.Detectors = static_cast<int>(std::min(2 * std::ceil(reach) + 2, 10000.0));
  return fields;
}

double FanAngle(const TScanGeometry& geometry, int bin) {
  const double reach = geometry.SourceDistance + geometry.DetectorDistance;
  switch (geometry.Beam) {
    case TBeam::Parallel:
      return 0;
    case TBeam::FanFlat:
      return std::atan(geometry.BinCells(bin) / reach);
    case TBeam::FanArc:
      return geometry.BinCells(bin) / reach;
  }
  return 0;
}

void CheckFanGeometry(const TScanGeometry& geometry, const TImageSize& size) {
  CheckGeometry(geometry);
  CheckImageSize(size);
  if (!IsFan(geometry)) return;
  CheckDistances(geometry.SourceDistance, geometry.DetectorDistance, size);
  const double limit = std::numbers::pi / 2;
  for (int bin : {0, geometry.Detectors - 1})
    if (!(std::fabs(FanAngle(geometry, bin)) < limit))
      throw EInvalidGeometry(FormatFixedMessage(
          "bin %d's ray must leave the central ray by less than 90 degrees, not %g",
          {int64_t{bin},
           static_cast<long double>(FanAngle(geometry, bin) * 180 / std::numbers::pi)}));
}

TFanRay FanRay(const TScanGeometry& geometry, int view, int bin) {
  const double c = geometry.Cos(view), s = geometry.Sin(view);
  const double ex = -s, ey = c;  // the central ray
  const double r = geometry.SourceDistance;
  double along = 0, across = 0;  // the direction's parts along e and along a
  if (geometry.Beam == TBeam::FanArc) {
    const double gamma = FanAngle(geometry, bin);
    along = std::cos(gamma);
    across = std::sin(gamma);
  } else {
    const double reach = r + geometry.DetectorDistance, u = geometry.BinCells(bin);
    const double length = std::hypot(reach, u);
    along = reach / length;
    across = u / length;
  }
  return {-r * ex, -r * ey, along * ex + across * c, along * ey + across * s};
}

// [SECTION] The rays of the grid projector

namespace fan {

TRays::TRays(const TScanGeometry& geometry, const TImageSize& size)
    : Views(geometry.Views), Bins(geometry.Detectors), Size(size) {
  const std::size_t count = std::size_t(Views) * std::size_t(Bins);
  A.resize(count);
  B.resize(count);
  W.resize(count);
  Runs.resize(Views);
  const double cx = (size.Columns - 1) / 2.0, cy = (size.Rows - 1) / 2.0;
  for (int k = 0; k < Views; ++k) {
    for (int j = 0; j < Bins; ++j) {
      const TFanRay ray = FanRay(geometry, k, j);
      const double sx = cx + ray.SourceX, sy = cy + ray.SourceY;
      const bool rows = std::fabs(ray.DirectionY) >= std::fabs(ray.DirectionX);
      const std::size_t at = std::size_t(k) * Bins + j;
      if (rows) {
        B[at] = ray.DirectionX / ray.DirectionY;
        A[at] = sx - sy * B[at];
        W[at] = 1 / std::fabs(ray.DirectionY);
      } else {
        B[at] = ray.DirectionY / ray.DirectionX;
        A[at] = sy - sx * B[at];
        W[at] = 1 / std::fabs(ray.DirectionX);
      }
      std::vector<TRun>& runs = Runs[k];
      if (runs.empty() || runs.back().Rows != rows)
        runs.push_back({j, j + 1, rows});
      else
        runs.back().Last = j + 1;
    }
  }
}

void TRays::Range(int view, const TRun& run, int line, int& first, int& last) const {
  const double length = run.Rows ? Size.Columns : Size.Rows;
  const double* a = A.data() + std::size_t(view) * Bins;
  const double* b = B.data() + std::size_t(view) * Bins;
  const auto at = [&](int j) { return a[j] + line * b[j]; };
  const bool rising = at(run.First) <= at(run.Last - 1);
  // The bins before the range lie below -1 (rising) or above the length (falling), and
  // those after it on the other side.
  const auto before = [&](int j) { return rising ? at(j) < -1 : at(j) > length; };
  const auto after = [&](int j) { return rising ? at(j) > length : at(j) < -1; };
  int lo = run.First, hi = run.Last;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (before(mid))
      lo = mid + 1;
    else
      hi = mid;
  }
  first = lo;
  hi = run.Last;
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (!after(mid))
      lo = mid + 1;
    else
      hi = mid;
  }
  last = lo;
}

TFanLines::TFanLines(const TImageSize& size)
    : Size(size),
      RowStride(size.Columns + 2 * kPad),
      ColumnStride(size.Rows + 2 * kPad),
      Rows(std::size_t(size.Rows) * RowStride),
      Columns(std::size_t(size.Columns) * ColumnStride) {}

TFanLines::TFanLines(const TArrayView& image) : TFanLines(TImageSize{image.Columns, image.Rows}) {
  for (int iy = 0; iy < image.Rows; ++iy)
    for (int ix = 0; ix < image.Columns; ++ix) Set(ix, iy, image.At(iy, ix));
}

namespace {

// out[j] += the line interpolated at bin j's crossing, for j in [first, last).
inline void AccumulateBin(double* __restrict out, const double* __restrict a,
                          const double* __restrict b, const double* __restrict line, double l,
                          double high, int j) {
  const double x = std::min(std::max(a[j] + l * b[j], -2.0), high) + kPad;
  const int i = static_cast<int>(x);
  const double f = x - i;
  out[j] += (1 - f) * line[i] + f * line[i + 1];
}

void AccumulateLinePlain(double* out, const double* a, const double* b, const double* line,
                         double l, double high, int first, int last) {
  for (int j = first; j < last; ++j) AccumulateBin(out, a, b, line, l, high, j);
}

#ifdef QUARVEL_WIDE_LOOPS
// Four bins at a time, the rest as above; every lane computes what AccumulateBin does.
__attribute__((target("avx2"))) void AccumulateLineWide(double* out, const double* a,
                                                        const double* b, const double* line,
                                                        double l, double high, int first,
                                                        int last) {
  const __m256d lv = _mm256_set1_pd(l), low = _mm256_set1_pd(-2.0), top = _mm256_set1_pd(high);
  const __m256d pad = _mm256_set1_pd(kPad);
  int j = first;
  for (; j + 4 <= last; j += 4) {
    const __m256d crossing =
        _mm256_add_pd(_mm256_loadu_pd(a + j), _mm256_mul_pd(lv, _mm256_loadu_pd(b + j)));
    const __m256d x = _mm256_add_pd(_mm256_min_pd(_mm256_max_pd(crossing, low), top), pad);
    _mm256_storeu_pd(out + j, _mm256_add_pd(_mm256_loadu_pd(out + j), wide::Interpolate4(line, x)));
  }
  for (; j < last; ++j) AccumulateBin(out, a, b, line, l, high, j);
}
#endif

}  // namespace

void ProjectView(const TRays& rays, const TFanLines& image, int view, double* out) {
  const std::size_t base = std::size_t(view) * rays.Bins;
  const double* a = rays.A.data() + base;
  const double* b = rays.B.data() + base;
  std::fill(out, out + rays.Bins, 0.0);
#ifdef QUARVEL_WIDE_LOOPS
  const bool wideLoop = wide::Enabled();
#endif
  for (const TRun& run : rays.Runs[view]) {
    const int lines = run.Rows ? image.Size.Rows : image.Size.Columns;
    const int stride = run.Rows ? image.RowStride : image.ColumnStride;
    const double high = (run.Rows ? image.Size.Columns : image.Size.Rows) + 1.0;
    const double* cells = run.Rows ? image.Rows.data() : image.Columns.data();
    for (int l = 0; l < lines; ++l) {
      int first = 0, last = 0;
      rays.Range(view, run, l, first, last);
      const double* line = cells + std::size_t(l) * stride;
#ifdef QUARVEL_WIDE_LOOPS
      if (wideLoop) {
        AccumulateLineWide(out, a, b, line, l, high, first, last);
        continue;
      }
#endif
      AccumulateLinePlain(out, a, b, line, l, high, first, last);
    }
  }
  const double* w = rays.W.data() + base;
  for (int j = 0; j < rays.Bins; ++j) out[j] *= w[j];
}

void BackProjectView(const TRays& rays, int view, const double* values, int rowBegin, int rowEnd,
                     int columnBegin, int columnEnd, double* rows, double* columns,
                     double* rowWeights, double* columnWeights) {
  const std::size_t base = std::size_t(view) * rays.Bins;
  const double* a = rays.A.data() + base;
  const double* b = rays.B.data() + base;
  const double* w = rays.W.data() + base;
  for (const TRun& run : rays.Runs[view]) {
    const int begin = run.Rows ? rowBegin : columnBegin, end = run.Rows ? rowEnd : columnEnd;
    const int stride = run.Rows ? rays.Size.Columns + 2 * kPad : rays.Size.Rows + 2 * kPad;
    const double high = (run.Rows ? rays.Size.Columns : rays.Size.Rows) + 1.0;
    double* cells = run.Rows ? rows : columns;
    double* weights = run.Rows ? rowWeights : columnWeights;
    for (int l = begin; l < end; ++l) {
      int first = 0, last = 0;
      rays.Range(view, run, l, first, last);
      double* line = cells + std::size_t(l) * stride;
      double* weight = weights ? weights + std::size_t(l) * stride : nullptr;
      for (int j = first; j < last; ++j) {
        const double x = std::min(std::max(a[j] + l * b[j], -2.0), high) + kPad;
        const int i = static_cast<int>(x);
        const double f = x - i;
        const double v = values[j] * w[j];
        line[i] += (1 - f) * v;
        line[i + 1] += f * v;
        if (weight) {
          weight[i] += (1 - f) * w[j];
          weight[i + 1] += f * w[j];
        }
      }
    }
  }
}

TArray2D Combine(const TImageSize& size, const std::vector<double>& rows,
                 const std::vector<double>& columns) {
  const std::size_t rowStride = size.Columns + 2 * kPad, columnStride = size.Rows + 2 * kPad;
  TArray2D image(size.Rows, size.Columns);
  for (int iy = 0; iy < size.Rows; ++iy)
    for (int ix = 0; ix < size.Columns; ++ix)
      image.At(iy, ix) = rows[iy * rowStride + kPad + ix] + columns[ix * columnStride + kPad + iy];
  return image;
}

}  // namespace fan

// [SECTION] The projectors

namespace {

void CheckFanSinogram(const TArrayView& sinogram, const TScanGeometry& geometry) {
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors || !sinogram.Data)
    throw EInvalidStudyValue(
        FormatFixedMessage("the sinogram must have %d views of %d bins, not %d of %d",
                           {int64_t{geometry.Views}, int64_t{geometry.Detectors},
                            int64_t{sinogram.Rows}, int64_t{sinogram.Columns}}));
}

}  // namespace

TArray2D ProjectGridFan(const TArrayView& image, const TScanGeometry& geometry,
                        const std::stop_token& stop, int threads) {
  const TImageSize size{image.Columns, image.Rows};
  CheckFanGeometry(geometry, size);
  const fan::TRays rays(geometry, size);
  const fan::TFanLines lines(image);
  TArray2D sinogram(geometry.Views, geometry.Detectors);
  ParallelRanges(geometry.Views, threads, [&](int begin, int end) {
    for (int k = begin; k < end && !StopRequested(stop); ++k)
      fan::ProjectView(rays, lines, k, &sinogram.At(k, 0));
  });
  ThrowIfStopped(stop);
  return sinogram;
}

TArray2D BackProjectGridFan(const TArrayView& view, const TScanGeometry& geometry,
                            const TImageSize& size, const std::stop_token& stop, int threads) {
  CheckFanGeometry(geometry, size);
  CheckFanSinogram(view, geometry);
  const TArray2D sinogram(view);
  const fan::TRays rays(geometry, size);
  fan::TFanLines lines(size);
  // Lines [0, Rows) are rows, the rest columns; each line is one thread's alone.
  ParallelRanges(size.Rows + size.Columns, threads, [&](int begin, int end) {
    const int rowBegin = std::min(begin, size.Rows), rowEnd = std::min(end, size.Rows);
    const int columnBegin = std::max(begin, size.Rows) - size.Rows;
    const int columnEnd = std::max(end, size.Rows) - size.Rows;
    for (int k = 0; k < geometry.Views && !StopRequested(stop); ++k)
      fan::BackProjectView(rays, k, sinogram.Values.data() + std::size_t(k) * sinogram.Columns,
                           rowBegin, rowEnd, columnBegin, columnEnd, lines.Rows.data(),
                           lines.Columns.data());
  });
  ThrowIfStopped(stop);
  return fan::Combine(size, lines.Rows, lines.Columns);
}

TArray2D ProjectExactFan(const TPhantomDensity& phantom, const TScanGeometry& geometry, int size,
                         const std::stop_token& stop, int threads) {
  CheckFanGeometry(geometry, {size, size});
  const double pixel = PixelSize(size);
  TArray2D sinogram(geometry.Views, geometry.Detectors);
  using real = long double;
  const real h = pixel, centre = TScanGeometry::kCentre;
  ParallelRanges(geometry.Views, threads, [&](int begin, int end) {
    exact::TLineIntegrator integrator(phantom);
    if (integrator.Empty()) return;
    for (int k = begin; k < end && !StopRequested(stop); ++k)
      for (int j = 0; j < geometry.Detectors && !StopRequested(stop); ++j) {
        const TFanRay ray = FanRay(geometry, k, j);
        sinogram.At(k, j) = static_cast<double>(
            integrator.Integral(centre + h * ray.SourceX, centre + h * ray.SourceY, ray.DirectionX,
                                ray.DirectionY, stop) /
            h);
      }
  });
  ThrowIfStopped(stop);
  return sinogram;
}

}  // namespace quarvel
