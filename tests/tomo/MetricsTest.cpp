// The figures of comparison on small hand-made images. The expected SSIM values were
// computed apart from this code, with scikit-image's structural_similarity
// (gaussian_weights=True, sigma=1.5, use_sample_covariance=False, data_range=L).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tomo/Metrics.h"

namespace quarvel {
namespace {

// A truth of `rows` x `columns` and its variants, from closed formulas.
TArray2D Image(int kind, int rows = 12, int columns = 12) {
  TArray2D a(rows, columns);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const double truth = (r * 12 + c) % 7 * 0.25 + (r > c ? 1.0 : 0.0);
      const double checker = (r + c) % 2 ? 0.3 : -0.3;
      a.At(r, c) = kind == 0   ? truth
                   : kind == 1 ? truth + 0.1
                   : kind == 2 ? 2 * truth
                   : kind == 3 ? truth + checker
                               : truth + checker + 0.05 * r;
    }
  return a;
}

TEST(Metrics, HandMadeImages) {
  // The truth spans 0 ... 2.5 (L = 2.5).
  struct Case {
    const char* name;
    int kind, rows, columns;
    double rmse, psnr, ssim;
  } cases[] = {
      {"equal", 0, 12, 12, 0, INFINITY, 1},
      {"offset 0.1", 1, 12, 12, 0.1, 20 * std::log10(25.0), 0.9964658283114685},
      {"doubled", 2, 12, 12, 1.3897566733464932, 5.1000248111431805, 0.6403731144070458},
      {"checkerboard 0.3", 3, 12, 12, 0.3, 20 * std::log10(2.5 / 0.3), 0.9215448118878753},
      {"14 x 17, checkerboard and ramp", 4, 14, 17, 0.4869623732293662, 14.208892067430059,
       0.8588829598855818},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TImageMetrics m =
        CompareImages(Image(c.kind, c.rows, c.columns), Image(0, c.rows, c.columns));
    EXPECT_NEAR(m.Rmse, c.rmse, 1e-14);
    EXPECT_NEAR(m.Nrmse, c.rmse / 2.5, 1e-14);
    if (std::isinf(c.psnr))
      EXPECT_EQ(m.Psnr, c.psnr);
    else
      EXPECT_NEAR(m.Psnr, c.psnr, 1e-12);
    EXPECT_NEAR(m.Ssim, c.ssim, 1e-12);
  }
  const TArray2D d = DifferenceImage(Image(1), Image(0));
  EXPECT_NEAR(d.At(3, 4), 0.1, 1e-15);
}

// The figures over a region against scikit-image's SSIM map (full=True), cropped by the
// window's radius and averaged where the window's centre lies in the region, with the
// range, RMSE and PSNR of numpy over the region's pixels.
TEST(Metrics, OverARegion) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    int kind, rows, columns;
    TRegion region;
    double range, rmse, ssim;
  } cases[] = {
      {"disc of a wide image", 4, 36, 40, TRegion::Circle(), 2.5, 1.0222575527731164,
       0.7290195570433334},
      {"disc of a tall image", 4, 40, 36, TRegion::Circle(), 2.5, 1.109058386290677,
       0.7331281452647326},
      {"rectangle", 3, 24, 24, TRegion::Rectangle(6, 2, 20, 9), 2.5, 0.3, 0.870542721176546},
      {"first row: its own range, no window centre", 2, 24, 24, TRegion::Rectangle(0, 0, 24, 1),
       1.5, 0.8508574106942557, nan},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TArray2D truth = Image(0, c.rows, c.columns);
    const TImageMetrics m = CompareImages(Image(c.kind, c.rows, c.columns), truth, c.region);
    EXPECT_NEAR(m.Rmse, c.rmse, 1e-14);
    EXPECT_NEAR(m.Nrmse, c.rmse / c.range, 1e-14);
    EXPECT_NEAR(m.Psnr, 20 * std::log10(c.range / c.rmse), 1e-12);
    if (std::isnan(c.ssim))
      EXPECT_TRUE(std::isnan(m.Ssim));
    else
      EXPECT_NEAR(m.Ssim, c.ssim, 1e-12);
  }
  // The difference is kept in the region and 0 outside it.
  const TArray2D d = DifferenceImage(Image(1), Image(0), TRegion::Rectangle(2, 3, 5, 4));
  for (int r = 0; r < 12; ++r)
    for (int c = 0; c < 12; ++c)
      EXPECT_EQ(d.At(r, c) != 0, r == 3 && c >= 2 && c < 5) << r << ", " << c;
}

// The disc is the pixels whose centres lie within (min(C, R) - 1) / 2 of the centre.
TEST(Metrics, DiscAndRectangleMembership) {
  struct Case {
    int ix, iy, columns, rows;
    bool inside;
  } cases[] = {
      {0, 0, 8, 8, false},  // the corner
      {0, 3, 8, 8, false},  // (3.5, 0.5) from the centre (3.5, 3.5): 3.54 > 3.5
      {1, 3, 8, 8, true},   // (2.5, 0.5): 2.55
      {0, 2, 8, 8, false},  // (3.5, 1.5): 3.8 > 3.5
      {1, 1, 8, 8, false},  // (2.5, 2.5): 3.54 > 3.5
      {3, 0, 9, 9, false},  // (1, 4) from 4: 4.12 > 4
      {4, 0, 9, 9, true},   // on the circle exactly
      {0, 4, 9, 9, true},    {0, 5, 16, 10, false},  // a wide image: radius 4.5 about (7.5, 4.5)
      {3, 5, 16, 10, false},                         // (4.5, 0.5): 4.53 > 4.5
      {4, 5, 16, 10, true},  {8, 9, 16, 10, false},  // (0.5, 4.5): 4.53 > 4.5
      {8, 8, 16, 10, true},  {-1, 4, 9, 9, false},   // outside the image
  };
  for (const Case& c : cases)
    EXPECT_EQ(TRegion::Circle().Contains(c.ix, c.iy, c.columns, c.rows), c.inside)
        << c.ix << ", " << c.iy << " of " << c.columns << " x " << c.rows;
  for (const TRegion& bad : {TRegion::Rectangle(3, 0, 3, 5), TRegion::Rectangle(0, 0, 13, 5),
                             TRegion::Rectangle(-1, 0, 4, 5), TRegion::Rectangle(0, 6, 4, 5)})
    EXPECT_THROW(CompareImages(Image(0), Image(1), bad), EInvalidStudyValue);
}

}  // namespace
}  // namespace quarvel
