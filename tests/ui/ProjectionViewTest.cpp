// The projection chart as the window configures it (ConfigureProjectionChart and the
// stems of DrawStems), drawn without a window: its golden pictures, and the check that
// the chart suites' hand-built copy of the configuration draws the same.

#include "ui/ProjectionView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Golden.h"
#include "MainChart.h"
#include "ModelFixtures.h"
#include "WindowChart.h"
#include "base/ScopeExit.h"
#include "platform/Color.h"
#include "platform/QtRuntime.h"

namespace quarvel {
namespace {

// Whole pictures at the three resolutions of the projection, stems included, in the
// default system colours (not those the window's application object loads).
TEST(ProjectionView, GoldenPictureAtEachResolution) {
  ResetSystemColors();
  TScopeExit restore([] { LoadSystemColorsFromToolkit(); });
  const char* names[] = {"chart_128", "chart_256", "chart_512"};
  for (uint8_t resolution : {0, 1, 2}) {
    auto model = testing::StartUpPhantom(resolution);
    testing::WindowChart view;
    view.resolution = resolution;
    view.Feed(model->Points);
    view.Redraw();
    EXPECT_EQ(testing::CompareWithGolden(view.host.Bitmap(), names[resolution]), "")
        << names[resolution];
  }
}

// The chart suites draw on testing::MainChart, configured by hand; it must stay the
// window's chart, or they would test another one.
TEST(ProjectionView, HandBuiltChartDrawsAsTheWindowsConfiguration) {
  const auto startUp = testing::StartUpPhantom(0);
  std::vector<TProjectionPoint> descending(startUp->Points.rbegin(), startUp->Points.rend());
  const struct {
    const char* name;
    int width, height;
    std::vector<TProjectionPoint> points;
  } rows[] = {
      {"no points", 651, 302, {}},
      {"the start-up points", 651, 302, startUp->Points},
      {"points fed in descending x (the x list sorts them)", 651, 302, descending},
      {"a small chart (the pointers' margins)", 200, 120, {{1, 1}, {2, 3}, {3, 2}}},
  };
  for (const auto& r : rows) {
    testing::MainChart hand(r.width, r.height);
    testing::WindowChart window(r.width, r.height);
    hand.Feed(r.points);
    window.Feed(r.points);
    // The first paint (margins measured before the axes have pixels) and the second.
    for (int paint : {1, 2}) {
      hand.Redraw();
      window.Redraw();
      EXPECT_EQ(
          testing::ComparePictures(testing::ToImage(hand.host.Bitmap()),
                                   testing::ToImage(window.host.Bitmap()), "hand_built_chart"),
          "")
          << r.name << ", paint " << paint;
    }
  }
  // What no picture shows.
  testing::MainChart hand;
  testing::WindowChart window;
  EXPECT_EQ(hand.series.MarksVisible(), window.series.MarksVisible());
  EXPECT_EQ(hand.series.MarksArrowLength, window.series.MarksArrowLength);
  EXPECT_EQ(hand.series.XValues->Order(), window.series.XValues->Order());
  EXPECT_EQ(hand.series.YValues->Order(), window.series.YValues->Order());
  EXPECT_EQ(hand.chart.LegendVisible(), window.chart.LegendVisible());
  EXPECT_EQ(hand.chart.Title().Text(), window.chart.Title().Text());
}

}  // namespace
}  // namespace quarvel
