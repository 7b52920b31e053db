#include "chart/axes/AxisPanel.h"

#include <algorithm>

#include "chart/panel/ChartException.h"

namespace quarvel {

TCustomAxisPanel::TCustomAxisPanel(TChartHost* host) : TCustomChartPanelExtended(host) {
  bottomAxis_ = std::make_unique<TChartAxis>(this, true, false);
  topAxis_ = std::make_unique<TChartAxis>(this, true, true);
  leftAxis_ = std::make_unique<TChartAxis>(this, false, false);
  rightAxis_ = std::make_unique<TChartAxis>(this, false, true);
  depthAxis_ = std::make_unique<TChartDepthAxis>(this);
  axisList_ = {bottomAxis_.get(), topAxis_.get(), leftAxis_.get(), rightAxis_.get(),
               depthAxis_.get()};
}

TCustomAxisPanel::~TCustomAxisPanel() {
  // The series outlive the chart only as unattached series.
  while (!series_.empty()) DetachSeries(series_.front());
}

void TCustomAxisPanel::SetMaxPointsPerPage(int v) {
  if (v < 0) throw ChartException("MaxPointsPerPage must be >= 0");
  Set(maxPointsPerPage_, v);
}

void TCustomAxisPanel::AttachSeries(TChartSeriesBase* series) {
  if (!series || std::find(series_.begin(), series_.end(), series) != series_.end()) return;
  if (series->SeriesColor() == clAutoColor) series->SetSeriesColor(PickFreeSeriesColor(true));
  series_.push_back(series);
  series->ChartChanged(this);
  InvalidateChart();
}

void TCustomAxisPanel::DetachSeries(TChartSeriesBase* series) {
  auto it = std::find(series_.begin(), series_.end(), series);
  if (it == series_.end()) return;
  series_.erase(it);
  series->ChartChanged(nullptr);
  InvalidateChart();
}

TChartSeriesBase* TCustomAxisPanel::SeriesAt(int index) const {
  return index >= 0 && index < SeriesCount() ? series_[index] : nullptr;
}

int TCustomAxisPanel::ActiveSeriesCount() const {
  return static_cast<int>(
      std::count_if(series_.begin(), series_.end(), [](auto* s) { return s->Active(); }));
}

TColor TCustomAxisPanel::PickFreeSeriesColor(bool checkBackgrounds) const {
  for (TColor c : kSeriesPalette)
    if (SeriesColorIsFree(c, checkBackgrounds)) return c;
  return kSeriesPalette[0];
}

bool TCustomAxisPanel::SeriesColorIsFree(TColor color, bool checkBackgrounds) const {
  for (auto* s : series_)
    if (s->SeriesColor() == color) return false;
  return !(checkBackgrounds && color == Color());
}

double TCustomAxisPanel::AxisRangeFromSeries(const TCustomChartAxis* axis, bool wantLowest,
                                             bool horizontal) const {
  const bool anyActiveUses = std::any_of(
      series_.begin(), series_.end(), [axis](auto* s) { return s->Active() && s->UsesAxis(axis); });
  double result = 0;
  bool first = true;
  for (auto* s : series_) {
    if (!(s->Active() || !anyActiveUses) || s->PointCount() < 1) continue;
    const bool attached =
        horizontal ? (s->HorizAxis() == THorizAxis::aBothHorizAxis || s->HorizAxisObject() == axis)
                   : (s->VertAxis() == TVertAxis::aBothVertAxis || s->VertAxisObject() == axis);
    if (!attached) continue;
    const double v = horizontal ? (wantLowest ? s->LowestX() : s->HighestX())
                                : (wantLowest ? s->LowestY() : s->HighestY());
    if (first || (wantLowest && v < result) || (!wantLowest && v > result)) {
      result = v;
      first = false;
    }
  }
  return result;
}

bool TCustomAxisPanel::AxisIsShown(const TCustomChartAxis* axis) const {
  if (!axisVisible_ || !axis->Visible()) return false;
  if (axis->IsDepthAxis()) return View3D();
  // Shown when an active series uses it, or when no series is active at all.
  bool anyActive = false;
  for (auto* s : series_) {
    if (!s->Active()) continue;
    anyActive = true;
    if (s->UsesAxis(axis)) return true;
  }
  return !anyActive;
}

bool TCustomAxisPanel::CanClipToPlot() const { return !ChartCanvas().RendersDepthNatively(); }

void TCustomAxisPanel::DrawAllAxes() {
  if (OnBeforeDrawAxes) OnBeforeDrawAxes(this);
  for (TCustomChartAxis* axis : axisList_)
    if (AxisIsShown(axis)) axis->DrawAxis(true);
}

void TCustomAxisPanel::DrawChartContents(const TRect& bounds) {
  PaintPanel(bounds);
  DrawTitleBlocks();
  FitAxesIntoPlot();
  ApplySeriesPixelMargins();
  ChartCanvas().SetDepthProjection(PlotDepth, DrawBounds, PlotRect);
  DrawPlotWalls();
  if (axisVisible_) DrawAllAxes();
  if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
  for (auto* s : std::vector<TChartSeriesBase*>(series_))
    if (s->Active()) s->PaintSeries();
  if (ZoomBoxInProgress()) PaintZoomFrame();
  ChartCanvas().ResetDrawingState();
  if (OnAfterDraw) OnAfterDraw(this);
}

TCustomChart::TCustomChart(TChartHost* host) : TCustomAxisPanel(host) {
  title_ = std::make_unique<TChartTitle>(this);
  foot_ = std::make_unique<TChartTitle>(this);
  backWall_ = std::make_unique<TChartWall>(this, clAutoColor);
  backWall_->Brush().SetStyle(TBrushStyle::bsClear);
  leftWall_ = std::make_unique<TChartWall>(this, 0x0080FFFF);
  bottomWall_ = std::make_unique<TChartWall>(this, clWhite);
}

TCustomChart::~TCustomChart() = default;

void TCustomChart::SetBackColor(TColor color) {
  backWall_->SetColor(color);
  // While the design-time settings are applied the brush style is theirs to set.
  if (Host() && Host()->HasParentWindow() && !Loading())
    backWall_->Brush().SetStyle(TBrushStyle::bsSolid);
}

bool TCustomChart::SeriesColorIsFree(TColor color, bool checkBackgrounds) const {
  if (!TCustomAxisPanel::SeriesColorIsFree(color, checkBackgrounds)) return false;
  return !(checkBackgrounds && color == backWall_->Color());
}

void TCustomChart::DrawTitleBlocks() {
  ChartCanvas().EnterFrontPlane();
  // An invisible legend takes no room and draws nothing.
  if (title_->Visible()) title_->DrawTitleBlock(true);
  if (foot_->Visible()) foot_->DrawTitleBlock(false);
  ChartCanvas().LeaveFrontPlane();
}

void TCustomChart::FitAxesIntoPlot() {
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

void TCustomChart::ApplySeriesPixelMargins() {
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

void TCustomChart::DrawPlotWalls() { quarvel::DrawPlotWalls(*this, *backWall_); }

}  // namespace quarvel
