#include "MainChart.h"

#include "ui/ProjectionView.h"

namespace quarvel::testing {

MainChart::MainChart(int width, int height) : host(width, height), chart(&host) {
  ConfigureProjectionChart(chart, series);
  series.AfterDrawValues = [this](TChartSeries* sender) {
    DrawStems(*sender, chart.ChartCanvas(), resolution);
  };
}

MainChart::~MainChart() { series.SetParentChart(nullptr); }

void MainChart::Feed(const std::vector<TProjectionPoint>& points) {
  series.RemoveAllPoints();
  for (const auto& p : points) series.AddPoint(p.X, p.Y, "", clAutoColor);
}

void MainChart::Redraw() {
  chart.InvalidateChart();
  chart.HandlePaint();
}

}  // namespace quarvel::testing
