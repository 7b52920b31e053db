#pragma once
// The title block above the plot (and the foot block below it) and the back wall, the
// frame around the plotting rectangle.
//
// A title takes n lines x line height + 5 pixels off the top (the foot: off the
// bottom) of PlotRect; with no lines it takes nothing. The back wall is drawn on
// PlotRect's own border pixels (left ... right, top ... bottom, inclusive).

#include <string>
#include <vector>

#include "chart/panel/ChartPanel.h"
#include "base/NotifyingSettings.h"

namespace quarvel {

// The default chart font: "Arial", 8 points, black, no style.
void InitChartFont(TFont& font);

// A part of a chart whose setters store a changed value and invalidate the chart.
class TChartPart : public TNotifyingSettings<TChartPart> {
 public:
  explicit TChartPart(TCustomChartPanel* panel) : panel_(panel) {}
  virtual ~TChartPart() = default;

 protected:
  TCustomChartPanel* panel_;

 private:
  friend TNotifyingSettings<TChartPart>;
  void SettingChanged() { panel_->InvalidateChart(); }
};

// A chart part that owns a font (the default chart font in `color`); font changes
// invalidate the chart.
class TChartFontObject : public TChartPart {
 public:
  explicit TChartFontObject(TCustomChartPanel* panel, TColor color = clBlack);
  TFont& Font() { return font_; }
  const TFont& Font() const { return font_; }

 protected:
  TFont font_;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TChartTitle : public TChartFontObject {
 public:
  explicit TChartTitle(TCustomChartPanel* panel);

  bool AdjustFrame() const { return adjustFrame_; }
  void SetAdjustFrame(bool v) { Set(adjustFrame_, v); }
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v) { Set(alignment_, v); }
  TChartBrush& Brush() { return brush_; }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Set(color_, v); }
  TChartHiddenPen& Frame() { return frame_; }
  const std::vector<std::string>& Text() const { return text_; }
  void SetText(std::vector<std::string> lines) {
    text_ = std::move(lines);
    panel_->InvalidateChart();
  }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { Set(visible_, v); }

  // The block's rectangle as last drawn (right and bottom excluded), for hit tests.
  TRect TitleBlockRect;

  // Lays out and draws the block at the top or the bottom of PlotRect and takes its
  // room from PlotRect.
  void DrawTitleBlock(bool atTop);

 private:
  void DrawTitleLine(const std::string& text, int y, int left, int right, int wW);

  bool adjustFrame_ = true;
  TAlignment alignment_ = TAlignment::taCenter;
  TChartBrush brush_;
  TColor color_ = clAutoColor;
  TChartHiddenPen frame_;
  std::vector<std::string> text_;
  bool visible_ = true;
};

class TChartWall : public TChartPart {
 public:
  TChartWall(TCustomChartPanel* panel, TColor defaultColor);

  TColor Color() const { return color_; }
  void SetColor(TColor v) { Set(color_, v); }
  TChartBrush& Brush() { return brush_; }
  TChartPen& Pen() { return pen_; }
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { Set(dark3D_, v); }
  int Size() const { return size_; }
  void SetSize(int v) { Set(size_, v); }

  // Makes the wall's pen and brush the canvas pen and brush.
  void ApplyWallStyle();

 private:
  TColor color_;
  TChartBrush brush_;
  bool dark3D_ = true;
  TChartPen pen_;
  int size_ = 0;
};

// Draws the back wall around PlotRect (two-dimensional charts draw only this wall).
void DrawPlotWalls(TCustomChartPanel& panel, TChartWall& backWall);

}  // namespace quarvel
