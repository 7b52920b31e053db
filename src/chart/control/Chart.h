#pragma once
// The chart control: what the window shows and the user drives. On top of the axes and
// the series list (TCustomAxisPanel) it owns the titles and the walls, lays out one
// paint, and answers the mouse and the keys.
//
// One paint (DrawChartContents), in order: panel background and bevels, titles,
// automatic axis ranges, the room the axes take, the series' pixel margins, the back
// wall, the axes, the series (each raising BeforeDrawValues and AfterDrawValues), the
// zoom frame, then OnAfterDraw.
//
// The code is in three files by theme: Chart.cpp (construction and the paint),
// ChartMouse.cpp (hit test, zoom box, pan, wheel) and ChartKeys.cpp (reset, the view
// history, Esc, the keys). The gestures' range arithmetic, drag records, view state and
// history are values and pure functions in chart/gestures.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "chart/axes/AxisPanel.h"
#include "chart/gestures/ViewHistory.h"
#include "chart/gestures/ViewState.h"
#include "chart/gestures/ZoomPanningRecord.h"
#include "chart/gestures/ZoomRanges.h"
#include "chart/panel/TitleWall.h"
#include "platform/ViewKeys.h"

namespace quarvel {

enum class TChartClickedPartStyle {
  cpNone,
  cpLegend,
  cpAxis,
  cpSeries,
  cpTitle,
  cpFoot,
  cpChartRect
};

// What lies under a pixel of the chart.
struct TChartClickedPart {
  TChartClickedPartStyle Part = TChartClickedPartStyle::cpNone;
  TCustomChartAxis* Axis = nullptr;
  TChartSeriesBase* Series = nullptr;
  int PointIndex = -1;
};

class TChart : public TCustomAxisPanel {
 public:
  using MouseEvent =
      std::function<void(TChart* sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using AxisClickEvent = std::function<void(TChart* sender, TCustomChartAxis* axis,
                                            TMouseButton button, TShiftState shift, int x, int y)>;
  using SeriesClickEvent =
      std::function<void(TChart* sender, TChartSeriesBase* series, int index, TMouseButton button,
                         TShiftState shift, int x, int y)>;
  using AllowScrollEvent = std::function<void(TChart* sender, TCustomChartAxis* axis,
                                              double& newMin, double& newMax, bool& allow)>;

  explicit TChart(TChartHost* host);
  ~TChart() override;

  TChartTitle& Title() { return *title_; }
  TChartTitle& Foot() { return *foot_; }
  TChartWall& BackWall() { return *backWall_; }
  TChartWall& LeftWall() { return *leftWall_; }
  TChartWall& BottomWall() { return *bottomWall_; }
  bool LegendVisible() const { return legendVisible_; }
  void SetLegendVisible(bool v) { Set(legendVisible_, v); }
  TColor BackColor() const { return backWall_->Color(); }
  void SetBackColor(TColor color);
  TChartPen& Frame() { return backWall_->Pen(); }

  bool SeriesColorIsFree(TColor color, bool checkBackgrounds) const override;

  // ---- mouse zoom and scroll (ChartMouse.cpp; the range arithmetic in ZoomRanges.h)
  // Every gesture maps with the axes' mappings of the last paint.
  bool AllowZoom() const { return allowZoom_; }
  void SetAllowZoom(bool v) { allowZoom_ = v; }
  TPanningMode AllowPanning() const { return allowPanning_; }
  void SetAllowPanning(TPanningMode v) { allowPanning_ = v; }
  bool AnimatedZoom() const { return animatedZoom_; }
  void SetAnimatedZoom(bool v) { animatedZoom_ = v; }
  int AnimatedZoomSteps() const { return animatedZoomSteps_; }
  void SetAnimatedZoomSteps(int v) { animatedZoomSteps_ = v; }
  // The two mouse drags; at most one of each is in progress.
  TZoomPanningRecord ZoomBox;
  TZoomPanningRecord PanTrack;

  // What lies under a pixel, as the last paint placed it: series, axes, title, foot,
  // plotting rectangle, in that order.
  TChartClickedPart HitTestChart(int x, int y);
  // A press: the click events of the part hit, then (unless handled) the zoom box with
  // the left button or the pan track with the right one. Nothing while a drag is on.
  void ChartMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  // Moves the zoom box's corner, or pans by the move (PannedRange) and invalidates;
  // leaving the plotting rectangle ends the pan track.
  void ChartMouseMove(TShiftState shift, int x, int y);
  // Ends the drags: a zoom box over 16 pixels each way zooms (towards the lower right)
  // or undoes the zoom (any other way), and invalidates.
  void ChartMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  // The mouse left the control: the pan track ends, the loaded cursor comes back.
  void ChartMouseLeave();
  // One notch: the vertical axes move by WheelShift and become non-automatic; one
  // history step for notches close together. Nothing is saved for an undo.
  void ChartWheelDown() { WheelNotch(+1); }
  void ChartWheelUp() { WheelNotch(-1); }
  // The zoom box's ranges (ZoomedRange) applied with ApplyZoomRanges; normalises the box.
  void ZoomToBox();
  // Targets as (minimum, maximum) for the left, right, top and bottom axis: saves the
  // axes' state when a save is pending, then fixes the ranges (animated if so set).
  void ApplyZoomRanges(const std::array<std::pair<double, double>, 4>& leftRightTopBottom);
  // The saved state back (if one was saved) and the save armed again.
  void RestoreAxesAfterZoom();
  // Draws the zoom box in not-XOR: a second drawing of the same box erases it.
  void PaintZoomFrame();
  bool IsZoomedIn() const { return isZoomedIn_; }
  bool SavePending() const { return savePending_; }

  // ---- way back, history and keys (ChartKeys.cpp)
  // A double click: with the zoom button inside the plotting rectangle it resets the
  // view; any other goes on as a press with the double-click flag.
  void ChartDoubleClick(TMouseButton button, TShiftState shift, int x, int y);
  // A key while the chart has the keyboard focus; false when the chart did nothing
  // with it (Esc with no drag in progress), so that it may go elsewhere.
  bool ChartKeyDown(TViewKey key);
  // Every axis back to automatic scaling; the saved zoom state is armed again, as
  // after an undo. One history step.
  void ResetView();
  // Zooms about the centre of the visible ranges: in by the key zoom factor, or out.
  void ZoomByKey(bool zoomIn);
  // Pans the axes of one direction by a tenth of their visible range; `direction` +1
  // shows higher values, -1 lower ones.
  void PanByKey(bool horizontal, int direction);
  // Steps through the view history; false when there is no step that way.
  bool GoBack();
  bool GoForward();
  bool CanGoBack() const { return history_.CanGoBack(); }
  bool CanGoForward() const { return history_.CanGoForward(); }
  // Esc: erases the zoom frame and drops the zoom, or ends the pan; the release that
  // follows does nothing. False when no drag was in progress.
  bool CancelDrag();
  TChartViewState CaptureViewState() const;
  void ApplyViewState(const TChartViewState& state);

  static constexpr std::size_t kHistoryDepth = 100;
  // Wheel notches closer together than this (milliseconds) make one history step.
  static constexpr long long kWheelMergeWindow = 500;
  // The key zoom shows 1 / 1.25 of the visible range (zooming in) or 1.25 times it.
  static constexpr double kKeyZoomFactor = 1.25;
  static constexpr double kKeyPanFraction = 0.1;
  // The clock that decides which wheel notches merge (milliseconds); replaceable.
  std::function<long long()> HistoryClock;
  // A press and release of the pan button at one pixel, with no move in between (the
  // place for a context menu).
  MouseEvent OnContextClick;

  bool EventHandled = false;
  MouseEvent OnClickLegend;
  AxisClickEvent OnClickAxis;
  SeriesClickEvent OnClickSeries;
  MouseEvent OnClickBackground;
  ChartEvent OnZoom;
  ChartEvent OnUndoZoom;
  ChartEvent OnScroll;
  AllowScrollEvent OnAllowScroll;

 protected:
  // The ordered steps of one paint (see above).
  void DrawChartContents(const TRect& bounds) override;

 private:
  void DrawTitleBlocks();
  void FitAxesIntoPlot();
  void ApplySeriesPixelMargins();
  void DrawPlotWalls();

  std::unique_ptr<TChartTitle> title_, foot_;
  std::unique_ptr<TChartWall> backWall_, leftWall_, bottomWall_;
  bool legendVisible_ = true;
  bool allowZoom_ = true;
  TPanningMode allowPanning_ = TPanningMode::pmBoth;
  bool animatedZoom_ = false;
  int animatedZoomSteps_ = 8;

  void BeginZoomOrPan(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
  void BackgroundStep(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
  void SaveAxisStates();
  bool PanAllowed(bool horizontal) const;
  bool PanDirection(bool horizontal, int newPixel, int oldPixel);
  void PanAxis(TCustomChartAxis& axis, int oldPixel, int newPixel);
  void WheelNotch(int direction);
  std::array<TCustomChartAxis*, 4> ZoomAxes() const;  // top, left, right, bottom
  void ScrollAxisTo(TCustomChartAxis& axis, double newMin, double newMax);
  void RecordStep(const TChartViewState& before, int mergeKind = 0);
  // The pan track's history step: opened by its first step, closed when it ends.
  void ClosePanStep();
  void EndPanTrack();

  TViewHistory<TChartViewState> history_{kHistoryDepth};
  std::optional<TChartViewState> panBefore_;
  bool contextCandidate_ = false;
  int contextX_ = 0, contextY_ = 0;

  std::array<TSavedAxisState, 4> savedAxisState_;
  bool savePending_ = true;
  bool isZoomedIn_ = false;
};

}  // namespace quarvel
