// Lines whose ends lie far outside the picture: the segment cut to a rectangle in
// extended precision, and the curve of a deep zoom drawn where it crosses the plot.

#include "chart/series/SegmentClip.h"

#include <gtest/gtest.h>

#include <limits>

#include "MainChart.h"
#include "PixelAsserts.h"
#include "chart/series/Series.h"

namespace quarvel {
namespace {

TEST(SegmentClip, CutsToTheRectangle) {
  constexpr long double inf = std::numeric_limits<long double>::infinity();
  const struct {
    const char* name;
    TPixelPoint a, b;
    bool kept;
    TPixelPoint cutA, cutB;
  } rows[] = {
      {"inside: unchanged", {10, 20}, {90, 80}, true, {10, 20}, {90, 80}},
      {"across, both ends far", {-1e12L, 50}, {1e12L, 50}, true, {0, 50}, {100, 50}},
      {"steep, billions of pixels", {-4e9L, -2e9L}, {4e9L, 2e9L}, true, {0, 0}, {100, 50}},
      {"from inside to far away", {50, 50}, {50, -1e15L}, true, {50, 50}, {50, 0}},
      {"backwards", {150, 50}, {-50, 50}, true, {100, 50}, {0, 50}},
      {"passes beside", {-1e9L, 200}, {1e9L, 300}, false, {}, {}},
      {"wholly to one side", {120, 10}, {1e10L, 90}, false, {}, {}},
      {"touches a corner", {-10, 10}, {10, -10}, true, {0, 0}, {0, 0}},
      {"one point inside", {30, 30}, {30, 30}, true, {30, 30}, {30, 30}},
      {"an end not a number", {inf, 50}, {50, 50}, false, {}, {}},
  };
  for (const auto& r : rows) {
    TPixelPoint a = r.a, b = r.b;
    ASSERT_EQ(ClipSegment(a, b, 0, 0, 100, 100), r.kept) << r.name;
    if (!r.kept) continue;
    EXPECT_NEAR(static_cast<double>(a.x), static_cast<double>(r.cutA.x), 1e-6) << r.name;
    EXPECT_NEAR(static_cast<double>(a.y), static_cast<double>(r.cutA.y), 1e-6) << r.name;
    EXPECT_NEAR(static_cast<double>(b.x), static_cast<double>(r.cutB.x), 1e-6) << r.name;
    EXPECT_NEAR(static_cast<double>(b.y), static_cast<double>(r.cutB.y), 1e-6) << r.name;
  }
}

// The line y = 10 (x - 1) through its points, zoomed about (1.5, 5): the red line
// crosses the plot through that value's pixel, on both sides of it, and stays inside.
TEST(SeriesFarPoints, DeepZoomDrawsTheLineWhereItCrossesThePlot) {
  const struct {
    const char* name;
    bool middlePoint;  // a point at (1.5, 5), in view
    bool zoomX;
    double halfX, halfY;
  } rows[] = {
      {"points some 1.5e9 pixels away", false, true, 1e-7, 1e-6},
      {"points beyond the 32-bit pixels", false, true, 5e-11, 5e-10},
      {"only y zoomed: both neighbours far above and below", false, false, 0, 1e-6},
      {"a point in view, the next far beyond it", true, true, 1e-7, 1e-6},
      {"only y zoomed, a point in view between far ones", true, false, 0, 1e-6},
  };
  for (const auto& r : rows) {
    testing::MainChart c;
    for (double x : {1.0, 2.0, 3.0}) c.series.AddPoint(x, 10 * (x - 1));
    if (r.middlePoint) c.series.AddPoint(1.5, 5);
    if (r.zoomX) c.chart.BottomAxis().ApplyFixedRange(1.5 - r.halfX, 1.5 + r.halfX);
    c.chart.LeftAxis().ApplyFixedRange(5 - r.halfY, 5 + r.halfY);
    c.Redraw();
    const TPixelSurface& s = c.host.Bitmap().Surface();
    const int x = c.chart.BottomAxis().ValueToPixel(1.5), y = c.chart.LeftAxis().ValueToPixel(5);
    EXPECT_GT(testing::CountOfColor(s, clRed, x - 1, x + 2, y - 1, y + 2), 0) << r.name;
    // The line rises to the right: before the point lies left or below, after it right
    // or above.
    int before = 0, after = 0;
    for (const auto& [px, py] : testing::PixelsOf(s, clRed)) {
      before += px < x - 2 || py > y + 2;
      after += px > x + 2 || py < y - 2;
      const TRect& plot = c.chart.PlotRect;
      ASSERT_TRUE(px > plot.Left && px < plot.Right && py > plot.Top && py < plot.Bottom)
          << r.name << ": " << px << "," << py;
    }
    EXPECT_GT(before, 20) << r.name;
    EXPECT_GT(after, 20) << r.name;
  }
}

}  // namespace
}  // namespace quarvel
