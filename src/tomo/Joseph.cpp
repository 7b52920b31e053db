#include "tomo/Joseph.h"

#include <algorithm>
#include <cmath>

namespace quarvel::joseph {
namespace {

// out[j] += the line interpolated at bin j's position, for j in [first, last). A loop of
// its own over unaliased arrays, in blocks of eight bins, so that it is vectorised (with
// gathers where the processor has them); every lane computes exactly what the plain loop
// computes.
inline void AccumulateBin(double* __restrict out, const double* __restrict start,
                          const double* __restrict line, double d, int j) {
  const double x = (start[j] - d) + kPad;
  const int i = static_cast<int>(x);
  const double f = x - i;
  out[j] += (1 - f) * line[i] + f * line[i + 1];
}

__attribute__((target_clones("avx2", "default"))) void AccumulateLine(
    double* __restrict out, const double* __restrict start, const double* __restrict line, double d,
    int first, int last) {
  int j = first;
  for (; j + 8 <= last; j += 8)
    for (int lane = 0; lane < 8; ++lane) AccumulateBin(out, start, line, d, j + lane);
  for (; j < last; ++j) AccumulateBin(out, start, line, d, j);
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
      AccumulateLine(out, start, line, d, first, last);
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
