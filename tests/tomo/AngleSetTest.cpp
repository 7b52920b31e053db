// The phantom sampled at any grid size against the viewer's grid, FBP's view weights for
// angle sets of every kind, reconstruction of arcs beyond a half turn, and the iterative
// methods' options (CGLS, relaxation, the per-iteration image).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <vector>

#include "TomoFixtures.h"
#include "tomo/Study.h"

namespace quarvel {
namespace {

using std::numbers::pi;
using testing::Blobs;
using testing::GridImage;
using testing::StartUpPhantom;

TEST(SamplePhantom, IsTheViewersGridAt128AndSharesItsPointsAt255) {
  const auto model = StartUpPhantom();
  std::vector<TGauss3D> blobs = Blobs(*model);
  blobs.emplace_back(10.0, 0.5, 10.0, 0.5);
  blobs.back().Enabled = false;  // counts for neither
  const TArray2D grid = SamplePhantom(blobs, 128);
  EXPECT_EQ(grid, GridImage(*model));
  // Step 19/254 is half of 19/127 exactly, so every other point is a point of the grid.
  const TArray2D fine = SamplePhantom(blobs, 255);
  for (int iy = 0; iy < 128; ++iy)
    for (int ix = 0; ix < 128; ++ix) ASSERT_EQ(fine.At(2 * iy, 2 * ix), grid.At(iy, ix));
  EXPECT_THROW(SamplePhantom(blobs, 7), EInvalidGeometry);
  EXPECT_THROW(SamplePhantom({TGauss3D(5, 0, 5, 1)}, 16), Exception);  // a zero spread
}

TScanGeometry Arc(int views, double arc) {
  TScanGeometry g;
  g.Views = views;
  g.ArcDegrees = arc;
  return g;
}

TEST(FbpViewWeights, ShareTheHalfTurnByTheGapsBetweenFoldedAngles) {
  const double degree = pi / 180;
  struct TRow {
    const char* Name;
    TScanGeometry Geometry;
    std::vector<double> Expected;  // radians
  } rows[] = {
      {"half turn: pi / N", Arc(4, 180), {pi / 4, pi / 4, pi / 4, pi / 4}},
      {"full turn: pi / N", Arc(4, 360), {pi / 4, pi / 4, pi / 4, pi / 4}},
      {"three quarters: the doubled half shares",
       Arc(6, 270),
       {22.5 * degree, 22.5 * degree, 45 * degree, 45 * degree, 22.5 * degree, 22.5 * degree}},
      {"uneven, unordered, one view half a turn on",
       MeasuredAngles({90, 0, 30, 210}, 10),
       {75 * degree, 60 * degree, 22.5 * degree, 22.5 * degree}},
      {"one angle: the whole half turn", MeasuredAngles({-45}, 10), {pi}},
      {"negative angles fold a half turn on: -30 is 150",
       MeasuredAngles({-30, 0, 170}, 10),
       {85 * degree, 80 * degree, 15 * degree}},
      {"missing wedge: the edges take half of it each",
       Arc(3, 90),
       {75 * degree, 30 * degree, 75 * degree}},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::vector<double> w = FbpViewWeights(row.Geometry);
    ASSERT_EQ(w.size(), row.Expected.size());
    for (std::size_t k = 0; k < w.size(); ++k) EXPECT_NEAR(w[k], row.Expected[k], 1e-15) << k;
    EXPECT_NEAR(std::accumulate(w.begin(), w.end(), 0.0), pi, 1e-14);
  }
  // The plain weights: all equal, as they always were.
  const std::vector<double> plain = FbpViewWeights(Arc(180, 180));
  EXPECT_EQ(plain, std::vector<double>(180, plain[0]));
  EXPECT_NEAR(plain[0], pi / 180, 1e-17);
}

// Between a half and a full turn the doubly measured directions must not count twice.
TEST(Fbp, ArcsBetweenAHalfAndAFullTurnComeBackInDensityUnits) {
  const auto model = StartUpPhantom();
  for (auto [views, arc] : {std::pair{270, 270.0}, std::pair{200, 300.0}, std::pair{150, 200.0}}) {
    SCOPED_TRACE(arc);
    TStudyOptions options;
    options.Geometry = Arc(views, arc);
    const TStudyResult r = testing::RunStudy(*model, options);
    EXPECT_LE(r.Metrics.Nrmse, 0.005);
  }
}

// A non-square image and a non-default detector: FBP of the sampled phantom's grid
// projection comes back as well as on the viewer's grid.
TEST(Fbp, AnyImageSizeAndDetectorComeBack) {
  const auto model = StartUpPhantom();
  const TArray2D square = SamplePhantom(Blobs(*model), 96);
  TArray2D wide(80, 96);  // the square's middle rows
  for (int iy = 0; iy < 80; ++iy)
    for (int ix = 0; ix < 96; ++ix) wide.At(iy, ix) = square.At(iy + 8, ix);
  TScanGeometry g = Arc(240, 180);
  g.Detectors = 260;
  g.Spacing = 0.5;
  g.Offset = 1.5;
  const TArray2D image = ReconstructFbp(ProjectGrid(wide, g), g, {}, {96, 80});
  EXPECT_LE(CompareImages(image, wide).Nrmse, 0.01);
}

double Nrmse(const TArray2D& truth, const TScanGeometry& g, const TIterativeOptions& options) {
  const TArray2D s = ProjectGrid(truth, g);
  return CompareImages(ReconstructIterative(s, g, options, {truth.Columns, truth.Rows}), truth)
      .Nrmse;
}

TEST(Iterative, CglsConvergesAndEveryIterationIsReported) {
  const TArray2D truth = SamplePhantom(Blobs(*StartUpPhantom()), 48);
  const TScanGeometry g = Arc(40, 180);
  TIterativeOptions options;
  options.Method = TIterativeMethod::Cgls;
  std::vector<double> errors;
  std::vector<int> done;
  options.Iterate = [&](int iteration, const TArray2D& image) {
    EXPECT_EQ(iteration, int(errors.size()) + 1);
    errors.push_back(CompareImages(image, truth).Nrmse);
  };
  options.Progress = [&](int iteration) { done.push_back(iteration); };
  options.Iterations = 12;
  const double last = Nrmse(truth, g, options);
  ASSERT_EQ(errors.size(), 12u);
  EXPECT_EQ(done.back(), 12);
  EXPECT_EQ(errors.back(), last);  // the last image reported is the result
  for (std::size_t i = 1; i < errors.size(); ++i) EXPECT_LT(errors[i], errors[i - 1]) << i;
  EXPECT_LE(last, 0.01);
}

// Conjugate gradients solve a consistent, well-posed system of n unknowns in at most n
// steps, up to rounding: a wrong step length or residual update would not get there.
TEST(Iterative, CglsSolvesASmallSystemExactly) {
  TArray2D truth(8, 8);
  for (std::size_t i = 0; i < truth.Values.size(); ++i) truth.Values[i] = double((i * 37) % 11);
  TScanGeometry g = Arc(40, 180);
  g.Detectors = 16;
  g.Spacing = 0.4;
  TIterativeOptions options;
  options.Method = TIterativeMethod::Cgls;
  options.Iterations = 64;
  const TArray2D x = ReconstructIterative(ProjectGrid(truth, g), g, options, {8, 8});
  for (std::size_t i = 0; i < x.Values.size(); ++i)
    EXPECT_NEAR(x.Values[i], truth.Values[i], 1e-9) << i;
}

TEST(Iterative, RelaxationAndNonNegativityTakeEffect) {
  const TArray2D truth = SamplePhantom(Blobs(*StartUpPhantom()), 40);
  const TScanGeometry g = Arc(30, 180);
  for (auto method : {TIterativeMethod::Sirt, TIterativeMethod::Sart}) {
    SCOPED_TRACE(int(method));
    TIterativeOptions options;
    options.Method = method;
    options.Iterations = 3;
    const double plain = Nrmse(truth, g, options);
    options.Relaxation = 0.25;  // smaller steps from zero: farther after few iterations
    EXPECT_GT(Nrmse(truth, g, options), 1.5 * plain);
    if (method == TIterativeMethod::Sirt) {
      options.Relaxation = 1.6;  // SIRT's plain steps are short: longer ones get closer
      EXPECT_LT(Nrmse(truth, g, options), plain);
    }
    options.NonNegative = true;
    options.Relaxation = 1;
    std::vector<double> smallest;
    options.Iterate = [&](int, const TArray2D& image) {
      smallest.push_back(*std::min_element(image.Values.begin(), image.Values.end()));
    };
    Nrmse(truth, g, options);
    for (double v : smallest) EXPECT_GE(v, 0);
  }
}

}  // namespace
}  // namespace quarvel
