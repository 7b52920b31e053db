#include "platform/Canvas.h"

namespace quarvel {

TCanvas::TCanvas(TPixelSurface* surface) : surface_(surface) {
  pen_.SetNotifyEveryAssignment(true);
  brush_.SetNotifyEveryAssignment(true);
  font_.SetNotifyEveryAssignment(true);
  pen_.OnChange = [this] { penChanged_ = true; };
  brush_.OnChange = [this] { brushChanged_ = true; };
  font_.OnChange = [this] { fontChanged_ = true; };
}

void TCanvas::RequireState() {
  surface_->Touch();
  if (penChanged_) {
    surface_->SetPen(ColorToRGB(pen_.Color()), pen_.Width(), pen_.Style());
    surface_->SetMixMode(pen_.Mode());
    penChanged_ = false;
  }
  if (brushChanged_) {
    const TColor rgb = ColorToRGB(brush_.Color());
    surface_->SetBrush(rgb, brush_.Style());
    if (brush_.Style() == TBrushStyle::bsSolid) {
      surface_->SetBkMode(OPAQUE);
      surface_->SetBkColor(rgb);
    } else {
      surface_->SetBkMode(TRANSPARENT);
      surface_->SetBkColor(~rgb & 0xFFFFFF);
    }
    brushChanged_ = false;
  }
  if (fontChanged_) {
    surface_->SetFont(font_.Face());
    surface_->SetTextColor(ColorToRGB(font_.Color()));
    fontChanged_ = false;
  }
}

TColor TCanvas::GetBkColor() {
  RequireState();
  return surface_->BkColor();
}

int TCanvas::GetBkMode() {
  RequireState();
  return surface_->BkMode();
}

unsigned TCanvas::GetTextAlign() {
  RequireState();
  return surface_->TextAlign();
}

void TCanvas::SetBkColor(TColor color) {
  RequireState();
  surface_->SetBkColor(ColorToRGB(color));
}

void TCanvas::SetBkMode(int mode) {
  RequireState();
  surface_->SetBkMode(mode);
}

void TCanvas::SetTextAlign(unsigned flags) {
  RequireState();
  surface_->SetTextAlign(flags);
}

void TCanvas::SetClip(const TRect& clip) {
  RequireState();
  surface_->SetClip(clip);
}

void TCanvas::RemoveClip() {
  RequireState();
  surface_->RemoveClip();
}

void TCanvas::MoveTo(int x, int y) {
  RequireState();
  surface_->MoveTo(x, y);
}

void TCanvas::LineTo(int x, int y) {
  RequireState();
  surface_->LineTo(x, y);
}

void TCanvas::Polyline(const TPoint* points, int count) {
  RequireState();
  surface_->Polyline(points, count);
}

void TCanvas::Polygon(const TPoint* points, int count) {
  RequireState();
  surface_->Polygon(points, count);
}

void TCanvas::Rectangle(int x0, int y0, int x1, int y1) {
  RequireState();
  surface_->Rectangle(x0, y0, x1, y1);
}

void TCanvas::Ellipse(int x0, int y0, int x1, int y1) {
  RequireState();
  surface_->Ellipse(x0, y0, x1, y1);
}

void TCanvas::RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) {
  RequireState();
  surface_->RoundRect(x0, y0, x1, y1, cornerWidth, cornerHeight);
}

void TCanvas::Arc(const TRect& box, TPoint start, TPoint end) {
  RequireState();
  surface_->Arc(box, start, end);
}

void TCanvas::Pie(const TRect& box, TPoint start, TPoint end) {
  RequireState();
  surface_->Pie(box, start, end);
}

void TCanvas::RotatedTextOut(int x, int y, double degrees, std::string_view text) {
  RequireState();
  surface_->RotatedTextOut(x, y, degrees, text);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  RequireState();
  surface_->SetPixel(x, y, ColorToRGB(color));
}

void TCanvas::FillRect(const TRect& rect) {
  RequireState();
  surface_->FillRect(rect);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  RequireState();
  surface_->TextOut(x, y, text);
}

TSize TCanvas::TextExtent(std::string_view text) {
  RequireState();
  return surface_->TextExtent(text);
}

void TCanvas::Draw(int x, int y, const TPixelSurface& source) {
  RequireState();
  surface_->CopyFrom(source, x, y);
}

}  // namespace quarvel
