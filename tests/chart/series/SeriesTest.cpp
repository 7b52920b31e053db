#include "chart/series/Series.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "MainChart.h"
#include "PixelAsserts.h"

namespace quarvel {
namespace {

using testing::MainChart;
using testing::PixelsOf;

TEST(SeriesPoints, AddInXOrderWithColoursAndLabels) {
  TLineSeries s;
  EXPECT_EQ(s.AddPoint(1, 10, "a", clGreen), 0);
  EXPECT_EQ(s.AddPoint(2, 20), 1);
  EXPECT_EQ(s.AddPoint(0.5, 5, "first", clBlue), 0);
  EXPECT_EQ(s.PointCount(), 3);
  EXPECT_EQ(s.PointY(0), 5);
  EXPECT_EQ(s.PointLabel(0), "first");
  EXPECT_EQ(s.PointLabel(1), "a");
  EXPECT_EQ(s.PointLabel(7), "");
  s.SetSeriesColor(clRed);
  EXPECT_EQ(s.PointColor(0), clBlue);
  EXPECT_EQ(s.PointColor(1), clGreen);
  EXPECT_EQ(s.PointColor(2), clRed);   // added with clAutoColor
  EXPECT_EQ(s.PointColor(99), clRed);  // beyond the stored colours

  s.OnBeforeAdd = [](TChartSeries*) { return false; };
  EXPECT_EQ(s.AddPoint(3, 3), -1);
  EXPECT_EQ(s.PointCount(), 3);
  s.OnBeforeAdd = [](TChartSeries* sender) {
    sender->XValues->PendingValue = 10;  // a handler may change the staged value
    return true;
  };
  EXPECT_EQ(s.AddPoint(3, 3), 3);
  EXPECT_EQ(s.PointX(3), 10);

  int cleared = 0;
  s.OnClearValues = [&](TChartSeries*) { ++cleared; };
  s.RemoveAllPoints();
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(s.PointCount(), 0);
  EXPECT_EQ(s.PointLabel(0), "");
}

TEST(SeriesChart, AttachingPicksAFreeColourAndResolvesAxes) {
  MainChart view;
  TLineSeries second;
  second.SetParentChart(&view.chart);
  EXPECT_EQ(second.SeriesColor(), clGreen);  // red is taken by the main series
  EXPECT_EQ(second.HorizAxisObject(), &view.chart.BottomAxis());
  second.SetVertAxis(TVertAxis::aRightAxis);
  EXPECT_EQ(second.VertAxisObject(), &view.chart.RightAxis());
  EXPECT_EQ(view.chart.SeriesCount(), 2);
  second.SetParentChart(nullptr);
  EXPECT_EQ(view.chart.SeriesCount(), 1);
  EXPECT_EQ(second.HorizAxisObject(), nullptr);
  {
    TLineSeries shortLived;
    shortLived.SetParentChart(&view.chart);
    EXPECT_EQ(view.chart.SeriesCount(), 2);
  }
  EXPECT_EQ(view.chart.SeriesCount(), 1);  // a destroyed series leaves the list
}

TEST(SeriesChart, MarginsOfThePointer) {
  TLineSeries s;
  int l = -1, r = -1;
  s.HorizPixelMargins(l, r);
  EXPECT_EQ(l + r, 0);  // pointer hidden by default
  s.Pointer().SetVisible(true);
  s.HorizPixelMargins(l, r);
  EXPECT_EQ(l, 5);
  EXPECT_EQ(r, 5);
  s.Pointer().SetVertSize(1);
  int t = -1, b = -1;
  s.VertPixelMargins(t, b);
  EXPECT_EQ(t, 2);
  EXPECT_EQ(b, 2);
  s.Pointer().SetInflateMargins(false);
  s.VertPixelMargins(t, b);
  EXPECT_EQ(t + b, 0);
}

TEST(SeriesChart, VisibleRangeOnAFixedAxis) {
  for (bool custom : {true, false}) {
    MainChart view;
    TChartSeries base;
    TChartSeries& s = custom ? static_cast<TChartSeries&>(view.series) : base;
    if (!custom) base.SetParentChart(&view.chart);
    for (double x : {5.0, 8.0, 12.0, 18.0, 25.0}) s.AddPoint(x, 1);
    view.chart.BottomAxis().ApplyFixedRange(10, 20);
    view.Redraw();
    EXPECT_EQ(s.VisibleFirst, 2);
    EXPECT_EQ(s.VisibleLast, custom ? 4 : 3);
    base.SetParentChart(nullptr);
  }
  MainChart left;
  for (double x : {1.0, 2.0}) left.series.AddPoint(x, 1);
  left.chart.BottomAxis().ApplyFixedRange(10, 20);
  int events = 0;
  left.series.BeforeDrawValues = [&](auto*) { ++events; };
  left.Redraw();
  EXPECT_EQ(left.series.VisibleFirst, -1);
  EXPECT_EQ(events, 0);
}

// Every pointer lies on top of the segments that touch it: its outline is black.
TEST(SeriesDrawing, PointersOnTopOfTheLine) {
  // The extreme points lie two pixels inside the axis ends, where the plot clip
  // trims their pointers; the three inner points are checked.
  MainChart view;
  view.series.AddPoint(0, 0);
  view.series.AddPoint(1, 1);
  view.series.AddPoint(2, 3);
  view.series.AddPoint(3, 2);
  view.series.AddPoint(4, 4);
  view.Redraw();
  const TPixelSurface& s = view.host.Bitmap().Surface();
  int red = 0;
  for (int i = 1; i <= 3; ++i) {
    const int x = view.series.XPixelOfPoint(i), y = view.series.YPixelOfPoint(i);
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        EXPECT_EQ(ColorOfPixel(s.PixelAt(x + dx, y + dy)), (dx == 0 && dy == 0) ? clRed : clBlack)
            << i;
  }
  for (const auto& p : PixelsOf(s, clRed)) red += p.first > 0;
  EXPECT_GT(red, 100);  // the segments
}

TEST(SeriesDrawing, NullAndFarPointsBreakOrSkipTheLine) {
  MainChart view;
  view.series.AddPoint(1, 1);
  view.series.AddPoint(2, 2, "", clNone);
  view.series.AddPoint(3, 1);
  view.Redraw();
  const int x0 = view.series.XPixelOfPoint(0), x2 = view.series.XPixelOfPoint(2);
  const int ymid = view.series.YPixelOfPoint(1);
  const TPixelSurface& s = view.host.Bitmap().Surface();
  for (int x = x0 + 2; x < x2 - 1; ++x)
    for (int y = ymid - 1; y <= view.series.YPixelOfPoint(0) + 1; ++y)  // the bridge's row included
      ASSERT_NE(ColorOfPixel(s.PixelAt(x, y)), clRed) << x << "," << y;

  // A point mapping beyond 32767 pixels is skipped; its neighbours connect directly.
  MainChart far;
  far.series.AddPoint(1, 1);
  far.series.AddPoint(2, 1);
  far.series.AddPoint(3, 1);
  far.chart.LeftAxis().ApplyFixedRange(0.999999, 1.000001);
  far.series.YValues->StoreValueAt(1, 1.0004);  // some 50000 pixels above the plot
  far.Redraw();
  ASSERT_LE(far.series.YPixelOfPoint(1), -32767);
  const int y = far.series.YPixelOfPoint(0);
  for (int x = far.series.XPixelOfPoint(0) + 2; x < far.series.XPixelOfPoint(2) - 1; ++x)
    EXPECT_EQ(ColorOfPixel(far.host.Bitmap().Surface().PixelAt(x, y)), clRed) << x;
}

TEST(SeriesDrawing, FirstVisiblePointStartsAtTheEdge) {
  MainChart view;
  for (double x : {1.0, 2.0, 3.0, 4.0, 5.0}) view.series.AddPoint(x, x);
  view.chart.BottomAxis().ApplyFixedRange(3.5, 5);
  view.Redraw();
  EXPECT_EQ(view.series.VisibleFirst, 3);
  // The first segment starts at the plot's left edge, where x is 3.5: on the line from
  // (3, 3) to (4, 4) that is the height 3.5 (the drawn pixels: SeriesRules).
  EXPECT_EQ(view.chart.BottomAxis().PixelToValue(view.chart.PlotRect.Left), 3.5);
  EXPECT_EQ(view.series.InterpolatedEdgeY(2, 3.5), view.series.YPixelOfValue(3.5));
  EXPECT_EQ(view.series.InterpolatedEdgeY(2, 3.25), view.series.YPixelOfValue(3.25));
  EXPECT_NE(view.series.YPixelOfValue(3.5), view.series.YPixelOfValue(3.25));
}

// Markers that repeat the previous one are skipped while drawing; a per-point style
// handler turns the skipping off, so the same chart drawn with a handler that answers
// the same style is the reference, pixel for pixel.
TEST(SeriesDrawing, RepeatedMarkersLeaveThePictureAsDrawingThemDoes) {
  const struct {
    const char* name;
    TSeriesPointerStyle style;
    TPenMode mode;
    TPenStyle penStyle;
    int penWidth;
    TBrushStyle brush;
    bool colourRuns;  // points change colour every few points
    bool nullPoints;  // some points are null
  } cases[] = {
      {"rectangles", TSeriesPointerStyle::psRectangle, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsSolid, false, false},
      {"colour runs", TSeriesPointerStyle::psRectangle, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsSolid, true, false},
      {"null points", TSeriesPointerStyle::psRectangle, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsSolid, true, true},
      {"dotted wide pen, hatched", TSeriesPointerStyle::psRectangle, TPenMode::pmCopy,
       TPenStyle::psDot, 2, TBrushStyle::bsCross, false, false},
      {"circles", TSeriesPointerStyle::psCircle, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsSolid, true, false},
      {"crosses", TSeriesPointerStyle::psStar, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsClear, false, false},
      {"small dots", TSeriesPointerStyle::psSmallDot, TPenMode::pmCopy, TPenStyle::psSolid, 1,
       TBrushStyle::bsSolid, true, false},
      {"not-xor pen draws every marker", TSeriesPointerStyle::psRectangle, TPenMode::pmNotXor,
       TPenStyle::psSolid, 1, TBrushStyle::bsSolid, false, false},
      {"xor pen, colour runs", TSeriesPointerStyle::psDiamond, TPenMode::pmXor, TPenStyle::psSolid,
       1, TBrushStyle::bsSolid, true, true},
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> pictures[2];
    for (int withHandler = 0; withHandler < 2; ++withHandler) {
      MainChart view(200, 140);
      view.series.Pointer().SetStyle(c.style);
      view.series.Pointer().Pen().SetMode(c.mode);
      view.series.Pointer().Pen().SetStyle(c.penStyle);
      view.series.Pointer().Pen().SetWidth(c.penWidth);
      view.series.Pointer().Brush().SetStyle(c.brush);
      if (withHandler) view.series.OnGetPointerStyle = [&](TChartSeries*, int) { return c.style; };
      // 6,000 points on about 150 columns: runs of equal pixels, steps between them,
      // and the extremes at the clip edges.
      for (int i = 0; i < 6000; ++i) {
        const double x = i * 0.01;
        TColor colour = clAutoColor;
        if (c.colourRuns && (i / 7) % 3 == 1) colour = clGreen;
        if (c.nullPoints && i % 97 == 50) colour = clNone;
        view.series.AddPoint(x, std::floor(std::sin(x / 6) * 8) + (i % 40 == 0 ? 3 : 0), "",
                             colour);
      }
      view.Redraw();
      const TBitmap& b = view.host.Bitmap();
      pictures[withHandler].assign(b.ScanLine(0), b.ScanLine(0) + b.Width() * b.Height());
    }
    EXPECT_TRUE(pictures[0] == pictures[1]) << c.name;
  }
}

}  // namespace
}  // namespace quarvel
