#pragma once
// The chart's upper layers: the axes and the series list with the ordered draw steps
// (TCustomAxisPanel), the title, foot and walls (TCustomChart), and the published chart
// (TChart).
//
// One paint: panel background and bevels, titles, automatic axis ranges, the room the
// axes take, the series' pixel margins, the back wall, the axes, the series (each
// raising BeforeDrawValues and AfterDrawValues), the zoom frame, then OnAfterDraw.
// Series are owned by whoever created them; the chart only lists them, and a series
// leaves the list when it is detached or destroyed.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chart/axes/Axis.h"
#include "chart/axes/SeriesBase.h"
#include "chart/axes/ViewHistory.h"
#include "chart/axes/ZoomRanges.h"
#include "chart/axes/ZoomRecord.h"
#include "chart/panel/ChartPanel.h"
#include "chart/panel/TitleWall.h"
#include "platform/ViewKeys.h"

namespace quarvel {

// The chart's default series colours, in the order a new series is offered them.
inline constexpr std::array<TColor, 16> kSeriesPalette = {
    clRed,  clGreen,  clYellow, clBlue,  clWhite,  clGray,   clFuchsia, clTeal,
    clNavy, clMaroon, clLime,   clOlive, clPurple, clSilver, clAqua,    clBlack};

class TCustomAxisPanel : public TCustomChartPanelExtended {
 public:
  using ChartEvent = std::function<void(TCustomAxisPanel* sender)>;
  // May change the label text of `value` (index -1 for value labels).
  using GetAxisLabelEvent = std::function<void(TCustomChartAxis* sender, TChartSeriesBase* series,
                                               int index, std::string& text)>;
  // Supplies label value number `index`; returns false to stop.
  using GetNextAxisLabelEvent =
      std::function<bool(TCustomChartAxis* sender, int index, double& value)>;

  explicit TCustomAxisPanel(TChartHost* host);
  ~TCustomAxisPanel() override;

  TChartAxis& BottomAxis() { return *bottomAxis_; }
  TChartAxis& TopAxis() { return *topAxis_; }
  TChartAxis& LeftAxis() { return *leftAxis_; }
  TChartAxis& RightAxis() { return *rightAxis_; }
  TChartDepthAxis& DepthAxis() { return *depthAxis_; }
  // Bottom, top, left, right, depth.
  const std::array<TCustomChartAxis*, 5>& AxisList() const { return axisList_; }

  // ---- series list
  void AttachSeries(TChartSeriesBase* series);
  void DetachSeries(TChartSeriesBase* series);
  TChartSeriesBase* SeriesAt(int index) const;
  int SeriesCount() const { return static_cast<int>(series_.size()); }
  int ActiveSeriesCount() const;
  TColor PickFreeSeriesColor(bool checkBackgrounds) const;
  virtual bool SeriesColorIsFree(TColor color, bool checkBackgrounds) const;

  // ---- what the axes ask
  double AxisRangeFromSeries(const TCustomChartAxis* axis, bool wantLowest, bool horizontal) const;
  bool AxisIsShown(const TCustomChartAxis* axis) const;
  bool CanClipToPlot() const;
  void DrawAllAxes();

  bool AxisVisible() const { return axisVisible_; }
  void SetAxisVisible(bool v) { Set(axisVisible_, v); }
  bool ClipPoints() const { return clipPoints_; }
  void SetClipPoints(bool v) { Set(clipPoints_, v); }

  // ---- stored, not drawn
  // Paging and the 3D walls: kept with their defaults and their setters' rules (and a
  // change repaints), but no paint reads them.
  int MaxPointsPerPage() const { return maxPointsPerPage_; }
  // ChartException "MaxPointsPerPage must be >= 0" for a negative value.
  void SetMaxPointsPerPage(int v);
  int Page() const { return page_; }
  void SetPage(int v) { Set(page_, v); }
  bool ScaleLastPage() const { return scaleLastPage_; }
  void SetScaleLastPage(bool v) { Set(scaleLastPage_, v); }
  bool View3DWalls() const { return view3DWalls_; }
  void SetView3DWalls(bool v) { Set(view3DWalls_, v); }

  ChartEvent OnBeforeDrawAxes;
  ChartEvent OnBeforeDrawSeries;
  ChartEvent OnAfterDraw;
  GetAxisLabelEvent OnGetAxisLabel;
  GetNextAxisLabelEvent OnGetNextAxisLabel;

 protected:
  void DrawChartContents(const TRect& bounds) override;
  virtual void DrawTitleBlocks() = 0;
  virtual void FitAxesIntoPlot() = 0;
  virtual void ApplySeriesPixelMargins() = 0;
  virtual void DrawPlotWalls() = 0;
  // A zoom drag in progress draws its box over every new picture.
  virtual bool ZoomBoxInProgress() const { return false; }
  virtual void PaintZoomFrame() {}

 private:
  std::unique_ptr<TChartAxis> bottomAxis_, topAxis_, leftAxis_, rightAxis_;
  std::unique_ptr<TChartDepthAxis> depthAxis_;
  std::array<TCustomChartAxis*, 5> axisList_{};
  std::vector<TChartSeriesBase*> series_;
  bool axisVisible_ = true;
  bool clipPoints_ = true;
  int maxPointsPerPage_ = 0;
  int page_ = 1;
  bool scaleLastPage_ = true;
  bool view3DWalls_ = true;
};

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

// The values an axis had before the first zoom or pan.
struct TSavedAxisState {
  bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
  double Minimum = 0, Maximum = 0;
  friend bool operator==(const TSavedAxisState&, const TSavedAxisState&) = default;
};

// Everything that decides what the chart shows of its series: the top, left, right and
// bottom axes' ranges and automatic flags, and the zoom's saved state with its flags,
// so that going back to a view also brings back what an undo drag would restore.
struct TChartViewState {
  std::array<TSavedAxisState, 4> Axes;
  std::array<TSavedAxisState, 4> Saved;
  bool SavePending = true;
  bool ZoomedIn = false;
  friend bool operator==(const TChartViewState&, const TChartViewState&) = default;
};

class TCustomChart : public TCustomAxisPanel {
 public:
  using MouseEvent = std::function<void(TCustomChart* sender, TMouseButton button,
                                        TShiftState shift, int x, int y)>;
  using AxisClickEvent = std::function<void(TCustomChart* sender, TCustomChartAxis* axis,
                                            TMouseButton button, TShiftState shift, int x, int y)>;
  using SeriesClickEvent =
      std::function<void(TCustomChart* sender, TChartSeriesBase* series, int index,
                         TMouseButton button, TShiftState shift, int x, int y)>;
  using AllowScrollEvent = std::function<void(TCustomChart* sender, TCustomChartAxis* axis,
                                              double& newMin, double& newMax, bool& allow)>;

  explicit TCustomChart(TChartHost* host);
  ~TCustomChart() override;

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

  // ---- mouse zoom and scroll (ChartZoom.cpp; the range arithmetic in ZoomRanges.h)
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
  void PaintZoomFrame() override;
  bool IsZoomedIn() const { return isZoomedIn_; }
  bool SavePending() const { return savePending_; }

  // ---- way back, history and keys (ChartNavigation.cpp)
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
  bool ZoomBoxInProgress() const override { return ZoomBox.InProgress; }
  void DrawTitleBlocks() override;
  void FitAxesIntoPlot() override;
  void ApplySeriesPixelMargins() override;
  void DrawPlotWalls() override;

 private:
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

// The chart control as the window uses it.
class TChart : public TCustomChart {
 public:
  using TCustomChart::TCustomChart;
};

}  // namespace quarvel
