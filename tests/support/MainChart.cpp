#include "MainChart.h"

namespace quarvel::testing {

void ConfigureLikeTheWindow(TChart& chart, TLineSeries& series) {
  chart.BackWall().Brush().SetColor(clWhite);
  chart.BackWall().Brush().SetStyle(TBrushStyle::bsClear);
  chart.Title().SetText({"Нулевая проекция"});
  chart.SetLegendVisible(false);
  chart.SetView3D(false);
  chart.SetBevelInner(TBevelCut::bvLowered);
  chart.SetBevelOuter(TBevelCut::bvNone);

  series.SetSeriesColor(clRed);
  series.SetMarksVisible(false);
  series.MarksArrowLength = 8;
  series.Pointer().SetVisible(true);
  series.Pointer().SetStyle(TSeriesPointerStyle::psRectangle);
  series.Pointer().SetHorizSize(1);
  series.Pointer().SetVertSize(1);
  series.Pointer().SetInflateMargins(true);
  series.XValues->SetOrder(TChartListOrder::loAscending);
  series.YValues->SetOrder(TChartListOrder::loNone);
  series.SetParentChart(&chart);
}

MainChart::MainChart(int width, int height, const Configure& configure)
    : host(width, height), chart(&host) {
  configure(chart, series);
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
