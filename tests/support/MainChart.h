#pragma once
// A chart configured as the main window's projection chart, drawn without a window:
// 651 x 302, lowered inner bevel, the title "Нулевая проекция", no legend, 2D, a clear
// white back wall, and one red line series with 3 x 3 rectangle pointers.

#include <vector>

#include "chart/axes/AxisPanel.h"
#include "platform/BitmapHost.h"
#include "chart/series/Series.h"
#include "model/Cubic.h"

namespace quarvel::testing {

struct MainChart {
  explicit MainChart(int width = 651, int height = 302);
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
