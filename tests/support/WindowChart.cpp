#include "WindowChart.h"

#include "ui/ProjectionView.h"

namespace quarvel::testing {

WindowChart::WindowChart(int width, int height)
    : MainChart(width, height, ConfigureProjectionChart) {
  series.AfterDrawValues = [this](TChartSeries* sender) {
    DrawStems(*sender, chart.ChartCanvas(), resolution);
  };
}

}  // namespace quarvel::testing
