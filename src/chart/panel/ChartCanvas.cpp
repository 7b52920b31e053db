#include "chart/panel/ChartCanvas.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quarvel {

void TChartCanvas::ResetDrawingState() {
  Pen().SetColor(clBlack);
  Pen().SetWidth(1);
  Pen().SetStyle(TPenStyle::psSolid);
  Brush().SetColor(clWhite);
  Brush().SetStyle(TBrushStyle::bsSolid);
  Font().SetColor(clBlack);
  Font().SetSize(10);
  SetBackgroundColor(clWhite);
  SetBackgroundMode(TRANSPARENT);
}

void TChartCanvas::ApplyChartPen(const TChartPen& pen) {
  if (!pen.Visible()) {
    Pen().SetStyle(TPenStyle::psClear);
    return;
  }
  if (pen.SmallDots() && pen.Width() == 1) {
    Pen().SetColor(ColorToRGB(pen.Color()));
    Pen().SetWidth(1);
    Pen().SetStyle(TPenStyle::psAlternate);
    // A new platform pen: the surface's mix mode is not the pen's, it stays as it is.
    return;
  }
  Pen().Assign(pen);
}

void TChartCanvas3D::DropBuffer() {
  Unlend();
  buffer_.reset();
  shownOn_ = nullptr;
}

void TChartCanvas3D::Reclaim() {
  if (!lentTo_) return;
  TPixelSurface& lent = *std::exchange(lentTo_, nullptr);
  lent.BeforeNextChange(nullptr);
  TPixelSurface& own = buffer_->Surface();
  std::memcpy(own.Pixels(), lent.Pixels(),
              static_cast<std::size_t>(own.Stride()) * own.Height() * sizeof(uint32_t));
}

void TChartCanvas3D::Unlend() {
  if (lentTo_) std::exchange(lentTo_, nullptr)->BeforeNextChange(nullptr);
}

void TChartCanvas3D::NoteShown(TCanvas* surface) {
  const TPixelSurface& s = surface->Surface();
  const bool whole = s.Width() == buffer_->Width() && s.Height() == buffer_->Height() &&
                     surface->Clip() == TRect{0, 0, s.Width(), s.Height()};
  shownOn_ = whole ? &s : nullptr;
  shownGeneration_ = s.Generation();
  bufferGeneration_ = buffer_->Surface().Generation();
}

void TChartCanvas3D::SetMonochromeMode(bool monochrome) {
  if (monochrome == monochrome_) return;
  monochrome_ = monochrome;
  DropBuffer();
  stale_ = true;
  if (options_) options_->NotifyOwner();
}

void TChartCanvas3D::SetBufferedMode(bool buffered) {
  buffered_ = buffered;
  if (!buffered && buffer_) {
    DropBuffer();
    stale_ = true;
  }
}

void TChartCanvas3D::DrawArc(const TRect& box, TPoint start, TPoint end) {
  surface_->Arc(box, start, end);
}

void TChartCanvas3D::DrawPie(const TRect& box, TPoint start, TPoint end) {
  surface_->Pie(box, start, end);
}

void TChartCanvas3D::DrawRoundedRectangle(const TRect& box, int cornerWidth, int cornerHeight) {
  surface_->RoundRect(box.Left, box.Top, box.Right, box.Bottom, cornerWidth, cornerHeight);
}

void TChartCanvas3D::OutputRotatedText(int x, int y, int degrees, std::string_view text) {
  surface_->RotatedTextOut(x, y, degrees, text);
}

void TChartCanvas3D::DrawGraphicAt(int x, int y, const TBitmap* picture) {
  if (!picture || picture->Width() == 0 || picture->Height() == 0) return;
  // A picture with two colours takes them from the brush and the font.
  surface_->SetBkColor(Brush().Color());
  surface_->Raster().SetTextColor(ColorToRGB(Font().Color()));
  surface_->Draw(x, y, picture->Surface());
}

void TChartCanvas3D::StretchGraphicInto(const TRect& rect, const TBitmap* picture) {
  if (!picture || picture->Width() == 0 || picture->Height() == 0 || rect.IsEmpty()) return;
  TBitmap scaled(rect.Width(), rect.Height());
  for (int y = 0; y < rect.Height(); ++y) {
    const uint32_t* from = picture->ScanLine(
        static_cast<int>(static_cast<int64_t>(y) * picture->Height() / rect.Height()));
    uint32_t* to = scaled.ScanLine(y);
    for (int x = 0; x < rect.Width(); ++x)
      to[x] = from[static_cast<int64_t>(x) * picture->Width() / rect.Width()];
  }
  surface_->Draw(rect.Left, rect.Top, scaled.Surface());
}

void TChartCanvas3D::DrawBevelFrame(TRect& rect, TColor topColor, int width, TColor bottomColor) {
  Pen().SetWidth(1);
  --rect.Right;
  --rect.Bottom;
  for (int ring = 0; ring < width; ++ring) {
    Pen().SetColor(topColor);
    const TPoint top[3] = {{rect.Left, rect.Bottom}, {rect.Left, rect.Top}, {rect.Right, rect.Top}};
    surface_->Polyline(top, 3);
    Pen().SetColor(bottomColor);
    const TPoint bottom[3] = {
        {rect.Right, rect.Top}, {rect.Right, rect.Bottom}, {rect.Left - 1, rect.Bottom}};
    surface_->Polyline(bottom, 3);
    ++rect.Left;
    ++rect.Top;
    --rect.Right;
    --rect.Bottom;
  }
  ++rect.Right;
  ++rect.Bottom;
}

void TChartCanvas3D::FillGradientRect(const TRect& rect, TColor startColor,
                                      TGradientDirection direction, TColor endColor) {
  if (rect.IsEmpty()) return;
  const bool vertical =
      direction == TGradientDirection::gdTopBottom || direction == TGradientDirection::gdBottomTop;
  const bool reversed =
      direction == TGradientDirection::gdBottomTop || direction == TGradientDirection::gdRightLeft;
  const TColor from = ColorToRGB(reversed ? endColor : startColor);
  const TColor to = ColorToRGB(reversed ? startColor : endColor);
  const int extent = vertical ? rect.Height() : rect.Width();
  const TColor savedColor = Brush().Color();
  const TBrushStyle savedStyle = Brush().Style();
  Brush().SetStyle(TBrushStyle::bsSolid);
  for (int i = 0; i < extent; ++i) {
    TColor c = 0;
    for (int shift = 0; shift < 24; shift += 8) {
      const int a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
      c |= static_cast<TColor>(a + (b - a) * i / std::max(1, extent - 1)) << shift;
    }
    Brush().SetColor(c);
    if (vertical)
      surface_->FillRect({rect.Left, rect.Top + i, rect.Right, rect.Top + i + 1});
    else
      surface_->FillRect({rect.Left + i, rect.Top, rect.Left + i + 1, rect.Bottom});
  }
  Brush().SetColor(savedColor);
  Brush().SetStyle(savedStyle);
}

void TChartCanvas3D::DrawLine(int x0, int y0, int x1, int y1) {
  surface_->MoveTo(x0, y0);
  surface_->LineTo(x1, y1);
}

void TChartCanvas3D::PlotPointAtDepth(int x, int y, TColor color, int) {
  if (Pen().Width() == 1) {
    PlotPixel(x, y, color);
  } else {
    // A dot of the wide pen: its band around (x, y).
    DrawLine(x, y, x + 1, y);
    MovePenTo(x, y);
  }
}

TRect TChartCanvas3D::PrepareDrawing(TCanvas* destination, TView3DOptions* options, TColor,
                                     bool depthMode, const TRect& bounds) {
  lastBounds_ = bounds;
  options_ = options;
  depthMode_ = depthMode;
  orthogonal_ = false;
  zoomFactor_ = 1.0;
  if (depthMode && options) {
    orthogonal_ = options->Orthogonal();
    zoomFactor_ = options->Zoom() * 0.01;
    zoomText_ = options->ZoomText();
  }
  if (!buffered_) {
    BindSurface(destination);
    return bounds;
  }
  const int w = std::max(0, bounds.Right - bounds.Left),
            h = std::max(0, bounds.Bottom - bounds.Top);
  if (buffer_ && (buffer_->Width() != w || buffer_->Height() != h)) DropBuffer();
  // The paint covers the whole buffer: the picture lent out is of no more use to it.
  Unlend();
  if (!buffer_) {
    buffer_ = std::make_unique<TBitmap>();
    buffer_->SetMonochrome(monochrome_);
    buffer_->SetSize(w, h);
  }
  BindSurface(&buffer_->Canvas());
  return {0, 0, w, h};
}

void TChartCanvas3D::SetDepthProjection(int depthExtent, const TRect& bounds, const TRect& plot) {
  projectionCentreX_ = (plot.Left + plot.Right) / 2;
  projectionCentreY_ = (plot.Top + plot.Bottom) / 2;
  depthCentre_ = depthExtent / 2;
  (void)bounds;
}

void TChartCanvas3D::FinishDrawing(TCanvas* destination, TCanvas* afterwards, const TRect& bounds) {
  if (buffered_ && buffer_ && destination) {
    // The control's own surface, whole, takes the buffer's pixels in exchange for its
    // own: no copy of the frame. The buffer takes the picture back when it needs it.
    TPixelSurface& shown = destination->Surface();
    if (destination == afterwards && bounds.Left == 0 && bounds.Top == 0 &&
        destination->TakePixels(buffer_->Surface())) {
      lentTo_ = &shown;
    } else {
      destination->Draw(bounds.Left, bounds.Top, buffer_->Surface());
    }
    stale_ = false;
    if (bounds.Left == 0 && bounds.Top == 0)
      NoteShown(destination);
    else
      shownOn_ = nullptr;
    // Armed last: noting what the surface shows is an operation on it too.
    if (lentTo_) shown.BeforeNextChange([this] { Reclaim(); });
  }
  BindSurface(afterwards);
}

bool TChartCanvas3D::RepaintFromBuffer() {
  if (stale_ || !buffer_ || !surface_) return false;
  if (shownOn_ == &surface_->Surface() && shownGeneration_ == shownOn_->Generation() &&
      bufferGeneration_ == buffer_->Surface().Generation())
    return true;  // the surface still shows exactly the buffer
  Reclaim();
  surface_->Draw(0, 0, buffer_->Surface());
  NoteShown(surface_);
  return true;
}

void TChartCanvas3D::EnterFrontPlane() {
  savedDepthMode_ = depthMode_;
  depthMode_ = false;
}

void TChartCanvas3D::DrawRectangleAtDepth(const TRect& rect, int) {
  const TPoint corners[4] = {{rect.Left, rect.Top},
                             {rect.Right, rect.Top},
                             {rect.Right, rect.Bottom},
                             {rect.Left, rect.Bottom}};
  DrawPolygon(corners, 3);
}

}  // namespace quarvel
