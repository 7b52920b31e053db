#pragma once
// A chart set up as the main window sets up its projection chart, built by hand through
// the chart's own calls (so the chart suites need nothing of the window), drawn without a
// window into a 651 x 302 bitmap by default. WindowChart.h has the window's own
// configuration; tests/ui/ProjectionViewTest.cpp checks that the two draw alike.

#include <functional>
#include <vector>

#include "chart/control/Chart.h"
#include "platform/BitmapHost.h"
#include "chart/series/Series.h"
#include "model/Cubic.h"

namespace quarvel::testing {

// The main window's settings: lowered inner bevel, the title "Нулевая проекция", no
// legend, 2D, a clear white back wall; the series red with 3 x 3 rectangle pointers,
// ascending x, attached to the chart.
void ConfigureLikeTheWindow(TChart& chart, TLineSeries& series);

struct MainChart {
  using Configure = std::function<void(TChart&, TLineSeries&)>;
  explicit MainChart(int width = 651, int height = 302,
                     const Configure& configure = ConfigureLikeTheWindow);
  ~MainChart();

  // Replaces the series' points, as the window's feed does.
  void Feed(const std::vector<TProjectionPoint>& points);
  // Marks the chart stale and paints it into the host bitmap.
  void Redraw();

  TBitmapHost host;
  TChart chart;
  TLineSeries series;
};

}  // namespace quarvel::testing
