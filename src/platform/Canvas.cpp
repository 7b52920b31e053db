#include "platform/Canvas.h"

namespace quarvel {

TCanvas::TCanvas(TPixelSurface* surface) : raster_(surface) {
  pen_.SetNotifyEveryAssignment(true);
  brush_.SetNotifyEveryAssignment(true);
  font_.SetNotifyEveryAssignment(true);
  pen_.OnChange = [this] { penChanged_ = true; };
  brush_.OnChange = [this] { brushChanged_ = true; };
  font_.OnChange = [this] { fontChanged_ = true; };
}

void TCanvas::RequireState() {
  raster_.Surface().Touch();
  if (penChanged_) {
    raster_.SetPen(ColorToRGB(pen_.Color()), pen_.Width(), pen_.Style());
    raster_.SetMixMode(pen_.Mode());
    penChanged_ = false;
  }
  if (brushChanged_) {
    const TColor rgb = ColorToRGB(brush_.Color());
    raster_.SetBrush(rgb, brush_.Style());
    if (brush_.Style() == TBrushStyle::bsSolid) {
      raster_.SetBkMode(OPAQUE);
      raster_.SetBkColor(rgb);
    } else {
      raster_.SetBkMode(TRANSPARENT);
      raster_.SetBkColor(~rgb & 0xFFFFFF);
    }
    brushChanged_ = false;
  }
  if (fontChanged_) {
    raster_.SetFont(font_.Face());
    raster_.SetTextColor(ColorToRGB(font_.Color()));
    fontChanged_ = false;
  }
}

TColor TCanvas::GetBkColor() {
  RequireState();
  return raster_.BkColor();
}

int TCanvas::GetBkMode() {
  RequireState();
  return raster_.BkMode();
}

unsigned TCanvas::GetTextAlign() {
  RequireState();
  return raster_.TextAlign();
}

void TCanvas::SetBkColor(TColor color) {
  RequireState();
  raster_.SetBkColor(ColorToRGB(color));
}

void TCanvas::SetBkMode(int mode) {
  RequireState();
  raster_.SetBkMode(mode);
}

void TCanvas::SetTextAlign(unsigned flags) {
  RequireState();
  raster_.SetTextAlign(flags);
}

void TCanvas::SetClip(const TRect& clip) {
  RequireState();
  raster_.SetClip(clip);
}

void TCanvas::RemoveClip() {
  RequireState();
  raster_.RemoveClip();
}

void TCanvas::MoveTo(int x, int y) {
  RequireState();
  raster_.MoveTo(x, y);
}

void TCanvas::LineTo(int x, int y) {
  RequireState();
  raster_.LineTo(x, y);
}

void TCanvas::Polyline(const TPoint* points, int count) {
  RequireState();
  raster_.Polyline(points, count);
}

void TCanvas::ColumnLines(const TColumnLine* lines, int count) {
  RequireState();
  raster_.ColumnLines(lines, count);
}

void TCanvas::Polygon(const TPoint* points, int count) {
  RequireState();
  raster_.Polygon(points, count);
}

void TCanvas::Rectangle(int x0, int y0, int x1, int y1) {
  RequireState();
  raster_.Rectangle(x0, y0, x1, y1);
}

void TCanvas::Ellipse(int x0, int y0, int x1, int y1) {
  RequireState();
  raster_.Ellipse(x0, y0, x1, y1);
}

void TCanvas::RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight) {
  RequireState();
  raster_.RoundRect(x0, y0, x1, y1, cornerWidth, cornerHeight);
}

void TCanvas::Arc(const TRect& box, TPoint start, TPoint end) {
  RequireState();
  raster_.Arc(box, start, end);
}

void TCanvas::Pie(const TRect& box, TPoint start, TPoint end) {
  RequireState();
  raster_.Pie(box, start, end);
}

void TCanvas::RotatedTextOut(int x, int y, double degrees, std::string_view text) {
  RequireState();
  raster_.RotatedTextOut(x, y, degrees, text);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  RequireState();
  raster_.SetPixel(x, y, ColorToRGB(color));
}

void TCanvas::FillRect(const TRect& rect) {
  RequireState();
  raster_.FillRect(rect);
}

void TCanvas::TextOut(int x, int y, std::string_view text) {
  RequireState();
  raster_.TextOut(x, y, text);
}

TSize TCanvas::TextExtent(std::string_view text) {
  RequireState();
  return raster_.TextExtent(text);
}

void TCanvas::Draw(int x, int y, const TPixelSurface& source) {
  RequireState();
  raster_.CopyFrom(source, x, y);
}

bool TCanvas::TakePixels(TPixelSurface& source) {
  TPixelSurface& own = raster_.Surface();
  if (!own.CanExchange(source)) return false;
  RequireState();  // as Draw does
  if (raster_.Clip() != TRect{0, 0, own.Width(), own.Height()}) return false;
  own.ExchangePixels(source);
  return true;
}

}  // namespace quarvel
