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
#include <string>
#include <vector>

#include "chart/axes/Axis.h"
#include "chart/axes/SeriesBase.h"
#include "chart/panel/ChartPanel.h"
#include "chart/panel/TitleWall.h"

namespace quarvel {

// The chart's default series colours, in the order a new series is offered them.
inline constexpr std::array<TColor, 16> kSeriesPalette = {clRed,  clGreen,  clYellow, clBlue, clWhite,  clGray,
                                                          clFuchsia, clTeal, clNavy, clMaroon, clLime, clOlive,
                                                          clPurple, clSilver, clAqua, clBlack};

class TCustomAxisPanel : public TCustomChartPanelExtended {
 public:
  using ChartEvent = std::function<void(TCustomAxisPanel* sender)>;
  // May change the label text of `value` (index -1 for value labels).
  using GetAxisLabelEvent =
      std::function<void(TCustomChartAxis* sender, TChartSeriesBase* series, int index, std::string& text)>;
  // Supplies label value number `index`; returns false to stop.
  using GetNextAxisLabelEvent = std::function<bool(TCustomChartAxis* sender, int index, double& value)>;

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
  void SetAxisVisible(bool v) { SetAndInvalidate(axisVisible_, v); }
  bool ClipPoints() const { return clipPoints_; }
  void SetClipPoints(bool v) { SetAndInvalidate(clipPoints_, v); }
  int MaxPointsPerPage() const { return maxPointsPerPage_; }
  // ChartException "MaxPointsPerPage must be >= 0" for a negative value.
  void SetMaxPointsPerPage(int v);
  // Paging and 3D walls are not drawn by this chart; the settings are kept.
  int Page() const { return page_; }
  void SetPage(int v) { SetAndInvalidate(page_, v); }
  bool ScaleLastPage() const { return scaleLastPage_; }
  void SetScaleLastPage(bool v) { SetAndInvalidate(scaleLastPage_, v); }
  bool View3DWalls() const { return view3DWalls_; }
  void SetView3DWalls(bool v) { SetAndInvalidate(view3DWalls_, v); }

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

enum class TChartClickedPartStyle { cpNone, cpLegend, cpAxis, cpSeries, cpTitle, cpFoot, cpChartRect };

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
};

class TCustomChart : public TCustomAxisPanel {
 public:
  using MouseEvent = std::function<void(TCustomChart* sender, TMouseButton button, TShiftState shift, int x, int y)>;
  using AxisClickEvent =
      std::function<void(TCustomChart* sender, TCustomChartAxis* axis, TMouseButton button, TShiftState shift, int x, int y)>;
  using SeriesClickEvent = std::function<void(TCustomChart* sender, TChartSeriesBase* series, int index,
                                              TMouseButton button, TShiftState shift, int x, int y)>;
  using AllowScrollEvent =
      std::function<void(TCustomChart* sender, TCustomChartAxis* axis, double& newMin, double& newMax, bool& allow)>;

  explicit TCustomChart(TChartHost* host);
  ~TCustomChart() override;

  TChartTitle& Title() { return *title_; }
  TChartTitle& Foot() { return *foot_; }
  TChartWall& BackWall() { return *backWall_; }
  TChartWall& LeftWall() { return *leftWall_; }
  TChartWall& BottomWall() { return *bottomWall_; }
  bool LegendVisible() const { return legendVisible_; }
  void SetLegendVisible(bool v) { SetAndInvalidate(legendVisible_, v); }
  TColor BackColor() const { return backWall_->Color(); }
  void SetBackColor(TColor color);
  TChartPen& Frame() { return backWall_->Pen(); }

  bool SeriesColorIsFree(TColor color, bool checkBackgrounds) const override;

  // ---- mouse zoom and scroll
  TChartClickedPart HitTestChart(int x, int y);
  void ChartMouseDown(TMouseButton button, TShiftState shift, int x, int y);
  void ChartMouseMove(TShiftState shift, int x, int y);
  void ChartMouseUp(TMouseButton button, TShiftState shift, int x, int y);
  void ChartMouseLeave() {
    ShowCursor(LoadedCursor());
    PanTrack.InProgress = false;
  }
  void ChartWheelDown() { WheelNotch(+1); }
  void ChartWheelUp() { WheelNotch(-1); }
  void ZoomToBox();
  // Targets as (minimum, maximum) for the left, right, top and bottom axis.
  void ApplyZoomRanges(const std::array<std::pair<double, double>, 4>& leftRightTopBottom);
  void RestoreAxesAfterZoom();
  void PaintZoomFrame() override;
  bool IsZoomedIn() const { return isZoomedIn_; }
  bool SavePending() const { return savePending_; }

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

  void BeginZoomOrPan(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
  void BackgroundStep(TMouseButton button, TShiftState shift, int x, int y, bool& handled);
  void SaveAxisStates();
  bool PanDirection(bool horizontal, int newPixel, int oldPixel);
  void PanAxis(TCustomChartAxis& axis, int oldPixel, int newPixel);
  void WheelNotch(int direction);
  std::array<TCustomChartAxis*, 4> ZoomAxes();  // top, left, right, bottom

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
