#pragma once
// The main window's projection chart (configured by the window's own code, with the
// window's stem handler bound), drawn without a window into a 651 x 302 bitmap by
// default.

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
  // The radio group's index the stems follow: 0 draws none.
  int resolution = 0;
};

}  // namespace quarvel::testing
