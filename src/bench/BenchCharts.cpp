#include "bench/BenchCharts.h"

#include <cstdlib>

namespace quarvel {

TBenchChart::TBenchChart(QWidget* parent, const std::string& title,
                         const std::vector<TColor>& colors, const std::string& bottomTitle)
    : control_(new TChartControl(parent)) {
  chart_ = std::make_unique<TChart>(control_);
  TChart& chart = *chart_;
  chart.BackWall().Brush().SetColor(clWhite);
  chart.BackWall().Brush().SetStyle(TBrushStyle::bsClear);
  chart.Title().SetText({title});
  chart.SetLegendVisible(false);
  chart.SetView3D(false);
  chart.SetBevelInner(TBevelCut::bvLowered);
  chart.SetBevelOuter(TBevelCut::bvNone);
  chart.BottomAxis().Title.SetCaption(bottomTitle);
  for (TColor color : colors) {
    auto series = std::make_unique<TLineSeries>();
    series->SetSeriesColor(color);
    series->SetMarksVisible(false);
    series->Pointer().SetVisible(false);
    series->XValues->SetOrder(TChartListOrder::loAscending);
    series->YValues->SetOrder(TChartListOrder::loNone);
    series->SetParentChart(&chart);
    series_.push_back(std::move(series));
  }

  control_->SetScreenText(true);  // crisp beside the widgets' text on a scaled screen
  control_->OnPaint = [this] { chart_->HandlePaint(); };
  control_->OnResize = [this] { chart_->HandleResize(); };
  auto buttonOf = [](int button) {
    return button == 2   ? TMouseButton::mbRight
           : button == 3 ? TMouseButton::mbMiddle
                         : TMouseButton::mbLeft;
  };
  control_->OnMouseDown = [this, buttonOf](int button, bool shift, bool doubleClick, int x, int y) {
    if (button == 0) return;
    const TShiftState state = shift ? ssShift : TShiftState(0);
    if (doubleClick)
      chart_->ChartDoubleClick(buttonOf(button), state, x, y);
    else
      chart_->ChartMouseDown(buttonOf(button), state, x, y);
  };
  control_->OnMouseMove = [this](bool shift, int x, int y) {
    chart_->ChartMouseMove(shift ? ssShift : TShiftState(0), x, y);
  };
  control_->OnMouseUp = [this, buttonOf](int button, bool shift, int x, int y) {
    if (button != 0) chart_->ChartMouseUp(buttonOf(button), shift ? ssShift : TShiftState(0), x, y);
  };
  control_->OnWheel = [this](int notches, int, int) {
    for (int i = 0; i < std::abs(notches); ++i) {
      if (notches > 0)
        chart_->ChartWheelUp();
      else
        chart_->ChartWheelDown();
    }
  };
  control_->OnMouseLeave = [this] { chart_->ChartMouseLeave(); };
  control_->OnViewKey = [this](TViewKey key) { return chart_->ChartKeyDown(key); };
}

TBenchChart::~TBenchChart() {
  series_.clear();
  chart_.reset();
}

void TBenchChart::SetTitle(const std::string& title) { chart_->Title().SetText({title}); }

void TBenchChart::SetPoints(int series, const std::vector<double>& x,
                            const std::vector<double>& y) {
  TLineSeries& s = Series(series);
  s.RemoveAllPoints();
  for (std::size_t i = 0; i < x.size() && i < y.size(); ++i)
    s.AddPoint(x[i], y[i], "", clAutoColor);
}

void TBenchChart::AddPoint(int series, double x, double y) {
  Series(series).AddPoint(x, y, "", clAutoColor);
}

}  // namespace quarvel
