#pragma once
// Data series: the points (X and Y value lists, a colour and an optional label per
// point), the two axes they are drawn against, and the series' step of the chart's
// paint. TCustomSeries draws a connected line and marker shapes (its pointer);
// TLineSeries is the line variant.
//
// Invariants: the X list, the Y list, the colours and the labels always hold the same
// number of entries; VisibleFirst and VisibleLast are both -1 or satisfy
// 0 <= VisibleFirst <= VisibleLast < PointCount (as of the last paint).
// A series is owned by its creator; attached to a chart it is listed there until it
// is detached or destroyed.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "chart/axes/AxisPanel.h"
#include "chart/axes/SeriesBase.h"
#include "chart/series/SegmentClip.h"
#include "chart/series/ValueList.h"
#include "base/NotifyingSettings.h"

namespace quarvel {

class TChartSeries : public TChartSeriesBase,
                     public TValueListOwner,
                     public TNotifyingSettings<TChartSeries> {
 public:
  using SeriesEvent = std::function<void(TChartSeries* sender)>;
  using BeforeAddEvent = std::function<bool(TChartSeries* sender)>;
  using AfterAddEvent = std::function<void(TChartSeries* sender, int valueIndex)>;

  TChartSeries();
  ~TChartSeries() override;
  TChartSeries(const TChartSeries&) = delete;
  TChartSeries& operator=(const TChartSeries&) = delete;

  // ---- points
  // Adds a point where the X order puts it; -1 when OnBeforeAdd refuses.
  int AddPoint(double x, double y, const std::string& label = "", TColor color = clAutoColor);
  int AppendY(double y, const std::string& label = "", TColor color = clAutoColor);
  void RemoveAllPoints();
  int PointCount() const override { return XValues->ValueCount(); }
  double PointX(int index) const override { return XValues->ValueAt(index); }
  double PointY(int index) const override { return YValues->ValueAt(index); }
  std::string PointLabel(int index) const override;
  virtual TColor PointColor(int index) const;

  // ---- mapping (ChartException when the series has no chart, so no axes)
  int XPixelOfPoint(int index) const;
  int YPixelOfPoint(int index) const;
  int XPixelOfValue(double value) const;
  int YPixelOfValue(double value) const;

  // ---- what the chart and its axes ask
  double LowestX() override { return XValues->Lowest(); }
  double HighestX() override { return XValues->Highest(); }
  double LowestY() override { return YValues->Lowest(); }
  double HighestY() override { return YValues->Highest(); }
  bool XDateTime() const override { return XValues->DateTime(); }
  bool YDateTime() const override { return YValues->DateTime(); }
  bool UsesAxis(const TCustomChartAxis* axis) const override;
  void HorizPixelMargins(int& left, int& right) override { left = right = 0; }
  void VertPixelMargins(int& top, int& bottom) override { top = bottom = 0; }
  virtual bool TakesPartInAxes() const { return true; }

  // ---- drawing (steps of the chart's paint, after its axes are placed and widened)
  // The series' step: FindVisibleRange, BeforeDrawValues, the points (clipped to the plot
  // when the chart clips), AfterDrawValues; nothing without a chart or a visible point.
  void PaintSeries() override;
  // VisibleFirst ... VisibleLast: the points the X axis shows, one past the near edge
  // included for the edge segment; needs a parent chart and the X axis placed
  // (PlaceAxisPixels), a contract checked where checks are live.
  void FindVisibleRange();
  // DrawPoint for each visible point, in AscendingDrawOrder.
  virtual void DrawVisiblePoints();
  // One point's drawing; called only from DrawVisiblePoints, inside the paint.
  virtual void DrawPoint(int) {}
  virtual bool AscendingDrawOrder() const { return true; }
  // Invalidates the chart (if any): the next paint draws anew.
  void RequestRepaint();

  // ---- settings
  bool Active() const override { return active_; }
  void SetActive(bool v);
  TColor SeriesColor() const override { return seriesColor_; }
  void SetSeriesColor(TColor v) override;
  bool ColorEachPoint() const { return colorEachPoint_; }
  void SetColorEachPoint(bool v);
  THorizAxis HorizAxis() const override { return horizAxis_; }
  void SetHorizAxis(THorizAxis v);
  TVertAxis VertAxis() const override { return vertAxis_; }
  void SetVertAxis(TVertAxis v);
  TCustomChartAxis* HorizAxisObject() const override { return horizAxisObject_; }
  TCustomChartAxis* VertAxisObject() const override { return vertAxisObject_; }
  TCustomAxisPanel* ParentChart() const { return chart_; }
  // Detaches from the current chart and attaches to `chart` (either may be null).
  void SetParentChart(TCustomAxisPanel* chart);
  void ChartChanged(TCustomAxisPanel* chart) override;
  std::string Title;
  std::string ValueFormat = "#,##0.###";
  std::string PercentFormat = "##0.## %";
  bool ShowInLegend = true;

  std::unique_ptr<TChartValueList> XValues;
  std::unique_ptr<TChartValueList> YValues;

  int VisibleFirst = -1;
  int VisibleLast = -1;
  bool LimitToVisibleRange = true;

  // ---- stored, not drawn
  // The point marks: kept with their defaults (and a change of MarksVisible repaints),
  // but this series draws no marks.
  bool MarksVisible() const { return marksVisible_; }
  void SetMarksVisible(bool v);
  int MarksArrowLength = 8;

  SeriesEvent AfterDrawValues;
  SeriesEvent BeforeDrawValues;
  AfterAddEvent OnAfterAdd;
  BeforeAddEvent OnBeforeAdd;
  SeriesEvent OnClearValues;
  SeriesEvent OnClick;
  SeriesEvent OnDblClick;

  void ClickStep(bool doubleClick, bool& eventHandled) override;

  // TValueListOwner
  void RepaintChart() override { RequestRepaint(); }
  void RefreshDependents() override {}

 protected:
  // Keeps the first point beyond the far edge in the visible range.
  bool includePointPastEnd_ = false;
  TChartCanvas3D& Canvas() const { return chart_->ChartCanvas(); }
  // The change handler for pens and brushes the series owns.
  std::function<void()> AppearanceChanged() {
    return [this] { RequestRepaint(); };
  }
  // The axis whose mapping places the points (an axis of the parent chart); throws
  // ChartException when there is none.
  const TCustomChartAxis& MappingAxis(const TCustomChartAxis* axis) const;

 private:
  friend TNotifyingSettings<TChartSeries>;
  void SettingChanged() { RequestRepaint(); }
  void ResolveAxes();

  bool active_ = true;
  TColor seriesColor_ = clAutoColor;
  bool colorEachPoint_ = false;
  std::vector<TColor> pointColors_;
  std::vector<std::string> pointLabels_;
  THorizAxis horizAxis_ = THorizAxis::aBottomAxis;
  TVertAxis vertAxis_ = TVertAxis::aLeftAxis;
  TCustomChartAxis* horizAxisObject_ = nullptr;
  TCustomChartAxis* vertAxisObject_ = nullptr;
  TCustomAxisPanel* chart_ = nullptr;
  bool marksVisible_ = true;
};

enum class TSeriesPointerStyle : uint8_t {
  psRectangle,
  psCircle,
  psTriangle,
  psDownTriangle,
  psCross,
  psDiagCross,
  psStar,
  psDiamond,
  psSmallDot
};

class TCustomSeries;

// The marker shape drawn on each point: 2 x HorizSize + 1 wide, 2 x VertSize + 1 high.
class TSeriesPointer : public TNotifyingSettings<TSeriesPointer> {
 public:
  explicit TSeriesPointer(TCustomSeries* owner);

  TChartBrush& Brush() { return brush_; }
  TChartPen& Pen() { return pen_; }
  int HorizSize() const { return horizSize_; }
  // Sizes below 1: ChartException "Pointer size must be greater than zero".
  void SetHorizSize(int v);
  int VertSize() const { return vertSize_; }
  void SetVertSize(int v);
  bool InflateMargins() const { return inflateMargins_; }
  void SetInflateMargins(bool v) { Set(inflateMargins_, v); }
  TSeriesPointerStyle Style() const { return style_; }
  void SetStyle(TSeriesPointerStyle v) { Set(style_, v); }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Set(visible_, v); }

  // ---- stored, not drawn
  // The 3D shading and solid markers: kept with their defaults (and a change repaints),
  // but the markers are always drawn flat.
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { Set(dark3D_, v); }
  bool Draw3D() const { return draw3D_; }
  void SetDraw3D(bool v) { Set(draw3D_, v); }

  // The canvas pen and brush for a point of `color` (automatic colours take it).
  void ApplyPointerPenAndBrush(TChartCanvas3D& canvas, TColor color);
  void DrawShapeAt(TChartCanvas3D& canvas, int x, int y, TColor color, TSeriesPointerStyle style);

 private:
  friend TNotifyingSettings<TSeriesPointer>;
  void SettingChanged();

  TCustomSeries* owner_;
  bool dark3D_ = true;
  bool draw3D_ = true;
  TChartBrush brush_;
  int horizSize_ = 4;
  bool inflateMargins_ = true;
  TChartPen pen_;
  TSeriesPointerStyle style_ = TSeriesPointerStyle::psRectangle;
  int vertSize_ = 4;
  bool visible_ = true;
};

class TCustomSeries : public TChartSeries {
 public:
  using GetPointerStyleEvent =
      std::function<TSeriesPointerStyle(TChartSeries* sender, int valueIndex)>;

  TCustomSeries();

  // The segment from the previous drawn point (from the plot's near edge, at the
  // interpolated height, for the first visible point) and the previous point's marker;
  // the last visible point also draws its own. A point whose pixel lies 32767 or more
  // pixels away, or beyond the 32-bit pixels, is far: it is skipped, and the line goes on
  // from the last drawn point at the next drawable one. Where no drawn point lies
  // before it or no drawable one follows, and between two far points, the segments to
  // it are cut to the picture in extended precision (SegmentClip.h) and drawn where
  // they cross it: a deep zoom shows the curve although every point lies far outside.
  void DrawPoint(int index) override;
  // Draws one marker. While the points are drawn, a marker that would land exactly on
  // the one drawn just before it, in the same colour, with nothing drawn in between,
  // only makes the pointer's pen and brush current: with the pointer pen copying,
  // drawing it again would change no pixel. An override must therefore draw the same
  // pixels whenever it is called with the same position and colour.
  virtual void DrawPointMarker(int x, int y, TColor color, int index);
  // The line pen of a point of `color` made current on the canvas.
  void PrepareLinePen(TChartCanvas3D& canvas, TColor color);
  // The Y pixel of the line from point j to point j + 1 at value x (extended
  // precision); point j's own pixel when the two share their X.
  int InterpolatedEdgeY(int j, double x) const;
  // The value whose pixel InterpolatedEdgeY gives.
  double InterpolatedEdgeValue(int j, double x) const;
  // The room the pointers (size + 1) and stairs (the pen width) need beyond the plot
  // edges; asked while the axes are fitted, before PlaceAxisPixels widens the ranges.
  void HorizPixelMargins(int& left, int& right) override;
  void VertPixelMargins(int& top, int& bottom) override;
  // A point is hit within its pointer's rectangle (when pointers are shown), a
  // segment within one pixel of the line between two drawn points (the nearer end
  // is answered). Only the points of the last paint's visible range count.
  int PointUnderPixel(int x, int y) override;

  TChartPen& LinePen() { return linePen_; }
  TChartPen& AreaLinesPen() { return areaLinesPen_; }
  TSeriesPointer& Pointer() { return pointer_; }
  bool ConnectPoints() const { return connectPoints_; }
  void SetConnectPoints(bool v) { Set(connectPoints_, v); }
  bool Stairs() const { return stairs_; }
  void SetStairs(bool v) { Set(stairs_, v); }
  bool InvertedStairs() const { return invertedStairs_; }
  void SetInvertedStairs(bool v) { Set(invertedStairs_, v); }
  bool DrawArea() const { return drawArea_; }
  void SetDrawArea(bool v) { Set(drawArea_, v); }
  int LineHeight() const { return lineHeight_; }
  void SetLineHeight(int v) { Set(lineHeight_, v); }

  // ---- stored, not drawn
  // The 3D shading of the line: kept with its default (and a change repaints), but the
  // line is always drawn flat.
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { Set(dark3D_, v); }

  GetPointerStyleEvent OnGetPointerStyle;

  int PrevPixelX = 0;
  int PrevPixelY = 0;
  TColor PrevColor = 0;

 protected:
  bool connectPoints_ = false;

 private:
  void SegmentStep(int x, int y, TColor color);
  void PointerStep(int x, int y, TColor color, int index, bool last);
  void DrawVisiblePoints() override;
  // DrawPointMarker, or only its pen and brush when the marker repeats the last one.
  void DrawMarkerOnce(int x, int y, TColor color, int index);
  // The steps of DrawPoint for a point that lies far away (exact: its unrounded pixel).
  void FarPointStep(int index, TColor color, TPixelPoint exact);
  // The part of the segment (or both stair legs) from a to b that crosses the picture,
  // in the line pen of `color`.
  void DrawCutSegment(TPixelPoint a, TPixelPoint b, TColor color);
  void DrawCutLeg(TPixelPoint a, TPixelPoint b, TColor color);

  // Per paint, from its first visible point on: whether a point has been drawn yet,
  // whether the previous point lay far away and its unrounded pixel, and the segment
  // from the last drawn point to a far one, drawn only if no drawable point follows.
  bool drawnThisPaint_ = false;
  bool prevFar_ = false;
  TPixelPoint prevExact_;
  struct PendingSegment {
    bool valid = false;
    TPixelPoint from, to;
    TColor color = 0;
  } pending_;

  // The marker drawn last in the current drawing of the points, while nothing else
  // has been drawn since.
  struct LastMarker {
    bool valid = false;
    int x = 0, y = 0;
    TColor color = 0;
  } lastMarker_;

  TChartPen areaLinesPen_;
  bool dark3D_ = true;
  bool drawArea_ = false;
  bool invertedStairs_ = false;
  int lineHeight_ = 0;
  TChartPen linePen_;
  TSeriesPointer pointer_;
  bool stairs_ = false;
};

class TLineSeries : public TCustomSeries {
 public:
  TLineSeries();
};

}  // namespace quarvel
