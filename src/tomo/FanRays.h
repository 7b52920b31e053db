#pragma once
// The fan's grid projector as its callers share it (the projection, its transpose, the
// iterative methods): every ray of every view as a line through the image, crossing rows
// or columns, and the image kept as zero-padded rows and columns.
//
// A ray crossing rows meets row iy at column A + iy B (a ray crossing columns meets
// column ix at row A + ix B) and its sum is multiplied by W = 1 / max(|dx|, |dy|) of its
// unit direction. Within a run of bins that cross the same kind of line, the crossing
// point moves monotonically with the bin on every line (the rays leave one point), so
// the bins that meet a line inside the image are one range, found by bisection.

#include <vector>

#include "tomo/Geometry.h"

namespace quarvel::fan {

// Zero cells on each side of a line: positions are clamped to [-2, length + 1], where
// both neighbouring cells outside the image are zero, so the clamp changes nothing.
constexpr int kPad = 3;

// Bins [First, Last) of one view whose rays cross rows (Rows) or columns.
struct TRun {
  int First, Last;
  bool Rows;
};

struct TRays {
  TRays(const TScanGeometry& geometry, const TImageSize& size);
  int Views, Bins;
  TImageSize Size;
  std::vector<double> A, B, W;          // [view][bin]
  std::vector<std::vector<TRun>> Runs;  // per view
  // The bins [first, last) of the run whose crossing with line `line` lies in [-1, length].
  void Range(int view, const TRun& run, int line, int& first, int& last) const;
};

// An image as padded rows and padded columns, as the projector reads it.
struct TFanLines {
  explicit TFanLines(const TImageSize& size);
  explicit TFanLines(const TArrayView& image);
  TImageSize Size;
  int RowStride, ColumnStride;  // Columns + 2 kPad, Rows + 2 kPad
  std::vector<double> Rows, Columns;
  void Set(int ix, int iy, double value) {
    Rows[std::size_t(iy) * RowStride + kPad + ix] = value;
    Columns[std::size_t(ix) * ColumnStride + kPad + iy] = value;
  }
};

// out[j] = the ray sums of view k (a slot per bin).
void ProjectView(const TRays& rays, const TFanLines& image, int view, double* out);

// Adds the transpose of view k's projection of `values` to `rows` and `columns` (padded
// as in TFanLines) for the rows [rowBegin, rowEnd) and columns [columnBegin, columnEnd);
// with `weights` (two buffers laid out the same), the ray weights alone there too.
void BackProjectView(const TRays& rays, int view, const double* values, int rowBegin, int rowEnd,
                     int columnBegin, int columnEnd, double* rows, double* columns,
                     double* rowWeights = nullptr, double* columnWeights = nullptr);

// The image [iy][ix] from padded rows and columns: the sum of both at each cell.
TArray2D Combine(const TImageSize& size, const std::vector<double>& rows,
                 const std::vector<double>& columns);

}  // namespace quarvel::fan
