#include "chart/control/Chart.h"

#include <algorithm>
#include <vector>

namespace quarvel {

TChart::TChart(TChartHost* host) : TCustomAxisPanel(host) {
  title_ = std::make_unique<TChartTitle>(this);
  foot_ = std::make_unique<TChartTitle>(this);
  backWall_ = std::make_unique<TChartWall>(this, clAutoColor);
  backWall_->Brush().SetStyle(TBrushStyle::bsClear);
  leftWall_ = std::make_unique<TChartWall>(this, 0x0080FFFF);
  bottomWall_ = std::make_unique<TChartWall>(this, clWhite);
}

TChart::~TChart() = default;

void TChart::DrawChartContents(const TRect& bounds) {
  PaintPanel(bounds);
  DrawTitleBlocks();
  FitAxesIntoPlot();
  ApplySeriesPixelMargins();
  ChartCanvas().SetDepthProjection(PlotDepth, DrawBounds, PlotRect);
  DrawPlotWalls();
  if (AxisVisible()) DrawAllAxes();
  if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
  // A series may leave the list while it paints: the paint walks a copy.
  std::vector<TChartSeriesBase*> series;
  series.reserve(SeriesCount());
  for (int i = 0; i < SeriesCount(); ++i) series.push_back(SeriesAt(i));
  for (auto* s : series)
    if (s->Active()) s->PaintSeries();
  // A zoom drag in progress draws its box over every new picture.
  if (ZoomBox.InProgress) PaintZoomFrame();
  ChartCanvas().ResetDrawingState();
  if (OnAfterDraw) OnAfterDraw(this);
}

void TChart::SetBackColor(TColor color) {
  backWall_->SetColor(color);
  // While the design-time settings are applied the brush style is theirs to set.
  if (Host() && Host()->HasParentWindow() && !Loading())
    backWall_->Brush().SetStyle(TBrushStyle::bsSolid);
}

bool TChart::SeriesColorIsFree(TColor color, bool checkBackgrounds) const {
  if (!TCustomAxisPanel::SeriesColorIsFree(color, checkBackgrounds)) return false;
  return !(checkBackgrounds && color == backWall_->Color());
}

void TChart::DrawTitleBlocks() {
  ChartCanvas().EnterFrontPlane();
  // An invisible legend takes no room and draws nothing.
  if (title_->Visible()) title_->DrawTitleBlock(true);
  if (foot_->Visible()) foot_->DrawTitleBlock(false);
  ChartCanvas().LeaveFrontPlane();
}

void TChart::FitAxesIntoPlot() {
  for (TCustomChartAxis* axis : AxisList()) axis->RefreshAutomaticRange();
  PlotDepth = 0;
  UpdatePlotGeometry();
  TRect work = PlotRect;
  for (std::size_t i = 0; i < AxisList().size(); ++i) {
    TCustomChartAxis* axis = AxisList()[i];
    if (!AxisIsShown(axis)) continue;
    TRect r = work;
    axis->ReserveAxisSpace(r, i < 5);
    r = Intersect(r, work);
    if (!r.IsEmpty()) work = r;
  }
  PlotRect = work;
  UpdatePlotGeometry();
  for (TCustomChartAxis* axis : AxisList()) axis->PlaceAxisPixels();
}

void TChart::ApplySeriesPixelMargins() {
  for (TCustomChartAxis* axis :
       {static_cast<TCustomChartAxis*>(&TopAxis()), static_cast<TCustomChartAxis*>(&LeftAxis()),
        static_cast<TCustomChartAxis*>(&RightAxis()),
        static_cast<TCustomChartAxis*>(&BottomAxis())}) {
    TRect m;
    for (int i = 0; i < SeriesCount(); ++i) {
      TChartSeriesBase* s = SeriesAt(i);
      if (!s->Active() || !s->UsesAxis(axis)) continue;
      if (axis->IsHorizontal()) {
        int left = 0, right = 0;
        s->HorizPixelMargins(left, right);
        if (axis->AutomaticMinimum()) m.Left = std::max(m.Left, left);
        if (axis->AutomaticMaximum()) m.Right = std::max(m.Right, right);
      } else {
        int top = 0, bottom = 0;
        s->VertPixelMargins(top, bottom);
        if (axis->AutomaticMaximum()) m.Top = std::max(m.Top, top);
        if (axis->AutomaticMinimum()) m.Bottom = std::max(m.Bottom, bottom);
      }
    }
    axis->WidenRangeForMargins(m);
  }
}

void TChart::DrawPlotWalls() { quarvel::DrawPlotWalls(*this, *backWall_); }

}  // namespace quarvel
