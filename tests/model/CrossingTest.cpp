#include "model/Crossing.h"

#include <gtest/gtest.h>

#include <random>

#include "ModelFixtures.h"
#include "StepwiseModel.h"

namespace quarvel {
namespace {

using testing::SearchCrossingStepwise;

struct Interval {
  double xl, yl, xr, yr;
};

struct Fits {
  TCubic fit1, fit2;
  explicit Fits(const Interval& i) {
    FitCubic(fit1, i.xl, i.yl, i.xr, i.yr);
    FitCubic(fit2, i.xr, i.yr, i.xl, i.yl);
  }
};

// The fast search must give exactly what probing every step gives.
void ExpectSameAsStepwise(const Interval& i) {
  const Fits f(i);
  const CrossingResult fast = SearchCrossing(f.fit1, f.fit2, i.xl, i.xr);
  const CrossingResult slow = SearchCrossingStepwise(f.fit1, f.fit2, i.xl, i.xr).result;
  EXPECT_EQ(fast.Found, slow.Found) << i.xl << " " << i.yl << " " << i.xr << " " << i.yr;
  EXPECT_EQ(fast.X, slow.X) << i.xl << " " << i.yl << " " << i.xr << " " << i.yr;
  EXPECT_EQ(fast.Y, slow.Y) << i.xl << " " << i.yl << " " << i.xr << " " << i.yr;
}

TEST(FindCrossing, KnownCrossings) {
  {
    const Fits f({1, 5, 2, 3});
    const auto slow = SearchCrossingStepwise(f.fit1, f.fit2, 1, 2);
    EXPECT_NEAR(static_cast<double>(slow.probes), 72118, 2);
    const CrossingResult r = SearchCrossing(f.fit1, f.fit2, 1, 2);
    ASSERT_TRUE(r.Found);
    EXPECT_NEAR(r.X, 1.72117, 1e-5);
    EXPECT_NEAR(EvalCubic(f.fit1, r.X), 1.90097, 1e-5);
    EXPECT_NEAR(EvalCubic(f.fit2, r.X), 1.91088, 1e-5);
    EXPECT_NEAR(r.Y, 3.81185, 1e-5);
  }
  {
    // The two cubics agree at the start: the left X itself.
    TProjectionModel model;
    double x = -1, y = -1;
    model.FindCrossing(1, 0.005, 2, 3, x, y);
    EXPECT_EQ(x, 1.0);
    EXPECT_NEAR(y, 0.005006, 1e-9);
  }
}

TEST(FindCrossing, NoCrossingTakesTheFirstSmallestGap) {
  // Steep cubics jump across the 0.01 band between two steps.
  const Interval steep[] = {{1, 1000, 1.15, 1000}, {5, 3000, 5.07, 2500}, {-3, 900, -2.9, 1200}};
  for (const Interval& i : steep) {
    const Fits f(i);
    const auto slow = SearchCrossingStepwise(f.fit1, f.fit2, i.xl, i.xr);
    ASSERT_FALSE(slow.result.Found) << "the interval was meant to have no crossing";
    const CrossingResult r = SearchCrossing(f.fit1, f.fit2, i.xl, i.xr);
    EXPECT_FALSE(r.Found);
    EXPECT_GE(r.X, i.xl);
    EXPECT_LT(r.X, i.xr);
    EXPECT_EQ(r.X, slow.result.X);
    EXPECT_EQ(r.Y, slow.result.Y);
    EXPECT_EQ(r.Y, ProbeCrossing(f.fit1, f.fit2, r.X).Sum());
  }
}

TEST(FindCrossing, SameAsStepwiseOnThePhantomIntervals) {
  const auto model = testing::StartUpPhantom(1);
  const auto& p = model->Points;
  ASSERT_EQ(p.size(), 255u);
  // Both passes' intervals: samples to samples, and every neighbour pair of the first pass.
  for (int i = 0; i + 2 < 255; i += 2)
    ExpectSameAsStepwise({p[i].X, p[i].Y, p[i + 2].X, p[i + 2].Y});
  for (int k = 0; k + 1 < 255; ++k) ExpectSameAsStepwise({p[k].X, p[k].Y, p[k + 1].X, p[k + 1].Y});
}

TEST(FindCrossing, SameAsStepwiseOnRandomIntervals) {
  std::mt19937_64 rng(20261208);
  std::uniform_real_distribution<double> start(-25, 25), width(1e-4, 0.3), value(-20, 40),
      tiny(0, 0.02);
  for (int n = 0; n < 400; ++n) {
    const double xl = start(rng);
    const double yl = n % 7 == 0 ? tiny(rng) : value(rng);
    ExpectSameAsStepwise({xl, yl, xl + width(rng), value(rng)});
  }
}

TEST(FindCrossing, SameAsStepwiseOnDegenerateIntervals) {
  const Interval cases[] = {
      {1, 0, 1.1496062992125984, 0},  // an all-zero projection
      {1, 0.005, 2, 3},               // crossing at the start
      {1, 3, 1.00001, 3},             // one step wide
      {1, 3, 1.000001, 3},            // narrower than a step
      {-0.05, 1, 0.05, 2},            // across zero, where the steps change size
      {0.99995, 2, 1.00005, 1},       // across a binary exponent boundary
      {1.99, 1e-3, 2.01, 1e-3},       // another boundary, values near the tolerance
      {1e3, 50, 1e3 + 0.2, 60},       // coarser steps far from the origin
      {1, 1e-300, 1.1, 1e-300},       // values far below the tolerance
  };
  for (const Interval& i : cases) ExpectSameAsStepwise(i);
}

TEST(FindCrossing, TerminatesWhereStepsStopAdvancing) {
  // Beyond about 1e11 adding 1e-5 no longer changes X: the search ends there.
  const Fits f({1e12, 1, 1e12 + 1, 2});
  const CrossingResult r = SearchCrossing(f.fit1, f.fit2, 1e12, 1e12 + 1);
  EXPECT_EQ(r.X, 1e12);
}

TEST(FindCrossing, EmptySearchReturnsTheLeftPoint) {
  const Fits f({2, 1, 1, 3});  // reversed interval: nothing below xr to search
  const CrossingResult r = SearchCrossing(f.fit1, f.fit2, 2, 1);
  EXPECT_FALSE(r.Found);
  EXPECT_EQ(r.X, 2.0);
  EXPECT_EQ(r.Y, ProbeCrossing(f.fit1, f.fit2, 2).Sum());
}

}  // namespace
}  // namespace quarvel
