#include "tomo/Joseph.h"

#include <algorithm>
#include <cmath>

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
#endif

void AccumulateLine(double* out, const double* start, const double* line, double d, int first,
                    int last, bool wideLoop) {
#ifdef QUARVEL_WIDE_LOOPS
  if (wideLoop) {
    AccumulateLineWide(out, start, line, d, first, last);
    return;
  }
#endif
  (void)wideLoop;
  AccumulateLinePlain(out, start, line, d, first, last);
}

}  // namespace

TLines::TLines(const TArray2D& image) {
  for (int iy = 0; iy < kSize; ++iy)
    for (int ix = 0; ix < kSize; ++ix) Set(ix, iy, image.At(iy, ix));
}

TView::TView(const TScanGeometry& geometry, int view) {
  const double c = geometry.Cos(view);
  const double s = geometry.Sin(view);
  AlongRows = std::fabs(c) >= std::fabs(s);
  // Rows: x = (j' - y sin) / cos; columns: y = (j' - x cos) / sin (x, y, j' in cells).
  const double major = AlongRows ? c : s;
  const double minor = AlongRows ? s : c;
  OnAxis = minor == 0;
  Slope = minor / major;
  Major = major;
  Dominant = std::fabs(major);
  Start.resize(geometry.Detectors);
  for (int j = 0; j < geometry.Detectors; ++j) Start[j] = kMiddle + geometry.BinCells(j) / major;
}

void TView::Bins(int line, int& first, int& last) const {
  // Position = 63.5 + j' / major - d; inside (-1, 128) for j' between the two bounds.
  const double d = (line - kMiddle) * Slope;
  const double a = (-1 - kMiddle + d) * Major;
  const double b = (kSize - kMiddle + d) * Major;
  const double centre = (static_cast<double>(Start.size()) - 1) / 2;
  const int detectors = static_cast<int>(Start.size());
  // One bin more on each side against rounding: at most 1 + 1 bins, 2 sqrt(2) cells
  // beyond (-1, 128), which the line's padding holds.
  first = std::clamp(static_cast<int>(std::floor(std::min(a, b) + centre)) - 1, 0, detectors);
  last = std::clamp(static_cast<int>(std::ceil(std::max(a, b) + centre)) + 2, first, detectors);
}

void ProjectView(const TLines& image, const TView& view, double* out) {
  const double* lines = view.AlongRows ? image.Rows.data() : image.Columns.data();
  const int detectors = static_cast<int>(view.Start.size());
  const double* start = view.Start.data();
  const bool wideLoop = wide::Enabled();
  std::fill(out, out + detectors, 0.0);
  for (int l = 0; l < kSize; ++l) {
    int first = 0, last = 0;
    view.Bins(l, first, last);
    const double d = (l - kMiddle) * view.Slope;
    const double* line = lines + l * kLine;
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
      AccumulateLine(out, start, line, d, first, last, wideLoop);
    }
  }
  for (int j = 0; j < detectors; ++j) out[j] /= view.Dominant;
}

void BackProjectView(const TView& view, const double* values, int lineBegin, int lineEnd,
                     double* lines, double* weights) {
  const double* start = view.Start.data();
  for (int l = lineBegin; l < lineEnd; ++l) {
    int first = 0, last = 0;
    view.Bins(l, first, last);
    const double d = (l - kMiddle) * view.Slope;
    double* line = lines + l * kLine;
    double* weight = weights ? weights + l * kLine : nullptr;
    for (int j = first; j < last; ++j) {
      const double x = (start[j] - d) + kPad;
      const int i = static_cast<int>(x);
      const double f = x - i;
      const double v = values[j] / view.Dominant;
      line[i] += (1 - f) * v;
      line[i + 1] += f * v;
      if (weight) {
        weight[i] += (1 - f) / view.Dominant;
        weight[i + 1] += f / view.Dominant;
      }
    }
  }
}

}  // namespace quarvel::joseph
