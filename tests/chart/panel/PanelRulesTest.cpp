// Pixel rules of the chart panel that the window's configuration does not exercise:
// bevels of every cut and width, the border, title and foot placement, framed and
// aligned title boxes, back wall brushes, BackColor, and the state after a paint.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "MainChart.h"
#include "PixelAsserts.h"
#include "chart/panel/ChartException.h"
#include "platform/GraphicsObjects.h"

namespace quarvel {
namespace {

using testing::FramePixels;
using testing::MainChart;
using testing::PixelSet;
using testing::PixelsOf;

constexpr TColor kShadow = 0x808080, kHighlight = 0xFFFFFF, kPanel = 0x336699;

// The window's chart with only its panel drawn: no title, no axes, no points.
struct BarePanel : MainChart {
  BarePanel(int w = 100, int h = 80) : MainChart(w, h) {
    ResetSystemColors();
    chart.Title().SetVisible(false);
    chart.SetAxisVisible(false);
  }
  TColor At(int x, int y) { return ColorOfPixel(host.Bitmap().Surface().PixelAt(x, y)); }
};

struct Ring {
  TColor topLeft, bottomRight;
};

std::vector<Ring> RingsOf(TBevelCut cut, int width) {
  switch (cut) {
    case TBevelCut::bvLowered:
      return std::vector<Ring>(width, {kShadow, kHighlight});
    case TBevelCut::bvRaised:
      return std::vector<Ring>(width, {kHighlight, kShadow});
    case TBevelCut::bvSpace:
      return std::vector<Ring>(width, {kHighlight, kHighlight});
    default:
      return {};
  }
}

TEST(PanelBevels, RingsOfEachCutWidthAndBorder) {
  const struct {
    const char* name;
    TBevelCut outer, inner;
    int bevelWidth, borderWidth;
  } cases[] = {
      {"raised outer of width 2", TBevelCut::bvRaised, TBevelCut::bvNone, 2, 0},
      {"lowered inner inside a border of 2", TBevelCut::bvNone, TBevelCut::bvLowered, 1, 2},
      {"space outside and inside, width 3, border 1", TBevelCut::bvSpace, TBevelCut::bvSpace, 3, 1},
      {"raised outer, border 2, lowered inner, width 2", TBevelCut::bvRaised, TBevelCut::bvLowered,
       2, 2},
      {"lowered outer, raised inner", TBevelCut::bvLowered, TBevelCut::bvRaised, 1, 0},
  };
  for (const auto& c : cases) {
    BarePanel view(400, 300);  // margins of 12 pixels: the plot stays clear of the rings
    view.chart.SetColor(kPanel);
    view.chart.SetBevelOuter(c.outer);
    view.chart.SetBevelInner(c.inner);
    view.chart.SetBevelWidth(c.bevelWidth);
    view.chart.SetBorderWidth(c.borderWidth);
    view.Redraw();
    std::vector<Ring> rings = RingsOf(c.outer, c.bevelWidth);
    rings.insert(rings.end(), c.borderWidth, Ring{kPanel, kPanel});
    const std::vector<Ring> inner = RingsOf(c.inner, c.bevelWidth);
    rings.insert(rings.end(), inner.begin(), inner.end());

    // Ring i of a W x H control: top-left colour on its left column and top row, the
    // bottom-right colour on its right column and bottom row, corners included.
    const int w = 400, h = 300, n = static_cast<int>(rings.size());
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int i = std::min({x, y, w - 1 - x, h - 1 - y});
        if (i > n) continue;
        const TColor expected =
            i == n ? kPanel
                   : (x == w - 1 - i || y == h - 1 - i ? rings[i].bottomRight : rings[i].topLeft);
        if (view.At(x, y) != expected && wrong++ < 3)
          ADD_FAILURE() << c.name << " at " << x << "," << y;
      }
    EXPECT_EQ(wrong, 0) << c.name;
    // The border, not the bevels, lies outside the margins.
    EXPECT_EQ(view.chart.PlotRect.Left, c.borderWidth + MulDiv(3, w, 100)) << c.name;
    EXPECT_EQ(view.chart.PlotRect.Bottom, h - c.borderWidth - MulDiv(4, h, 100)) << c.name;
  }
}

TEST(PanelBevels, RejectedWidthsKeepTheOldValue) {
  BarePanel view;
  view.chart.SetBevelWidth(3);
  view.chart.SetBorderWidth(2);
  view.chart.HandlePaint();
  const int before = view.host.Invalidations;
  EXPECT_THROW(view.chart.SetBevelWidth(0), ChartException);
  EXPECT_THROW(view.chart.SetBorderWidth(-1), ChartException);
  EXPECT_EQ(view.chart.BevelWidth(), 3);
  EXPECT_EQ(view.chart.BorderWidth(), 2);
  EXPECT_EQ(view.host.Invalidations, before);
  view.chart.SetBorderWidth(0);  // no border is a valid border
  EXPECT_EQ(view.chart.BorderWidth(), 0);
}

// The leftmost column and the rows of the ink of one colour.
struct Ink {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
};
Ink InkOf(const TPixelSurface& s, TColor color) {
  Ink ink;
  for (const auto& [x, y] : PixelsOf(s, color)) {
    ink.left = std::min(ink.left, x);
    ink.right = std::max(ink.right, x);
    ink.top = std::min(ink.top, y);
    ink.bottom = std::max(ink.bottom, y);
  }
  return ink;
}

TEST(TitleBlock, AlignmentMovesTheLineByItsRule) {
  // The same text in the same font: the glyphs' own bearings cancel out, so the ink
  // of the three alignments lies exactly as far apart as their origins.
  auto inkFor = [](TAlignment alignment) {
    MainChart view;
    view.chart.SetAxisVisible(false);
    view.chart.Title().SetAlignment(alignment);
    view.Redraw();
    return InkOf(view.host.Bitmap().Surface(), clBlue);
  };
  const Ink centre = inkFor(TAlignment::taCenter), left = inkFor(TAlignment::taLeftJustify),
            right = inkFor(TAlignment::taRightJustify);
  ASSERT_GE(centre.right, 0);
  const int l = 20, r = 631, width = 94, wW = 10;
  const int centreX = (l + r) / 2 - width / 2;
  EXPECT_EQ(left.left - centre.left, (l + wW / 2) - centreX);
  EXPECT_EQ(right.left - centre.left, (r - width - wW / 2) - centreX);
  EXPECT_EQ(left.top, centre.top);
  EXPECT_EQ(right.top, centre.top);
  EXPECT_GE(centre.top, 12);  // the line's cell starts at the margin
  EXPECT_LT(centre.bottom, 24);
}

TEST(TitleBlock, FramedBoxFitsTheTextAndTakesItsWidth) {
  const struct {
    const char* name;
    TAlignment alignment;
    TRect box;
  } cases[] = {
      {"centre", TAlignment::taCenter, {325 - 52, 12, 325 + 52, 26}},
      {"left", TAlignment::taLeftJustify, {20, 12, 20 + 104, 26}},
      {"right", TAlignment::taRightJustify, {631 - 104, 12, 631, 26}},
  };
  for (const auto& c : cases) {
    MainChart view;
    view.chart.SetAxisVisible(false);
    view.chart.Title().SetAlignment(c.alignment);
    view.chart.Title().Frame().SetVisible(true);
    view.chart.Title().Frame().SetColor(clRed);
    view.Redraw();
    EXPECT_EQ(view.chart.Title().TitleBlockRect, c.box) << c.name;
    EXPECT_EQ(PixelsOf(view.host.Bitmap().Surface(), clRed),
              FramePixels(c.box.Left, c.box.Top, c.box.Right, c.box.Bottom))
        << c.name;
    // One line, the frame on both sides of it, then the gap.
    EXPECT_EQ(view.chart.PlotRect.Top, 12 + 1 + 12 + 1 + 5) << c.name;
  }
}

TEST(TitleBlock, FootLineSitsOnTheBottomMargin) {
  MainChart view;
  view.chart.SetAxisVisible(false);
  view.chart.Title().SetVisible(false);
  view.chart.Foot().SetText({"Нулевая проекция"});
  view.Redraw();
  const Ink ink = InkOf(view.host.Bitmap().Surface(), clBlue);
  ASSERT_GE(ink.right, 0);
  EXPECT_GE(ink.top, 290 - 12);
  EXPECT_LT(ink.bottom, 290);
  EXPECT_GE(ink.left, (20 + 631) / 2 - 94 / 2);
  EXPECT_EQ(view.chart.PlotRect.Bottom, 290 - 12 - 5);

  // The title block fills its box with a solid title colour.
  MainChart filled;
  filled.chart.SetAxisVisible(false);
  filled.chart.Title().SetColor(clYellow);
  filled.Redraw();
  const TRect box = filled.chart.Title().TitleBlockRect;
  EXPECT_EQ(ColorOfPixel(filled.host.Bitmap().Surface().PixelAt(box.Left + 1, box.Top + 1)),
            clYellow);
  EXPECT_EQ(ColorOfPixel(filled.host.Bitmap().Surface().PixelAt(box.Right, box.Top + 1)),
            ColorToRGB(clBtnFace));
}

TEST(BackWall, BrushesFillThePlotInside) {
  const struct {
    const char* name;
    TColor wallColor, brushColor;
    TBrushStyle style;
    TColor lines, gaps;
  } cases[] = {
      {"solid", clRed, clWhite, TBrushStyle::bsSolid, clRed, clRed},
      {"cross on the brush colour", clRed, clWhite, TBrushStyle::bsCross, clRed, clWhite},
      {"cross in the back colour turns black", clWhite, clWhite, TBrushStyle::bsCross, clBlack,
       clWhite},
      {"cross in black on black turns white", clBlack, clBlack, TBrushStyle::bsCross, clWhite,
       clBlack},
      {"forward diagonal", clBlue, clWhite, TBrushStyle::bsFDiagonal, clBlue, clWhite},
  };
  // Which pixels of the 8 x 8 pattern cell are lines, by style.
  auto onLine = [](TBrushStyle style, int x, int y) {
    if (style == TBrushStyle::bsFDiagonal) return ((x - y) & 7) == 0;
    return (x & 7) == 0 || (y & 7) == 0;
  };
  for (const auto& c : cases) {
    BarePanel view(120, 90);
    view.chart.BackWall().SetColor(c.wallColor);
    view.chart.BackWall().Brush().SetColor(c.brushColor);
    view.chart.BackWall().Brush().SetStyle(c.style);
    view.Redraw();
    const TRect p = view.chart.PlotRect;
    int wrong = 0;
    for (int y = p.Top + 1; y < p.Bottom; ++y)
      for (int x = p.Left + 1; x < p.Right; ++x) {
        const bool line = onLine(c.style, x, y);
        if (view.At(x, y) != (line ? c.lines : c.gaps)) ++wrong;
      }
    EXPECT_EQ(wrong, 0) << c.name;
  }
}

TEST(BackWall, BackColorFillsOnlyOutsideLoading) {
  BarePanel view;
  view.chart.SetLoading(true);
  view.chart.SetBackColor(clYellow);
  EXPECT_EQ(view.chart.BackColor(), clYellow);
  EXPECT_EQ(view.chart.BackWall().Brush().Style(),
            TBrushStyle::bsClear);  // the design-time style stays
  view.Redraw();
  const TRect p = view.chart.PlotRect;
  EXPECT_EQ(view.At(p.Left + 3, p.Top + 3), ColorToRGB(clBtnFace));

  view.chart.SetLoading(false);
  view.chart.SetBackColor(clLime);
  EXPECT_EQ(view.chart.BackWall().Brush().Style(), TBrushStyle::bsSolid);
  view.Redraw();
  EXPECT_EQ(view.At(p.Left + 3, p.Top + 3), clLime);
}

TEST(PaintCycle, DrawingStateIsResetAfterEveryPaint) {
  MainChart view;
  for (double x : {1.0, 2.0, 3.0}) view.series.AddPoint(x, x);
  // A handler that leaves the canvas as the stems do, and more.
  view.series.AfterDrawValues = [&](TChartSeries*) {
    TChartCanvas3D& canvas = view.chart.ChartCanvas();
    canvas.Pen().SetColor(clBlue);
    canvas.Pen().SetWidth(3);
    canvas.Pen().SetStyle(TPenStyle::psDot);
    canvas.Brush().SetColor(clRed);
    canvas.Brush().SetStyle(TBrushStyle::bsCross);
    canvas.SetBackgroundMode(OPAQUE);
  };
  // The reset comes before OnAfterDraw: that handler already sees the fresh state.
  struct {
    TColor pen = 0, brush = 0;
    int width = 0;
    TPenStyle penStyle = TPenStyle::psClear;
    TBrushStyle brushStyle = TBrushStyle::bsClear;
  } seen;
  view.chart.OnAfterDraw = [&](TCustomAxisPanel*) {
    TChartCanvas3D& canvas = view.chart.ChartCanvas();
    seen = {canvas.Pen().Color(), canvas.Brush().Color(), canvas.Pen().Width(),
            canvas.Pen().Style(), canvas.Brush().Style()};
  };
  view.Redraw();
  EXPECT_EQ(seen.pen, clBlack);
  EXPECT_EQ(seen.width, 1);
  EXPECT_EQ(seen.penStyle, TPenStyle::psSolid);
  EXPECT_EQ(seen.brush, clWhite);
  EXPECT_EQ(seen.brushStyle, TBrushStyle::bsSolid);
}

TEST(PanelLayout, PlotWithoutWidthOrHeightSpansTheControl) {
  // Margins that meet: right = left, bottom = top. The plot then reaches a control's
  // width (height) beyond its left (top) edge; crossed margins leave one pixel.
  const struct {
    const char* name;
    int left, top, right, bottom;
    TRect plot;
  } cases[] = {
      {"margins that meet", 50, 50, 50, 50, {50, 40, 150, 120}},
      {"margins that cross", 60, 60, 60, 60, {60, 48, 61, 49}},
  };
  for (const auto& c : cases) {
    BarePanel view;
    view.chart.SetMarginLeft(c.left);
    view.chart.SetMarginTop(c.top);
    view.chart.SetMarginRight(c.right);
    view.chart.SetMarginBottom(c.bottom);
    view.Redraw();
    EXPECT_EQ(view.chart.PlotRect, c.plot) << c.name;
  }
}

TEST(ChartPensOnTheCanvas, SmallDotsKeepTheMixMode) {
  BarePanel view;
  TChartCanvas3D& canvas = view.chart.ChartCanvas();
  TChartPen dots;
  dots.SetSmallDots(true);
  dots.SetColor(clRed);
  canvas.Pen().SetMode(TPenMode::pmXor);
  canvas.ApplyChartPen(dots);
  EXPECT_EQ(canvas.Pen().Style(), TPenStyle::psAlternate);
  EXPECT_EQ(canvas.Pen().Mode(), TPenMode::pmXor);
  EXPECT_EQ(canvas.Pen().Color(), clRed);
}

}  // namespace
}  // namespace quarvel
