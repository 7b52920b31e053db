// The chart's answers to the mouse: a left drag zooms into a box (or undoes the zoom
// when dragged towards any other corner than the lower right), a right drag pans the
// axes, and a wheel notch scrolls the vertical axes.

#include <cmath>
#include <cstdlib>

#include "chart/control/Chart.h"

namespace quarvel {
namespace {

constexpr int kMinZoomBox = 16;
constexpr int kAxisBandWidening = 3;
constexpr TMouseButton kZoomButton = TMouseButton::mbLeft;
constexpr TMouseButton kPanButton = TMouseButton::mbRight;
constexpr int kWheelStep = 1;  // the history's merge kind of wheel notches

bool Between(int v, int a, int b) { return a <= b ? (a <= v && v <= b) : (b <= v && v <= a); }

}  // namespace

std::array<TCustomChartAxis*, 4> TChart::ZoomAxes() const {
  const auto& a = AxisList();  // bottom, top, left, right, depth
  return {a[1], a[2], a[3], a[0]};
}

TChartClickedPart TChart::HitTestChart(int x, int y) {
  TChartClickedPart hit;
  for (int i = SeriesCount() - 1; i >= 0; --i) {
    TChartSeriesBase* s = SeriesAt(i);
    if (!s->Active()) continue;
    const int index = s->PointUnderPixel(x, y);
    if (index >= 0) {
      hit.Part = TChartClickedPartStyle::cpSeries;
      hit.Series = s;
      hit.PointIndex = index;
      return hit;
    }
  }
  for (TCustomChartAxis* axis : AxisList()) {
    if (!AxisIsShown(axis)) continue;
    const int along = axis->IsHorizontal() ? x : y, across = axis->IsHorizontal() ? y : x;
    const int labels = axis->LabelsPosition, line = axis->LinePosition;
    const bool inBand = labels > line ? Between(across, line - kAxisBandWidening, labels)
                                      : Between(across, labels, line + kAxisBandWidening);
    if (Between(along, axis->StartPixel, axis->EndPixel) && inBand) {
      hit.Part = TChartClickedPartStyle::cpAxis;
      hit.Axis = axis;
      return hit;
    }
  }
  if (Title().Visible() && Title().TitleBlockRect.Contains(x, y))
    hit.Part = TChartClickedPartStyle::cpTitle;
  else if (Foot().Visible() && Foot().TitleBlockRect.Contains(x, y))
    hit.Part = TChartClickedPartStyle::cpFoot;
  else if (PlotRect.Contains(x, y) && SeriesCount() > 0)
    hit.Part = TChartClickedPartStyle::cpChartRect;
  // An invisible legend is never hit.
  return hit;
}

void TChart::BeginZoomOrPan(TMouseButton button, TShiftState, int x, int y, bool& handled) {
  // No keys are required for either drag.
  if (AllowZoom() && button == kZoomButton) {
    ShowCursor(0);
    ZoomBox.ActivateDrag(x, y);
    PaintZoomFrame();
    handled = true;
  }
  if (AllowPanning() != TPanningMode::pmNone && button == kPanButton) {
    ShowCursor(0);
    PanTrack.ActivateDrag(x, y);
    handled = true;
  }
}

void TChart::BackgroundStep(TMouseButton button, TShiftState shift, int x, int y, bool& handled) {
  if (OnClickBackground) {
    EventHandled = true;
    OnClickBackground(this, button, shift, x, y);
    handled = EventHandled;
  }
  if (!handled) BeginZoomOrPan(button, shift, x, y, handled);
}

void TChart::ChartMouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  contextCandidate_ = button == kPanButton && !ZoomBox.InProgress && !PanTrack.InProgress;
  contextX_ = x;
  contextY_ = y;
  if (ZoomBox.InProgress || PanTrack.InProgress) return;
  if (EventHandled) {
    EventHandled = false;
    return;
  }
  const TChartClickedPart part = HitTestChart(x, y);
  bool handled = false;
  switch (part.Part) {
    case TChartClickedPartStyle::cpLegend:
      if (OnClickLegend) {
        EventHandled = true;
        OnClickLegend(this, button, shift, x, y);
        handled = EventHandled;
      }
      break;
    case TChartClickedPartStyle::cpAxis:
      if (OnClickAxis) {
        EventHandled = true;
        OnClickAxis(this, part.Axis, button, shift, x, y);
        handled = EventHandled;
      }
      if (!handled) BeginZoomOrPan(button, shift, x, y, handled);
      break;
    case TChartClickedPartStyle::cpSeries:
      EventHandled = false;
      part.Series->ClickStep((shift & ssDouble) != 0, EventHandled);
      handled = EventHandled;
      if (OnClickSeries) {
        EventHandled = true;
        OnClickSeries(this, part.Series, part.PointIndex, button, shift, x, y);
        handled = EventHandled;
      }
      if (!handled) BeginZoomOrPan(button, shift, x, y, handled);
      break;
    case TChartClickedPartStyle::cpChartRect:
      BackgroundStep(button, shift, x, y, handled);
      break;
    default:
      break;
  }
  // Title, foot and nothing: no drag starts. Anything else not handled gets the
  // background step once more.
  const bool inert = part.Part == TChartClickedPartStyle::cpTitle ||
                     part.Part == TChartClickedPartStyle::cpFoot ||
                     part.Part == TChartClickedPartStyle::cpNone;
  if (!handled && !inert && !ZoomBox.InProgress && !PanTrack.InProgress)
    BackgroundStep(button, shift, x, y, handled);
  EventHandled = false;
}

void TChart::PaintZoomFrame() {
  TChartCanvas3D& canvas = ChartCanvas();
  TColor color = ColorToRGB(Color());
  if (color == clWhite) color = clBlack;
  canvas.Pen().SetColor(color);
  canvas.Pen().SetMode(TPenMode::pmNotXor);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Pen().SetWidth(1);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.DrawRectangle(ZoomBox.StartX, ZoomBox.StartY, ZoomBox.EndX, ZoomBox.EndY);
  // Outside a paint the frame went straight onto the control's surface.
  if (canvas.BoundSurface() == Host()->OwnSurface()) Host()->ShowSurface();
}

void TChart::SaveAxisStates() {
  if (!savePending_) return;
  const auto axes = ZoomAxes();
  for (std::size_t i = 0; i < axes.size(); ++i)
    savedAxisState_[i] = {axes[i]->Automatic(), axes[i]->AutomaticMinimum(),
                          axes[i]->AutomaticMaximum(), axes[i]->Minimum(), axes[i]->Maximum()};
  savePending_ = false;
}

void TChart::PanAxis(TCustomChartAxis& axis, int oldPixel, int newPixel) {
  const auto [newMin, newMax] =
      PannedRange(axis.Mapping(), axis.Minimum(), axis.Maximum(), oldPixel, newPixel);
  ScrollAxisTo(axis, newMin, newMax);
}

void TChart::ScrollAxisTo(TCustomChartAxis& axis, double newMin, double newMax) {
  bool allow = true;
  if (OnAllowScroll) OnAllowScroll(this, &axis, newMin, newMax, allow);
  if (allow) axis.ApplyFixedRange(newMin, newMax);
}

bool TChart::PanAllowed(bool horizontal) const {
  const TPanningMode mode = AllowPanning();
  return mode == TPanningMode::pmBoth || (horizontal && mode == TPanningMode::pmHorizontal) ||
         (!horizontal && mode == TPanningMode::pmVertical);
}

bool TChart::PanDirection(bool horizontal, int newPixel, int oldPixel) {
  if (newPixel == oldPixel || !PanAllowed(horizontal)) return false;
  for (TCustomChartAxis* axis : AxisList())
    if (!axis->IsDepthAxis() && axis->IsHorizontal() == horizontal)
      PanAxis(*axis, oldPixel, newPixel);
  return true;
}

void TChart::ChartMouseMove(TShiftState, int x, int y) {
  if (x != contextX_ || y != contextY_) contextCandidate_ = false;
  if (ZoomBox.InProgress) {
    if (x == ZoomBox.EndX && y == ZoomBox.EndY) return;
    PaintZoomFrame();
    ZoomBox.EndX = x;
    ZoomBox.EndY = y;
    PaintZoomFrame();
    return;
  }
  if (PanTrack.InProgress) {
    if (!PlotRect.Contains(x, y)) {
      EndPanTrack();
      return;
    }
    if (x == PanTrack.EndX && y == PanTrack.EndY) return;
    if (!panBefore_) panBefore_ = CaptureViewState();
    SaveAxisStates();
    bool scrolled = PanDirection(true, x, PanTrack.EndX);
    scrolled = PanDirection(false, y, PanTrack.EndY) || scrolled;
    PanTrack.EndX = x;
    PanTrack.EndY = y;
    if (scrolled) {
      if (OnScroll) OnScroll(this);
      InvalidateChart();
    }
    return;
  }
  // No series of this system has a cursor of its own: the chart's own cursor is put back.
  ShowCursor(Cursor());
}

void TChart::ChartMouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool contextClick =
      contextCandidate_ && button == kPanButton && x == contextX_ && y == contextY_;
  contextCandidate_ = false;
  if (ZoomBox.InProgress && button == kZoomButton) {
    ZoomBox.InProgress = false;
    PaintZoomFrame();
    ChartCanvas().Pen().SetMode(TPenMode::pmCopy);
    ZoomBox.EndX = x;
    ZoomBox.EndY = y;
    if (std::abs(ZoomBox.EndX - ZoomBox.StartX) > kMinZoomBox &&
        std::abs(ZoomBox.EndY - ZoomBox.StartY) > kMinZoomBox) {
      const TChartViewState before = CaptureViewState();
      if (ZoomBox.EndX > ZoomBox.StartX && ZoomBox.EndY > ZoomBox.StartY)
        ZoomToBox();
      else
        RestoreAxesAfterZoom();
      InvalidateChart();
      RecordStep(before);
    }
  }
  EndPanTrack();
  if (contextClick && OnContextClick) OnContextClick(this, button, shift, x, y);
}

void TChart::ZoomToBox() {
  ZoomBox.NormaliseBox();
  auto box = [&](const TCustomChartAxis& a) {
    return a.IsHorizontal() ? ZoomedRange(a.Mapping(), ZoomBox.StartX, ZoomBox.EndX)
                            : ZoomedRange(a.Mapping(), ZoomBox.StartY, ZoomBox.EndY);
  };
  ApplyZoomRanges({box(LeftAxis()), box(RightAxis()), box(TopAxis()), box(BottomAxis())});
}

void TChart::ApplyZoomRanges(const std::array<std::pair<double, double>, 4>& targets) {
  SaveAxisStates();
  const std::array<TCustomChartAxis*, 4> axes = {&LeftAxis(), &RightAxis(), &TopAxis(),
                                                 &BottomAxis()};
  if (AnimatedZoom()) {
    for (int step = 1; step < AnimatedZoomSteps(); ++step) {
      for (std::size_t i = 0; i < axes.size(); ++i) {
        TCustomChartAxis& a = *axes[i];
        const auto [min, max] =
            AnimatedZoomStep(a.Minimum(), a.Maximum(), targets[i].first, targets[i].second);
        a.ApplyFixedRange(min, max);
      }
      InvalidateChart();
      HandlePaint();
      Host()->ShowSurface();
    }
  }
  for (std::size_t i = 0; i < axes.size(); ++i)
    axes[i]->ApplyFixedRange(targets[i].first, targets[i].second);
  isZoomedIn_ = true;
  if (OnZoom) OnZoom(this);
}

void TChart::RestoreAxesAfterZoom() {
  if (!savePending_) {
    const auto axes = ZoomAxes();
    for (std::size_t i = 0; i < axes.size(); ++i) {
      const TSavedAxisState& s = savedAxisState_[i];
      axes[i]->SetAutomatic(s.Automatic);
      axes[i]->SetAutomaticMinimum(s.AutomaticMinimum);
      axes[i]->SetAutomaticMaximum(s.AutomaticMaximum);
      if (!axes[i]->Automatic()) axes[i]->ApplyFixedRange(s.Minimum, s.Maximum);
    }
  }
  savePending_ = true;
  if (OnUndoZoom) OnUndoZoom(this);
  InvalidateChart();
  isZoomedIn_ = false;
}

void TChart::WheelNotch(int direction) {
  ClosePanStep();  // a pan under way goes on as a new step
  const TChartViewState before = CaptureViewState();
  for (TCustomChartAxis* axis : AxisList()) {
    if (axis->IsHorizontal()) continue;
    axis->ShiftAxisRange(WheelShift(axis->Minimum(), axis->Maximum(), direction));
  }
  RecordStep(before, kWheelStep);
}

}  // namespace quarvel
