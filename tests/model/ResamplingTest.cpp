#include <gtest/gtest.h>

#include <algorithm>

#include "ModelFixtures.h"
#include "StepwiseModel.h"
#include "base/Exception.h"
#include "format/NumberFormat.h"

namespace quarvel {
namespace {

using testing::StartUpPhantom;

TEST(StartUp, ThreeBlobsThreeCycles) {
  const auto model = StartUpPhantom();
  EXPECT_EQ(model->cycles, 3);
  ASSERT_EQ(model->BlobCount(), 3);
  EXPECT_EQ(model->BlobAt(0)->MX, 7);
  EXPECT_EQ(model->BlobAt(2)->DY, 3);
  EXPECT_THROW(model->BlobAt(3), EListError);
}

TEST(Projection, StartUpRange) {
  const auto model = StartUpPhantom();
  const auto& p = model->Projection;
  const auto [lo, hi] = std::minmax_element(p.begin(), p.end());
  EXPECT_EQ(lo - p.begin(), 127);
  EXPECT_NEAR(*lo, 0.199, 5e-4);
  EXPECT_EQ(hi - p.begin(), 94);
  EXPECT_NEAR(*hi, 15.54, 5e-3);
  EXPECT_NEAR(p[0], 1.70123, 5e-6);
  EXPECT_NEAR(p[1], 1.85819, 5e-6);
}

TEST(Resampling, PointCountsAndWhereTheSamplesLie) {
  const struct {
    const char* name;
    uint8_t resolution;
    int count;
    int sampleStride;
  } cases[] = {{"128: the samples alone", 0, 128, 1},
               {"256: one pass, a point between every two", 1, 255, 2},
               {"512: two passes", 2, 509, 4}};
  for (const auto& c : cases) {
    const auto model = StartUpPhantom(c.resolution);
    ASSERT_EQ(model->ResolutionPointCount(), c.count) << c.name;
    ASSERT_EQ(static_cast<int>(model->Points.size()), c.count) << c.name;
    for (int i = 0; i < 128; ++i) {
      const TProjectionPoint& sample = model->Points[i * c.sampleStride];
      ASSERT_EQ(sample.X, TProjectionModel::GridCoordinate(i)) << c.name << ", sample " << i;
      ASSERT_EQ(sample.Y, model->Projection[i]) << c.name << ", sample " << i;
    }
    for (int i = 0; i < c.count; ++i)
      ASSERT_EQ(model->IsInsertedPoint(i), i % c.sampleStride != 0) << c.name << ", point " << i;
    EXPECT_TRUE(std::is_sorted(model->Points.begin(), model->Points.end(),
                               [](const auto& a, const auto& b) { return a.X < b.X; }))
        << c.name;
  }
}

TEST(Resampling, StartUpInsertionsLieInsideTheirIntervals) {
  for (uint8_t resolution : {1, 2}) {
    const auto model = StartUpPhantom(resolution);
    const auto& p = model->Points;
    for (std::size_t k = 1; k + 1 < p.size(); k += 2) {
      const double share = (p[k].X - p[k - 1].X) / (p[k + 1].X - p[k - 1].X);
      EXPECT_GT(share, 0.47) << "point " << k;
      EXPECT_LT(share, 0.56) << "point " << k;
    }
  }
  const auto model = StartUpPhantom(1);
  EXPECT_NEAR(model->Points[1].X, 1.07341, 5e-6);
  EXPECT_NEAR(model->Points[1].Y, 1.76197, 5e-6);
}

TEST(Resampling, SameAsStepwiseAtEveryResolution) {
  for (uint8_t resolution : {0, 1, 2}) {
    auto fast = StartUpPhantom(resolution);
    auto slow = StartUpPhantom(resolution);
    testing::RecomputeStepwise(*slow);
    EXPECT_TRUE(fast->Points == slow->Points) << "resolution " << int(resolution);
    EXPECT_TRUE(fast->Projection == slow->Projection);
    EXPECT_TRUE(fast->Grid == slow->Grid);
    EXPECT_EQ(fast->GridMax, slow->GridMax);
  }
}

TEST(Resampling, AllZeroProjection) {
  TProjectionModel model;
  model.RecomputeModel();  // no blobs at all
  ASSERT_EQ(model.Points.size(), 128u);
  for (const auto& p : model.Points) EXPECT_EQ(p.Y, 0.0);

  model.Resolution = 1;
  model.RecomputeModel();
  ASSERT_EQ(model.Points.size(), 255u);
  for (std::size_t k = 1; k < 255; k += 2) {
    const double xl = model.Points[k - 1].X, xr = model.Points[k + 1].X;
    EXPECT_EQ(model.Points[k].X, xl);
    EXPECT_NEAR(model.Points[k].Y, 2e-6 * (xl + xr), 1e-9 * 2e-6 * (xl + xr));
    EXPECT_GT(model.Points[k].Y, 0);
  }

  // The second pass meets an interval whose two ends share X = 1.
  const std::vector<TProjectionPoint> before = model.Points;
  model.Resolution = 2;
  try {
    model.RecomputeModel();
    FAIL() << "resolution 2 of an all-zero projection must fail";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "X1 = 1\r\nY1 = 0\r\nX2 = 1\r\nY2 = " + FormatGeneral(before[1].Y));
  }
  EXPECT_TRUE(model.Points == before);  // the failed pass leaves the previous points
}

TEST(RecomputeModel, ASingleBlobCannotBeResampledTwice) {
  // With blob 1 alone the right-hand samples fall below the tolerance: the first pass
  // inserts points at their left samples' X and the second pass meets equal ends.
  TProjectionModel model;
  model.AdoptBlob(std::make_unique<TGauss3D>(7, 2, 12, 2));
  model.Resolution = 2;
  EXPECT_THROW(model.RecomputeModel(), Exception);
}

TEST(RecomputeModel, FloatingPointErrorEndsTheCycle) {
  auto model = StartUpPhantom(1);
  const std::vector<TProjectionPoint> before = model->Points;
  model->AdoptBlob(std::make_unique<TGauss3D>(5, 0, 5, 1));
  EXPECT_THROW(model->RecomputeModel(), EMathError);
  EXPECT_TRUE(model->Points == before);
  EXPECT_EQ(model->BlobCount(), 4);
}

TEST(RecomputeModel, ProjectionOverflowRaises) {
  // Each cell near 1.8e308: the column sums overflow.
  TProjectionModel model;
  model.ResetGrid();
  for (auto& column : model.Grid) column.fill(1.7e308);
  EXPECT_THROW(model.ComputeProjection(), EOverflow);
}

}  // namespace
}  // namespace quarvel
