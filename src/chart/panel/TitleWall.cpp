#include "chart/panel/TitleWall.h"

#include <algorithm>

namespace quarvel {
namespace {

constexpr int kTitleToPlotGap = 5;

}  // namespace

void InitChartFont(TFont& font) {
  font.SetName("Arial");
  font.SetSize(8);
  font.SetColor(clBlack);
  font.SetStyle(0);
}

TChartFontObject::TChartFontObject(TCustomChartPanel* panel, TColor color) : TChartPart(panel) {
  InitChartFont(font_);
  font_.SetColor(color);
  font_.OnChange = panel->StyleChangeHandler();
}

TChartTitle::TChartTitle(TCustomChartPanel* panel) : TChartFontObject(panel, clBlue) {
  brush_.OnChange = panel->StyleChangeHandler();
  frame_.OnChange = panel->StyleChangeHandler();
}

void TChartTitle::DrawTitleBlock(bool atTop) {
  TChartCanvas3D& canvas = panel_->ChartCanvas();
  panel_->ApplyFont(font_);
  const int lineHeight = canvas.StandardLineHeight();
  const int n = static_cast<int>(text_.size());

  if (color_ == clAutoColor) {
    if (brush_.Style() != TBrushStyle::bsSolid) {
      canvas.Brush().Assign(brush_);
      canvas.SetBackgroundMode(TRANSPARENT);
    } else if (brush_.Color() == clAutoColor) {
      canvas.Brush().SetStyle(TBrushStyle::bsClear);
    } else {
      SetColor(brush_.Color());
      canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    }
  } else if (brush_.Style() != TBrushStyle::bsSolid) {
    canvas.Brush().Assign(brush_);
    canvas.SetBackgroundMode(OPAQUE);
    canvas.SetBackgroundColor(ColorToRGB(color_));
  } else {
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Brush().SetColor(color_);
  }

  const bool framed = frame_.Visible() && frame_.Color() != clAutoColor;
  const int fw = framed ? frame_.Width() : 0;
  const int left = panel_->PlotRect.Left + fw, right = panel_->PlotRect.Right - fw;
  int top, bottom;
  if (atTop) {
    top = panel_->PlotRect.Top + fw;
    bottom = top - kTitleToPlotGap;
  } else {
    bottom = panel_->PlotRect.Bottom - fw;
    top = bottom + kTitleToPlotGap;
  }
  TitleBlockRect = {left, top, right, bottom};

  int pw = 0;
  if (framed) {
    canvas.Pen().Assign(frame_);
    pw = frame_.Width();
  } else {
    canvas.Pen().SetStyle(TPenStyle::psClear);
  }
  if (atTop)
    TitleBlockRect.Bottom = top + n * lineHeight;
  else
    TitleBlockRect.Top = bottom - n * lineHeight;
  TitleBlockRect = {TitleBlockRect.Left - pw, TitleBlockRect.Top - pw, TitleBlockRect.Right + pw,
                    TitleBlockRect.Bottom + pw};

  const int wW = canvas.MeasureTextWidth("W");
  if (framed || canvas.Brush().Style() != TBrushStyle::bsClear) {
    if (adjustFrame_) {
      int widest = 0;
      for (const auto& line : text_) widest = std::max(widest, canvas.MeasureTextWidth(line));
      const int b = wW + widest;
      switch (alignment_) {
        case TAlignment::taLeftJustify:
          TitleBlockRect.Right = TitleBlockRect.Left + b;
          break;
        case TAlignment::taRightJustify:
          TitleBlockRect.Left = TitleBlockRect.Right - b;
          break;
        case TAlignment::taCenter: {
          const int mid = (TitleBlockRect.Left + TitleBlockRect.Right) / 2, half = b / 2;
          TitleBlockRect.Left = mid - half;
          TitleBlockRect.Right = mid + half;
        }
      }
    }
    canvas.OutlineRect(TitleBlockRect);
  }
  canvas.SetBackgroundMode(TRANSPARENT);

  if (atTop) {
    int y = top;
    for (const auto& line : text_) {
      DrawTitleLine(line, y, left, right, wW);
      y += lineHeight;
      bottom = y;
    }
  } else {
    for (auto it = text_.rbegin(); it != text_.rend(); ++it) {
      const int y = bottom - lineHeight;
      DrawTitleLine(*it, y, left, right, wW);
      bottom = y;
      top = y;
    }
  }
  if (framed) {
    if (atTop)
      bottom += pw;
    else
      top -= pw;
  }
  if (atTop)
    panel_->PlotRect.Top = bottom + kTitleToPlotGap;
  else
    panel_->PlotRect.Bottom = top - kTitleToPlotGap;
  panel_->UpdatePlotGeometry();
}

void TChartTitle::DrawTitleLine(const std::string& text, int y, int left, int right, int wW) {
  TChartCanvas3D& canvas = panel_->ChartCanvas();
  int x;
  switch (alignment_) {
    case TAlignment::taLeftJustify:
      x = left + wW / 2;
      break;
    case TAlignment::taRightJustify:
      x = right - canvas.MeasureTextWidth(text) - wW / 2;
      break;
    default:
      x = (left + right) / 2 - canvas.MeasureTextWidth(text) / 2;
  }
  if (canvas.RendersDepthNatively())
    canvas.OutputTextAtDepth(x, y, text, 0);
  else
    canvas.OutputText(x, y, text);
}

TChartWall::TChartWall(TCustomChartPanel* panel, TColor defaultColor)
    : TChartPart(panel), color_(defaultColor) {
  brush_.OnChange = panel->StyleChangeHandler();
  pen_.OnChange = panel->StyleChangeHandler();
}

void TChartWall::ApplyWallStyle() {
  TChartCanvas3D& canvas = panel_->ChartCanvas();
  canvas.ApplyChartPen(pen_);
  if (color_ == clAutoColor && brush_.Style() == TBrushStyle::bsSolid) {
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    return;
  }
  panel_->PrepareFillBrush(color_, brush_.Style(), brush_.Color());
}

void DrawPlotWalls(TCustomChartPanel& panel, TChartWall& backWall) {
  backWall.ApplyWallStyle();
  const TRect& p = panel.PlotRect;
  panel.ChartCanvas().DrawRectangle(p.Left, p.Top, p.Right + 1, p.Bottom + 1);
}

}  // namespace quarvel
