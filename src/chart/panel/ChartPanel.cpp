#include "chart/panel/ChartPanel.h"

#include "base/Assert.h"
#include "chart/panel/ChartException.h"
#include "format/MessageFormat.h"

namespace quarvel {

TCustomChartPanel::TCustomChartPanel(TChartHost* host)
    : host_(host), canvas_(std::make_unique<TChartCanvas3D>()) {
  QUARVEL_ASSERT(host_, "a chart panel needs a host");
  canvas_->BindSurface(host_->OwnSurface());
  view3DOptions_.OnChange = StyleChangeHandler();
  created_ = true;
}

TCustomChartPanel::~TCustomChartPanel() = default;

void TCustomChartPanel::SetBevelWidth(int v) {
  if (v < 1) throw ChartException("Bevel width must be >= 1");
  Set(bevelWidth_, v);
}

void TCustomChartPanel::SetBorderWidth(int v) {
  if (v < 0) throw ChartException("Border width must be >= 0");
  Set(borderWidth_, v);
}

void TCustomChartPanel::SetChart3DPercent(int v) {
  if (v < 1 || v > 100)
    throw ChartException(
        FormatMessage("3D effect percent must be between %d and %d", {int64_t{1}, int64_t{100}}));
  Set(chart3DPercent_, v);
}

void TCustomChartPanel::InvalidateChart() {
  if (!created_) return;
  canvas_->MarkStale();
  host_->Invalidate();
}

void TCustomChartPanel::HandlePaint() {
  if (IsPrinting()) return;
  canvas_->BindSurface(host_->OwnSurface());
  if (canvas_->RepaintFromBuffer()) return;
  DrawChart(host_->OwnSurface(), {0, 0, host_->ClientWidth(), host_->ClientHeight()});
}

void TCustomChartPanel::DrawChart(TCanvas* surface, const TRect& rect) {
  QUARVEL_ASSERT(surface, "DrawChart needs a surface to draw onto");
  DrawBounds = canvas_->PrepareDrawing(surface, &view3DOptions_, color_, view3D_, rect);
  const int w = DrawBounds.Width(), h = DrawBounds.Height(), b = borderWidth_;
  PlotRect.Left = DrawBounds.Left + b + MulDiv(marginLeft_, w, 100);
  PlotRect.Top = DrawBounds.Top + b + MulDiv(marginTop_, h, 100);
  PlotRect.Right = DrawBounds.Right - b - MulDiv(marginRight_, w, 100);
  PlotRect.Bottom = DrawBounds.Bottom - b - MulDiv(marginBottom_, h, 100);
  UpdatePlotGeometry();
  // Texts of a paint for the control go where the control says (over its pixels at a
  // finer resolution); a picture drawn elsewhere keeps its own.
  TCanvas* drawn = canvas_->BoundSurface();
  const TTextSink sink = surface == host_->OwnSurface() ? host_->PaintTextSink() : TTextSink{};
  if (sink && drawn) drawn->Raster().SetTextSink(sink);
  DrawChartContents(DrawBounds);
  if (sink && drawn) drawn->Raster().SetTextSink({});
  canvas_->FinishDrawing(surface, host_->OwnSurface(), rect);
}

void TCustomChartPanel::UpdatePlotGeometry() {
  if (PlotRect.Left < DrawBounds.Left) PlotRect.Left = DrawBounds.Left;
  if (PlotRect.Top < DrawBounds.Top) PlotRect.Top = DrawBounds.Top;
  if (PlotRect.Right < PlotRect.Left)
    PlotRect.Right = PlotRect.Left + 1;
  else if (PlotRect.Right == PlotRect.Left)
    PlotRect.Right = PlotRect.Left + host_->ClientWidth();
  if (PlotRect.Bottom < PlotRect.Top)
    PlotRect.Bottom = PlotRect.Top + 1;
  else if (PlotRect.Bottom == PlotRect.Top)
    PlotRect.Bottom = PlotRect.Top + host_->ClientHeight();
  PlotWidth = PlotRect.Right - PlotRect.Left;
  PlotHeight = PlotRect.Bottom - PlotRect.Top;
  PlotCenterX = (PlotRect.Left + PlotRect.Right) / 2;
  PlotCenterY = (PlotRect.Top + PlotRect.Bottom) / 2;
}

namespace {

void BevelColors(TBevelCut cut, TColor& topLeft, TColor& bottomRight) {
  switch (cut) {
    case TBevelCut::bvLowered:
      topLeft = clBtnShadow;
      bottomRight = clBtnHighlight;
      break;
    case TBevelCut::bvRaised:
      topLeft = clBtnHighlight;
      bottomRight = clBtnShadow;
      break;
    default:
      topLeft = bottomRight = clBtnHighlight;
      break;
  }
}

}  // namespace

void TCustomChartPanel::DrawPanelBevels(const TRect& rect) {
  TRect r = rect;
  canvas_->Pen().SetStyle(TPenStyle::psSolid);
  canvas_->Pen().SetWidth(1);
  canvas_->Pen().SetMode(TPenMode::pmCopy);
  canvas_->Brush().SetStyle(TBrushStyle::bsClear);
  TColor top = 0, bottom = 0;
  if (bevelOuter_ != TBevelCut::bvNone) {
    BevelColors(bevelOuter_, top, bottom);
    canvas_->DrawBevelFrame(r, top, bevelWidth_, bottom);
  }
  canvas_->DrawBevelFrame(r, color_, borderWidth_, color_);
  if (bevelInner_ != TBevelCut::bvNone) {
    BevelColors(bevelInner_, top, bottom);
    canvas_->DrawBevelFrame(r, top, bevelWidth_, bottom);
  }
}

void TCustomChartPanel::ApplyFont(const TFont& font) { canvas_->Font().Assign(font); }

void TCustomChartPanel::PrepareFillBrush(TColor color, TBrushStyle style, TColor backColor) {
  if (style != TBrushStyle::bsSolid && color == backColor)
    color = backColor == clBlack ? clWhite : clBlack;
  canvas_->Brush().SetColor(color);
  canvas_->Brush().SetStyle(style);
  if (style == TBrushStyle::bsSolid) {
    canvas_->SetBackgroundMode(TRANSPARENT);
  } else {
    canvas_->SetBackgroundMode(OPAQUE);
    canvas_->SetBackgroundColor(ColorToRGB(backColor));
  }
}

void TCustomChartPanel::PaintPanel(const TRect& rect) {
  FillPanelBackground(rect);
  DrawPanelImage(rect);
  if (!ChartCanvas().RendersDepthNatively()) DrawPanelBevels(rect);
}

void TCustomChartPanel::FillPanelBackground(const TRect& rect) {
  if (gradientVisible_) {
    ChartCanvas().FillGradientRect(rect, GradientStartColor,
                                   TChartCanvas::TGradientDirection::gdTopBottom, GradientEndColor);
    return;
  }
  ChartCanvas().Brush().SetColor(Color());
  ChartCanvas().Brush().SetStyle(TBrushStyle::bsSolid);
  ChartCanvas().FillBackground(rect);
}

}  // namespace quarvel
