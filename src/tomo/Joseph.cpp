#include "tomo/Joseph.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "format/MessageFormat.h"
#include "tomo/Wide.h"

namespace quarvel::joseph {
namespace {

// out[j] += the line interpolated at bin j's position, for j in [first, last).
inline void AccumulateBin(double* __restrict out, const double* __restrict start,
                          const double* __restrict line, double d, int j) {
  const double x = (start[j] - d) + kPad;
  const int i = static_cast<int>(x);
  const double f = x - i;
  out[j] += (1 - f) * line[i] + f * line[i + 1];
}

// In blocks of eight bins over unaliased arrays, so that the compiler may vectorise it.
void AccumulateLinePlain(double* __restrict out, const double* __restrict start,
                         const double* __restrict line, double d, int first, int last) {
  int j = first;
  for (; j + 8 <= last; j += 8)
    for (int lane = 0; lane < 8; ++lane) AccumulateBin(out, start, line, d, j + lane);
  for (; j < last; ++j) AccumulateBin(out, start, line, d, j);
}

#ifdef QUARVEL_WIDE_LOOPS
// Four bins at a time, the rest as above; every lane computes what AccumulateBin does.
__attribute__((target("avx2"))) void AccumulateLineWide(double* __restrict out,
                                                        const double* __restrict start,
                                                        const double* __restrict line, double d,
                                                        int first, int last) {
  const __m256d shift = _mm256_set1_pd(d);
  const __m256d pad = _mm256_set1_pd(kPad);
  int j = first;
  for (; j + 4 <= last; j += 4) {
    const __m256d x = _mm256_add_pd(_mm256_sub_pd(_mm256_loadu_pd(start + j), shift), pad);
    _mm256_storeu_pd(out + j, _mm256_add_pd(_mm256_loadu_pd(out + j), wide::Interpolate4(line, x)));
  }
  for (; j < last; ++j) AccumulateBin(out, start, line, d, j);
}

// Eight bins at a time, the rest as above; line[0 .. readable) may be read.
__attribute__((target("avx512f,avx512dq"))) void AccumulateLineWide8(double* __restrict out,
                                                                     const double* __restrict start,
                                                                     const double* __restrict line,
                                                                     double d, int first, int last,
                                                                     std::ptrdiff_t readable) {
  const __m512d shift = _mm512_set1_pd(d);
  const __m512d pad = _mm512_set1_pd(kPad);
  const bool descending = last - first >= 2 && start[first + 1] < start[first];
  int j = first;
  for (; j + 8 <= last; j += 8) {
    const __m512d x = _mm512_add_pd(_mm512_sub_pd(_mm512_loadu_pd(start + j), shift), pad);
    _mm512_storeu_pd(out + j, _mm512_add_pd(_mm512_loadu_pd(out + j),
                                            wide::Interpolate8(line, x, descending, readable)));
  }
  AccumulateLineWide(out, start, line, d, j, last);
}
#endif

void AccumulateLine(double* out, const double* start, const double* line, double d, int first,
                    int last, wide::TLevel level, std::ptrdiff_t readable) {
#ifdef QUARVEL_WIDE_LOOPS
  if (level == wide::TLevel::Eight) {
    AccumulateLineWide8(out, start, line, d, first, last, readable);
    return;
  }
  if (level == wide::TLevel::Four) {
    AccumulateLineWide(out, start, line, d, first, last);
    return;
  }
#endif
  (void)level;
  (void)readable;
  AccumulateLinePlain(out, start, line, d, first, last);
}

}  // namespace

void CheckParallelGeometry(const TScanGeometry& geometry, const char* stage) {
  CheckGeometry(geometry);
  if (geometry.Beam != TBeam::Parallel)
    throw EInvalidGeometry(
        FormatFixedMessage("fan beam is not supported by %s", {std::string(stage)}));
}

void CheckImage(const TArrayView& image, const char* what) {
  if (image.Rows < 8 || image.Rows > 4096 || image.Columns < 8 || image.Columns > 4096 ||
      !image.Data)
    throw EInvalidGeometry(
        FormatFixedMessage("%s must have from 8 to 4096 columns and rows, not %d x %d",
                           {std::string(what), int64_t{image.Columns}, int64_t{image.Rows}}));
}

void CheckSinogram(const TArrayView& sinogram, const TScanGeometry& geometry) {
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors || !sinogram.Data)
    throw EInvalidStudyValue(
        FormatFixedMessage("the sinogram must have %d views of %d bins, not %d of %d",
                           {int64_t{geometry.Views}, int64_t{geometry.Detectors},
                            int64_t{sinogram.Rows}, int64_t{sinogram.Columns}}));
}

TLines::TLines(const TArrayView& image) : TLines(TImageSize{image.Columns, image.Rows}) {
  for (int iy = 0; iy < Shape.Rows; ++iy)
    for (int ix = 0; ix < Shape.Columns; ++ix) Set(ix, iy, image.At(iy, ix));
}

TArray2D TLines::Image() const {
  TArray2D image(Shape.Rows, Shape.Columns);
  for (int iy = 0; iy < Shape.Rows; ++iy)
    for (int ix = 0; ix < Shape.Columns; ++ix) image.At(iy, ix) = Get(ix, iy);
  return image;
}

TArray2D TLines::Sum() const {
  TArray2D image(Shape.Rows, Shape.Columns);
  for (int iy = 0; iy < Shape.Rows; ++iy)
    for (int ix = 0; ix < Shape.Columns; ++ix)
      image.At(iy, ix) = Rows[Shape.RowAt(ix, iy)] + Columns[Shape.ColumnAt(ix, iy)];
  return image;
}

TView::TView(const TScanGeometry& geometry, int view, const TImageSize& size) {
  const double c = geometry.Cos(view);
  const double s = geometry.Sin(view);
  AlongRows = std::fabs(c) >= std::fabs(s);
  // Rows: x = (t - y sin) / cos; columns: y = (t - x cos) / sin (x, y, t in cells).
  const double major = AlongRows ? c : s;
  const double minor = AlongRows ? s : c;
  OnAxis = minor == 0;
  Slope = minor / major;
  Major = major;
  Dominant = std::fabs(major);
  Lines = AlongRows ? size.Rows : size.Columns;
  Length = AlongRows ? size.Columns : size.Rows;
  LineMiddle = (Lines - 1) / 2.0;
  Middle = (Length - 1) / 2.0;
  Spacing = geometry.Spacing;
  Centre = (geometry.Detectors - 1) / 2.0 - geometry.Offset;
  Start.resize(geometry.Detectors);
  for (int j = 0; j < geometry.Detectors; ++j) Start[j] = Middle + geometry.BinCells(j) / major;
}

void TView::Bins(int line, int& first, int& last) const {
  // Position = Middle + t / major - d; inside (-1, Length) for t between the two bounds,
  // and bin j lies at t = (j - Centre) * Spacing.
  const double d = (line - LineMiddle) * Slope;
  const double a = (-1 - Middle + d) * Major / Spacing;
  const double b = (Length - Middle + d) * Major / Spacing;
  const int detectors = static_cast<int>(Start.size());
  const auto bin = [&](double j) {
    return static_cast<int>(std::clamp(j, -1.0, static_cast<double>(detectors) + 1));
  };
  // A first guess with a bin to spare on each side against rounding, then made exact
  // with the positions the loops use (they grow monotonically with j, or shrink).
  first = std::clamp(bin(std::floor(std::min(a, b) + Centre)) - 1, 0, detectors);
  last = std::clamp(bin(std::ceil(std::max(a, b) + Centre)) + 2, first, detectors);
  while (first > 0 && Reaches(line, first - 1)) --first;
  while (first < last && !Reaches(line, first)) ++first;
  if (first == last) last = std::min(last + 1, detectors);
  while (last < detectors && Reaches(line, last)) ++last;
  while (last > first && !Reaches(line, last - 1)) --last;
}

void TView::NextBins(int line, int& first, int& last) const {
  if (first < last) {
    const int detectors = static_cast<int>(Start.size());
    while (first > 0 && Reaches(line, first - 1)) --first;
    while (first < last && !Reaches(line, first)) ++first;
    while (last < detectors && Reaches(line, last)) ++last;
    while (last > first && !Reaches(line, last - 1)) --last;
    // Bins first and last - 1 lie inside and their outer neighbours do not: the bins
    // inside being one run (the positions are monotonic in j), that run is the line's.
    if (first < last) return;
  }
  Bins(line, first, last);
}

void ProjectView(const TLines& image, const TView& view, double* out) {
  const double* lines = view.AlongRows ? image.Rows.data() : image.Columns.data();
  const std::size_t lineLength = std::size_t(view.Length) + 2 * kPad;
  const int detectors = static_cast<int>(view.Start.size());
  const double* start = view.Start.data();
  const wide::TLevel level = wide::Level();
  std::fill(out, out + detectors, 0.0);
  int first = 0, last = 0;
  for (int l = 0; l < view.Lines; ++l) {
    view.NextBins(l, first, last);
    const double d = (l - view.LineMiddle) * view.Slope;
    const double* line = lines + std::size_t(l) * lineLength;
    if (view.OnAxis) {
      // Whole cells: the column's running sum in extended precision rounded to double
      // at each step, as the model's zero projection is summed.
      for (int j = first; j < last; ++j) {
        const double x = (start[j] - d) + kPad;
        const int i = static_cast<int>(x);
        const double f = x - i;
        const double v = (1 - f) * line[i] + f * line[i + 1];
        out[j] = static_cast<double>(static_cast<long double>(out[j]) + v);
      }
    } else {
      AccumulateLine(out, start, line, d, first, last, level,
                     std::ptrdiff_t(view.Lines - l) * std::ptrdiff_t(lineLength));
    }
  }
  for (int j = 0; j < detectors; ++j) out[j] /= view.Dominant;
}

namespace {

// Spreads bins first ... last - 1 over one line at their interpolation weights, and the
// weights over Dominant into `weight` when kWeighted. A template rather than a branch per
// bin: the plain spread is the back-projection's inner loop.
template <bool kWeighted>
void SpreadLine(double* line, double* weight, const double* start, const double* scaled, double d,
                double dominant, int first, int last) {
  for (int j = first; j < last; ++j) {
    const double x = (start[j] - d) + kPad;
    const int i = static_cast<int>(x);
    const double f = x - i;
    const double v = scaled[j];
    line[i] += (1 - f) * v;
    line[i + 1] += f * v;
    if constexpr (kWeighted) {
      weight[i] += (1 - f) / dominant;
      weight[i + 1] += f / dominant;
    }
  }
}

}  // namespace

void BackProjectView(const TView& view, const double* values, int lineBegin, int lineEnd,
                     double* lines, double* weights) {
  const double* start = view.Start.data();
  const std::size_t lineLength = std::size_t(view.Length) + 2 * kPad;
  lineEnd = std::min(lineEnd, view.Lines);
  if (lineBegin >= lineEnd) return;
  // Each bin's value over Dominant, divided once for all the lines (the same quotient
  // each line would compute).
  const int detectors = static_cast<int>(view.Start.size());
  std::vector<double> scaled(static_cast<std::size_t>(detectors));
  for (int j = 0; j < detectors; ++j) scaled[std::size_t(j)] = values[j] / view.Dominant;
  int first = 0, last = 0;
  for (int l = lineBegin; l < lineEnd; ++l) {
    view.NextBins(l, first, last);
    const double d = (l - view.LineMiddle) * view.Slope;
    double* line = lines + std::size_t(l) * lineLength;
    if (weights)
      SpreadLine<true>(line, weights + std::size_t(l) * lineLength, start, scaled.data(), d,
                       view.Dominant, first, last);
    else
      SpreadLine<false>(line, nullptr, start, scaled.data(), d, view.Dominant, first, last);
  }
}

}  // namespace quarvel::joseph
