#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "ModelFixtures.h"
#include "StepwiseModel.h"
#include "base/Exception.h"

namespace quarvel {
namespace {

using testing::AddBlobToGridPointwise;
using testing::StartUpPhantom;

bool SameBits(const TProjectionModel::GridArray& a, const TProjectionModel::GridArray& b) {
  // The bits are what is compared (0.0 and -0.0 differ here), so memcmp is meant.
  return std::memcmp(&a, &b, sizeof a) == 0;  // NOLINT(bugprone-suspicious-memory-comparison)
}

TEST(GridCoordinate, MapsIndicesOntoOneToTwenty) {
  const struct {
    const char* name;
    int index;
    double value;
  } cases[] = {{"the first cell at 1", 0, 1.0},
               {"one step of 19/127", 1, 1.1496062992125984},
               {"the middle", 64, 10.5748031496063},
               {"the last cell at 20", 127, 20.0}};
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(TProjectionModel::GridCoordinate(c.index), c.value) << c.name;
  EXPECT_EQ(TProjectionModel::GridCoordinate(0), 1.0);
  EXPECT_EQ(TProjectionModel::GridCoordinate(127), 20.0);
}

TEST(DensityGrid, ResetAndNoEnabledBlob) {
  TProjectionModel model;
  EXPECT_EQ(model.GridMax, 0.0);  // before the first cycle
  model.AdoptBlob(std::make_unique<TGauss3D>(7, 2, 12, 2))->Enabled = false;
  model.RecomputeModel();
  EXPECT_EQ(model.GridMax, -1.0);
  for (const auto& column : model.Grid)
    for (double cell : column) ASSERT_EQ(cell, 0.0);
}

TEST(DensityGrid, OverlappingBlobsCombineByMaximum) {
  const TGauss3D a(7, 2, 12, 2), b(9, 3, 7, 1);
  TProjectionModel model;
  model.ResetGrid();
  model.AddBlobToGrid(a);
  model.AddBlobToGrid(b);
  for (int ix : {0, 40, 53, 90})
    for (int iy : {0, 40, 70, 127}) {
      const double x = TProjectionModel::GridCoordinate(ix),
                   y = TProjectionModel::GridCoordinate(iy);
      EXPECT_EQ(model.Grid[ix][iy], std::max(a.BlobValue(x, y), b.BlobValue(x, y)))
          << ix << "," << iy;
    }
}

TEST(DensityGrid, StartUpPhantomMaximum) {
  const auto model = StartUpPhantom();
  EXPECT_NEAR(model->GridMax, 0.2302830, 5e-8);
  EXPECT_EQ(model->Grid[53][40], model->GridMax);
  EXPECT_EQ(model->GridMax, TGauss3D(9, 3, 7, 1)
                                .BlobValue(TProjectionModel::GridCoordinate(53),
                                           TProjectionModel::GridCoordinate(40)));
  EXPECT_NEAR(model->Grid[0][0], 1.09236e-5, 5e-10);
}

TEST(DensityGrid, EqualsTheCellByCellFold) {
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> mean(-5, 25), spread(0.05, 8);
  TProjectionModel fast, pointwise;
  fast.ResetGrid();
  pointwise.ResetGrid();
  for (int i = 0; i < 6; ++i) {
    const TGauss3D blob(mean(rng), spread(rng), mean(rng), spread(rng));
    fast.AddBlobToGrid(blob);
    AddBlobToGridPointwise(pointwise, blob);
  }
  const TGauss3D both_negative(9, -3, 7, -1);
  fast.AddBlobToGrid(both_negative);
  AddBlobToGridPointwise(pointwise, both_negative);
  EXPECT_TRUE(SameBits(fast.Grid, pointwise.Grid));
  EXPECT_EQ(fast.GridMax, pointwise.GridMax);
}

// A failing blob raises where the cell-by-cell fold would, leaving the same cells.
TEST(DensityGrid, FailingBlobLeavesTheSamePartialGrid) {
  const TGauss3D failing[] = {
      TGauss3D(7, 0, 12, 2),       // zero spread along X: fails at the first cell
      TGauss3D(7, 2, 12, 0),       // zero spread along Y
      TGauss3D(9, -3, 7, 1),       // negative product: fails at the first cell
      TGauss3D(20, 1e-320, 7, 1),  // overflow only where x = 20, the last column
      TGauss3D(9, 3, 1, 1e-320),   // overflow only in the first row
  };
  for (const TGauss3D& blob : failing) {
    TProjectionModel fast, pointwise;
    // From an empty grid, any cell folded before the error lifts GridMax from -1 to 0.
    fast.ResetGrid();
    pointwise.ResetGrid();
    EXPECT_THROW(fast.AddBlobToGrid(blob), EMathError);
    EXPECT_THROW(AddBlobToGridPointwise(pointwise, blob), EMathError);
    EXPECT_TRUE(SameBits(fast.Grid, pointwise.Grid)) << blob.MX << " " << blob.DX;
    EXPECT_EQ(fast.GridMax, pointwise.GridMax);
  }
}

}  // namespace
}  // namespace quarvel
