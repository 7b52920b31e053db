#include "chart/series/Series.h"

#include <algorithm>
#include <cmath>

#include "base/Assert.h"
#include "chart/panel/ChartException.h"

namespace quarvel {
namespace {

constexpr int kFarPixel = 32767;
// An unrounded pixel this far away did not fit the mapping's 32-bit pixels (it maps
// such values to the axis centre); nearer ones did, exactly.
constexpr long double kBeyondPixels = 1e9L;
// How far beyond the picture a cut segment ends: past the widest pen's reach.
constexpr int kCutMargin = 2;

}  // namespace

// ===========================================================================
// TChartSeries

TChartSeries::TChartSeries() {
  XValues = std::make_unique<TChartValueList>(this, "X");
  XValues->SetOrder(TChartListOrder::loAscending);
  YValues = std::make_unique<TChartValueList>(this, "Y");
}

TChartSeries::~TChartSeries() {
  RemoveAllPoints();
  SetParentChart(nullptr);
}

int TChartSeries::AddPoint(double x, double y, const std::string& label, TColor color) {
  XValues->PendingValue = x;
  YValues->PendingValue = y;
  if (OnBeforeAdd && !OnBeforeAdd(this)) return -1;
  const int index = XValues->AddInOrder(XValues->PendingValue);
  YValues->InsertAt(index, YValues->PendingValue);
  pointColors_.insert(pointColors_.begin() + index, color);
  pointLabels_.insert(pointLabels_.begin() + index, label);
  if (OnAfterAdd) OnAfterAdd(this, index);
  if (active_) RequestRepaint();
  return index;
}

int TChartSeries::AppendY(double y, const std::string& label, TColor color) {
  return AddPoint(static_cast<double>(PointCount()), y, label, color);
}

void TChartSeries::RemoveAllPoints() {
  for (TChartValueList* list : ValueLists()) list->RemoveAllValues();
  std::vector<TColor>().swap(pointColors_);
  std::vector<std::string>().swap(pointLabels_);
  if (OnClearValues) OnClearValues(this);
  if (active_ && chart_) RequestRepaint();
}

std::string TChartSeries::PointLabel(int index) const {
  return index >= 0 && index < static_cast<int>(pointLabels_.size()) ? pointLabels_[index]
                                                                     : std::string();
}

TColor TChartSeries::PointColor(int index) const {
  if (index < 0 || index >= static_cast<int>(pointColors_.size())) return seriesColor_;
  // A point without a number is not drawn, like a null point.
  if (std::isnan(PointX(index)) || std::isnan(PointY(index))) return clNone;
  const TColor c = pointColors_[index];
  if (c != clAutoColor) return c;
  return colorEachPoint_ ? kSeriesPalette[index % 16] : seriesColor_;
}

const TCustomChartAxis& TChartSeries::MappingAxis(const TCustomChartAxis* axis) const {
  if (!axis) throw ChartException("Series has no parent chart: its points have no pixels");
  return *axis;
}

int TChartSeries::XPixelOfPoint(int index) const {
  return MappingAxis(horizAxisObject_).Mapping().ToPixel(PointX(index));
}
int TChartSeries::YPixelOfPoint(int index) const {
  return MappingAxis(vertAxisObject_).Mapping().ToPixel(PointY(index));
}
int TChartSeries::XPixelOfValue(double value) const {
  return MappingAxis(horizAxisObject_).Mapping().ToPixel(value);
}
int TChartSeries::YPixelOfValue(double value) const {
  return MappingAxis(vertAxisObject_).Mapping().ToPixel(value);
}

bool TChartSeries::UsesAxis(const TCustomChartAxis* axis) const {
  if (!TakesPartInAxes() || !axis) return false;
  if (axis->IsHorizontal())
    return horizAxis_ == THorizAxis::aBothHorizAxis || axis == horizAxisObject_;
  return vertAxis_ == TVertAxis::aBothVertAxis || axis == vertAxisObject_;
}

void TChartSeries::RequestRepaint() {
  if (chart_) chart_->InvalidateChart();
}

void TChartSeries::SetActive(bool v) { Set(active_, v); }

void TChartSeries::SetSeriesColor(TColor v) { Set(seriesColor_, v); }

void TChartSeries::SetColorEachPoint(bool v) {
  colorEachPoint_ = v;
  if (!v) std::fill(pointColors_.begin(), pointColors_.end(), clAutoColor);
  RequestRepaint();
}

// The axis objects follow the choice before the chart is told.
void TChartSeries::SetHorizAxis(THorizAxis v) {
  StoreAndNotify(horizAxis_, v, [this] {
    ResolveAxes();
    RequestRepaint();
  });
}

void TChartSeries::SetVertAxis(TVertAxis v) {
  StoreAndNotify(vertAxis_, v, [this] {
    ResolveAxes();
    RequestRepaint();
  });
}

void TChartSeries::SetMarksVisible(bool v) { Set(marksVisible_, v); }

void TChartSeries::SetParentChart(TCustomAxisPanel* chart) {
  if (chart == chart_) return;
  if (chart_) chart_->DetachSeries(this);
  chart_ = nullptr;
  ResolveAxes();
  if (chart) chart->AttachSeries(this);
}

void TChartSeries::ChartChanged(TCustomAxisPanel* chart) {
  chart_ = chart;
  ResolveAxes();
}

void TChartSeries::ResolveAxes() {
  if (!chart_) {
    horizAxisObject_ = vertAxisObject_ = nullptr;
    return;
  }
  horizAxisObject_ =
      horizAxis_ == THorizAxis::aTopAxis ? &chart_->TopAxis() : &chart_->BottomAxis();
  vertAxisObject_ = vertAxis_ == TVertAxis::aRightAxis
                        ? static_cast<TCustomChartAxis*>(&chart_->RightAxis())
                        : &chart_->LeftAxis();
}

void TChartSeries::FindVisibleRange() {
  VisibleFirst = VisibleLast = -1;
  const int count = PointCount();
  if (count < 1) return;
  if (!LimitToVisibleRange || XValues->Order() == TChartListOrder::loNone) {
    VisibleFirst = 0;
    VisibleLast = count - 1;
    return;
  }
  QUARVEL_ASSERT(chart_ && horizAxisObject_, "FindVisibleRange on a series without a chart");
  const TAxisMapping& axis = horizAxisObject_->Mapping();
  QUARVEL_ASSERT(axis.Placed, "the X axis is read before PlaceAxisPixels placed it");
  const TRect& plot = chart_->PlotRect;
  const double nearValue = axis.ToValue(axis.Inverted ? plot.Right : plot.Left);
  int first = 0;
  while (first < count && !(PointX(first) >= nearValue)) ++first;
  if (first == count) return;
  VisibleFirst = first;
  const double farValue = axis.ToValue(axis.Inverted ? plot.Left : plot.Right);
  if (XValues->FinalValue() <= farValue) {
    VisibleLast = count - 1;
    return;
  }
  int last = VisibleFirst;
  while (last < count && !(PointX(last) >= farValue)) ++last;
  if (last == count) last = count - 1;
  if (!includePointPastEnd_ && PointX(last) > farValue) --last;
  if (last < VisibleFirst) {
    // The first point at or beyond the near edge already lies beyond the far edge.
    VisibleFirst = -1;
    return;
  }
  VisibleLast = last;
}

void TChartSeries::DrawVisiblePoints() {
  if (VisibleLast < VisibleFirst) return;
  if (AscendingDrawOrder()) {
    for (int i = VisibleFirst; i <= VisibleLast; ++i) DrawPoint(i);
  } else {
    for (int i = VisibleLast; i >= VisibleFirst; --i) DrawPoint(i);
  }
}

void TChartSeries::PaintSeries() {
  if (!chart_) return;
  FindVisibleRange();
  if (VisibleFirst == -1) return;
  if (BeforeDrawValues) BeforeDrawValues(this);
  const bool clipped = chart_->ClipPoints() && chart_->CanClipToPlot();
  if (clipped) Canvas().ClipToPlotBox(chart_->PlotRect, 0, 0);
  DrawVisiblePoints();
  if (clipped) Canvas().RemoveClip();
  if (AfterDrawValues) AfterDrawValues(this);
}

void TChartSeries::ClickStep(bool doubleClick, bool& eventHandled) {
  eventHandled = false;
  if (doubleClick && OnDblClick) {
    eventHandled = true;
    OnDblClick(this);
  } else if (OnClick) {
    eventHandled = true;
    OnClick(this);
  }
}

// ===========================================================================
// TSeriesPointer

TSeriesPointer::TSeriesPointer(TCustomSeries* owner) : owner_(owner) {}

void TSeriesPointer::SettingChanged() { owner_->RequestRepaint(); }

void TSeriesPointer::SetHorizSize(int v) {
  if (v < 1) throw ChartException("Pointer size must be greater than zero");
  Set(horizSize_, v);
}

void TSeriesPointer::SetVertSize(int v) {
  if (v < 1) throw ChartException("Pointer size must be greater than zero");
  Set(vertSize_, v);
}

void TSeriesPointer::ApplyPointerPenAndBrush(TChartCanvas3D& canvas, TColor color) {
  canvas.ApplyChartPen(pen_);
  if (pen_.Visible() && pen_.Color() == clAutoColor) canvas.Pen().SetColor(color);
  canvas.Brush().Assign(brush_);
  if (brush_.Color() == clAutoColor) canvas.Brush().SetColor(color);
}

void TSeriesPointer::DrawShapeAt(TChartCanvas3D& canvas, int x, int y, TColor color,
                                 TSeriesPointerStyle style) {
  const int left = x - horizSize_, right = x + horizSize_, top = y - vertSize_,
            bottom = y + vertSize_;
  switch (style) {
    case TSeriesPointerStyle::psRectangle:
      canvas.DrawRectangle(left, top, right + 1, bottom + 1);
      break;
    case TSeriesPointerStyle::psCircle:
      canvas.DrawEllipse(left, top, right, bottom);
      break;
    case TSeriesPointerStyle::psTriangle: {
      const TPoint p[3] = {{left, bottom}, {right, bottom}, {x, top}};
      canvas.DrawPolygon(p, 2);
      break;
    }
    case TSeriesPointerStyle::psDownTriangle: {
      const TPoint p[3] = {{left, top}, {right, top}, {x, bottom}};
      canvas.DrawPolygon(p, 2);
      break;
    }
    case TSeriesPointerStyle::psCross:
    case TSeriesPointerStyle::psDiagCross:
    case TSeriesPointerStyle::psStar:
      canvas.Pen().SetColor(color);
      if (style != TSeriesPointerStyle::psDiagCross) {
        canvas.DrawVerticalLine(x, top, bottom + 1);
        canvas.DrawHorizontalLine(left, right + 1, y);
      }
      if (style != TSeriesPointerStyle::psCross) {
        canvas.DrawLine(left, top, right + 1, bottom + 1);
        canvas.DrawLine(left, bottom, right + 1, top - 1);
      }
      break;
    case TSeriesPointerStyle::psDiamond: {
      const TPoint p[4] = {{x, top}, {right, y}, {x, bottom}, {left, y}};
      canvas.DrawPolygon(p, 3);
      break;
    }
    case TSeriesPointerStyle::psSmallDot:
      canvas.PlotPixel(x, y, color);
      break;
  }
}

// ===========================================================================
// TCustomSeries and TLineSeries

TCustomSeries::TCustomSeries() : pointer_(this) {
  includePointPastEnd_ = true;
  for (TGraphicsObject* o : std::initializer_list<TGraphicsObject*>{
           &linePen_, &areaLinesPen_, &pointer_.Pen(), &pointer_.Brush()})
    o->OnChange = AppearanceChanged();
}

void TCustomSeries::PrepareLinePen(TChartCanvas3D& canvas, TColor color) {
  canvas.ApplyChartPen(linePen_);
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Pen().SetColor(color);
}

void TCustomSeries::DrawPointMarker(int x, int y, TColor color, int index) {
  TChartCanvas3D& canvas = Canvas();
  pointer_.ApplyPointerPenAndBrush(canvas, color);
  const TSeriesPointerStyle style =
      OnGetPointerStyle ? OnGetPointerStyle(this, index) : pointer_.Style();
  pointer_.DrawShapeAt(canvas, x, y, color, style);
}

int TCustomSeries::InterpolatedEdgeY(int j, double x) const {
  return YPixelOfValue(InterpolatedEdgeValue(j, x));
}

double TCustomSeries::InterpolatedEdgeValue(int j, double x) const {
  const double x0 = PointX(j);
  const double dx = static_cast<double>(static_cast<long double>(PointX(j + 1)) - x0);
  if (dx == 0) return PointY(j);
  const double y0 = PointY(j);
  const long double y =
      (static_cast<long double>(PointY(j + 1)) - y0) * (static_cast<long double>(x) - x0) / dx + y0;
  return static_cast<double>(y);
}

void TCustomSeries::SegmentStep(int x, int y, TColor color) {
  if ((x == PrevPixelX && y == PrevPixelY) || color == clNone) return;
  if (!connectPoints_ || drawArea_) return;
  lastMarker_.valid = false;
  TChartCanvas3D& canvas = Canvas();
  PrepareLinePen(canvas, color);
  if (!stairs_) {
    canvas.DrawLine(PrevPixelX, PrevPixelY, x, y);
  } else if (!invertedStairs_) {
    canvas.DrawHorizontalLine(PrevPixelX, x, PrevPixelY);
    canvas.DrawLineTo(x, y);
  } else {
    canvas.DrawVerticalLine(PrevPixelX, PrevPixelY, y);
    canvas.DrawLineTo(x, y);
  }
}

void TCustomSeries::PointerStep(int x, int y, TColor color, int index, bool last) {
  if (!pointer_.Visible()) return;
  if (PrevColor != clNone) DrawMarkerOnce(PrevPixelX, PrevPixelY, PrevColor, index - 1);
  if (last && color != clNone) DrawMarkerOnce(x, y, color, index);
}

// Thousands of points can share a pixel (a long series on a short axis); their markers
// then cover the same pixels with the same values, which a copying pen leaves as they
// are. A style chosen per point or another mix mode always draws.
void TCustomSeries::DrawMarkerOnce(int x, int y, TColor color, int index) {
  const bool repeat = lastMarker_.valid && lastMarker_.x == x && lastMarker_.y == y &&
                      lastMarker_.color == color && !OnGetPointerStyle &&
                      pointer_.Pen().Mode() == TPenMode::pmCopy;
  if (repeat) {
    pointer_.ApplyPointerPenAndBrush(Canvas(), color);
    return;
  }
  DrawPointMarker(x, y, color, index);
  lastMarker_ = {true, x, y, color};
}

void TCustomSeries::DrawVisiblePoints() {
  lastMarker_.valid = false;
  TChartSeries::DrawVisiblePoints();
  lastMarker_.valid = false;
}

void TCustomSeries::DrawPoint(int index) {
  const TColor color = PointColor(index);
  const TAxisMapping::TPlace px = MappingAxis(HorizAxisObject()).Mapping().Place(PointX(index));
  const TAxisMapping::TPlace py = MappingAxis(VertAxisObject()).Mapping().Place(PointY(index));
  const int x = px.pixel, y = py.pixel;
  const TPixelPoint exact{px.position, py.position};
  if (index == VisibleFirst) {
    drawnThisPaint_ = prevFar_ = false;
    pending_.valid = false;
  }
  if (x <= -kFarPixel || x >= kFarPixel || y <= -kFarPixel || y >= kFarPixel ||
      std::fabs(exact.x) >= kBeyondPixels || std::fabs(exact.y) >= kBeyondPixels) {
    FarPointStep(index, color, exact);
    PrevColor = color;
    return;
  }
  pending_.valid = false;  // the line goes on from the last drawn point, as ever
  if (prevFar_ && !drawnThisPaint_ && index != VisibleFirst) {
    // Nothing drawn before: the line comes in from the far point before this one, and
    // neither a segment nor a marker starts from pixels of an earlier paint.
    if (PrevColor != clNone && color != clNone)
      DrawCutSegment(prevExact_, {static_cast<long double>(x), static_cast<long double>(y)}, color);
    PrevColor = clNone;
  }
  drawnThisPaint_ = true;
  prevFar_ = false;
  TChartCanvas3D& canvas = Canvas();
  canvas.Pen().SetColor(clBlack);
  canvas.Brush().SetColor(color);
  if (PrevColor == clNone) {
    PrevPixelX = x;
    PrevPixelY = y;
  }
  const bool last = index == VisibleLast;
  if (index == VisibleFirst) {
    if (index > 0) {
      const TCustomChartAxis& axis = *HorizAxisObject();
      PrevPixelX = axis.Inverted() ? ParentChart()->PlotRect.Right : ParentChart()->PlotRect.Left;
      const double edgeValue =
          stairs_ ? PointY(index - 1)
                  : InterpolatedEdgeValue(index - 1, axis.Mapping().ToValue(PrevPixelX));
      PrevPixelY = YPixelOfValue(edgeValue);
      const long double edgeY = VertAxisObject()->Mapping().Position(edgeValue);
      const bool edgeFar =
          PrevPixelY <= -kFarPixel || PrevPixelY >= kFarPixel || std::fabs(edgeY) >= kBeyondPixels;
      if (PointColor(index - 1) != clNone && !edgeFar) SegmentStep(x, y, color);
      if (PointColor(index - 1) != clNone && edgeFar && color != clNone)
        DrawCutSegment({static_cast<long double>(PrevPixelX), edgeY},
                       {static_cast<long double>(x), static_cast<long double>(y)}, color);
    }
    if (last && pointer_.Visible()) DrawPointMarker(x, y, color, index);
  } else {
    SegmentStep(x, y, color);
    PointerStep(x, y, color, index, last);
  }
  PrevPixelX = x;
  PrevPixelY = y;
  PrevColor = color;
}

void TCustomSeries::FarPointStep(int index, TColor color, TPixelPoint exact) {
  if (index == VisibleFirst) {
    // From the plot's near edge, at the interpolated height, out to this point.
    if (index > 0 && color != clNone && PointColor(index - 1) != clNone) {
      const TCustomChartAxis& axis = *HorizAxisObject();
      const int edge =
          axis.Inverted() ? ParentChart()->PlotRect.Right : ParentChart()->PlotRect.Left;
      const double value = stairs_ ? PointY(index - 1)
                                   : InterpolatedEdgeValue(index - 1, axis.Mapping().ToValue(edge));
      DrawCutSegment({static_cast<long double>(edge), VertAxisObject()->Mapping().Position(value)},
                     exact, color);
    }
  } else if (PrevColor != clNone && color != clNone) {
    if (prevFar_)
      DrawCutSegment(prevExact_, exact, color);
    else
      pending_ = {true,
                  {static_cast<long double>(PrevPixelX), static_cast<long double>(PrevPixelY)},
                  exact,
                  color};
  }
  if (index == VisibleLast && pending_.valid) {
    // No drawable point follows to go on from the last drawn one.
    DrawCutSegment(pending_.from, pending_.to, pending_.color);
    pending_.valid = false;
  }
  prevFar_ = true;
  prevExact_ = exact;
}

void TCustomSeries::DrawCutSegment(TPixelPoint a, TPixelPoint b, TColor color) {
  if (!connectPoints_ || drawArea_) return;
  if (!stairs_) {
    DrawCutLeg(a, b, color);
    return;
  }
  const TPixelPoint corner = invertedStairs_ ? TPixelPoint{a.x, b.y} : TPixelPoint{b.x, a.y};
  DrawCutLeg(a, corner, color);
  DrawCutLeg(corner, b, color);
}

void TCustomSeries::DrawCutLeg(TPixelPoint a, TPixelPoint b, TColor color) {
  TCustomAxisPanel& chart = *ParentChart();
  // The picture the points may draw on: the plot when the chart clips them to it.
  TRect area = chart.DrawBounds;
  if (chart.ClipPoints() && chart.CanClipToPlot())
    area = {chart.PlotRect.Left + 1, chart.PlotRect.Top + 1, chart.PlotRect.Right,
            chart.PlotRect.Bottom - 1};
  const int margin = std::max(1, linePen_.Width()) + kCutMargin;
  if (!ClipSegment(a, b, area.Left - margin, area.Top - margin, area.Right + margin,
                   area.Bottom + margin))
    return;
  lastMarker_.valid = false;
  TChartCanvas3D& canvas = Canvas();
  PrepareLinePen(canvas, color);
  canvas.DrawLine(static_cast<int>(std::llrint(a.x)), static_cast<int>(std::llrint(a.y)),
                  static_cast<int>(std::llrint(b.x)), static_cast<int>(std::llrint(b.y)));
}

void TCustomSeries::HorizPixelMargins(int& left, int& right) {
  left = right = 0;
  if (pointer_.Visible() && pointer_.InflateMargins()) {
    left = std::max(left, pointer_.HorizSize() + 1);
    right = std::max(right, pointer_.HorizSize() + 1);
  }
  if (stairs_ && connectPoints_) {
    left = std::max(left, linePen_.Width());
    right = std::max(right, linePen_.Width());
  }
}

void TCustomSeries::VertPixelMargins(int& top, int& bottom) {
  top = bottom = 0;
  if (pointer_.Visible() && pointer_.InflateMargins()) {
    top = std::max(top, pointer_.VertSize() + 1);
    bottom = std::max(bottom, pointer_.VertSize() + 1);
  }
  if (stairs_ && connectPoints_) {
    top = std::max(top, linePen_.Width());
    bottom = std::max(bottom, linePen_.Width() + 1);
  }
  if (lineHeight_ > 0 && !drawArea_ && lineHeight_ > bottom) bottom = lineHeight_;
}

int TCustomSeries::PointUnderPixel(int x, int y) {
  if (!ParentChart() || VisibleFirst < 0 || !HorizAxisObject() || !VertAxisObject()) return -1;
  const int last = std::min(VisibleLast, PointCount() - 1);
  if (pointer_.Visible()) {
    for (int i = VisibleFirst; i <= last; ++i) {
      if (PointColor(i) == clNone) continue;
      if (std::abs(x - XPixelOfPoint(i)) <= pointer_.HorizSize() &&
          std::abs(y - YPixelOfPoint(i)) <= pointer_.VertSize())
        return i;
    }
  }
  if (!connectPoints_) return -1;
  for (int i = VisibleFirst + 1; i <= last; ++i) {
    if (PointColor(i) == clNone || PointColor(i - 1) == clNone) continue;
    const double ax = XPixelOfPoint(i - 1), ay = YPixelOfPoint(i - 1), bx = XPixelOfPoint(i),
                 by = YPixelOfPoint(i);
    const double dx = bx - ax, dy = by - ay, length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / length2, 0.0, 1.0) : 0.0;
    const double px = ax + t * dx - x, py = ay + t * dy - y;
    if (px * px + py * py <= 1.0) return t < 0.5 ? i - 1 : i;
  }
  return -1;
}

TLineSeries::TLineSeries() {
  connectPoints_ = true;
  Pointer().SetVisible(false);
}

}  // namespace quarvel
