#pragma once
// The geometries shared by every projector and reconstruction: the image's grid of pixels
// and the scan (the views' angles and the detector), in pixels.
//
// An image of C columns and R rows has its pixel (ix, iy) at (ix, iy) in pixel units and
// turns about its centre ((C - 1) / 2, (R - 1) / 2): 63.5 for the viewer's 128 x 128 grid.
// By default view k of N lies at theta_k = k * arc / N degrees (k = 0 ... N - 1); a list
// of measured angles, in any order, may stand instead. Bin j of M lies at
// t_j = (j - (M - 1) / 2 + offset) * spacing pixels from the centre. In parallel beam a
// point (x, y) lies at t = (x - cx) cos theta + (y - cy) sin theta, and the ray of a bin
// runs along (-sin theta, cos theta): at theta = 0 it runs along Y, the direction in which
// the viewer's zero projection sums. Sinograms are [view][bin]: line integrals divided by
// the pixel size ("cell units"; the viewer's pixel is its grid step 19/127 model units).
// Images are [iy][ix] in density units.

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

// The pixels of an image: Columns x Rows, each from 8 to 4096.
struct TImageSize {
  int Columns = 128;
  int Rows = 128;
  friend bool operator==(const TImageSize&, const TImageSize&) = default;
};

// Raises EInvalidGeometry unless both sides are from 8 to 4096.
void CheckImageSize(const TImageSize& size);

// How the rays of a view run: all parallel, or fanning out from a point source to a flat
// or an arc-shaped (equiangular) detector.
enum class TBeam { Parallel, FanFlat, FanArc };
// The beam's name as the export tool's --geometry and a sinogram's JSON file write it:
// "parallel", "fan-flat" or "fan-arc".
const char* BeamName(TBeam beam);

struct TScanGeometry {
  int Views = 180;          // 1 ... 100000; with Angles, their count
  double ArcDegrees = 180;  // 0 < arc <= 360; not used with Angles
  int Detectors = 182;      // 2 ... 10000; 182 bins cover the viewer's grid's diagonal
  // Measured angles in degrees, any order, finite; empty for the uniform k * arc / N.
  std::vector<double> Angles{};
  double Spacing = 1;  // the bins' spacing in pixels, finite and > 0
  double Offset = 0;   // the detector's centre offset in bins, finite
  TBeam Beam = TBeam::Parallel;
  // Fan beam only, in pixels: the source's distance R from the rotation centre and the
  // detector's distance D from it (see the fan-beam projectors).
  double SourceDistance = 0;
  double DetectorDistance = 0;

  static constexpr double kCentre = 10.5;
  // The viewer's grid step 19/127 in model units, the unit of its sinogram's values and of t.
  static double Step();

  // Whether the angles are the uniform k * arc / N (no measured list).
  bool Uniform() const { return Angles.empty(); }
  // Angles[view], or k * arc / N.
  double AngleDegrees(int view) const;
  double AngleRadians(int view) const;
  // cos and sin of the view's angle; exact (0, 1 or -1) at the multiples of 90 degrees.
  double Cos(int view) const;
  double Sin(int view) const;
  // The bin's position t in model units of the viewer's grid, BinCells(bin) * 19 / 127 (so
  // that the bins whose t is a multiple of h/2 hold it exactly).
  double BinPosition(int bin) const;
  // The same in pixels: (j - (M - 1) / 2 + Offset) * Spacing; exact by default.
  double BinCells(int bin) const;
  friend bool operator==(const TScanGeometry&, const TScanGeometry&) = default;
};

// A geometry with measured angles (degrees) and `detectors` bins; the rest as by default.
TScanGeometry MeasuredAngles(std::vector<double> angles, int detectors);

// Raises EInvalidGeometry (a message naming the value and its range) unless every field
// is in range.
void CheckGeometry(const TScanGeometry& geometry);

// A read-only look at a caller's 2-D array of doubles, without owning or copying it:
// element (r, c) lies at Data[r * RowStride + c * ColumnStride] (strides in elements,
// either may be negative or zero). The caller keeps the memory alive and unchanged while
// the view is used.
struct TArrayView {
  const double* Data = nullptr;
  int Rows = 0;
  int Columns = 0;
  std::ptrdiff_t RowStride = 0;
  std::ptrdiff_t ColumnStride = 1;

  double At(int row, int column) const {
    return Data[std::ptrdiff_t(row) * RowStride + std::ptrdiff_t(column) * ColumnStride];
  }
  // Rows after rows with no gaps: Data[r * Columns + c].
  bool Contiguous() const { return ColumnStride == 1 && RowStride == Columns; }
};

// A dense row-major array of doubles: an image ([iy][ix]) or a sinogram ([view][bin]).
// It owns its values; moving it hands the buffer over without a copy.
struct TArray2D {
  int Rows = 0;
  int Columns = 0;
  std::vector<double> Values;  // Rows * Columns, row after row

  TArray2D() = default;
  TArray2D(int rows, int columns)
      : Rows(rows), Columns(columns), Values(std::size_t(rows) * std::size_t(columns)) {}
  // A copy of what a view shows.
  explicit TArray2D(const TArrayView& view);
  double& At(int row, int column) {
    return Values[std::size_t(row) * std::size_t(Columns) + std::size_t(column)];
  }
  double At(int row, int column) const {
    return Values[std::size_t(row) * std::size_t(Columns) + std::size_t(column)];
  }
  TArrayView View() const { return {Values.data(), Rows, Columns, Columns, 1}; }
  operator TArrayView() const { return View(); }  // NOLINT(google-explicit-constructor)
  friend bool operator==(const TArray2D&, const TArray2D&) = default;
};

}  // namespace quarvel
