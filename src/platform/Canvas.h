#pragma once
// The framework canvas: the owner of the drawing state for one pixel surface. Callers
// set its pen, brush and font objects; the raster it owns (platform/Raster.h) holds the
// state those objects resolve to and draws with it.
//
// Callers change Pen(), Brush() and Font(); an assigned object (even to the values it
// held) takes effect at the next operation, which makes it current on the surface
// with these side effects:
//   - a changed brush: bsSolid sets opaque background mode with the brush colour as
//     background colour; any other style sets transparent mode with the bitwise
//     complement of the brush colour;
//   - a changed font: the text colour becomes the font colour;
//   - a changed pen: its mode becomes the surface's mix mode.
// So SetBkMode/SetBkColor issued after a brush change stay in force until the next
// brush change. Colours are resolved (system colours to RGB) as they reach the surface.

#include <string_view>

#include "platform/GraphicsObjects.h"
#include "platform/PixelSurface.h"
#include "platform/Raster.h"

namespace quarvel {

class TCanvas {
 public:
  explicit TCanvas(TPixelSurface* surface);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  TFont& Font() { return font_; }
  TPixelSurface& Surface() { return raster_.Surface(); }
  // The state the objects resolve to, and the raster operations; what is set here
  // directly stays until the next change of an object overrides it.
  TRaster& Raster() { return raster_; }

  TColor GetBkColor();
  int GetBkMode();
  unsigned GetTextAlign();
  void SetBkColor(TColor color);
  void SetBkMode(int mode);
  void SetTextAlign(unsigned flags);
  void SetClip(const TRect& clip);
  void RemoveClip();
  const TRect& Clip() { return raster_.Clip(); }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  TPoint PenPos() const { return raster_.PenPos(); }
  void Polyline(const TPoint* points, int count);
  void ColumnLines(const TColumnLine* lines, int count);
  void Polygon(const TPoint* points, int count);
  void Rectangle(int x0, int y0, int x1, int y1);
  void Ellipse(int x0, int y0, int x1, int y1);
  void RoundRect(int x0, int y0, int x1, int y1, int cornerWidth, int cornerHeight);
  void Arc(const TRect& box, TPoint start, TPoint end);
  void Pie(const TRect& box, TPoint start, TPoint end);
  void SetPixel(int x, int y, TColor color);
  void FillRect(const TRect& rect);
  void TextOut(int x, int y, std::string_view text);
  TSize TextExtent(std::string_view text);
  void RotatedTextOut(int x, int y, double degrees, std::string_view text);
  // Plain copy of all of `source` with its top-left at (x, y).
  void Draw(int x, int y, const TPixelSurface& source);
  // Shows `source` here as Draw(0, 0, source) would, by exchanging the two buffers:
  // `source` is left with this surface's former pixels. False, with no pixel changed,
  // when the two cannot exchange (TPixelSurface::CanExchange) or a clip covers less
  // than the whole surface.
  bool TakePixels(TPixelSurface& source);

 private:
  void RequireState();

  TRaster raster_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  bool penChanged_ = true;
  bool brushChanged_ = true;
  bool fontChanged_ = true;
};

}  // namespace quarvel
