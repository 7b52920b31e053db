// The projectors against facts they do not compute themselves: the model's zero
// projection and row sums, the plane integral of a blob, rotational symmetry, and an
// independent adaptive quadrature of the phantom along single rays.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

#include "TomoFixtures.h"
#include "tomo/Projectors.h"

namespace quarvel {
namespace {

using testing::Blobs;
using testing::GridImage;
using testing::MaxAbs;
using testing::StartUpPhantom;

TEST(GridProjector, ZeroDegreeRowIsTheZeroProjectionBitForBit) {
  const auto model = StartUpPhantom();
  for (int detectors : {128, 130, 182, 300}) {
    SCOPED_TRACE(detectors);
    const TArray2D s = ProjectGrid(GridImage(*model), {.Views = 4, .Detectors = detectors});
    const int offset = (detectors - 128) / 2;
    for (int j = 0; j < detectors; ++j) {
      const double expected = j < offset || j >= offset + 128 ? 0.0 : model->Projection[j - offset];
      ASSERT_EQ(s.At(0, j), expected) << "bin " << j;
    }
  }
}

TEST(GridProjector, NinetyDegreeRowIsTheRowSums) {
  const auto model = StartUpPhantom();
  const TArray2D s = ProjectGrid(GridImage(*model), {.Views = 180, .Detectors = 182});
  for (int iy = 0; iy < 128; ++iy) {
    long double sum = 0;
    for (int ix = 0; ix < 128; ++ix) sum += model->Grid[ix][iy];
    EXPECT_NEAR(s.At(90, 27 + iy), double(sum), 1e-14 * double(sum)) << "row " << iy;
  }
  EXPECT_EQ(s.At(90, 26), 0.0);
  EXPECT_EQ(s.At(90, 155), 0.0);
}

// A round blob at the grid's centre, narrow enough that the square's corners cut nothing
// of it: every view sees the same profile, to rounding for the exact projector and
// within the grid's interpolation error for Joseph's.
TEST(Projectors, RoundCentredBlobProjectsAlikeAtEveryAngle) {
  TProjectionModel model;
  model.AdoptBlob(std::make_unique<TGauss3D>(10.5, 0.8, 10.5, 0.8));
  model.RecomputeModel();
  const TScanGeometry g{.Views = 24, .ArcDegrees = 360, .Detectors = 182};
  const TArray2D exact = ProjectExact(TPhantomDensity(Blobs(model)), g, 128);
  const TArray2D grid = ProjectGrid(GridImage(model), g);
  for (int k = 1; k < g.Views; ++k)
    for (int j = 0; j < g.Detectors; ++j) {
      ASSERT_NEAR(exact.At(k, j), exact.At(0, j), 1e-12 * MaxAbs(exact)) << k << " " << j;
      ASSERT_NEAR(grid.At(k, j), grid.At(0, j), 2e-3 * MaxAbs(grid)) << k << " " << j;
    }
}

// A blob far from the square's edges: the projection's area, sum of bins times h, is
// the blob's integral over the plane divided by h. The integral of
// sqrt(N(x; mx, dx) N(y; my, dy)) is the product of two integrals of the root of a
// normal density, each 2 sqrt(pi) sqrt(d) (2 pi)^(-1/4): 2 sqrt(2 pi) sqrt(dx dy).
TEST(ExactProjector, ProjectionOfAFarBlobHasTheKnownArea) {
  const double dx = 0.5, dy = 0.35;
  const TPhantomDensity phantom({TGauss3D(9.0, dx, 11.5, dy)});
  const double h = TScanGeometry::Step();
  const double area = 2 * std::sqrt(2 * std::numbers::pi) * std::sqrt(dx * dy) / h;
  const TArray2D s = ProjectExact(phantom, {.Views = 37, .ArcDegrees = 180, .Detectors = 182}, 128);
  for (int k = 0; k < s.Rows; ++k) {
    double sum = 0;
    for (int j = 0; j < s.Columns; ++j) sum += s.At(k, j);
    EXPECT_NEAR(sum * h, area, 1e-12 * area) << "view " << k;
  }
}

// Adaptive Simpson over [a, b] to an absolute tolerance.
double Simpson(const std::function<double(double)>& f, double a, double b, double fa, double fm,
               double fb, double whole, double tolerance, int depth) {
  const double m = (a + b) / 2, lm = (a + m) / 2, rm = (m + b) / 2;
  const double flm = f(lm), frm = f(rm);
  const double left = (m - a) / 6 * (fa + 4 * flm + fm), right = (b - m) / 6 * (fm + 4 * frm + fb);
  if (depth <= 0 || std::fabs(left + right - whole) <= 15 * tolerance)
    return left + right + (left + right - whole) / 15;
  return Simpson(f, a, m, fa, flm, fm, left, tolerance / 2, depth - 1) +
         Simpson(f, m, b, fm, frm, fb, right, tolerance / 2, depth - 1);
}

TEST(ExactProjector, EqualsAnIndependentQuadratureOfThePhantom) {
  const auto model = StartUpPhantom();
  const TPhantomDensity phantom(Blobs(*model));
  const TScanGeometry g{.Views = 7, .ArcDegrees = 180, .Detectors = 182};
  const TArray2D s = ProjectExact(phantom, g, 128);
  const double h = TScanGeometry::Step(), tolerance = 1e-9 * MaxAbs(s);
  for (int k = 0; k < g.Views; ++k)
    for (int j : {20, 40, 64, 91, 120, 150}) {
      // The ray's chord through the square [1, 20]^2, where the density is continuous.
      const double c = g.Cos(k), sn = g.Sin(k), t = g.BinPosition(j);
      const double px = 10.5 + t * c, py = 10.5 + t * sn;
      double a = -15, b = 15;
      for (auto [p, u] : {std::pair{px, -sn}, std::pair{py, c}}) {
        if (u == 0) {
          if (p < 1 || p > 20) b = a;
          continue;
        }
        a = std::max(a, std::min((1 - p) / u, (20 - p) / u));
        b = std::min(b, std::max((1 - p) / u, (20 - p) / u));
      }
      double integral = 0;
      if (a < b) {
        const auto f = [&](double u) { return phantom.Value(px - u * sn, py + u * c); };
        const double fa = f(a), fm = f((a + b) / 2), fb = f(b);
        integral = Simpson(f, a, b, fa, fm, fb, (b - a) / 6 * (fa + 4 * fm + fb), 1e-12, 30);
      }
      EXPECT_NEAR(s.At(k, j), integral / h, tolerance) << "view " << k << " bin " << j;
    }
}

// The outermost bins of 128 run along the square's edges (t = +-63.5 * 19 / 127 = +-9.5
// from the centre 10.5): the closed square counts them. Along x = X the blob's line
// integral over [1, 20] is (2 pi dx dy)^(-1/2) exp(-(X - mx)^2 / (4 dx^2)) times
// dy sqrt(pi) (erf((20 - my) / (2 dy)) - erf((1 - my) / (2 dy))), and alike along y = Y.
TEST(ExactProjector, RaysAlongTheSquaresEdgesHaveTheClosedFormIntegral) {
  const double mx = 19, my = 2, dx = 0.8, dy = 0.6, pi = std::numbers::pi;
  const TPhantomDensity phantom({TGauss3D(mx, dx, my, dy)});
  const auto along = [&](double across, double m, double d, double mAlong, double dAlong) {
    return std::exp(-(across - m) * (across - m) / (4 * d * d)) / std::sqrt(2 * pi * dx * dy) *
           dAlong * std::sqrt(pi) *
           (std::erf((20 - mAlong) / (2 * dAlong)) - std::erf((1 - mAlong) / (2 * dAlong))) /
           TScanGeometry::Step();
  };
  // View 0 sends its rays along y (x = 10.5 + t), view 1 (90 degrees) along x (y = 10.5 + t).
  const TArray2D s = ProjectExact(phantom, {.Views = 2, .ArcDegrees = 180, .Detectors = 128}, 128);
  const struct {
    const char* edge;
    int view, bin;
    double expected;
  } rays[] = {
      {"x = 20", 0, 127, along(20, mx, dx, my, dy)},
      {"x = 1", 0, 0, along(1, mx, dx, my, dy)},
      {"y = 1", 1, 0, along(1, my, dy, mx, dx)},
      {"y = 20", 1, 127, along(20, my, dy, mx, dx)},
  };
  for (const auto& r : rays) {
    EXPECT_GT(r.expected, 0) << r.edge;
    EXPECT_NEAR(s.At(r.view, r.bin), r.expected, 1e-12 * r.expected) << r.edge;
  }
}

TEST(Projectors, ResultsDoNotDependOnTheThreadCount) {
  const auto model = StartUpPhantom();
  const TPhantomDensity phantom(Blobs(*model));
  const TScanGeometry g{.Views = 31, .ArcDegrees = 200, .Detectors = 150};
  const TArray2D grid = ProjectGrid(GridImage(*model), g, {}, 1);
  const TArray2D exact = ProjectExact(phantom, g, 128, {}, 1);
  const TArray2D noisy = AddPhotonNoise(grid, 1e4, 7, 1);
  for (int threads : {2, 3}) {
    EXPECT_EQ(ProjectGrid(GridImage(*model), g, {}, threads), grid);
    EXPECT_EQ(ProjectExact(phantom, g, 128, {}, threads), exact);
    EXPECT_EQ(AddPhotonNoise(grid, 1e4, 7, threads), noisy);
  }
}

TEST(Projectors, AStopRequestCancels) {
  std::stop_source source;
  source.request_stop();
  const auto model = StartUpPhantom();
  EXPECT_THROW(ProjectGrid(GridImage(*model), {}, source.get_token()), ECancelled);
  EXPECT_THROW(ProjectExact(TPhantomDensity(Blobs(*model)), {}, 128, source.get_token()),
               ECancelled);
}

}  // namespace
}  // namespace quarvel
