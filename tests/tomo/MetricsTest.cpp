// The figures of comparison on small hand-made images. The expected SSIM values were
// computed apart from this code, with scikit-image's structural_similarity
// (gaussian_weights=True, sigma=1.5, use_sample_covariance=False, data_range=L).

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
}  // namespace quarvel
