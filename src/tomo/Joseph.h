#pragma once
// Joseph's projector as the grid projector, its transpose and the iterative methods
// share it: the image kept as padded lines, one view's rays through them, the sums along
// the rays and their transpose. Positions are in cells along a line (cell i at i), so
// that at 0 and 90 degrees every ray lands on cell centres exactly.
//
// An image of C columns and R rows turns about ((C - 1) / 2, (R - 1) / 2). Its rows are
// R lines of C cells, its columns C lines of R cells. A view runs along rows where
// |cos| >= |sin| and along columns elsewhere.

#include <vector>

#include "tomo/Geometry.h"

namespace quarvel::joseph {

// Zero cells on each side of a line. A bin is looked at on a line only while its
// position lies inside (-1, length) (see TView::Bins), so it reads at most the cell
// before the first and the cell after the last; the rest is margin against rounding.
constexpr int kPad = 4;

// Raises EInvalidGeometry for a geometry out of range or a fan beam ("fan beam is not
// supported by <stage>").
void CheckParallelGeometry(const TScanGeometry& geometry, const char* stage);
// Raises EInvalidGeometry unless the image's sides are from 8 to 4096 and the view holds
// data ("<what> must be ...").
void CheckImage(const TArrayView& image, const char* what);
// Raises EInvalidStudyValue unless the sinogram has geometry.Views rows of
// geometry.Detectors bins and holds data.
void CheckSinogram(const TArrayView& sinogram, const TScanGeometry& geometry);

// The layout of an image's padded lines: rows (R lines of C + 2 kPad) and columns (C
// lines of R + 2 kPad), cell i of a line at kPad + i.
struct TLineShape {
  int Columns = 0, Rows = 0;
  explicit TLineShape(const TImageSize& size) : Columns(size.Columns), Rows(size.Rows) {}
  int RowLength() const { return Columns + 2 * kPad; }
  int ColumnLength() const { return Rows + 2 * kPad; }
  std::size_t RowCells() const { return std::size_t(Rows) * std::size_t(RowLength()); }
  std::size_t ColumnCells() const { return std::size_t(Columns) * std::size_t(ColumnLength()); }
  std::size_t RowAt(int ix, int iy) const {
    return std::size_t(iy) * std::size_t(RowLength()) + std::size_t(kPad + ix);
  }
  std::size_t ColumnAt(int ix, int iy) const {
    return std::size_t(ix) * std::size_t(ColumnLength()) + std::size_t(kPad + iy);
  }
};

// An image [iy][ix] as padded rows and as padded columns (the transposed image).
struct TLines {
  TLineShape Shape;
  std::vector<double> Rows;
  std::vector<double> Columns;

  explicit TLines(const TImageSize& size)
      : Shape(size), Rows(Shape.RowCells()), Columns(Shape.ColumnCells()) {}
  explicit TLines(const TArrayView& image);
  // The cell (ix, iy) in both layouts.
  void Set(int ix, int iy, double value) {
    Rows[Shape.RowAt(ix, iy)] = value;
    Columns[Shape.ColumnAt(ix, iy)] = value;
  }
  double Get(int ix, int iy) const { return Rows[Shape.RowAt(ix, iy)]; }
  TArray2D Image() const;
  // The image whose cell (ix, iy) is its row cell plus its column cell: a back-projection
  // spreads the views along rows into the rows and the others into the columns.
  TArray2D Sum() const;
};

// One view's rays over an image of a given size. Bin j meets line l (a row or a column)
// at Start[j] - (l - LineMiddle) * Slope cells along it.
struct TView {
  TView(const TScanGeometry& geometry, int view, const TImageSize& size);
  bool AlongRows;
  // The rays run exactly along the grid's columns or rows (0, 90, 180, 270 degrees):
  // they meet the lines at cell centres and are summed as the model sums its columns.
  bool OnAxis;
  double Slope;
  double Major;            // cos along rows, sin along columns
  double Dominant;         // |Major| = max(|cos|, |sin|): the sums are divided by it
  int Lines;               // rows (R) along rows, columns (C) along columns
  int Length;              // the cells of a line: C along rows, R along columns
  double LineMiddle;       // the centre across the lines: (R - 1) / 2 along rows
  double Middle;           // the centre along a line: (C - 1) / 2 along rows
  double Spacing, Centre;  // the bins: j = t / Spacing + Centre
  std::vector<double> Start;
  // The bins [first, last) whose position on line l lies inside (-1, Length): those
  // that reach a cell of the line. Every position of a bin in the range, shifted by
  // kPad, falls on [kPad - 1, kPad + Length], so its two cells lie inside the line.
  void Bins(int line, int& first, int& last) const;
  // The same, where first and last hold a neighbouring line's bins on entry: they are
  // walked to this line's, a step or two where the bins are not much narrower than a
  // cell, and checked; an empty range (on entry or after the walk) is found by Bins.
  void NextBins(int line, int& first, int& last) const;
  // The position of bin j on line l, shifted by kPad, as the loops compute it.
  double Position(int line, int j) const { return (Start[j] - (line - LineMiddle) * Slope) + kPad; }
  // Whether that position lies inside (-1, Length) before the shift: bin j reaches a cell
  // of line l.
  bool Reaches(int line, int j) const {
    const double x = Position(line, j);
    return x > kPad - 1 && x < kPad + Length;
  }
};

// out[j] = the sum over the lines of the image interpolated at bin j's position, divided
// by Dominant (out has a slot per bin).
void ProjectView(const TLines& image, const TView& view, double* out);

// The transpose of ProjectView for lines [lineBegin, lineEnd): adds values[j] / Dominant
// to the two cells around bin j's position on each line, split by the interpolation
// weights, into `lines` (padded rows when AlongRows, else padded columns, as in
// TLines). With `weights`, adds the weights alone there too.
void BackProjectView(const TView& view, const double* values, int lineBegin, int lineEnd,
                     double* lines, double* weights = nullptr);

}  // namespace quarvel::joseph
