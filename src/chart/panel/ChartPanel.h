#pragma once
// The chart's panel: the drawing canvas and its buffer, the margins and the plotting
// rectangle, the paint entry, the background and the bevels.
//
// The control itself is an abstract host (a window, or a bitmap when drawing without
// one): it gives the client size, a surface of its own and whole-control invalidation.
// A chart draws only inside its paint cycle, always completely, into the canvas'
// off-screen buffer; until InvalidateChart marks it stale, a paint only copies the
// buffer. PlotRect's right and bottom are its last column and row (inclusive).

#include <functional>
#include <memory>

#include "chart/panel/ChartCanvas.h"
#include "chart/panel/ChartPens.h"
#include "base/NotifyingSettings.h"
#include "platform/ControlHost.h"

namespace quarvel {

enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };

class TCustomChartPanel : public TNotifyingSettings<TCustomChartPanel> {
 public:
  // `host` must not be null and must outlive the panel (checked where checks are live).
  explicit TCustomChartPanel(TChartHost* host);
  virtual ~TCustomChartPanel();
  TCustomChartPanel(const TCustomChartPanel&) = delete;
  TCustomChartPanel& operator=(const TCustomChartPanel&) = delete;

  TChartCanvas3D& ChartCanvas() { return *canvas_; }
  const TChartCanvas3D& ChartCanvas() const { return *canvas_; }
  TChartHost* Host() const { return host_; }
  TView3DOptions& View3DOptions() { return view3DOptions_; }

  // The control's paint entry: copy the buffer when it is current, else draw.
  void HandlePaint();
  // Marks the picture stale and asks the host for a paint (nothing before the panel
  // is fully created).
  void InvalidateChart();
  // The host's size or position changed: everything is drawn again.
  void HandleResize() { InvalidateChart(); }
  // One complete drawing of the chart onto `surface` (not null) within `rect`.
  void DrawChart(TCanvas* surface, const TRect& rect);
  // Keeps PlotRect inside DrawBounds and non-empty; derives width, height, centre.
  // Runs whenever the paint moves PlotRect (margins, titles, axis room), so the axes'
  // PlaceAxisPixels always reads a consistent rectangle.
  void UpdatePlotGeometry();
  // The outer and inner bevels inside `rect`, the border between them; part of the
  // panel's step (after its background and image), before the titles and the axes.
  void DrawPanelBevels(const TRect& rect);
  // Makes `font` the canvas font (name, size, style, colour).
  void ApplyFont(const TFont& font);
  // The walls' brush: see the wall drawing.
  void PrepareFillBrush(TColor color, TBrushStyle style, TColor backColor);
  // A change handler that invalidates the chart, for owned pens, brushes and fonts.
  std::function<void()> StyleChangeHandler() {
    return [this] { InvalidateChart(); };
  }

  TColor Color() const { return color_; }
  void SetColor(TColor v) { Set(color_, v); }
  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut v) { Set(bevelInner_, v); }
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut v) { Set(bevelOuter_, v); }
  int BevelWidth() const { return bevelWidth_; }
  // ChartException "Bevel width must be >= 1" below 1; the old width stays.
  void SetBevelWidth(int v);
  int BorderWidth() const { return borderWidth_; }
  // ChartException "Border width must be >= 0" when negative; the old width stays.
  void SetBorderWidth(int v);
  int MarginLeft() const { return marginLeft_; }
  int MarginTop() const { return marginTop_; }
  int MarginRight() const { return marginRight_; }
  int MarginBottom() const { return marginBottom_; }
  void SetMarginLeft(int v) { Set(marginLeft_, v); }
  void SetMarginTop(int v) { Set(marginTop_, v); }
  void SetMarginRight(int v) { Set(marginRight_, v); }
  void SetMarginBottom(int v) { Set(marginBottom_, v); }
  bool View3D() const { return view3D_; }
  void SetView3D(bool v) { Set(view3D_, v); }
  int Chart3DPercent() const { return chart3DPercent_; }
  // 1 ... 100, else ChartException "3D effect percent must be between 1 and 100".
  void SetChart3DPercent(int v);
  bool Monochrome() const { return canvas_->IsMonochrome(); }
  void SetMonochrome(bool v) { canvas_->SetMonochromeMode(v); }
  bool IsPrinting() const { return false; }
  // True while the owner applies its design-time settings (see SetBackColor).
  bool Loading() const { return loading_; }
  // Ending the loading remembers the cursor the chart has then (LoadedCursor).
  void SetLoading(bool v) {
    if (loading_ && !v) loadedCursor_ = cursor_;
    loading_ = v;
  }
  // The chart's own cursor (an id, 0 the default): drags show the default cursor, the
  // next move without a drag shows the own one again, leaving the control the one it
  // had when loading ended.
  int Cursor() const { return cursor_; }
  void SetCursor(int v) {
    cursor_ = v;
    host_->ShowCursor(v);
  }
  int LoadedCursor() const { return loadedCursor_; }
  void ShowCursor(int v) { host_->ShowCursor(v); }
  bool Created() const { return created_; }

  // ---- background: a solid colour or a gradient
  // Background, (no) back image, then the bevels.
  virtual void PaintPanel(const TRect& rect);
  virtual void FillPanelBackground(const TRect& rect);
  virtual void DrawPanelImage(const TRect&) {}
  bool GradientVisible() const { return gradientVisible_; }
  void SetGradientVisible(bool v) { Set(gradientVisible_, v); }
  TColor GradientStartColor = clWhite;
  TColor GradientEndColor = clYellow;

  TRect PlotRect;
  int PlotWidth = 0;
  int PlotHeight = 0;
  int PlotCenterX = 0;
  int PlotCenterY = 0;
  int PlotDepth = 0;
  TRect DrawBounds;

 protected:
  // The ordered draw steps of one paint.
  virtual void DrawChartContents(const TRect& bounds) = 0;

 private:
  friend TNotifyingSettings<TCustomChartPanel>;
  void SettingChanged() { InvalidateChart(); }

  TChartHost* host_;
  TView3DOptions view3DOptions_;
  std::unique_ptr<TChartCanvas3D> canvas_;
  TColor color_ = clBtnFace;
  TBevelCut bevelInner_ = TBevelCut::bvNone;
  TBevelCut bevelOuter_ = TBevelCut::bvRaised;
  int bevelWidth_ = 1;
  int borderWidth_ = 0;
  int marginLeft_ = 3, marginTop_ = 4, marginRight_ = 3, marginBottom_ = 4;
  bool view3D_ = true;
  int chart3DPercent_ = 15;
  bool created_ = false;
  bool loading_ = false;
  int cursor_ = 0, loadedCursor_ = 0;
  bool gradientVisible_ = false;
};

}  // namespace quarvel
