#include "model/ProjectionModel.h"

#include <cmath>
#include <exception>

#include "model/CheckedFloat.h"

namespace quarvel {
namespace {

constexpr long double kGridStep = 19.0L / 127.0L;
constexpr int kPointCounts[3] = {128, 255, 509};

// One blob's density along one axis at every grid coordinate. An entry whose
// evaluation failed keeps its error, to be raised where the cell-by-cell fold would
// first have met it.
struct AxisDensities {
  std::array<double, TProjectionModel::kGridSize> value{};
  std::array<std::exception_ptr, TProjectionModel::kGridSize> error{};
  int firstError = TProjectionModel::kGridSize;
  bool allNonNegative = true;

  AxisDensities(double mean, double spread) {
    for (int i = 0; i < TProjectionModel::kGridSize; ++i) {
      try {
        value[i] = NormalDensity(TProjectionModel::GridCoordinate(i), mean, spread);
        if (!(value[i] >= 0)) allNonNegative = false;
      } catch (...) {
        error[i] = std::current_exception();
        firstError = std::min(firstError, i);
      }
    }
  }
};

}  // namespace

double TProjectionModel::GridCoordinate(int i) { return static_cast<double>(1.0L + i * kGridStep); }

void TProjectionModel::ResetGrid() {
  GridMax = -1.0;
  for (auto& column : Grid) column.fill(0.0);
}

// A blob's value at a grid point depends on one X density and one Y density, each
// the same function of the same arguments wherever it is needed; they are computed
// once per axis, and the cells are folded in the same order as point by point.
void TProjectionModel::AddBlobToGrid(const TGauss3D& blob) {
  const AxisDensities xs(blob.MX, blob.DX);
  const AxisDensities ys(blob.MY, blob.DY);
  const bool unchecked = xs.firstError == kGridSize && ys.firstError == kGridSize &&
                         xs.allNonNegative && ys.allNonNegative;

  for (int iy = 0; iy < kGridSize; ++iy) {
    for (int ix = 0; ix < kGridSize; ++ix) {
      double v;
      if (unchecked) {
        // Non-negative finite densities: the product and its root cannot fail.
        v = static_cast<double>(std::sqrt(static_cast<long double>(ys.value[iy]) * xs.value[ix]));
      } else {
        if (xs.error[ix]) std::rethrow_exception(xs.error[ix]);
        if (ys.error[iy]) std::rethrow_exception(ys.error[iy]);
        v = CombineDensities(xs.value[ix], ys.value[iy]);
      }
      if (v > GridMax) GridMax = v;
      if (v > Grid[ix][iy]) Grid[ix][iy] = v;
    }
  }
}

void TProjectionModel::ComputeProjection() {
  for (int ix = 0; ix < kGridSize; ++ix) {
    double sum = 0.0;
    for (int iy = 0; iy < kGridSize; ++iy) sum = (Checked(sum) + Grid[ix][iy]).ToDouble();
    Projection[ix] = sum;
  }
}

int TProjectionModel::ResolutionPointCount() const { return kPointCounts[Resolution % 3]; }

bool TProjectionModel::IsInsertedPoint(int resolution, int index) {
  if (resolution == 1) return index % 2 == 1;
  if (resolution == 2) return index % 4 != 0;
  return false;
}

void TProjectionModel::ResampleProjection() {
  switch (Resolution) {
    case 1:
      RefineOnce();
      break;
    case 2:
      RefineTwice();
      break;
    default: {
      Points.assign(kGridSize, {});
      for (int i = 0; i < kGridSize; ++i)
        Points[i] = MakeProjectionPoint(GridCoordinate(i), Projection[i]);
    }
  }
}

void TProjectionModel::FindCrossing(double xl, double yl, double xr, double yr, double& x,
                                    double& y) {
  FitCubic(Fit1, xl, yl, xr, yr);
  FitCubic(Fit2, xr, yr, xl, yl);
  const CrossingResult r = SearchCrossing(Fit1, Fit2, xl, xr);
  x = r.X;
  y = r.Y;
}

std::vector<TProjectionPoint> TProjectionModel::InsertBetween(
    const std::vector<TProjectionPoint>& source) {
  std::vector<TProjectionPoint> result(2 * source.size() - 1);
  double x = 0, y = 0;
  for (std::size_t k = 0; k + 1 < source.size(); ++k) {
    FindCrossing(source[k].X, source[k].Y, source[k + 1].X, source[k + 1].Y, x, y);
    result[2 * k] = source[k];
    result[2 * k + 1] = MakeProjectionPoint(x, y);
  }
  result.back() = source.back();
  return result;
}

std::vector<TProjectionPoint> TProjectionModel::RefinedSamples() {
  std::vector<TProjectionPoint> samples(kGridSize);
  for (int i = 0; i < kGridSize; ++i)
    samples[i] = MakeProjectionPoint(GridCoordinate(i), Projection[i]);
  return InsertBetween(samples);
}

void TProjectionModel::RefineOnce() { Points = RefinedSamples(); }

void TProjectionModel::RefineTwice() { Points = InsertBetween(RefinedSamples()); }

void TProjectionModel::RecomputeModel() {
  ResetGrid();
  for (int i = 0; i < BlobCount(); ++i) {
    const TGauss3D* blob = BlobAt(i);
    if (blob->Enabled) AddBlobToGrid(*blob);
  }
  ComputeProjection();
  ResampleProjection();
}

TGauss3D* TProjectionModel::AdoptBlob(std::unique_ptr<TGauss3D> blob) {
  return ListAppend(Blobs, std::move(blob));
}

TGauss3D* TProjectionModel::BlobAt(int index) const { return ListItemAt(Blobs.get(), index); }

int TProjectionModel::BlobCount() const { return static_cast<int>(ListCount(Blobs.get())); }

}  // namespace quarvel
