// Photon noise: the counts are Poisson with mean I0 exp(-h p), for a small mean (where a
// zero count is replaced by one) and a large one; the draw depends on the seed alone.

#include <gtest/gtest.h>

#include <cmath>

#include "TomoFixtures.h"
#include "tomo/Projectors.h"

namespace quarvel {
namespace {

TEST(PhotonNoise, CountsHaveThePoissonMeanAndVariance) {
  const double h = TScanGeometry::Step(), photons = 2e4;
  for (double mean : {5.0, 1000.0}) {
    SCOPED_TRACE(mean);
    TArray2D clean(200, 200);
    const double p = std::log(photons / mean) / h;
    std::fill(clean.Values.begin(), clean.Values.end(), p);
    const TArray2D noisy = AddPhotonNoise(clean, photons, 11);
    double sum = 0, squares = 0;
    for (double v : noisy.Values) {
      const double n = photons * std::exp(-h * v);
      ASSERT_NEAR(n, std::round(n), 1e-6 * n);
      sum += std::round(n);
      squares += std::round(n) * std::round(n);
    }
    const double count = double(noisy.Values.size());
    const double m = sum / count, variance = squares / count - m * m;
    // A zero count reads as one: the mean of max(n, 1) is mean + P(n = 0).
    const double expected = mean + std::exp(-mean);
    EXPECT_NEAR(m, expected, 4 * std::sqrt(mean / count));
    EXPECT_NEAR(variance, mean, 0.05 * mean);
  }
}

TEST(PhotonNoise, TheSeedAloneDecidesTheDraw) {
  TArray2D clean(20, 30);
  std::fill(clean.Values.begin(), clean.Values.end(), 10.0);
  EXPECT_EQ(AddPhotonNoise(clean, 1e3, 1), AddPhotonNoise(clean, 1e3, 1));
  EXPECT_NE(AddPhotonNoise(clean, 1e3, 1), AddPhotonNoise(clean, 1e3, 2));
  // A bin's draw does not depend on the sinogram's size around it.
  TArray2D larger(40, 60);
  std::fill(larger.Values.begin(), larger.Values.end(), 10.0);
  EXPECT_EQ(AddPhotonNoise(larger, 1e3, 1).At(19, 29), AddPhotonNoise(clean, 1e3, 1).At(19, 29));
}

}  // namespace
}  // namespace quarvel
