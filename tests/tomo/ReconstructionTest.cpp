// Reconstructions of the built-in phantom against its grid, the filter's response
// against the windows' definitions, the whole chain with floating-point traps on, and the
// wide interpolation loops against the plain ones.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "TomoFixtures.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"
#include "tomo/Study.h"
#include "tomo/Wide.h"

namespace quarvel {
namespace {

using testing::RunStudy;
using testing::StartUpPhantom;
using testing::TrapsOn;

double Mean(const TArray2D& a) {
  return std::accumulate(a.Values.begin(), a.Values.end(), 0.0) / double(a.Values.size());
}

// NRMSE at most 0.5 % from the grid projector's sinogram and 1 % from the exact
// projector's; the mean within 1 % of the grid's.
TEST(Fbp, BuiltInPhantomAt180ViewsComesBackWithinItsBounds) {
  const auto model = StartUpPhantom();
  const TrapsOn traps;
  for (auto [projector, bound] :
       {std::pair{TProjectorKind::Grid, 0.005}, std::pair{TProjectorKind::Exact, 0.01}}) {
    TStudyOptions options;
    options.Projector = projector;
    const TStudyResult r = RunStudy(*model, options);
    EXPECT_LE(r.Metrics.Nrmse, bound);
    EXPECT_NEAR(Mean(r.Reconstruction), Mean(r.Truth), 0.01 * Mean(r.Truth));
  }
}

TEST(Fbp, FilterResponseIsTheRampTimesTheWindow) {
  const double pi = std::numbers::pi;
  struct Case {
    const char* name;
    TFilterWindow window;
    double cutoff, atQuarter;  // the window's value at f = 0.25 cycles per cell
  } cases[] = {
      {"Ram-Lak", TFilterWindow::RamLak, 1, 1},
      {"Shepp-Logan", TFilterWindow::SheppLogan, 1, std::sin(pi / 4) / (pi / 4)},
      {"cosine", TFilterWindow::Cosine, 1, std::cos(pi / 4)},
      {"Hamming", TFilterWindow::Hamming, 1, 0.54},
      {"Hann", TFilterWindow::Hann, 1, 0.5},
      {"Hann cut at 0.6", TFilterWindow::Hann, 0.6, 0.5 + 0.5 * std::cos(pi / 0.6 * 0.5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TFilterResponse r = FilterResponse({c.window, c.cutoff}, 201);
    ASSERT_EQ(r.Frequency.size(), 201u);
    EXPECT_EQ(r.Frequency[100], 0.25);
    EXPECT_NEAR(r.Gain[100], 0.25 * c.atQuarter, 2e-3);
    EXPECT_NEAR(r.Gain[0], 0, 2e-3);  // the truncated ramp keeps a small gain at 0
    EXPECT_GT(r.Gain[0], 0);
    for (int i = 0; i < 201; ++i)
      EXPECT_TRUE(r.Frequency[i] <= 0.5 * c.cutoff || r.Gain[i] == 0) << i;
  }
}

// At the cutoff itself the window still applies: Hamming keeps 0.08 of the ramp there,
// Hann nothing; just above it every gain is 0. (f = 0.3 is sample 120 of 201, and half of
// the cutoff 0.6 is exactly the same double.)
TEST(Fbp, TheGainAtTheCutoffIsTheWindowsLastValue) {
  const TFilterResponse hamming = FilterResponse({TFilterWindow::Hamming, 0.6}, 201);
  const TFilterResponse hann = FilterResponse({TFilterWindow::Hann, 0.6}, 201);
  ASSERT_EQ(hamming.Frequency[120], 0.3);
  EXPECT_NEAR(hamming.Gain[120], 0.3 * 0.08, 2e-3);
  EXPECT_GT(hamming.Gain[120], 0.01);
  EXPECT_NEAR(hann.Gain[120], 0, 1e-12);
  EXPECT_EQ(hamming.Gain[121], 0);
}

// Over a full turn every line is measured twice; the weights make up for it, so the image
// keeps the scale of a half turn.
TEST(Fbp, AFullTurnKeepsTheScaleOfAHalfTurn) {
  const auto model = StartUpPhantom();
  TStudyOptions half, full;
  full.Geometry.Views = 2 * half.Geometry.Views;
  full.Geometry.ArcDegrees = 360;
  const TStudyResult a = RunStudy(*model, half), b = RunStudy(*model, full);
  EXPECT_NEAR(Mean(b.Reconstruction), Mean(a.Reconstruction), 0.01 * Mean(a.Reconstruction));
  EXPECT_LE(b.Metrics.Nrmse, 0.005);
}

// With the option no cell of SIRT's image is negative; without it, the few views leave
// negative streaks, so the check has something to find.
TEST(Iterative, SirtsNonNegativityClearsNegativeCells) {
  const auto model = StartUpPhantom();
  for (auto method : {TReconstructionMethod::Sirt, TReconstructionMethod::Sart}) {
    TStudyOptions options;
    options.Method = method;
    options.Iterations = 3;
    options.Geometry.Views = 12;
    const auto lowest = [&] {
      const TArray2D image = RunStudy(*model, options).Reconstruction;
      return *std::min_element(image.Values.begin(), image.Values.end());
    };
    EXPECT_LT(lowest(), 0) << int(method);
    options.NonNegative = true;
    EXPECT_GE(lowest(), 0) << int(method);
  }
}

// SART takes 8 views in the order i * 5 mod 8 (5 is the number coprime to 8 nearest
// 8 / 1.618): 0 5 2 7 4 1 6 3. A view at 0 or 90 degrees meets cell centres, so its
// update (relaxation 1) makes its own sums equal its bins exactly; the views after it
// move them again. With view 3 at 0 degrees and view 7 at 90, only view 3, the last
// taken, still matches after one iteration.
TEST(Iterative, SartTakesTheViewsInItsJumpingOrder) {
  const TScanGeometry g = MeasuredAngles({10, 25, 40, 0, 55, 70, 115, 90}, 16);
  TArray2D b(8, 16);
  for (int k = 0; k < 8; ++k)
    for (int j = 0; j < 16; ++j) b.At(k, j) = (k + 1) * (j % 5 + 1);
  TIterativeOptions options;
  options.Method = TIterativeMethod::Sart;
  options.Iterations = 1;
  const TArray2D x = ReconstructIterative(b, g, options, {16, 16});
  const TArray2D sums = ProjectGrid(x, g);
  const auto largestMiss = [&](int view) {
    double m = 0;
    for (int j = 0; j < 16; ++j) m = std::max(m, std::fabs(sums.At(view, j) - b.At(view, j)));
    return m;
  };
  EXPECT_LT(largestMiss(3), 1e-12);
  EXPECT_GT(largestMiss(7), 1e-3);
}

double SirtNrmse(const TProjectionModel& model, TReconstructionMethod method, int iterations) {
  TStudyOptions options;
  options.Method = method;
  options.Iterations = iterations;
  options.Geometry.Views = 60;
  return RunStudy(model, options).Metrics.Nrmse;
}

TEST(Iterative, ErrorFallsAsIterationsGrow) {
  const auto model = StartUpPhantom();
  for (auto method : {TReconstructionMethod::Sirt, TReconstructionMethod::Sart}) {
    double previous = 1e300;
    for (int iterations : {1, 3, 10, 30}) {
      const double e = SirtNrmse(*model, method, iterations);
      EXPECT_LT(e, previous) << int(method) << " at " << iterations;
      previous = e;
    }
  }
}

TEST(Iterative, ProgressCountsTheIterations) {
  const auto model = StartUpPhantom();
  TStudyOptions options;
  options.Method = TReconstructionMethod::Sirt;
  options.Iterations = 4;
  std::vector<int> seen;
  options.Progress = [&](int done) { seen.push_back(done); };
  RunStudy(*model, options);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
}

TEST(Study, EveryChainRunsWithTrapsOnAndAlikeForAnyThreadCount) {
  const auto model = StartUpPhantom();
  const TrapsOn traps;
  for (auto projector : {TProjectorKind::Grid, TProjectorKind::Exact})
    for (auto method :
         {TReconstructionMethod::Fbp, TReconstructionMethod::Sirt, TReconstructionMethod::Sart}) {
      TStudyOptions options;
      options.Geometry = {.Views = 45, .ArcDegrees = 360, .Detectors = 160};
      options.Projector = projector;
      options.Photons = 1000;
      options.Method = method;
      options.Iterations = 2;
      options.NonNegative = true;
      options.Fbp = {TFilterWindow::SheppLogan, 0.8};
      options.Threads = 1;
      const TStudyResult one = RunStudy(*model, options);
      EXPECT_TRUE(std::isfinite(one.Metrics.Ssim));
      for (int threads : {2, 3}) {
        options.Threads = threads;
        const TStudyResult other = RunStudy(*model, options);
        EXPECT_EQ(other.Sinogram, one.Sinogram);
        EXPECT_EQ(other.Reconstruction, one.Reconstruction);
      }
    }
}

TEST(Study, AnEmptyPhantomGivesFiniteOrInfiniteFiguresWithoutTraps) {
  TProjectionModel model;
  model.RecomputeModel();
  const TrapsOn traps;
  TStudyOptions options;
  options.Photons = 50;
  const TStudyResult r = RunStudy(model, options);
  EXPECT_EQ(r.Metrics.Psnr, -std::numeric_limits<double>::infinity());
}

bool SameBits(const TArray2D& a, const TArray2D& b) {
  return a.Rows == b.Rows && a.Columns == b.Columns && a.Values.size() == b.Values.size() &&
         std::memcmp(a.Values.data(), b.Values.data(), a.Values.size() * sizeof(double)) == 0;
}

// Every width of the loops must give the plain loops' doubles bit for bit: a noisy image
// (every lane sees different values), geometries whose bins start and end anywhere in a
// block of eight, views on the axes and at 45 degrees, bins far beyond the grid, and bins
// so wide or so narrow that eight neighbouring positions no longer fit one window of
// cells (the eight-lane loops then gather them one by one).
TEST(WideLoops, GiveThePlainLoopsBitsForEveryGeometry) {
  struct TRow {
    const char* Name;
    TScanGeometry Geometry;
  };
  const TRow rows[] = {
      {"half turn, the edit chain's geometry", {.Views = 180, .Detectors = 182}},
      {"full turn, odd views", {.Views = 45, .ArcDegrees = 360, .Detectors = 160}},
      {"uneven arc, odd bins", {.Views = 37, .ArcDegrees = 123, .Detectors = 131}},
      {"bins far beyond the grid", {.Views = 8, .Detectors = 601}},
      {"two bins", {.Views = 5, .ArcDegrees = 10, .Detectors = 2}},
      {"bins of 2.5 cells", {.Views = 23, .Detectors = 77, .Spacing = 2.5}},
      {"bins of 0.3 cells", {.Views = 23, .Detectors = 611, .Spacing = 0.3}},
  };
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> value(0, 1);
  // Odd sides, so that rows and lines end inside a block of eight.
  TArray2D image(125, 131);
  const TImageSize size{131, 125};
  for (double& v : image.Values) v = value(random);
  wide::Enable(true);
  if (!wide::Enabled()) GTEST_SKIP() << "the processor has no AVX2";
  TIterativeOptions sirt;
  sirt.Iterations = 2;
  struct TResults {
    TArray2D Sinogram, Fbp, Sirt;
    double Ssim = 0;
  };
  const auto run = [&](const TScanGeometry& geometry, wide::TLevel level) {
    wide::SetLevel(level);
    TResults r;
    r.Sinogram = ProjectGrid(image, geometry);
    r.Fbp = ReconstructFbp(r.Sinogram, geometry, {}, size);
    r.Sirt = ReconstructIterative(r.Sinogram, geometry, sirt, size);
    r.Ssim = StructuralSimilarity(r.Fbp, image, 1);
    return r;
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const TResults plain = run(row.Geometry, wide::TLevel::Plain);
    for (wide::TLevel level : {wide::TLevel::Four, wide::TLevel::Eight}) {
      SCOPED_TRACE(level == wide::TLevel::Four ? "four lanes" : "eight lanes");
      const TResults wide = run(row.Geometry, level);
      // The same bits are the claim, not the same value.
      // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
      EXPECT_EQ(std::memcmp(&plain.Ssim, &wide.Ssim, sizeof(double)), 0) << "SSIM";
      EXPECT_TRUE(SameBits(plain.Sinogram, wide.Sinogram)) << "sinogram";
      EXPECT_TRUE(SameBits(plain.Fbp, wide.Fbp)) << "FBP";
      EXPECT_TRUE(SameBits(plain.Sirt, wide.Sirt)) << "SIRT";
    }
  }
  wide::Enable(true);  // as the program runs
}

}  // namespace
}  // namespace quarvel
