#include "chart/axes/AxisPanel.h"

#include <algorithm>

#include "chart/panel/ChartException.h"

namespace quarvel {

TCustomAxisPanel::TCustomAxisPanel(TChartHost* host) : TCustomChartPanel(host) {
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

}  // namespace quarvel
