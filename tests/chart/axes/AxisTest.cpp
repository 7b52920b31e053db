#include "chart/axes/Axis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "PlacedAxis.h"
#include "chart/control/Chart.h"
#include "chart/axes/PixelRounding.h"
#include "platform/BitmapHost.h"
#include "chart/panel/ChartException.h"

namespace quarvel {
namespace {

// An axis of a bare chart, with its range and pixels set directly.
struct AxisFixture {
  AxisFixture() : host(651, 302), chart(&host) {}
  TCustomChartAxis& Horizontal(int start, int end, double min, double max) {
    return Place(chart.BottomAxis(), start, end, min, max);
  }
  TCustomChartAxis& Vertical(int start, int end, double min, double max) {
    return Place(chart.LeftAxis(), start, end, min, max);
  }
  // The pixels come from the axis' own placement on a plot from start to end.
  TCustomChartAxis& Place(TCustomChartAxis& a, int start, int end, double min, double max) {
    chart.PlotRect = {start, start, end, end};
    chart.PlotWidth = chart.PlotHeight = end - start;
    return testing::PlaceWithRange(a, min, max);
  }
  TBitmapHost host;
  TChart chart;
};

// The pixel rounding against the library's round-to-integer of the same extended value.
// Outside the int range the library's result converts to INT_MIN on this processor;
// the table states that as the expected value rather than converting out of range.
TEST(PixelRounding, HalfToEvenLikeTheLibraryForEveryInput) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const struct {
    const char* name;
    long double v;
    int expected;
  } cases[] = {
      {"zero", 0.0L, 0},
      {"negative zero", -0.0L, 0},
      {"half down to even", 2.5L, 2},
      {"half up to even", 3.5L, 4},
      {"negative half", -2.5L, -2},
      {"negative half up", -3.5L, -4},
      {"one half", 0.5L, 0},
      {"minus one half", -0.5L, 0},
      {"just above a half", 0.5000000000000000001L, 1},
      {"just below a half", 0.4999999999999999999L, 0},
      {"extended tie near a double", 1.5L + 0x1p-62L, 2},
      {"largest int", 2147483647.0L, 2147483647},
      {"largest int plus a bit", 2147483647.4L, 2147483647},
      {"rounds past the largest int", 2147483647.5L, std::numeric_limits<int>::min()},
      {"smallest int", -2147483648.0L, std::numeric_limits<int>::min()},
      {"smallest int minus a half", -2147483648.5L, std::numeric_limits<int>::min()},
      {"below the int range", -2147483649.0L, std::numeric_limits<int>::min()},
      {"above the int range", 3e9L, std::numeric_limits<int>::min()},
      {"huge", 1e300L, std::numeric_limits<int>::min()},
      {"infinity", inf, std::numeric_limits<int>::min()},
      {"minus infinity", -inf, std::numeric_limits<int>::min()},
      {"not a number", std::numeric_limits<long double>::quiet_NaN(),
       std::numeric_limits<int>::min()},
  };
  for (const auto& c : cases) EXPECT_EQ(RoundHalfEven(c.v), c.expected) << c.name;

  // A sweep of ties, near-ties and ordinary values in the int range.
  for (long long k = -3000; k <= 3000; ++k) {
    for (long double frac : {0.0L, 0.25L, 0.5L, 0.75L, 0.5L - 0x1p-60L, 0.5L + 0x1p-60L}) {
      for (long double scale : {1.0L, 1048576.0L}) {
        const long double v = k * scale + frac;
        if (std::fabs(v) >= 2147483647.0L) continue;
        EXPECT_EQ(RoundHalfEven(v), static_cast<int>(std::nearbyint(v))) << static_cast<double>(v);
      }
    }
  }
}

TEST(PixelRounding, IntegralRoundingIsTheLibrarysForEveryInput) {
  const long double inf = std::numeric_limits<long double>::infinity();
  const long double specials[] = {0.0L,
                                  -0.0L,
                                  0.5L,
                                  -0.5L,
                                  1.5L,
                                  2.5L,
                                  -2.5L,
                                  254.5L,
                                  255.5L,
                                  1e300L,
                                  -1e300L,
                                  0x1p63L + 0.5L,
                                  0x1p64L,
                                  inf,
                                  -inf,
                                  std::numeric_limits<long double>::denorm_min(),
                                  0.4999999999999999999L,
                                  0.5000000000000000001L};
  for (long double v : specials)
    EXPECT_EQ(RoundHalfEvenIntegral(v), std::nearbyint(v)) << static_cast<double>(v);
  const long double nan = RoundHalfEvenIntegral(std::numeric_limits<long double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(nan));
  for (int k = -20000; k <= 20000; ++k)
    for (long double frac : {0.0L, 0.25L, 0.5L, 0.75L, 0.5L - 0x1p-60L}) {
      const long double v = k / 64.0L + frac;
      EXPECT_EQ(RoundHalfEvenIntegral(v), std::nearbyint(v)) << static_cast<double>(v);
    }
}

TEST(AxisMapping, ValueToPixelAndBack) {
  AxisFixture f;
  TCustomChartAxis& h = f.Horizontal(40, 640, 1, 20);
  const struct {
    double value;
    int pixel;
  } horizontal[] = {{1, 40}, {20, 640}, {10.5, 340}};
  for (const auto& c : horizontal) EXPECT_EQ(h.ValueToPixel(c.value), c.pixel) << c.value;
  EXPECT_DOUBLE_EQ(h.PixelToValue(340), 10.5);
  // On 0 ... 600 over 600 pixels a value is its offset: exact ties round to even.
  TCustomChartAxis& ties = f.Horizontal(40, 640, 0, 600);
  EXPECT_EQ(ties.ValueToPixel(2.5), 42);
  EXPECT_EQ(ties.ValueToPixel(3.5), 44);
  EXPECT_EQ(ties.ValueToPixel(4.5), 44);

  TCustomChartAxis& v = f.Vertical(10, 210, 0, 50);
  EXPECT_EQ(v.ValueToPixel(50), 10);
  EXPECT_EQ(v.ValueToPixel(0), 210);
  EXPECT_EQ(v.ValueToPixel(25), 110);
  EXPECT_DOUBLE_EQ(v.PixelToValue(110), 25);
  v.SetInverted(true);
  EXPECT_EQ(v.ValueToPixel(0), 10);
  EXPECT_DOUBLE_EQ(v.PixelToValue(10), 0);
}

TEST(AxisMapping, DegenerateRangesMapToTheCentre) {
  AxisFixture f;
  TCustomChartAxis& a = f.Horizontal(40, 640, 5, 5);
  EXPECT_EQ(a.CenterPixel, 340);
  EXPECT_EQ(a.ValueToPixel(5), 340);
  EXPECT_EQ(a.ValueToPixel(-1e300), 340);
  EXPECT_DOUBLE_EQ(a.PixelToValue(100), 5);
  f.Horizontal(40, 640, 0, 1e-300);
  EXPECT_EQ(a.ValueToPixel(1), 340);  // pixel offset far beyond 32 bits
  f.Horizontal(40, 640, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
  ASSERT_EQ(a.EffectiveRange, std::numeric_limits<double>::infinity());
  EXPECT_EQ(a.ValueToPixel(std::numeric_limits<double>::quiet_NaN()), 340);
  f.Horizontal(40, 41, 0, 0);
  EXPECT_EQ(a.ValueToPixel(7), 40);  // (40 + 41) div 2
  f.Horizontal(40, 40, 0, 10);
  EXPECT_EQ(a.PixelToValue(40), 0.0);  // PixelLength < 1
}

TEST(AxisMapping, MarginsWidenTheRange) {
  AxisFixture f;
  TCustomChartAxis& a = f.chart.BottomAxis();
  f.chart.PlotRect = {20, 20, 620, 280};
  f.chart.UpdatePlotGeometry();
  a.PlaceAxisPixels();
  EXPECT_EQ(a.StartPixel, 20);
  EXPECT_EQ(a.EndPixel, 620);
  f.Horizontal(20, 620, 1, 20);
  a.WidenRangeForMargins({2, 0, 2, 0});
  EXPECT_NEAR(a.EffectiveMinimum, 1 - 2 * 19 / 596.0, 1e-12);
  EXPECT_NEAR(a.EffectiveMaximum, 20 + 2 * 19 / 596.0, 1e-12);
  EXPECT_EQ(a.ValueToPixel(1), 22);
  EXPECT_EQ(a.ValueToPixel(20), 618);
  EXPECT_EQ(a.Minimum(), 0);  // the properties keep the unwidened values

  // Margins that leave no pixels keep the range instead of collapsing it.
  f.Horizontal(20, 22, 1, 20);
  a.WidenRangeForMargins({2, 0, 2, 0});
  EXPECT_EQ(a.EffectiveMinimum, 1);
  EXPECT_EQ(a.EffectiveMaximum, 20);
}

TEST(NiceSteps, OneTwoFiveSequence) {
  const struct {
    double x, next;
  } cases[] = {{10, 20}, {12, 20}, {150, 200}, {1234, 2000}, {0.07, 0.1},
               {1, 2},   {2, 5},   {5, 10},    {5e-6, 1e-5}, {1e-12, 1.0000000000000002e-12}};
  for (const auto& c : cases) EXPECT_EQ(NextNiceStep(c.x), c.next) << c.x;
  EXPECT_EQ(NextNiceStep(1.0000000000000002e-12), 2.0000000000000004e-12);
  EXPECT_EQ(NextNiceStep(2.0000000000000004e-12), 5.000000000000001e-12);
  EXPECT_EQ(NextNiceStep(0), 0);
  EXPECT_TRUE(std::isinf(NextNiceStep(std::numeric_limits<double>::infinity())));
}

TEST(LabelIncrement, SearchFromTheAllowedStart) {
  AxisFixture f;
  TCustomChartAxis& a = f.Vertical(10, 210, 0, 50);
  EXPECT_EQ(a.IncrementForLabelCount(14), 5);
  f.Vertical(10, 210, 0, 0.37);
  EXPECT_DOUBLE_EQ(a.IncrementForLabelCount(14), 0.05);
  f.Vertical(10, 210, 0, 50);
  a.SetIncrement(3);
  EXPECT_EQ(a.IncrementForLabelCount(14), 5);
  a.SetIncrement(0);
  EXPECT_EQ(a.IncrementForLabelCount(0), 1e-12);
  f.Vertical(10, 210, 0, 3.7);
  EXPECT_EQ(a.IncrementForLabelCount(100), 1);
  a.SetLabelsSeparation(0);
  f.Vertical(10, 210, 0, 50);
  EXPECT_EQ(a.IncrementForLabelCount(2), 1);
  a.SetLabelsSeparation(10);
  // A range that is not a finite number ends the search.
  f.Vertical(10, 210, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
  EXPECT_GT(a.IncrementForLabelCount(10), 0);
}

TEST(LabelWalk, FromTheTopDownToTheMinimum) {
  AxisFixture f;
  TCustomChartAxis& a = f.Horizontal(40, 640, -0.4, 20.4);
  EXPECT_EQ(a.LabelValues(2), (std::vector<double>{20, 18, 16, 14, 12, 10, 8, 6, 4, 2, 0}));
  f.Horizontal(40, 640, -5, 5);
  EXPECT_EQ(a.LabelValues(1), (std::vector<double>{5, 4, 3, 2, 1, 0, -1, -2, -3, -4}));
  f.Horizontal(40, 640, 0, 0);
  EXPECT_EQ(a.LabelValues(1e-12), (std::vector<double>{0}));
  f.Horizontal(40, 640, 0, 1e-8);
  EXPECT_TRUE(a.LabelValues(1e-12).empty());  // more than 10000 labels: none
}

// Ranges the walk must survive: bounded, terminating, at most 2000 labels.
TEST(LabelWalk, DegenerateRangesAreBounded) {
  const double big = std::numeric_limits<double>::max();
  const struct {
    const char* name;
    double min, max, inc;
  } cases[] = {
      {"constant 5", 5, 5, 1e-12},
      {"constant 3000", 3000, 3000, 1e-12},
      {"constant 1e6", 1e6, 1e6, 1e-12},
      {"negative constant", -7, -7, 1e-12},
      {"range 1e-10", 1, 1 + 1e-10, 1e-12},
      {"near the largest doubles", -big, big, 1e306},
      {"maximum beyond 2^63 increments", 1e30, 1e30 + 1e15, 1e12},
  };
  for (const auto& c : cases) {
    AxisFixture f;
    TCustomChartAxis& a = f.Horizontal(40, 640, c.min, c.max);
    const std::vector<double> labels = a.LabelValues(c.inc);
    EXPECT_LE(labels.size(), TCustomChartAxis::kMaxTickPositions) << c.name;
    for (double v : labels) EXPECT_TRUE(std::isfinite(v)) << c.name;
  }
  AxisFixture f;
  EXPECT_EQ(f.Horizontal(40, 640, 5, 5).LabelValues(1e-12).size(),
            6u);  // 5, 5 - 1e-12, ... as the walk subtracts
}

TEST(MinorMarks, ContinueTheSpacingAndFillEachGap) {
  EXPECT_EQ(MinorMarkPositions({40, 90, 140}, 3),
            (std::vector<int>{28, 152, 15, 165, 2, 178, 78, 65, 52, 128, 115, 102}));
  EXPECT_TRUE(MinorMarkPositions({}, 3).empty());
  EXPECT_TRUE(MinorMarkPositions({40}, 3).empty());
  EXPECT_EQ(CenteredGridPositions({40, 90, 140}), (std::vector<int>{65, 115}));
}

TEST(AxisSettings, RejectedValuesKeepTheOldOnes) {
  AxisFixture f;
  TChartAxis& a = f.chart.LeftAxis();
  auto message = [](const std::function<void()>& call) -> std::string {
    try {
      call();
    } catch (const Exception& e) {
      return e.Message();
    }
    return "accepted";
  };
  EXPECT_EQ(message([&] { a.SetIncrement(-1); }), "Axis increment must be >= 0");
  EXPECT_EQ(message([&] { a.SetMinimum(1); }), "Axis Minimum Value must be <= Maximum");
  EXPECT_EQ(message([&] { a.SetMaximum(-1); }), "Axis Maximum Value must be >= Minimum");
  EXPECT_EQ(message([&] { a.SetLogarithmicBase(1); }), "Axis Logarithmic Base should be >= 2");
  EXPECT_EQ(message([&] { a.SetLabelsSeparation(-1); }),
            "Labels Separation % must be greater than 0");
  EXPECT_EQ(message([&] { a.SetLabelsAngle(360); }),
            "Axis Labels Angle must be between 0 and 359 degrees");
  EXPECT_EQ(message([&] { a.Title.SetAngle(-1); }),
            "Axis Title Angle must be between 0 and 359 degrees");
  EXPECT_EQ(message([&] { a.SetLabelsAngle(359); }), "accepted");
  EXPECT_EQ(message([&] { a.SetLabelsSeparation(0); }), "accepted");
  EXPECT_EQ(a.Increment(), 0);
  EXPECT_EQ(a.Minimum(), 0);
  EXPECT_EQ(a.LogarithmicBase(), 10);
}

TEST(AxisSettings, CoupledAutomaticFlagsAndFixedRanges) {
  AxisFixture f;
  TChartAxis& a = f.chart.BottomAxis();
  a.SetAutomaticMinimum(false);
  EXPECT_FALSE(a.Automatic());
  a.SetAutomaticMinimum(true);
  EXPECT_TRUE(a.Automatic());
  a.SetAutomatic(false);
  EXPECT_FALSE(a.AutomaticMaximum());
  EXPECT_FALSE(a.AutomaticMinimum());
  a.SetAutomatic(true);

  a.ApplyFixedRange(10, 2);
  EXPECT_FALSE(a.Automatic() || a.AutomaticMinimum() || a.AutomaticMaximum());
  EXPECT_EQ(a.Minimum(), 2);
  EXPECT_EQ(a.Maximum(), 10);
  a.ApplyFixedRange(3, 3);
  EXPECT_EQ(a.Minimum(), 3);
  EXPECT_DOUBLE_EQ(a.Maximum(), 3 + 1e-10);
}

}  // namespace
}  // namespace quarvel
