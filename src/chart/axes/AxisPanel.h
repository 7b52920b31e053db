#pragma once
// The chart's axes and its series list, on top of the panel: the five axes, the series
// the chart lists (as TChartSeriesBase), what the axes ask of them (ranges, whether an
// axis is shown) and the axes' drawing step. The order of a paint is the chart
// control's (chart/control/Chart.h); this layer is what the axes and the series reach
// the chart through.
//
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
inline constexpr std::array<TColor, 16> kSeriesPalette = {
    clRed,  clGreen,  clYellow, clBlue,  clWhite,  clGray,   clFuchsia, clTeal,
    clNavy, clMaroon, clLime,   clOlive, clPurple, clSilver, clAqua,    clBlack};

class TCustomAxisPanel : public TCustomChartPanel {
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

}  // namespace quarvel
