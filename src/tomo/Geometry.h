#pragma once
// The scan geometry shared by every projector and reconstruction: a parallel beam about
// the grid's centre, in model units.
//
// View k of N lies at theta_k = k * arc / N degrees (k = 0 ... N - 1). Bin j of M lies at
// t_j = (j - (M - 1) / 2) * h, with h = 19/127 the grid step. A point (x, y) lies at
// t = (x - c) cos theta + (y - c) sin theta, c = 10.5, and the ray of a bin runs along
// (-sin theta, cos theta): at theta = 0 it runs along Y, the direction in which the zero
// projection sums. Sinograms are [view][bin] in cell units (a line integral divided by h);
// images are [iy][ix] on the grid's 128 x 128 points, in density units.

#include <cstddef>
#include <vector>

#include "base/Exception.h"

namespace quarvel {

// A value of a study out of its range; the message names the value, its range and what
// was given ("views must be from 1 to 100000, not 0").
class EInvalidStudyValue : public Exception {
 public:
  using Exception::Exception;
};
// The same for a field of the scan geometry (views, arc, detectors).
class EInvalidGeometry : public EInvalidStudyValue {
 public:
  using EInvalidStudyValue::EInvalidStudyValue;
};

// Work that was asked to stop (through its stop token) before it finished; whatever it
// was computing is discarded. Its message is "The computation was cancelled".
class ECancelled : public Exception {
 public:
  ECancelled();
};

// How many threads a stage may use: 0 asks for one per processor the system reports.
// Every result is the same for any count.
int ResolveThreadCount(int threads);

struct TScanGeometry {
  int Views = 180;          // 1 ... 100000
  double ArcDegrees = 180;  // 0 < arc <= 360
  int Detectors = 182;      // 2 ... 10000; 182 bins cover the grid's diagonal

  static constexpr double kCentre = 10.5;
  // The grid step 19/127 in model units, the unit of the sinogram's values and of t.
  static double Step();

  // k * arc / N.
  double AngleDegrees(int view) const;
  double AngleRadians(int view) const;
  // cos and sin of the view's angle; exact (0, 1 or -1) at the multiples of 90 degrees.
  double Cos(int view) const;
  double Sin(int view) const;
  // The bin's position t in model units, (j - (M - 1) / 2) * 19 / 127 (so that the bins
  // whose t is a multiple of h/2 hold it exactly).
  double BinPosition(int bin) const;
  // The same in cells (units of h): j - (M - 1) / 2, exact.
  double BinCells(int bin) const;
};

// Raises EInvalidGeometry (a message naming the value and its range) unless every field
// is in range.
void CheckGeometry(const TScanGeometry& geometry);

// A dense row-major array of doubles: an image ([iy][ix]) or a sinogram ([view][bin]).
struct TArray2D {
  int Rows = 0;
  int Columns = 0;
  std::vector<double> Values;  // Rows * Columns, row after row

  TArray2D() = default;
  TArray2D(int rows, int columns)
      : Rows(rows), Columns(columns), Values(std::size_t(rows) * std::size_t(columns)) {}
  double& At(int row, int column) {
    return Values[std::size_t(row) * std::size_t(Columns) + std::size_t(column)];
  }
  double At(int row, int column) const {
    return Values[std::size_t(row) * std::size_t(Columns) + std::size_t(column)];
  }
  friend bool operator==(const TArray2D&, const TArray2D&) = default;
};

}  // namespace quarvel
