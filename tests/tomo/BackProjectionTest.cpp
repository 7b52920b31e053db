// The grid projector and its transpose over any image size and scan geometry: the
// adjoint identity on random arrays, the same results for any thread count and for
// the wide and the plain loops, views of any layout, and geometries whose bins lie far
// outside the image (run under the sanitizers to see that nothing is read outside).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "TomoFixtures.h"
#include "tomo/Joseph.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"
#include "tomo/Wide.h"

namespace quarvel {
namespace {

struct TCase {
  const char* Name;
  TImageSize Size;
  TScanGeometry Geometry;
};

TScanGeometry Uniform(int views, double arc, int detectors, double spacing = 1, double offset = 0) {
  TScanGeometry g;
  g.Views = views;
  g.ArcDegrees = arc;
  g.Detectors = detectors;
  g.Spacing = spacing;
  g.Offset = offset;
  return g;
}

TScanGeometry Measured(std::vector<double> angles, int detectors, double spacing = 1,
                       double offset = 0) {
  TScanGeometry g = MeasuredAngles(std::move(angles), detectors);
  g.Spacing = spacing;
  g.Offset = offset;
  return g;
}

const TCase kCases[] = {
    {"even square, half turn", {32, 32}, Uniform(30, 180, 47)},
    {"odd square, full turn", {33, 33}, Uniform(29, 360, 50)},
    {"wide, odd bins", {41, 16}, Uniform(17, 180, 61)},
    {"tall, odd sides", {9, 27}, Uniform(23, 250, 40)},
    {"angles in any order, repeated, negative",
     {24, 20},
     Measured({-30, 95.5, 0, 180, 44.9, 45, 270, 12.25, 95.5, -135}, 38)},
    {"half-pixel bins, offset", {30, 30}, Uniform(19, 180, 90, 0.5, 3.25)},
    {"wide bins, negative offset", {28, 35}, Uniform(21, 200, 20, 2.5, -1.5)},
};

std::vector<double> RandomValues(std::size_t count, unsigned seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> value(-1, 1);
  std::vector<double> v(count);
  for (double& x : v) x = value(random);
  return v;
}

TArray2D RandomArray(int rows, int columns, unsigned seed) {
  TArray2D a(rows, columns);
  a.Values = RandomValues(a.Values.size(), seed);
  return a;
}

long double Dot(const TArray2D& a, const TArray2D& b) {
  long double sum = 0;
  for (std::size_t i = 0; i < a.Values.size(); ++i)
    sum += static_cast<long double>(a.Values[i]) * b.Values[i];
  return sum;
}

TEST(BackProjection, IsTheExactTransposeOfTheGridProjector) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    const TArray2D x = RandomArray(c.Size.Rows, c.Size.Columns, 1);
    const TArray2D y = RandomArray(c.Geometry.Views, c.Geometry.Detectors, 2);
    const TArray2D ax = ProjectGrid(x, c.Geometry);
    const TArray2D aty = BackProject(y, c.Geometry, c.Size);
    ASSERT_EQ(aty.Rows, c.Size.Rows);
    ASSERT_EQ(aty.Columns, c.Size.Columns);
    const long double left = Dot(ax, y), right = Dot(x, aty);
    EXPECT_NEAR(double(left), double(right), 1e-12 * std::fabs(double(left)));
    // A transpose that missed whole rays or cells would still agree on random data only
    // by chance: both sides must be far from 0.
    EXPECT_GT(std::fabs(double(left)), 1e-3);
  }
}

TEST(BackProjection, EveryStageGivesTheSameBitsForOneAndThreeThreads) {
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    const TArray2D x = RandomArray(c.Size.Rows, c.Size.Columns, 3);
    const TArray2D y = ProjectGrid(x, c.Geometry, {}, 1);
    EXPECT_EQ(ProjectGrid(x, c.Geometry, {}, 3), y);
    EXPECT_EQ(BackProject(y, c.Geometry, c.Size, {}, 3), BackProject(y, c.Geometry, c.Size, {}, 1));
    EXPECT_EQ(ReconstructFbp(y, c.Geometry, {}, c.Size, {}, 3),
              ReconstructFbp(y, c.Geometry, {}, c.Size, {}, 1));
    for (auto method : {TIterativeMethod::Sirt, TIterativeMethod::Sart, TIterativeMethod::Cgls}) {
      TIterativeOptions options;
      options.Method = method;
      options.Iterations = 2;
      EXPECT_EQ(ReconstructIterative(y, c.Geometry, options, c.Size, {}, 3),
                ReconstructIterative(y, c.Geometry, options, c.Size, {}, 1))
          << int(method);
    }
  }
}

bool SameBits(const TArray2D& a, const TArray2D& b) {
  return a.Values.size() == b.Values.size() &&
         std::memcmp(a.Values.data(), b.Values.data(), a.Values.size() * sizeof(double)) == 0;
}

TEST(BackProjection, WideLoopsGiveThePlainBitsForAnySize) {
  wide::Enable(true);
  if (!wide::Enabled()) GTEST_SKIP() << "the processor has no AVX2";
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.Name);
    const TArray2D x = RandomArray(c.Size.Rows, c.Size.Columns, 4);
    TArray2D results[3][2];
    for (wide::TLevel level : {wide::TLevel::Plain, wide::TLevel::Four, wide::TLevel::Eight}) {
      wide::SetLevel(level);
      TArray2D* r = results[int(level)];
      r[0] = ProjectGrid(x, c.Geometry);
      r[1] = ReconstructFbp(r[0], c.Geometry, {}, c.Size);
    }
    for (int level : {1, 2}) {
      EXPECT_TRUE(SameBits(results[0][0], results[level][0])) << "sinogram, level " << level;
      EXPECT_TRUE(SameBits(results[0][1], results[level][1])) << "FBP, level " << level;
    }
  }
  wide::Enable(true);
}

// A transposed (column-major) and a reversed view of the same values give what the
// dense array gives.
TEST(BackProjection, ReadsAnyLayoutThroughItsView) {
  const TCase& c = kCases[2];
  const TArray2D x = RandomArray(c.Size.Rows, c.Size.Columns, 5);
  const TArray2D y = ProjectGrid(x, c.Geometry);
  std::vector<double> columnMajor(y.Values.size()), reversed(y.Values.size());
  for (int k = 0; k < y.Rows; ++k)
    for (int j = 0; j < y.Columns; ++j) {
      columnMajor[std::size_t(j) * y.Rows + k] = y.At(k, j);
      reversed[std::size_t(y.Rows - 1 - k) * y.Columns + j] = y.At(k, j);
    }
  const TArrayView byColumns{columnMajor.data(), y.Rows, y.Columns, 1, y.Rows};
  const TArrayView upsideDown{&reversed[std::size_t(y.Rows - 1) * y.Columns], y.Rows, y.Columns,
                              -y.Columns, 1};
  TIterativeOptions cgls;
  cgls.Method = TIterativeMethod::Cgls;
  for (const TArrayView& view : {byColumns, upsideDown}) {
    EXPECT_EQ(BackProject(view, c.Geometry, c.Size), BackProject(y, c.Geometry, c.Size));
    EXPECT_EQ(ReconstructFbp(view, c.Geometry, {}, c.Size),
              ReconstructFbp(y, c.Geometry, {}, c.Size));
    EXPECT_EQ(ReconstructIterative(view, c.Geometry, cgls, c.Size),
              ReconstructIterative(y, c.Geometry, cgls, c.Size));
  }
  const TArrayView xColumns{x.Values.data(), x.Columns, x.Rows, 1, x.Columns};  // x^T
  TArray2D transposed(x.Columns, x.Rows);
  for (int r = 0; r < x.Rows; ++r)
    for (int col = 0; col < x.Columns; ++col) transposed.At(col, r) = x.At(r, col);
  EXPECT_EQ(ProjectGrid(xColumns, c.Geometry), ProjectGrid(transposed, c.Geometry));
}

// The loops walk each line's bins from the line before's; the walk must end on the bins
// the full search finds, on every line of every view, also where the bins are far
// narrower or wider than a cell or the detector misses the image.
TEST(BackProjection, WalkingFromTheLineBeforeFindsTheSameBins) {
  std::vector<TCase> cases(std::begin(kCases), std::end(kCases));
  cases.push_back({"tiny spacing, off-centre", {20, 13}, Uniform(9, 180, 50, 1e-9, 40)});
  cases.push_back({"offset beyond the image", {20, 13}, Uniform(9, 180, 10, 3, 10)});
  cases.push_back({"huge spacing, all bins", {20, 13}, Uniform(9, 360, 10000, 1e12, -9999)});
  cases.push_back({"narrow bins, few", {64, 64}, Uniform(13, 180, 40, 0.2, 7)});
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    for (int k = 0; k < c.Geometry.Views; ++k) {
      const joseph::TView view(c.Geometry, k, c.Size);
      int first = 0, last = 0;
      for (int l = 0; l < view.Lines; ++l) {
        view.NextBins(l, first, last);
        int expectedFirst = 0, expectedLast = 0;
        view.Bins(l, expectedFirst, expectedLast);
        ASSERT_EQ(first, expectedFirst) << "view " << k << ", line " << l;
        ASSERT_EQ(last, expectedLast) << "view " << k << ", line " << l;
      }
    }
  }
}

// Bins far off the image, bins much smaller or much larger than a pixel: every stage
// runs (and reads only its buffers), and a detector that misses the image sees nothing.
TEST(BackProjection, DetectorsFarOffOrOfExtremeSpacingStayInsideTheBuffers) {
  const testing::TrapsOn traps;
  const TImageSize size{20, 13};
  const TArray2D x = RandomArray(size.Rows, size.Columns, 6);
  struct TRow {
    const char* Name;
    TScanGeometry Geometry;
    bool Misses;  // the detector sees none of the image
  } rows[] = {
      {"offset beyond the image", Uniform(9, 180, 10, 3, 10), true},
      {"tiny spacing", Uniform(9, 180, 50, 1e-9), false},
      {"tiny spacing, off-centre", Uniform(9, 180, 50, 1e-9, 40), false},
      {"huge spacing", Uniform(9, 180, 30, 1e6), false},
      {"huge spacing, all bins", Uniform(9, 360, 10000, 1e12, -9999), false},
  };
  TIterativeOptions options;
  options.Iterations = 1;
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    const TArray2D y = ProjectGrid(x, row.Geometry);
    if (row.Misses) {
      EXPECT_EQ(testing::MaxAbs(y), 0);
    }
    for (double v : y.Values) ASSERT_TRUE(std::isfinite(v));
    const TArray2D images[] = {BackProject(y, row.Geometry, size),
                               ReconstructFbp(y, row.Geometry, {}, size),
                               ReconstructIterative(y, row.Geometry, options, size)};
    for (const TArray2D& image : images)
      for (double v : image.Values) ASSERT_TRUE(std::isfinite(v));
  }
}

TEST(BackProjection, FanBeamAndBadSizesAreRefused) {
  const TArray2D x = RandomArray(16, 16, 7);
  TScanGeometry fan;
  fan.Beam = TBeam::FanFlat;
  try {
    ProjectGrid(x, fan);
    ADD_FAILURE() << "accepted";
  } catch (const EInvalidGeometry& e) {
    // A fan needs its source outside the image: R = 0 is refused.
    EXPECT_EQ(e.Message(),
              "source distance must be finite and greater than the image's half-diagonal "
              "11.3137084989848, not 0");
  }
  EXPECT_THROW(ReconstructFbp(ProjectGrid(x, {}), fan, {}, {16, 16}), EInvalidGeometry);
  EXPECT_THROW(BackProject(TArray2D(180, 182), {}, {7, 16}), EInvalidGeometry);
  EXPECT_THROW(ProjectGrid(TArray2D(16, 4097), {}), EInvalidGeometry);
  EXPECT_THROW(BackProject(TArray2D(180, 181), {}, {16, 16}), EInvalidStudyValue);
}

}  // namespace
}  // namespace quarvel
