// The chart's ways back and its keyboard: reset, the view history, Esc during a drag,
// and zooming and panning by key. Every change of the view by the mouse or the keys
// goes into the history as one step (see ViewHistory.h); going back or forward only
// applies a recorded view and records nothing.

#include <chrono>

#include "chart/control/Chart.h"

namespace quarvel {
namespace {

// The range an axis shows: its fixed ends as they are now, its automatic ends as the
// last paint widened them for the series' margins. (The paint's cached range alone
// would be stale after a key that has not been painted yet.)
std::pair<double, double> VisibleRange(const TCustomChartAxis& axis) {
  return {axis.AutomaticMinimum() ? axis.Mapping().Minimum : axis.Minimum(),
          axis.AutomaticMaximum() ? axis.Mapping().Maximum : axis.Maximum()};
}

long long SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TChartViewState TChart::CaptureViewState() const {
  TChartViewState state;
  const auto axes = ZoomAxes();
  for (std::size_t i = 0; i < axes.size(); ++i)
    state.Axes[i] = {axes[i]->Automatic(), axes[i]->AutomaticMinimum(), axes[i]->AutomaticMaximum(),
                     axes[i]->Minimum(), axes[i]->Maximum()};
  state.Saved = savedAxisState_;
  state.SavePending = savePending_;
  state.ZoomedIn = isZoomedIn_;
  return state;
}

void TChart::ApplyViewState(const TChartViewState& state) {
  const auto axes = ZoomAxes();
  for (std::size_t i = 0; i < axes.size(); ++i) {
    const TSavedAxisState& s = state.Axes[i];
    // The range first (it clears the automatic flags), then the flags as they were:
    // an automatic end takes its value from the series again at the next paint.
    axes[i]->ApplyFixedRange(s.Minimum, s.Maximum);
    axes[i]->SetAutomaticMinimum(s.AutomaticMinimum);
    axes[i]->SetAutomaticMaximum(s.AutomaticMaximum);
  }
  savedAxisState_ = state.Saved;
  savePending_ = state.SavePending;
  isZoomedIn_ = state.ZoomedIn;
  InvalidateChart();
}

void TChart::RecordStep(const TChartViewState& before, int mergeKind) {
  const long long now = HistoryClock ? HistoryClock() : SteadyMilliseconds();
  history_.Record(before, CaptureViewState(), mergeKind, now, kWheelMergeWindow);
}

void TChart::ClosePanStep() {
  if (!panBefore_) return;
  const TChartViewState before = *panBefore_;
  panBefore_.reset();
  RecordStep(before);
}

void TChart::EndPanTrack() {
  PanTrack.InProgress = false;
  ClosePanStep();
}

void TChart::ChartMouseLeave() {
  ShowCursor(LoadedCursor());
  contextCandidate_ = false;
  EndPanTrack();
}

bool TChart::CancelDrag() {
  contextCandidate_ = false;
  if (ZoomBox.InProgress) {
    ZoomBox.InProgress = false;
    PaintZoomFrame();  // drawn twice, the frame is gone
    ChartCanvas().Pen().SetMode(TPenMode::pmCopy);
    return true;
  }
  if (PanTrack.InProgress) {
    EndPanTrack();
    return true;
  }
  return false;
}

void TChart::ResetView() {
  CancelDrag();
  const TChartViewState before = CaptureViewState();
  for (TCustomChartAxis* axis : ZoomAxes()) axis->SetAutomatic(true);
  savedAxisState_ = {};
  savePending_ = true;
  isZoomedIn_ = false;
  if (OnUndoZoom) OnUndoZoom(this);
  InvalidateChart();
  RecordStep(before);
}

void TChart::ZoomByKey(bool zoomIn) {
  if (!AllowZoom()) return;
  CancelDrag();
  const TChartViewState before = CaptureViewState();
  SaveAxisStates();
  const double scale = zoomIn ? 1 / kKeyZoomFactor : kKeyZoomFactor;
  // In the order the zoom box applies its ranges: left, right, top, bottom.
  for (TCustomChartAxis* axis : {&LeftAxis(), &RightAxis(), &TopAxis(), &BottomAxis()}) {
    const auto [lo, hi] = VisibleRange(*axis);
    const auto [min, max] = ScaledRange(lo, hi, scale);
    axis->ApplyFixedRange(min, max);
  }
  isZoomedIn_ = true;
  if (OnZoom) OnZoom(this);
  InvalidateChart();
  RecordStep(before);
}

void TChart::PanByKey(bool horizontal, int direction) {
  if (!PanAllowed(horizontal)) return;
  CancelDrag();
  const TChartViewState before = CaptureViewState();
  SaveAxisStates();
  for (TCustomChartAxis* axis : AxisList()) {
    if (axis->IsDepthAxis() || axis->IsHorizontal() != horizontal) continue;
    const auto [lo, hi] = VisibleRange(*axis);
    const auto [min, max] = ShiftedRange(lo, hi, direction * kKeyPanFraction);
    ScrollAxisTo(*axis, min, max);
  }
  if (OnScroll) OnScroll(this);
  InvalidateChart();
  RecordStep(before);
}

bool TChart::GoBack() {
  CancelDrag();
  const auto state = history_.Back();
  if (state) ApplyViewState(*state);
  return state.has_value();
}

bool TChart::GoForward() {
  CancelDrag();
  const auto state = history_.Forward();
  if (state) ApplyViewState(*state);
  return state.has_value();
}

void TChart::ChartDoubleClick(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && PlotRect.Contains(x, y) && SeriesCount() > 0) {
    ResetView();
    return;
  }
  ChartMouseDown(button, shift | ssDouble, x, y);
}

bool TChart::ChartKeyDown(TViewKey key) {
  switch (key) {
    case TViewKey::vkZoomIn:
      ZoomByKey(true);
      return true;
    case TViewKey::vkZoomOut:
      ZoomByKey(false);
      return true;
    case TViewKey::vkPanLeft:
      PanByKey(true, -1);
      return true;
    case TViewKey::vkPanRight:
      PanByKey(true, +1);
      return true;
    case TViewKey::vkPanUp:
      PanByKey(false, +1);
      return true;
    case TViewKey::vkPanDown:
      PanByKey(false, -1);
      return true;
    case TViewKey::vkReset:
      ResetView();
      return true;
    case TViewKey::vkBack:
      GoBack();
      return true;
    case TViewKey::vkForward:
      GoForward();
      return true;
    case TViewKey::vkCancel:
      return CancelDrag();
    case TViewKey::vkNone:
      break;
  }
  return false;
}

}  // namespace quarvel
