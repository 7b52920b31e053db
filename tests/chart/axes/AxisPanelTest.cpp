// The axis layer of the chart: the room the axes take, the order of a paint's events,
// which axes show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainChart.h"
#include "ModelFixtures.h"
#include "platform/GraphicsObjects.h"

namespace quarvel {
namespace {

using testing::MainChart;

TEST(AxisPanel, AxesTakeTheirRoom) {
  MainChart view;
  auto model = testing::StartUpPhantom(0);
  view.Feed(model->Points);
  // The first paint measures the left axis' labels before any pixel length is known
  // (increment 1e-12, so long labels); from the second paint on the labels are those
  // of the real increment.
  view.Redraw();
  const int firstLeft = view.chart.PlotRect.Left;
  view.Redraw();
  // Bottom axis: one line (12) and the tick size (2 + 4); left axis: the widest of
  // "14" and "0" with a trailing space (12 + 3) and 6.
  EXPECT_EQ(view.chart.PlotRect.Bottom, 290 - 12 - 6);
  EXPECT_EQ(view.chart.PlotRect.Left, 20 + 12 + 3 + 6);
  EXPECT_GT(firstLeft, view.chart.PlotRect.Left);
  EXPECT_EQ(view.chart.PlotRect.Top, 29);
  EXPECT_EQ(view.chart.BottomAxis().LinePosition, view.chart.PlotRect.Bottom);
  // Ticks of the bottom axis: rows LinePosition + 1 ... + 4, grey.
  const TPixelSurface& s = view.host.Bitmap().Surface();
  const int line = view.chart.BottomAxis().LinePosition;
  const int tick = view.chart.BottomAxis().TickPositions().front();
  for (int y = line + 1; y <= line + 4; ++y)
    EXPECT_EQ(ColorOfPixel(s.PixelAt(tick, y)), clGray) << y;
  EXPECT_NE(ColorOfPixel(s.PixelAt(tick, line + 5)), clGray);
}

// Records the events of one paint.
struct EventLog {
  explicit EventLog(MainChart& view) {
    view.chart.OnBeforeDrawAxes = [this](auto*) { log.push_back("axes"); };
    view.chart.OnBeforeDrawSeries = [this](auto*) { log.push_back("series"); };
    view.chart.OnAfterDraw = [this](auto*) { log.push_back("after"); };
    view.series.BeforeDrawValues = [this](auto*) { log.push_back("before values"); };
    view.series.AfterDrawValues = [this](auto*) { log.push_back("after values"); };
  }
  std::vector<std::string> log;
};

TEST(AxisPanel, PaintEventsInTheirOrderAndNotForAnEmptySeries) {
  MainChart view;
  EventLog events(view);
  view.Redraw();
  EXPECT_EQ(events.log, (std::vector<std::string>{"axes", "series", "after"}));
  events.log.clear();
  view.series.AddPoint(1, 2);
  view.Redraw();
  EXPECT_EQ(events.log,
            (std::vector<std::string>{"axes", "series", "before values", "after values", "after"}));
  events.log.clear();
  view.chart.HandlePaint();  // not stale: the buffer is copied, nothing is drawn
  EXPECT_TRUE(events.log.empty());
  view.series.RemoveAllPoints();
  view.chart.HandlePaint();
  EXPECT_EQ(events.log, (std::vector<std::string>{"axes", "series", "after"}));
}

TEST(AxisPanel, EmptyChartShowsAllFourAxes) {
  MainChart view;
  view.series.SetParentChart(nullptr);
  int drawn = 0;
  view.chart.OnBeforeDrawAxes = [&](auto*) { ++drawn; };
  view.Redraw();
  EXPECT_EQ(drawn, 1);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(view.chart.AxisIsShown(view.chart.AxisList()[i])) << i;
  EXPECT_FALSE(view.chart.AxisIsShown(&view.chart.DepthAxis()));
  view.series.SetParentChart(&view.chart);
  EXPECT_TRUE(view.chart.AxisIsShown(&view.chart.BottomAxis()));
  EXPECT_FALSE(view.chart.AxisIsShown(&view.chart.TopAxis()));
}

}  // namespace
}  // namespace quarvel
