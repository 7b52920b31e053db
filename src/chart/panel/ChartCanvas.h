#pragma once
// The chart's drawing canvas. Every pixel of a chart goes through one TChartCanvas3D.
//
// The canvas draws on the framework canvas it is bound to: the off-screen buffer while
// a buffered paint runs (between PrepareDrawing and FinishDrawing), the control's own
// surface at all other times. Its Pen(), Brush() and Font() are the bound canvas'
// objects, and their state persists between operations: an operation uses whatever
// the last caller left.
//
// The buffer holds the finished picture until the canvas is marked stale; a paint
// that is not stale only copies it (RepaintFromBuffer). A paint of the whole control
// shows its picture by exchanging the buffer's pixels with the control's surface
// rather than copying them; the buffer takes a copy back (from the surface) only when
// its picture is needed again: before the surface is next drawn on outside a paint,
// for a repaint onto another surface, or when Buffer() is read. The chart is two-dimensional:
// each depth-aware operation draws what its flat counterpart draws at x and y and
// ignores z. Coordinates follow the surface's half-open conventions (see
// platform/Raster.h).

#include <memory>
#include <string_view>

#include "chart/panel/ChartPens.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

namespace quarvel {

class TChartCanvas {
 public:
  virtual ~TChartCanvas() = default;

  // Draw on `surface` from now on (not owned); Pen, Brush and Font become its objects.
  void BindSurface(TCanvas* surface) { surface_ = surface; }
  TCanvas* BoundSurface() const { return surface_; }
  TPen& Pen() { return surface_->Pen(); }
  TBrush& Brush() { return surface_->Brush(); }
  TFont& Font() { return surface_->Font(); }

  // Pen clBlack / 1 / solid; brush clWhite / solid; font clBlack, 10 points;
  // background clWhite, transparent.
  void ResetDrawingState();
  // Makes the canvas pen draw as `pen`: clear when not Visible, the alternate-pixel
  // pen for SmallDots at width 1, otherwise a copy of its colour, width, style, mode.
  void ApplyChartPen(const TChartPen& pen);
  // The height of one text line: MeasureTextHeight("W") in the current font.
  int StandardLineHeight() { return MeasureTextHeight("W"); }

  virtual TColor GetBackgroundColor() = 0;
  virtual int GetBackgroundMode() = 0;
  virtual const void* SurfaceHandle() const = 0;
  virtual bool IsMonochrome() const = 0;
  virtual unsigned GetTextAlignment() = 0;
  virtual bool IsBuffered() const = 0;
  virtual void SetBackgroundColor(TColor rgb) = 0;
  virtual void SetBackgroundMode(int mode) = 0;
  virtual void SetMonochromeMode(bool monochrome) = 0;
  virtual void PlotPixel(int x, int y, TColor color) = 0;
  virtual void SetTextAlignment(unsigned flags) = 0;
  virtual void SetBufferedMode(bool buffered) = 0;
  virtual void DrawArc(const TRect& box, TPoint start, TPoint end) = 0;
  virtual void DrawGraphicAt(int x, int y, const TBitmap* picture) = 0;
  virtual void DrawEllipse(int x0, int y0, int x1, int y1) = 0;
  virtual void FillWithBrush(const TRect& rect) = 0;
  // A bevel frame of `width` rings; shrinks `rect` by `width` on every side.
  virtual void DrawBevelFrame(TRect& rect, TColor topColor, int width, TColor bottomColor) = 0;
  virtual void DrawLineTo(int x, int y) = 0;
  virtual void MovePenTo(int x, int y) = 0;
  virtual void DrawPie(const TRect& box, TPoint start, TPoint end) = 0;
  virtual void DrawRectangle(int x0, int y0, int x1, int y1) = 0;
  virtual void DrawRoundedRectangle(const TRect& box, int cornerWidth, int cornerHeight) = 0;
  virtual void StretchGraphicInto(const TRect& rect, const TBitmap* picture) = 0;
  virtual void OutputText(int x, int y, std::string_view text) = 0;
  virtual int MeasureTextWidth(std::string_view text) = 0;
  virtual int MeasureTextHeight(std::string_view text) = 0;
  virtual void ClipToRect(const TRect& rect) = 0;
  virtual void DrawHorizontalLine(int x0, int x1, int y) = 0;
  virtual void OutlineRect(const TRect& rect) = 0;
  virtual void DrawVerticalLine(int x, int y0, int y1) = 0;
  virtual void FillBackground(const TRect& rect) = 0;
  enum class TGradientDirection { gdTopBottom, gdBottomTop, gdLeftRight, gdRightLeft };
  virtual void FillGradientRect(const TRect& rect, TColor startColor, TGradientDirection direction,
                                TColor endColor) = 0;
  virtual void MarkStale() = 0;
  virtual void DrawLine(int x0, int y0, int x1, int y1) = 0;
  // Closed polygon through points[0 ... last].
  virtual void DrawPolygon(const TPoint* points, int last) = 0;
  virtual void OutputRotatedText(int x, int y, int degrees, std::string_view text) = 0;
  virtual void RemoveClip() = 0;

 protected:
  TCanvas* surface_ = nullptr;
};

class TCanvas3D : public TChartCanvas {
 public:
  virtual void PlotPointAtDepth(int x, int y, TColor color, int z) = 0;
  virtual bool RendersDepthNatively() const = 0;
  virtual bool RendersDepthText() const = 0;
  virtual void PlaneToDepthPoint(int& x, int& y, int z) = 0;
  virtual TPoint ProjectPointAtDepth(int x, int y, int z) = 0;
  // Starts a paint; returns the rectangle to draw in.
  virtual TRect PrepareDrawing(TCanvas* destination, TView3DOptions* options, TColor backColor,
                               bool depthMode, const TRect& bounds) = 0;
  virtual void CopyCanvasSettings(const TCanvas3D& other) = 0;
  virtual void SetDepthProjection(int depthExtent, const TRect& bounds, const TRect& plot) = 0;
  // Ends a paint: copies the buffer to `destination` at the bounds' top-left (when
  // buffered), then binds `afterwards`.
  virtual void FinishDrawing(TCanvas* destination, TCanvas* afterwards, const TRect& bounds) = 0;
  // Repaints the bound surface from the buffer unless stale; false when it could not.
  virtual bool RepaintFromBuffer() = 0;
  virtual void ClipToPlotBox(const TRect& rect, int z0, int z1) = 0;
  virtual void DrawHorizontalLineAtDepth(int x0, int x1, int y, int z) = 0;
  virtual void DrawVerticalLineAtDepth(int x, int y0, int y1, int z) = 0;
  virtual void DrawDepthLine(int x, int y, int z0, int z1) = 0;
  virtual void EnterFrontPlane() = 0;
  virtual void LeaveFrontPlane() = 0;
  virtual void DrawLineAtDepth(int x0, int y0, int x1, int y1, int z) = 0;
  virtual void MovePenToAtDepth(int x, int y, int z) = 0;
  virtual void DrawLineToAtDepth(int x, int y, int z) = 0;
  virtual void DrawRectangleAtDepth(const TRect& rect, int z) = 0;
  virtual void OutputTextAtDepth(int x, int y, std::string_view text, int z) = 0;
};

class TChartCanvas3D final : public TCanvas3D {
 public:
  TChartCanvas3D() = default;
  TChartCanvas3D(const TChartCanvas3D&) = delete;
  TChartCanvas3D& operator=(const TChartCanvas3D&) = delete;
  ~TChartCanvas3D() override { Unlend(); }

  TColor GetBackgroundColor() override { return surface_->GetBkColor(); }
  int GetBackgroundMode() override { return surface_->GetBkMode(); }
  const void* SurfaceHandle() const override { return surface_; }
  bool IsMonochrome() const override { return monochrome_; }
  unsigned GetTextAlignment() override { return surface_->GetTextAlign(); }
  bool IsBuffered() const override { return buffered_; }
  void SetBackgroundColor(TColor rgb) override { surface_->SetBkColor(rgb); }
  void SetBackgroundMode(int mode) override { surface_->SetBkMode(mode); }
  void SetMonochromeMode(bool monochrome) override;
  void PlotPixel(int x, int y, TColor color) override { surface_->SetPixel(x, y, color); }
  void SetTextAlignment(unsigned flags) override { surface_->SetTextAlign(flags); }
  void SetBufferedMode(bool buffered) override;
  void DrawArc(const TRect& box, TPoint start, TPoint end) override;
  void DrawGraphicAt(int x, int y, const TBitmap* picture) override;
  void DrawEllipse(int x0, int y0, int x1, int y1) override { surface_->Ellipse(x0, y0, x1, y1); }
  void FillWithBrush(const TRect& rect) override { surface_->FillRect(rect); }
  void DrawBevelFrame(TRect& rect, TColor topColor, int width, TColor bottomColor) override;
  void DrawLineTo(int x, int y) override { surface_->LineTo(x, y); }
  void MovePenTo(int x, int y) override { surface_->MoveTo(x, y); }
  void DrawPie(const TRect& box, TPoint start, TPoint end) override;
  void DrawRectangle(int x0, int y0, int x1, int y1) override {
    surface_->Rectangle(x0, y0, x1, y1);
  }
  void DrawRoundedRectangle(const TRect& box, int cornerWidth, int cornerHeight) override;
  void StretchGraphicInto(const TRect& rect, const TBitmap* picture) override;
  void OutputText(int x, int y, std::string_view text) override { surface_->TextOut(x, y, text); }
  int MeasureTextWidth(std::string_view text) override { return surface_->TextExtent(text).Width; }
  int MeasureTextHeight(std::string_view text) override {
    return surface_->TextExtent(text).Height;
  }
  void ClipToRect(const TRect& rect) override { surface_->SetClip(rect); }
  void DrawHorizontalLine(int x0, int x1, int y) override { DrawLine(x0, y, x1, y); }
  void OutlineRect(const TRect& rect) override {
    DrawRectangle(rect.Left, rect.Top, rect.Right, rect.Bottom);
  }
  void DrawVerticalLine(int x, int y0, int y1) override { DrawLine(x, y0, x, y1); }
  void FillBackground(const TRect& rect) override { surface_->FillRect(rect); }
  void FillGradientRect(const TRect& rect, TColor startColor, TGradientDirection direction,
                        TColor endColor) override;
  void MarkStale() override { stale_ = true; }
  void DrawLine(int x0, int y0, int x1, int y1) override;
  void DrawPolygon(const TPoint* points, int last) override { surface_->Polygon(points, last + 1); }
  void OutputRotatedText(int x, int y, int degrees, std::string_view text) override;
  void RemoveClip() override { surface_->RemoveClip(); }

  void PlotPointAtDepth(int x, int y, TColor color, int z) override;
  bool RendersDepthNatively() const override { return false; }
  bool RendersDepthText() const override { return false; }
  void PlaneToDepthPoint(int&, int&, int) override {}
  TPoint ProjectPointAtDepth(int x, int y, int) override { return {x, y}; }
  TRect PrepareDrawing(TCanvas* destination, TView3DOptions* options, TColor backColor,
                       bool depthMode, const TRect& bounds) override;
  void CopyCanvasSettings(const TCanvas3D& other) override { monochrome_ = other.IsMonochrome(); }
  void SetDepthProjection(int depthExtent, const TRect& bounds, const TRect& plot) override;
  void FinishDrawing(TCanvas* destination, TCanvas* afterwards, const TRect& bounds) override;
  bool RepaintFromBuffer() override;
  void ClipToPlotBox(const TRect& rect, int, int) override {
    ClipToRect({rect.Left + 1, rect.Top + 1, rect.Right, rect.Bottom - 1});
  }
  void DrawHorizontalLineAtDepth(int x0, int x1, int y, int) override {
    DrawHorizontalLine(x0, x1, y);
  }
  void DrawVerticalLineAtDepth(int x, int y0, int y1, int) override { DrawVerticalLine(x, y0, y1); }
  void DrawDepthLine(int x, int y, int, int) override { DrawLine(x, y, x, y); }
  void EnterFrontPlane() override;
  void LeaveFrontPlane() override { depthMode_ = savedDepthMode_; }
  void DrawLineAtDepth(int x0, int y0, int x1, int y1, int) override { DrawLine(x0, y0, x1, y1); }
  void MovePenToAtDepth(int x, int y, int) override { MovePenTo(x, y); }
  void DrawLineToAtDepth(int x, int y, int) override { DrawLineTo(x, y); }
  void DrawRectangleAtDepth(const TRect& rect, int z) override;
  void OutputTextAtDepth(int x, int y, std::string_view text, int) override {
    OutputText(x, y, text);
  }

  // Vertical lines, drawn as MovePenTo and DrawLineTo would draw them one by one.
  void DrawColumnLines(const TColumnLine* lines, int count) { surface_->ColumnLines(lines, count); }

  bool IsStale() const { return stale_; }
  // The buffer with the last finished picture (taken back from the surface it was
  // lent to), or null before the first buffered paint.
  const TBitmap* Buffer() {
    Reclaim();
    return buffer_.get();
  }
  bool DepthMode() const { return depthMode_; }
  double ZoomFactor() const { return zoomFactor_; }
  const TRect& LastBounds() const { return lastBounds_; }

 private:
  void DropBuffer();
  // Copies the picture back from the surface it was lent to, if it was.
  void Reclaim();
  // Forgets the surface the picture was lent to, without taking it back.
  void Unlend();
  // Notes that `surface` now shows the whole buffer, when it does.
  void NoteShown(TCanvas* surface);

  TView3DOptions* options_ = nullptr;
  bool orthogonal_ = false;
  int projectionCentreX_ = 0, projectionCentreY_ = 0, depthCentre_ = 0;
  bool depthMode_ = false;
  bool savedDepthMode_ = false;
  std::unique_ptr<TBitmap> buffer_;
  bool buffered_ = true;
  bool monochrome_ = false;
  bool stale_ = true;
  TRect lastBounds_;
  bool zoomText_ = true;
  double zoomFactor_ = 1.0;
  // The surface the whole buffer was last copied to, with its own and the buffer's
  // generation right after: while neither has changed, the surface still shows the
  // buffer and a repaint from the buffer need not copy it again.
  const TPixelSurface* shownOn_ = nullptr;
  uint64_t shownGeneration_ = 0;
  uint64_t bufferGeneration_ = 0;
  // The surface that holds the finished picture in the buffer's stead (the buffer holds
  // that surface's former pixels meanwhile), or null when the buffer holds it.
  TPixelSurface* lentTo_ = nullptr;
};

}  // namespace quarvel
