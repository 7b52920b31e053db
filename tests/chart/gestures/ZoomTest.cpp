#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "GestureDriver.h"
#include "MainChart.h"
#include "ModelFixtures.h"
#include "chart/gestures/ZoomRanges.h"

namespace quarvel {
namespace {

using testing::MainChart;

// ---------------------------------------------------------------------------
// The gestures' range arithmetic on mappings built by hand: range x pixels x drag ->
// range, exact to the bit.

TAxisMapping Mapping(double min, double max, int start, int end, bool horizontal,
                     bool inverted = false) {
  TAxisMapping m;
  m.Horizontal = horizontal;
  m.Inverted = inverted;
  m.SetRange(min, max);
  m.SetPixels(start, end);
  return m;
}

// 0 ... 600 over pixels 100 ... 700 and 0 ... 300 over 50 ... 350: whole values.
const TAxisMapping kAcross = Mapping(0, 600, 100, 700, true);
const TAxisMapping kDown = Mapping(0, 300, 50, 350, false);
// The projection's 1 ... 20 over 600 pixels: values between the doubles.
const TAxisMapping kProjection = Mapping(1, 20, 40, 640, true);

TEST(ZoomRanges, BoxPanWheelAndAnimation) {
  using Range = std::pair<double, double>;
  const struct {
    const char* name;
    TAxisMapping mapping;
    int low, high;
    Range expected;
  } boxes[] = {
      {"horizontal: left edge first", kAcross, 200, 400, {100, 300}},
      {"vertical: bottom edge first", kDown, 80, 160, {190, 270}},
      {"inverted horizontal: reversed",
       Mapping(0, 600, 100, 700, true, true),
       200,
       400,
       {500, 300}},
      {"inverted vertical: reversed", Mapping(0, 300, 50, 350, false, true), 80, 160, {110, 30}},
      {"beyond the axis ends", kAcross, 50, 750, {-50, 650}},
      {"values between doubles", kProjection, 100, 200, {2.8999999999999999, 6.0666666666666664}},
      {"vertical between doubles",
       Mapping(0.5, 12.25, 30, 270, false),
       80,
       160,
       {5.885416666666667, 9.8020833333333339}},
      {"axis shorter than a pixel", Mapping(0, 10, 40, 40, true), 10, 90, {0, 0}},
  };
  for (const auto& c : boxes)
    EXPECT_EQ(ZoomedRange(c.mapping, c.low, c.high), c.expected) << c.name;

  const struct {
    const char* name;
    TAxisMapping mapping;
    Range range;
    int from, to;
    Range expected;
  } pans[] = {
      {"dragging right shows lower values", kAcross, {0, 600}, 300, 310, {-10, 590}},
      {"dragging down shows higher values", kDown, {0, 300}, 100, 110, {10, 310}},
      {"inverted: dragging right shows higher values",
       Mapping(0, 600, 100, 700, true, true),
       {0, 600},
       300,
       310,
       {10, 610}},
      {"the range moved is the fixed one", kAcross, {5, 7}, 300, 290, {15, 17}},
      {"no move", kProjection, {1, 20}, 300, 300, {1, 20}},
      {"between doubles", kProjection, {1, 20}, 300, 310, {0.68333333333333179, 19.68333333333333}},
      {"mapped range widened for margins",
       Mapping(0.93624161073825507, 20.063758389261746, 40, 640, true),
       {1, 20},
       300,
       310,
       {0.68120805369127524, 19.681208053691275}},
      {"axis shorter than a pixel", Mapping(0, 10, 40, 40, true), {0, 10}, 300, 310, {0, 10}},
  };
  for (const auto& c : pans)
    EXPECT_EQ(PannedRange(c.mapping, c.range.first, c.range.second, c.from, c.to), c.expected)
        << c.name;

  const struct {
    const char* name;
    double min, max;
    int direction;
    double shift;
  } notches[] = {
      {"down: 3 % higher", 0, 10, +1, 0.29999999999999999},
      {"up: 3 % lower", 0, 10, -1, -0.29999999999999999},
      {"straddling zero", -5, 5, +1, 0.29999999999999999},
      {"between doubles", 0.3, 10.3, -1, -0.30000000000000004},
      {"zero width", 4, 4, +1, 0},
  };
  for (const auto& c : notches) EXPECT_EQ(WheelShift(c.min, c.max, c.direction), c.shift) << c.name;

  EXPECT_EQ(AnimatedZoomStep(0, 9, 3, 6), (Range{1, 8}));
  EXPECT_EQ(AnimatedZoomStep(1, 20, 2.9, 4.8), (Range{1.6333333333333333, 14.933333333333334}));
}

// The projection chart at "256x256", painted twice (the layout settles).
struct ZoomFixture : ::testing::Test {
  void SetUp() override {
    view.Feed(testing::StartUpPhantom(1)->Points);
    view.Redraw();
    view.Redraw();
  }
  void Drag(TMouseButton button, int x0, int y0, int x1, int y1) {
    view.chart.ChartMouseDown(button, 0, x0, y0);
    view.chart.ChartMouseMove(0, (x0 + x1) / 2, (y0 + y1) / 2);
    view.chart.ChartMouseMove(0, x1, y1);
    view.chart.ChartMouseUp(button, 0, x1, y1);
  }
  std::vector<uint32_t> Screen() {
    const TBitmap& b = view.host.Bitmap();
    return {b.ScanLine(0), b.ScanLine(0) + b.Width() * b.Height()};
  }
  bool AnyAutomatic() {
    for (int i = 0; i < 4; ++i) {
      const TCustomChartAxis* a = view.chart.AxisList()[i];
      if (a->Automatic() || a->AutomaticMinimum() || a->AutomaticMaximum()) return true;
    }
    return false;
  }
  MainChart view;
};

TEST_F(ZoomFixture, DragTowardsTheLowerRightZoomsToTheBox) {
  TChart& c = view.chart;
  const double x100 = c.BottomAxis().PixelToValue(100), x200 = c.BottomAxis().PixelToValue(200);
  const double y160 = c.LeftAxis().PixelToValue(160), y80 = c.LeftAxis().PixelToValue(80);
  int zooms = 0;
  c.OnZoom = [&](auto*) { ++zooms; };
  const int invalidations = view.host.Invalidations;
  Drag(TMouseButton::mbLeft, 100, 80, 200, 160);
  EXPECT_EQ(zooms, 1);
  EXPECT_TRUE(c.IsZoomedIn());
  EXPECT_FALSE(AnyAutomatic());
  EXPECT_GT(view.host.Invalidations, invalidations);
  EXPECT_EQ(c.BottomAxis().Minimum(), x100);
  EXPECT_EQ(c.BottomAxis().Maximum(), x200);
  EXPECT_EQ(c.LeftAxis().Minimum(), y160);
  EXPECT_EQ(c.LeftAxis().Maximum(), y80);
  view.Redraw();
  EXPECT_EQ(c.BottomAxis().EffectiveMinimum, x100);  // fixed ends are not widened

  // The reverse drag undoes the zoom: automatic scaling again.
  int undos = 0;
  c.OnUndoZoom = [&](auto*) { ++undos; };
  Drag(TMouseButton::mbLeft, 200, 160, 100, 80);
  EXPECT_EQ(undos, 1);
  EXPECT_FALSE(c.IsZoomedIn());
  EXPECT_TRUE(c.SavePending());
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(c.AxisList()[i]->Automatic()) << i;
}

TEST_F(ZoomFixture, SmallBoxesChangeNothingAndTheFrameLeavesNoTrace) {
  const std::vector<uint32_t> before = Screen();
  for (auto [dx, dy] : {std::pair{16, 50}, {50, 16}, {-16, -40}, {3, 3}}) {
    view.chart.ChartMouseDown(TMouseButton::mbLeft, 0, 200, 100);
    EXPECT_TRUE(view.chart.ZoomBox.InProgress);
    view.chart.ChartMouseMove(0, 230, 140);
    EXPECT_NE(Screen(), before);  // the box is visible while dragging
    view.chart.ChartMouseMove(0, 200 + dx, 100 + dy);
    view.chart.ChartMouseUp(TMouseButton::mbLeft, 0, 200 + dx, 100 + dy);
    EXPECT_EQ(Screen(), before) << dx << "," << dy;
    EXPECT_TRUE(AnyAutomatic());
    EXPECT_TRUE(view.chart.ChartCanvas().IsStale() == false);
  }
}

TEST_F(ZoomFixture, RightDragPansByTheValueOfItsPixels) {
  TChart& c = view.chart;
  const double minimum = c.BottomAxis().Minimum(), maximum = c.BottomAxis().Maximum();
  const double shift = c.BottomAxis().PixelToValue(300) - c.BottomAxis().PixelToValue(310);
  int scrolls = 0;
  c.OnScroll = [&](auto*) { ++scrolls; };
  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);
  c.ChartMouseMove(0, 310, 150);
  EXPECT_EQ(scrolls, 1);
  EXPECT_LT(shift, 0);  // dragging right shows lower values
  EXPECT_DOUBLE_EQ(c.BottomAxis().Minimum(), minimum + shift);
  EXPECT_DOUBLE_EQ(c.BottomAxis().Maximum(), maximum + shift);
  EXPECT_FALSE(c.BottomAxis().Automatic());
  EXPECT_TRUE(c.LeftAxis().Automatic());  // the mouse stayed on its row

  // Leaving the plotting rectangle ends the panning.
  c.ChartMouseMove(0, 5, 150);
  EXPECT_FALSE(c.PanTrack.InProgress);
  c.ChartMouseMove(0, 320, 150);
  EXPECT_EQ(scrolls, 1);
}

TEST_F(ZoomFixture, PanShiftIsTheValueWidthOfTheDrag) {
  TChart& c = view.chart;
  // Fix the axes first so that Minimum is the range on screen.
  c.BottomAxis().ApplyFixedRange(1, 20);
  view.Redraw();
  const double shift = c.BottomAxis().PixelToValue(300) - c.BottomAxis().PixelToValue(310);
  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);
  c.ChartMouseMove(0, 310, 150);
  c.ChartMouseUp(TMouseButton::mbRight, 0, 310, 150);
  EXPECT_DOUBLE_EQ(c.BottomAxis().Minimum(), 1 + shift);
  EXPECT_DOUBLE_EQ(c.BottomAxis().Maximum(), 20 + shift);
  EXPECT_LT(shift, 0);  // dragging right shows lower values
}

TEST_F(ZoomFixture, PressOnTheTitleStartsNothing) {
  const TRect title = view.chart.Title().TitleBlockRect;
  const int x = (title.Left + title.Right) / 2, y = title.Top + 2;
  EXPECT_EQ(view.chart.HitTestChart(x, y).Part, TChartClickedPartStyle::cpTitle);
  view.chart.ChartMouseDown(TMouseButton::mbLeft, 0, x, y);
  view.chart.ChartMouseDown(TMouseButton::mbRight, 0, x, y);
  EXPECT_FALSE(view.chart.ZoomBox.InProgress);
  EXPECT_FALSE(view.chart.PanTrack.InProgress);
}

TEST_F(ZoomFixture, HitTestOrder) {
  TChart& c = view.chart;
  const int px = view.series.XPixelOfPoint(100), py = view.series.YPixelOfPoint(100);
  const TChartClickedPart onPoint = c.HitTestChart(px, py);
  EXPECT_EQ(onPoint.Part, TChartClickedPartStyle::cpSeries);
  EXPECT_EQ(onPoint.PointIndex, 100);
  EXPECT_EQ(c.HitTestChart(px, c.BottomAxis().LinePosition + 5).Part,
            TChartClickedPartStyle::cpAxis);
  EXPECT_EQ(c.HitTestChart(px, c.BottomAxis().LinePosition + 5).Axis, &c.BottomAxis());
  EXPECT_EQ(c.HitTestChart(c.PlotRect.Right - 2, c.PlotRect.Top + 2).Part,
            TChartClickedPartStyle::cpChartRect);
  EXPECT_EQ(c.HitTestChart(2, 2).Part, TChartClickedPartStyle::cpNone);

  int clicks = 0;
  view.series.OnClick = [&](TChartSeries*) { ++clicks; };
  c.ChartMouseDown(TMouseButton::mbLeft, 0, px, py);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(c.ZoomBox.InProgress);  // the bound click handled the press
  c.ChartMouseUp(TMouseButton::mbLeft, 0, px, py);
  view.series.OnClick = [&](TChartSeries*) {
    ++clicks;
    c.EventHandled = false;  // let the default zoom go on
  };
  c.ChartMouseDown(TMouseButton::mbLeft, 0, px, py);
  EXPECT_TRUE(c.ZoomBox.InProgress);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, px, py);
}

TEST(Wheel, ScrollsTheVerticalAxesAndLeavesNothingToUndo) {
  MainChart view;
  view.series.Pointer().SetVisible(false);  // no pixel margins: the axis shows 0 ... 10
  view.series.AddPoint(1, 0);
  view.series.AddPoint(2, 10);
  view.Redraw();
  TChart& c = view.chart;
  ASSERT_EQ(c.LeftAxis().Minimum(), 0);
  ASSERT_EQ(c.LeftAxis().Maximum(), 10);
  c.ChartWheelDown();
  EXPECT_DOUBLE_EQ(c.LeftAxis().Minimum(), 0.3);
  EXPECT_DOUBLE_EQ(c.LeftAxis().Maximum(), 10.3);
  EXPECT_FALSE(c.LeftAxis().Automatic());
  EXPECT_TRUE(c.BottomAxis().Automatic());
  c.ChartWheelUp();  // 3 % of the range 0.3 ... 10.3 back down
  EXPECT_NEAR(c.LeftAxis().Minimum(), 0, 1e-15);
  EXPECT_NEAR(c.LeftAxis().Maximum(), 10, 1e-14);
  // An undo finds no saved state: the axes stay where the wheel put them.
  c.ChartMouseDown(TMouseButton::mbLeft, 0, 300, 200);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, 250, 150);
  EXPECT_FALSE(c.LeftAxis().Automatic());
  EXPECT_NEAR(c.LeftAxis().Maximum(), 10, 1e-14);
}

// Long random sequences of gestures (GestureDriver.h) and resizes: the axes keep finite
// ranges, painting finishes, nothing breaks.
TEST(ZoomFuzz, RandomEventSequences) {
  std::mt19937 rng(7);
  auto model = testing::StartUpPhantom(2);
  MainChart view;
  view.Feed(model->Points);
  TChart& c = view.chart;
  const std::pair<int, int> sizes[] = {{1, 1},   {651, 302}, {4000, 3000},
                                       {30, 20}, {200, 640}, {2, 300}};
  for (int step = 0; step < 3000; ++step) {
    const int w = std::max(1, view.host.ClientWidth()), h = std::max(1, view.host.ClientHeight());
    if (rng() % 64 == 0) {
      const auto [sw, sh] = sizes[rng() % std::size(sizes)];
      view.host.SetClientSize(sw, sh);
      c.HandleResize();
    } else {
      testing::ApplyGesture(c, testing::RandomGesture(rng, w, h));
    }
    c.HandlePaint();
    for (TCustomChartAxis* a : {static_cast<TCustomChartAxis*>(&c.BottomAxis()),
                                static_cast<TCustomChartAxis*>(&c.LeftAxis())}) {
      ASSERT_TRUE(std::isfinite(a->EffectiveMinimum) && std::isfinite(a->EffectiveMaximum)) << step;
      ASSERT_GE(a->EffectiveMaximum - a->EffectiveMinimum, 1e-10 * (1 - 1e-6)) << step;
    }
  }
}

TEST(ChartCursor, DragsShowTheDefaultAndMovesAndLeavingPutItBack) {
  MainChart view;
  for (double x : {1.0, 2.0, 3.0}) view.series.AddPoint(x, x);
  TChart& c = view.chart;
  c.SetLoading(true);
  c.SetCursor(5);
  c.SetLoading(false);  // the cursor at the end of loading: 5
  c.SetCursor(7);       // the chart's own cursor from now on
  view.Redraw();
  const int x = c.PlotCenterX, y = c.PlotCenterY;
  EXPECT_EQ(view.host.ShownCursor, 7);
  c.ChartMouseDown(TMouseButton::mbLeft, 0, x, y);
  EXPECT_EQ(view.host.ShownCursor, 0);  // a zoom drag shows the default cursor
  c.ChartMouseMove(0, x + 5, y + 5);
  EXPECT_EQ(view.host.ShownCursor, 0);  // and keeps it while it lasts
  c.ChartMouseUp(TMouseButton::mbLeft, 0, x + 5, y + 5);
  c.ChartMouseMove(0, x + 6, y + 6);
  EXPECT_EQ(view.host.ShownCursor, 7);  // a plain move puts the own cursor back
  c.ChartMouseDown(TMouseButton::mbRight, 0, x, y);
  EXPECT_EQ(view.host.ShownCursor, 0);  // a pan drag too
  c.ChartMouseLeave();
  EXPECT_EQ(view.host.ShownCursor, 5);  // leaving: the cursor loading ended with
  EXPECT_FALSE(c.PanTrack.InProgress);
}

}  // namespace
}  // namespace quarvel
