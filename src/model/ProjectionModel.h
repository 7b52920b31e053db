#pragma once
// The projection model: the blob list, the 128 x 128 density grid, the zero projection
// and its resampling at one of three resolutions. It is the model half of the main
// window, usable without any window: `RecomputeModel` runs the whole update cycle of
// the model (reset, fold the enabled blobs in list order, project, resample).
//
// Invariants after a successful cycle: `Grid[ix][iy]` is the largest value of any
// enabled blob at (GridCoordinate(ix), GridCoordinate(iy)) (0 where there is none),
// `GridMax` the largest cell (-1 when no blob is enabled), `Projection[ix]` the sum of
// column ix, and `Points` holds ResolutionPointCount() points in non-decreasing X.
// A failing step (a floating-point error, the fit error) leaves what was rebuilt
// before it and propagates.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/Crossing.h"
#include "model/Cubic.h"
#include "model/Gauss.h"
#include "model/ListsUnit.h"

namespace quarvel {

class TProjectionModel {
 public:
  static constexpr int kGridSize = 128;
  using GridArray = std::array<std::array<double, kGridSize>, kGridSize>;

  // 1 + i * 19/127 in extended precision, rounded to double: 1.0 at 0, 20.0 at 127.
  static double GridCoordinate(int i);

  // GridMax = -1, every cell 0.
  void ResetGrid();
  // Folds one blob into the grid by maximum (regardless of its Enabled flag).
  void AddBlobToGrid(const TGauss3D& blob);
  // Projection[ix] = the running double sum of Grid[ix][0 ... 127].
  void ComputeProjection();
  // 128, 255 or 509 for Resolution 0, 1, 2.
  int ResolutionPointCount() const;
  // Rebuilds Points for the current Resolution.
  void ResampleProjection();
  // Whether point `index` of the points resampled at `resolution` was inserted by the
  // search rather than taken from the samples: each insertion pass puts one point between
  // every two neighbours, so odd indices at 1, indices not divisible by 4 at 2, none at 0.
  static bool IsInsertedPoint(int resolution, int index);
  // The same for Points at the model's own Resolution.
  bool IsInsertedPoint(int index) const { return IsInsertedPoint(Resolution, index); }
  void RefineOnce();
  void RefineTwice();
  // Fits Fit1 (near 0 at xl, near yr at xr) and Fit2 (near 0 at xr, near yl at xl),
  // then searches the crossing (see SearchCrossing); always writes x and y.
  void FindCrossing(double xl, double yl, double xr, double yr, double& x, double& y);

  // The model's update cycle: ResetGrid, AddBlobToGrid for each enabled blob in list
  // order, ComputeProjection, ResampleProjection.
  void RecomputeModel();

  // The blob list, owned here. BlobAt raises the list error outside 0 ... count - 1.
  TGauss3D* AdoptBlob(std::unique_ptr<TGauss3D> blob);
  TGauss3D* BlobAt(int index) const;
  int BlobCount() const;

  GridArray Grid{};
  std::array<double, kGridSize> Projection{};
  std::vector<TProjectionPoint> Points;
  double GridMax = 0;
  ListVar<TGauss3D> Blobs;
  uint8_t Resolution = 0;
  TCubic Fit1;
  TCubic Fit2;

 private:
  // The 255 points of one insertion pass over the 128 samples.
  std::vector<TProjectionPoint> RefinedSamples();
  // Inserts one point between each pair of neighbours of `source`.
  std::vector<TProjectionPoint> InsertBetween(const std::vector<TProjectionPoint>& source);
};

}  // namespace quarvel
