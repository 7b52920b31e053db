// What the chain refuses before it starts, and arithmetic at the edges of the double
// range with the floating-point traps on: an operation that would trap ends the test.

#include "tomo/Limits.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>

#include "tomo/Metrics.h"
#include "tomo/Reconstruction.h"

namespace quarvel {
namespace {

// Traps on for the test's scope, as the export tool runs the chain.
class Trapping : public ::testing::Test {
 protected:
  void SetUp() override {
    feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
  }
  void TearDown() override { fedisableexcept(FE_ALL_EXCEPT); }
};

TEST(Limits, MemoryOfAStudy) {
  // 1000 views of 10000 bins: a sinogram is 80 MB.
  const std::uint64_t s = 80'000'000;
  struct Case {
    const char* name;
    TReconstructionMethod method;
    bool noise, sinogramOnly;
    std::uint64_t bytes;
  } cases[] = {
      {"the sinogram alone", TReconstructionMethod::Fbp, false, true, s},
      {"the sinogram with noise: clean and noisy", TReconstructionMethod::Fbp, true, true, 2 * s},
      {"FBP: the filtered views", TReconstructionMethod::Fbp, false, false, 2 * s},
      {"FBP after noise", TReconstructionMethod::Fbp, true, false, 2 * s},
      {"SIRT: weights, ones, residual", TReconstructionMethod::Sirt, false, false, 4 * s},
      {"SART: weights", TReconstructionMethod::Sart, true, false, 2 * s},
      {"CGLS: the residual and the projected direction", TReconstructionMethod::Cgls, false, false,
       3 * s},
  };
  for (const Case& c : cases) {
    TStudyOptions options;
    options.Geometry.Views = 1000;
    options.Geometry.Detectors = 10000;
    options.Method = c.method;
    if (c.noise) options.Photons = 1e4;
    EXPECT_EQ(StudyPeakBytes(options, c.sinogramOnly), c.bytes) << c.name;
  }
}

TEST(Limits, SizesInWords) {
  struct Case {
    std::uint64_t bytes;
    bool up;
    const char* text;
  } cases[] = {
      {0, true, "0 B"},
      {999, false, "999 B"},
      {1000, true, "1.0 kB"},
      {24'000'000'000, true, "24 GB"},
      {23'100'000'000, true, "24 GB"},
      {23'100'000'000, false, "23 GB"},
      {9'870'000'000, false, "9.8 GB"},
      {9'870'000'000, true, "9.9 GB"},
      {999'500, true, "1.0 MB"},  // rounded up into the next unit
      {999'500, false, "999 kB"},
      {18'446'744'073'709'551'615u, false, "18 EB"},
  };
  for (const Case& c : cases) EXPECT_EQ(ApproximateSize(c.bytes, c.up), c.text) << c.bytes;
  EXPECT_EQ(MemoryShortfall(23'100'000'000, 9'870'000'000), "needs about 24 GB, 9.8 GB available");
  EXPECT_EQ(MemoryShortfall(100, 100), std::nullopt);
}

TEST(Limits, TooDenseBlobsAreNamed) {
  TGauss3D ordinary(5, 1, 5, 1), dense(10, 1e-300, 10, 1e-300), edge(10, 1e-150, 10, 1.6e-151);
  EXPECT_DOUBLE_EQ(PeakDensity(ordinary), 1 / std::sqrt(2 * M_PI));
  EXPECT_DOUBLE_EQ(PeakDensity(dense), 1 / std::sqrt(2 * M_PI) * 1e300);
  EXPECT_EQ(PeakDensity(TGauss3D(0, 0, 0, 1)), INFINITY);
  EXPECT_NO_THROW(CheckBlobDensities({ordinary, edge}));                  // a peak of 9.97e149
  EXPECT_THROW(CheckBlobDensities({TGauss3D(10, 1e-150, 10, 1.5e-151)}),  // 1.03e150
               EInvalidStudyValue);
  try {
    CheckBlobDensities({ordinary, ordinary, dense});
    FAIL() << "a blob of peak 4e299 was taken";
  } catch (const EInvalidStudyValue& e) {
    EXPECT_EQ(e.Message().rfind("blob 3 is too dense", 0), 0u) << e.Message();
  }
  dense.Enabled = false;  // a disabled blob takes no part
  EXPECT_NO_THROW(CheckBlobDensities({ordinary, dense}));
}

TEST_F(Trapping, SquaredErrorsBeyondTheLargestDouble) {
  // Differences of 1e154 square to 1e308, and 144 such squares add up beyond the double
  // range; the RMSE is still 1e154.
  TArray2D truth(12, 12), reconstruction(12, 12);
  for (double& v : reconstruction.Values) v = 1e154;
  truth.At(0, 0) = 1;
  const TImageMetrics m = CompareImages(reconstruction, truth);
  EXPECT_NEAR(m.Rmse, 1e154, 1e142);
}

TEST_F(Trapping, TheSmallestCutoffKeepsOnlyTheMeanValue) {
  TFbpOptions options;
  options.Cutoff = std::numeric_limits<double>::denorm_min();
  const TFilterResponse response = FilterResponse(options, 64);
  for (std::size_t i = 1; i < response.Gain.size(); ++i)
    EXPECT_EQ(response.Gain[i], 0) << response.Frequency[i];
  TScanGeometry geometry;
  geometry.Views = 4;
  geometry.Detectors = 16;
  TArray2D sinogram(4, 16);
  for (double& v : sinogram.Values) v = 1;
  for (const double v : ReconstructFbp(sinogram, geometry, options, {128, 128}).Values)
    ASSERT_TRUE(std::isfinite(v));
}

}  // namespace
}  // namespace quarvel
