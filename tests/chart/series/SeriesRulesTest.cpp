// Line series rules checked as pixels on small charts: points that are not drawn
// (null colour, no number), the segment in from the plot edge, a lone point, the
// after-draw event outside the clip, and mapping without a chart.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MainChart.h"
#include "PixelAsserts.h"
#include "chart/panel/ChartException.h"
#include "platform/Bitmap.h"

namespace quarvel {
namespace {

using testing::MainChart;
using testing::PixelSet;
using testing::PixelsOf;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int RedIn(const TPixelSurface& s, int x0, int x1, int y0, int y1) {
  return testing::CountOfColor(s, clRed, x0, x1, y0, y1);
}

TEST(SeriesRules, PointsWithoutAValueBreakTheLineAndHaveNoPointer) {
  const struct {
    const char* name;
    double y;
    TColor color;
  } cases[] = {
      {"null colour", 2, clNone},
      {"no number", kNaN, clAutoColor},
  };
  for (const auto& c : cases) {
    MainChart view;
    view.chart.LeftAxis().ApplyFixedRange(0, 3);
    view.series.AddPoint(1, 1);
    view.series.AddPoint(2, c.y, "", c.color);
    view.series.AddPoint(3, 1);  // level with point 0: a bridge would be one row
    view.series.AddPoint(4, 2);
    view.Redraw();
    const TPixelSurface& s = view.host.Bitmap().Surface();
    const TRect p = view.chart.PlotRect;
    const int x0 = view.series.XPixelOfPoint(0), x2 = view.series.XPixelOfPoint(2);
    // Between the two pointers nothing of the series, in any row inside the plot and
    // clear of the two-pixel axis line: only the panel colour and the grey grid lines
    // (a segment in the null colour is no less a segment).
    int drawn = 0;
    for (int y = p.Top + 1; y < p.Bottom - 1; ++y)
      for (int x = x0 + 2; x < x2 - 1; ++x) {
        const TColor pixel = ColorOfPixel(s.PixelAt(x, y));
        drawn += pixel != ColorToRGB(clBtnFace) && pixel != clGray;
      }
    EXPECT_EQ(drawn, 0) << c.name;
    // The null point has no pointer: no black outline where it would be (its value 2,
    // or the centre row for a point without a number).
    const int x1 = view.series.XPixelOfPoint(1);
    for (int y : {view.series.YPixelOfValue(2), view.chart.LeftAxis().CenterPixel})
      EXPECT_NE(ColorOfPixel(s.PixelAt(x1 - 1, y)), clBlack) << c.name;
    // The points around it still get theirs, and the line goes on after it.
    EXPECT_EQ(ColorOfPixel(s.PixelAt(x0 - 1, view.series.YPixelOfPoint(0))), clBlack) << c.name;
    EXPECT_EQ(ColorOfPixel(s.PixelAt(x2 - 1, view.series.YPixelOfPoint(2))), clBlack) << c.name;
    EXPECT_GT(RedIn(s, x2 + 2, view.series.XPixelOfPoint(3) - 1, p.Top, p.Bottom), 0) << c.name;
  }
}

TEST(SeriesRules, ValuesWithoutANumberLeaveTheStatistics) {
  TLineSeries series;
  series.AddPoint(1, kNaN);
  series.AddPoint(2, 5);
  series.AddPoint(3, kNaN);
  series.AddPoint(4, -2);
  EXPECT_EQ(series.LowestY(), -2);
  EXPECT_EQ(series.HighestY(), 5);
  EXPECT_EQ(series.YValues->Sum(), 3);
  EXPECT_EQ(series.PointColor(0), clNone);
  EXPECT_EQ(series.PointColor(1), series.SeriesColor());
  series.AddPoint(kNaN, 7);  // no x: goes last and is not drawn; its x is not counted
  EXPECT_EQ(series.PointColor(series.PointCount() - 1), clNone);
  EXPECT_EQ(series.HighestX(), 4);
  EXPECT_EQ(series.HighestY(), 7);

  // A first value without a number: the vertical axis still spans the others.
  MainChart view;
  view.series.AddPoint(1, kNaN);
  view.series.AddPoint(2, 0);
  view.series.AddPoint(3, 10);
  view.Redraw();
  EXPECT_LT(view.chart.LeftAxis().EffectiveMinimum, 0);
  EXPECT_GT(view.chart.LeftAxis().EffectiveMaximum, 10);
  EXPECT_NE(view.series.YPixelOfPoint(1), view.series.YPixelOfPoint(2));
}

// The segment drawn into the first visible point starts at the plot edge, at the
// height of the line between the point before and the first one.
TEST(SeriesRules, FirstSegmentComesInFromThePlotEdge) {
  for (bool inverted : {false, true}) {
    MainChart view;
    view.series.Pointer().SetVisible(false);
    for (double x : {1.0, 2.0, 3.0, 4.0, 5.0}) view.series.AddPoint(x, x);
    view.chart.BottomAxis().ApplyFixedRange(3.5, 5);
    view.chart.LeftAxis().ApplyFixedRange(0, 6);
    view.chart.BottomAxis().SetInverted(inverted);
    view.Redraw();
    ASSERT_EQ(view.series.VisibleFirst, 3);
    const TRect p = view.chart.PlotRect;
    const int edge = inverted ? p.Right : p.Left;
    // On the edge the x value is 3.5, where the line from (3, 3) to (4, 4) is at 3.5.
    const int edgeY = view.series.YPixelOfValue(3.5);
    const int x3 = view.series.XPixelOfPoint(3), y3 = view.series.YPixelOfPoint(3);
    TBitmap expected(view.host.Bitmap().Width(), view.host.Bitmap().Height());
    expected.Raster().SetPen(clRed, 1, TPenStyle::psSolid);
    expected.Raster().MoveTo(edge, edgeY);
    expected.Raster().LineTo(x3, y3);
    const int from = std::min(edge, x3) + 1, to = std::max(edge, x3);
    PixelSet drawn, wanted;
    for (const auto& [x, y] : PixelsOf(view.host.Bitmap().Surface(), clRed))
      if (x >= from && x < to) drawn.insert({x, y});
    for (const auto& [x, y] : PixelsOf(expected.Surface(), clRed))
      if (x >= from && x < to) wanted.insert({x, y});
    EXPECT_FALSE(wanted.empty());
    EXPECT_EQ(drawn, wanted) << (inverted ? "inverted" : "plain");
  }
}

TEST(SeriesRules, NoSegmentFromTheEdgeOutOfANullPoint) {
  MainChart view;
  view.series.Pointer().SetVisible(false);
  for (double x : {1.0, 2.0, 3.0, 4.0, 5.0})
    view.series.AddPoint(x, x, "", x == 3.0 ? clNone : clAutoColor);
  view.chart.BottomAxis().ApplyFixedRange(3.5, 5);
  view.chart.LeftAxis().ApplyFixedRange(0, 6);
  view.Redraw();
  ASSERT_EQ(view.series.VisibleFirst, 3);
  const TRect p = view.chart.PlotRect;
  EXPECT_EQ(RedIn(view.host.Bitmap().Surface(), p.Left, view.series.XPixelOfPoint(3) - 1, p.Top,
                  p.Bottom + 1),
            0);
  EXPECT_GT(RedIn(view.host.Bitmap().Surface(), view.series.XPixelOfPoint(3) + 1, p.Right, p.Top,
                  p.Bottom + 1),
            0);
}

TEST(SeriesRules, PointersAreAskedForOnlyForDrawnPoints) {
  MainChart view;
  for (double x : {1.0, 2.0, 3.0, 4.0})
    view.series.AddPoint(x, x, "", x == 2.0 ? clNone : clAutoColor);
  std::vector<int> asked;
  view.series.OnGetPointerStyle = [&](TChartSeries*, int index) {
    asked.push_back(index);
    return TSeriesPointerStyle::psRectangle;
  };
  view.Redraw();
  EXPECT_EQ(asked, (std::vector<int>{0, 2, 3}));
}

TEST(SeriesRules, ALoneVisiblePointGetsItsPointer) {
  const struct {
    const char* name;
    std::vector<double> xs;
    double from, to;
  } cases[] = {
      {"the only point", {5}, 0, 10},
      {"the last point alone in a zoom", {1, 5, 9}, 8, 10},
  };
  for (const auto& c : cases) {
    MainChart view;
    for (double x : c.xs) view.series.AddPoint(x, 1);
    view.chart.BottomAxis().ApplyFixedRange(c.from, c.to);
    view.chart.LeftAxis().ApplyFixedRange(0, 2);
    view.Redraw();
    ASSERT_EQ(view.series.VisibleFirst, view.series.VisibleLast) << c.name;
    const int i = view.series.VisibleFirst;
    const int x = view.series.XPixelOfPoint(i), y = view.series.YPixelOfPoint(i);
    const TPixelSurface& s = view.host.Bitmap().Surface();
    EXPECT_EQ(ColorOfPixel(s.PixelAt(x, y)), clRed) << c.name;
    for (int d : {-1, 1}) {
      EXPECT_EQ(ColorOfPixel(s.PixelAt(x + d, y - 1)), clBlack) << c.name;
      EXPECT_EQ(ColorOfPixel(s.PixelAt(x - 1, y + d)), clBlack) << c.name;
    }
  }
}

TEST(SeriesRules, AfterDrawValuesDrawsWithoutThePlotClip) {
  MainChart view;
  for (double x : {1.0, 2.0}) view.series.AddPoint(x, x);
  int row = 0;
  view.series.AfterDrawValues = [&](TChartSeries*) {
    TChartCanvas3D& canvas = view.chart.ChartCanvas();
    row = view.chart.PlotRect.Bottom + 3;  // below the plot
    canvas.Pen().SetColor(clBlue);
    canvas.MovePenTo(30, row);
    canvas.DrawLineTo(60, row);
  };
  view.Redraw();
  int blue = 0;
  for (int x = 30; x < 60; ++x)
    blue += ColorOfPixel(view.host.Bitmap().Surface().PixelAt(x, row)) == clBlue;
  EXPECT_EQ(blue, 30);
}

TEST(SeriesRules, MappingWithoutAChartIsAnError) {
  TLineSeries series;
  series.AddPoint(1, 2);
  EXPECT_THROW(series.XPixelOfPoint(0), ChartException);
  EXPECT_THROW(series.YPixelOfPoint(0), ChartException);
  EXPECT_THROW(series.XPixelOfValue(1), ChartException);
  EXPECT_THROW(series.YPixelOfValue(0), ChartException);
  MainChart view;
  view.series.AddPoint(1, 2);
  view.series.SetParentChart(nullptr);  // detached again
  EXPECT_THROW(view.series.YPixelOfValue(0), ChartException);
}

}  // namespace
}  // namespace quarvel
