// Fan beam against facts the code does not produce itself: a centred round blob's closed
// form, rotational symmetry, the parallel limit, the adjoint, the pairing of conjugate
// rays, and full and short scans of the built-in phantom against its image.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "TomoFixtures.h"
#include "tomo/FanBeam.h"
#include "tomo/Metrics.h"
#include "tomo/Wide.h"

namespace quarvel {
namespace {

using std::numbers::pi;
using testing::Blobs;
using testing::GridImage;
using testing::MaxAbs;
using testing::StartUpPhantom;

TScanGeometry Fan(TBeam beam, const TImageSize& size, int views, double arc,
                  std::optional<double> r = {}, std::optional<double> d = {}) {
  const TFanFields f = DefaultFanFields(beam, size, r, d);
  TScanGeometry g;
  g.Beam = beam;
  g.Views = views;
  g.ArcDegrees = arc;
  g.Detectors = f.Detectors;
  g.Spacing = f.Spacing;
  g.SourceDistance = f.SourceDistance;
  g.DetectorDistance = f.DetectorDistance;
  return g;
}

double Mean(const TArray2D& a) {
  return std::accumulate(a.Values.begin(), a.Values.end(), 0.0) / double(a.Values.size());
}

TEST(FanGeometry, DefaultsAndChecks) {
  // R = 2 * 128, D = R, bins 2 apart on the detector (1 at the centre); the fan's reach
  // over the circumscribed circle: 256 tan(asin(90.51 / 256)) = 96.8 and 256 * 0.3614 = 92.5.
  const TFanFields flat = DefaultFanFields(TBeam::FanFlat, {128, 128});
  EXPECT_EQ(flat.SourceDistance, 256);
  EXPECT_EQ(flat.DetectorDistance, 256);
  EXPECT_EQ(flat.Spacing, 2);
  EXPECT_EQ(flat.Detectors, 196);
  EXPECT_EQ(DefaultFanFields(TBeam::FanArc, {128, 128}).Detectors, 188);
  EXPECT_EQ(DefaultFanFields(TBeam::FanArc, {128, 128}, 300, 0).Spacing, 1);

  struct Row {
    const char* name;
    TBeam beam;
    double r, d, spacing;
  };
  const Row bad[] = {
      {"source inside the circumscribed circle", TBeam::FanFlat, 90.5, 10, 1},
      {"source not finite", TBeam::FanArc, INFINITY, 10, 1},
      {"detector behind the centre", TBeam::FanFlat, 200, -1, 1},
      {"arc bins beyond 90 degrees", TBeam::FanArc, 200, 0, 4},
  };
  for (const Row& row : bad) {
    TScanGeometry g;
    g.Beam = row.beam;
    g.SourceDistance = row.r;
    g.DetectorDistance = row.d;
    g.Spacing = row.spacing;
    EXPECT_THROW(CheckFanGeometry(g, {128, 128}), EInvalidGeometry) << row.name;
  }
}

// A round blob at the centre, s = 0.8 (the square's edges cut nothing of it): along a line
// at distance t its density integrates to sqrt(2) exp(-t^2 / (4 s^2)), the same at every
// view, with t = R sin gamma. The grid projector sees the same profile at every view within
// its interpolation error.
TEST(FanProjectors, CentredRoundBlobMatchesTheClosedFormAtEveryView) {
  const double s = 0.8, h = TScanGeometry::Step();
  TProjectionModel model;
  model.AdoptBlob(std::make_unique<TGauss3D>(10.5, s, 10.5, s));
  model.RecomputeModel();
  const TPhantomDensity blob(Blobs(model));
  for (TBeam beam : {TBeam::FanFlat, TBeam::FanArc})
    for (auto [r, d] : {std::pair{256.0, 256.0}, std::pair{95.0, 0.0}}) {
      TScanGeometry g = Fan(beam, {128, 128}, 13, 360, r, d);
      g.Offset = 0.25;
      const TArray2D sino = ProjectExact(blob, g, 128);
      double worst = 0;
      for (int k = 0; k < g.Views; ++k)
        for (int j = 0; j < g.Detectors; ++j) {
          const double t = h * r * std::sin(FanAngle(g, j));
          const double expected = std::sqrt(2.0) * std::exp(-t * t / (4 * s * s)) / h;
          worst = std::max(worst, std::fabs(sino.At(k, j) - expected));
        }
      EXPECT_LE(worst, 1e-9 * MaxAbs(sino)) << static_cast<int>(beam) << " R " << r;
      const TArray2D grid = ProjectGrid(GridImage(model), g);
      for (int k = 1; k < g.Views; ++k)
        for (int j = 0; j < g.Detectors; ++j)
          ASSERT_NEAR(grid.At(k, j), grid.At(0, j), 2e-3 * MaxAbs(grid)) << k << " " << j;
    }
}

// As R grows the flat fan becomes parallel beam with t = u R / (R + D): at R = 1e7 the
// rays turn by at most 1e-5 radians over the image. The bins are offset by a quarter so
// that no parallel ray runs along the square's edge, where the density jumps.
TEST(FanExactProjector, TendsToParallelBeam) {
  const auto model = StartUpPhantom();
  const TPhantomDensity phantom(Blobs(*model));
  TScanGeometry fan;
  fan.Beam = TBeam::FanFlat;
  fan.Views = 12;
  fan.ArcDegrees = 360;
  fan.SourceDistance = 1e7;
  fan.DetectorDistance = 5e6;
  fan.Spacing = 1.5;
  fan.Detectors = 182;
  fan.Offset = 0.25;
  TScanGeometry parallel = fan;
  parallel.Beam = TBeam::Parallel;
  parallel.Spacing = 1;
  const TArray2D a = ProjectExact(phantom, fan, 128), b = ProjectExact(phantom, parallel, 128);
  double worst = 0;
  for (std::size_t i = 0; i < a.Values.size(); ++i)
    worst = std::max(worst, std::fabs(a.Values[i] - b.Values[i]));
  EXPECT_LE(worst, 1e-4 * MaxAbs(b));
  EXPECT_GT(MaxAbs(b), 1);
}

// <A x, y> = <x, A^T y> on random arrays, over both detectors, offsets, measured angles
// and an image that is not square; and the same sinogram for any thread count.
TEST(FanGridProjector, BackProjectionIsTheExactTranspose) {
  std::mt19937_64 random(31);
  std::uniform_real_distribution<double> value(-1, 1);
  struct Row {
    TBeam beam;
    TImageSize size;
    double r, d, offset;
    std::vector<double> angles;
  };
  const Row rows[] = {
      {TBeam::FanFlat, {64, 64}, 60, 60, 0, {}},
      {TBeam::FanArc, {64, 64}, 200, 10, 0.3, {}},
      {TBeam::FanFlat, {40, 72}, 45, 0, -2.5, {3, 47.5, 91, 200.25, 333}},
      {TBeam::FanArc, {72, 40}, 80, 80, 0, {0, 45, 90, 135, 180, 225, 270, 315}},
  };
  for (const Row& row : rows) {
    TScanGeometry g = Fan(row.beam, row.size, 37, 360, row.r, row.d);
    g.Offset = row.offset;
    if (!row.angles.empty()) {
      g.Angles = row.angles;
      g.Views = static_cast<int>(row.angles.size());
    }
    TArray2D x(row.size.Rows, row.size.Columns), y(g.Views, g.Detectors);
    for (double& v : x.Values) v = value(random);
    for (double& v : y.Values) v = value(random);
    const TArray2D ax = ProjectGridFan(x, g, {}, 2);
    const TArray2D aty = BackProjectGridFan(y, g, row.size, {}, 3);
    const double left =
        std::inner_product(ax.Values.begin(), ax.Values.end(), y.Values.begin(), 0.0L);
    const double right =
        std::inner_product(x.Values.begin(), x.Values.end(), aty.Values.begin(), 0.0L);
    EXPECT_NEAR(left, right, 1e-12 * std::fabs(left)) << row.r;
    EXPECT_EQ(ProjectGridFan(x, g, {}, 1), ax);
    EXPECT_EQ(BackProjectGridFan(y, g, row.size, {}, 1), aty);
  }
}

// Every line is measured by a ray (beta, gamma) and perhaps its conjugate (beta + pi -
// 2 gamma, -gamma) or (beta - pi - 2 gamma, -gamma); their weights add up to 1, from the
// short scan to the full turn. Views 0.1 degrees apart and arc bins 0.05 degrees apart
// put every conjugate on a ray of the scan: 401 bins span 20 degrees, the short scan 200.
TEST(FanRedundancy, EachLineWeighsOne) {
  TScanGeometry g;
  g.Beam = TBeam::FanArc;
  g.SourceDistance = g.DetectorDistance = 256;
  g.Detectors = 401;
  g.Spacing = 512 * (0.05 * pi / 180);
  const int half = 1800, centre = 200;
  for (int views : {2000, 2500, 3000, 3600}) {
    g.Views = views;
    g.ArcDegrees = views / 10.0;
    int paired = 0;
    for (int k = 0; k < views; k += 13)
      for (int j = 0; j < g.Detectors; j += 5) {
        double sum = RedundancyWeight(g, k, j);
        for (int other : {k + half - (j - centre), k - half - (j - centre)}) {
          if (views == 3600) other = (other % views + views) % views;
          if (other < 0 || other >= views) continue;
          sum += RedundancyWeight(g, other, 2 * centre - j);
          ++paired;
          if (views == 3600) break;
        }
        ASSERT_NEAR(sum, 1, 1e-12) << views << " views, ray " << k << " " << j;
      }
    EXPECT_GT(paired, 0) << views;
  }
}

// The built-in phantom at 256 x 256, projected by the grid projector: a full turn of 720
// views within 1 % NRMSE, a short scan within 2 %, both means within 1 % of the truth's.
TEST(FanFbp, FullAndShortScansComeBackWithinTheirBounds) {
  const auto model = StartUpPhantom();
  const TArray2D truth = SamplePhantom(Blobs(*model), 256);
  const TImageSize size{256, 256};
  for (TBeam beam : {TBeam::FanFlat, TBeam::FanArc}) {
    const TScanGeometry probe = Fan(beam, size, 1, 360);
    const double shortArc = 180 + 2 * std::fabs(FanAngle(probe, 0)) * 180 / pi;
    for (auto [arc, views, bound] :
         {std::tuple{360.0, 720, 0.01}, std::tuple{shortArc, 400, 0.02}}) {
      const TScanGeometry g = Fan(beam, size, views, arc);
      const TArray2D image = ReconstructFbpFan(ProjectGridFan(truth, g), g, size, TFbpOptions{});
      const TImageMetrics m = CompareImages(image, truth);
      EXPECT_LE(m.Nrmse, bound) << static_cast<int>(beam) << " arc " << arc;
      EXPECT_NEAR(Mean(image), Mean(truth), 0.01 * Mean(truth)) << static_cast<int>(beam);
    }
  }
}

// The wide loops (AVX2) give the plain loops' doubles, and any thread count the same.
TEST(FanFbp, WideLoopsAndThreadsChangeNothing) {
  const auto model = StartUpPhantom();
  const TArray2D truth = GridImage(*model);
  for (TBeam beam : {TBeam::FanFlat, TBeam::FanArc}) {
    const TScanGeometry g = Fan(beam, {128, 128}, 61, 360);
    const TArray2D sino = ProjectGrid(truth, g, {}, 1);
    const TArray2D image = ReconstructFbp(sino, g, {}, {128, 128}, {}, 1);
    EXPECT_EQ(ReconstructFbp(sino, g, {}, {128, 128}, {}, 3), image);
    wide::Enable(false);
    EXPECT_EQ(ProjectGrid(truth, g, {}, 1), sino);
    EXPECT_EQ(ReconstructFbp(sino, g, {}, {128, 128}, {}, 1), image);
    wide::Enable(true);
  }
}

// The iterative methods and CGLS bring the fan's sinogram back close to the image.
TEST(FanIterative, EveryMethodApproachesThePhantom) {
  const auto model = StartUpPhantom();
  const TArray2D truth = GridImage(*model);
  const TImageSize size{128, 128};
  const TScanGeometry g = Fan(TBeam::FanArc, size, 90, 360);
  const TArray2D sino = ProjectGrid(truth, g);
  for (TIterativeMethod method :
       {TIterativeMethod::Sirt, TIterativeMethod::Sart, TIterativeMethod::Cgls}) {
    TIterativeOptions options;
    options.Method = method;
    options.Iterations = method == TIterativeMethod::Sirt   ? 30
                         : method == TIterativeMethod::Sart ? 3
                                                            : 20;
    EXPECT_LE(CompareImages(ReconstructIterative(sino, g, options, size), truth).Nrmse, 0.03)
        << static_cast<int>(method);
  }
}

// A fan sinogram rebinned to parallel beam matches the parallel projection of the same
// phantom up to the interpolation in both variables (blobs inside the square, whose edge
// would be a jump no interpolation follows).
TEST(FanRebin, MatchesTheParallelProjection) {
  const TPhantomDensity phantom({TGauss3D(8, 1.0, 12, 1.5), TGauss3D(13, 0.7, 9, 1.2)});
  for (TBeam beam : {TBeam::FanFlat, TBeam::FanArc})
    for (double arc : {360.0, 230.0}) {
      const TScanGeometry fan = Fan(beam, {128, 128}, 720, arc);
      const TScanGeometry parallel = RebinnedGeometry(fan);
      const TArray2D rebinned = RebinToParallel(ProjectExact(phantom, fan, 128), fan, parallel);
      const TArray2D direct = ProjectExact(phantom, parallel, 128);
      double worst = 0;
      for (std::size_t i = 0; i < direct.Values.size(); ++i)
        worst = std::max(worst, std::fabs(rebinned.Values[i] - direct.Values[i]));
      EXPECT_LE(worst, 0.01 * MaxAbs(direct)) << static_cast<int>(beam) << " arc " << arc;
    }
}

}  // namespace
}  // namespace quarvel
