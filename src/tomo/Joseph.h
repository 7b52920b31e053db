#pragma once
// Joseph's projector as the grid projector and the iterative methods share it: the image
// kept as padded lines, one view's rays through them, the sums along the rays and their
// transpose. Positions are in cells along a line (cell i at i), so that at 0 and 90
// degrees every ray lands on cell centres exactly.

#include <vector>

#include "tomo/Geometry.h"

namespace quarvel::joseph {

constexpr int kSize = 128;
constexpr double kMiddle = 63.5;
// Zero cells on each side of a line: a bin's position is looked at only while it lies
// inside (-1, 128) widened by at most 2 sqrt(2) cells (see TView::Bins), so it never
// leaves the line.
constexpr int kPad = 4;
constexpr int kLine = kSize + 2 * kPad;

// Raises EInvalidStudyValue unless `image` is 128 x 128 ("<what> must be 128 x 128 ...").
void CheckGridImage(const TArray2D& image, const char* what);
// Raises EInvalidGeometry for a geometry out of range and EInvalidStudyValue unless the
// sinogram has geometry.Views rows of geometry.Detectors bins.
void CheckSinogram(const TArray2D& sinogram, const TScanGeometry& geometry);

// An image [iy][ix] as padded rows and as padded columns (the transposed image), each
// line kLine long with cell i at kPad + i.
struct TLines {
  std::vector<double> Rows = std::vector<double>(kSize * kLine);
  std::vector<double> Columns = std::vector<double>(kSize * kLine);

  explicit TLines(const TArray2D& image);
  TLines() = default;
  // The cell (ix, iy) in both layouts.
  void Set(int ix, int iy, double value) {
    Rows[iy * kLine + kPad + ix] = value;
    Columns[ix * kLine + kPad + iy] = value;
  }
};

// One view's rays. A view crosses every row where |cos| >= |sin| and every column
// elsewhere; bin j meets line l (a row or a column) at Start[j] - (l - 63.5) * Slope.
struct TView {
  TView(const TScanGeometry& geometry, int view);
  bool AlongRows;
  // The rays run exactly along the grid's columns or rows (0, 90, 180, 270 degrees):
  // they meet the lines at cell centres and are summed as the model sums its columns.
  bool OnAxis;
  double Slope;
  double Major;     // cos along rows, sin along columns
  double Dominant;  // |Major| = max(|cos|, |sin|): the sums are divided by it
  std::vector<double> Start;
  // The bins [first, last) whose position on line l may lie inside (-1, 128).
  void Bins(int line, int& first, int& last) const;
};

// out[j] = the sum over the lines of the image interpolated at bin j's position, divided
// by Dominant (out has a slot per bin).
void ProjectView(const TLines& image, const TView& view, double* out);

// The transpose of ProjectView for lines [lineBegin, lineEnd): adds values[j] / Dominant
// to the two cells around bin j's position on each line, split by the interpolation
// weights, into `rows` (AlongRows) or `columns` (padded lines as in TLines). With
// `weights`, adds the weights alone there too.
void BackProjectView(const TView& view, const double* values, int lineBegin, int lineEnd,
                     double* lines, double* weights = nullptr);

}  // namespace quarvel::joseph
