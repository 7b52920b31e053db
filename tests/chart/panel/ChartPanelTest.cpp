#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MainChart.h"
#include "PixelAsserts.h"
#include "chart/panel/ChartException.h"
#include "platform/GraphicsObjects.h"

namespace quarvel {
namespace {

using testing::MainChart;
using testing::PixelSet;
using testing::PixelsOf;

TEST(ChartLayout, MarginsGiveThePlotRectangle) {
  MainChart view;
  view.chart.Title().SetVisible(false);
  view.chart.SetAxisVisible(false);
  view.Redraw();
  EXPECT_EQ(view.chart.PlotRect, (TRect{20, 12, 631, 290}));
  EXPECT_EQ(view.chart.PlotWidth, 611);
  EXPECT_EQ(view.chart.PlotCenterX, 325);
}

TEST(ChartLayout, TitleAndFootTakeTheirLines) {
  const struct {
    const char* name;
    std::vector<std::string> title, foot;
    bool titleVisible;
    TRect plot;
  } cases[] = {
      {"one title line", {"Нулевая проекция"}, {}, true, {20, 12 + 12 + 5, 631, 290}},
      {"two title lines", {"a", "b"}, {}, true, {20, 12 + 24 + 5, 631, 290}},
      {"no lines", {}, {}, true, {20, 12, 631, 290}},
      {"invisible title", {"a"}, {}, false, {20, 12, 631, 290}},
      {"foot line", {}, {"f"}, true, {20, 12, 631, 290 - 12 - 5}},
  };
  for (const auto& c : cases) {
    MainChart view;
    view.chart.SetAxisVisible(false);
    view.chart.Title().SetText(c.title);
    view.chart.Title().SetVisible(c.titleVisible);
    view.chart.Foot().SetText(c.foot);
    view.Redraw();
    EXPECT_EQ(view.chart.PlotRect, c.plot) << c.name;
  }
}

TEST(ChartLayout, TitleLineIsCentredAndBlue) {
  MainChart view;
  view.chart.SetAxisVisible(false);
  view.Redraw();
  const PixelSet ink = PixelsOf(view.host.Bitmap().Surface(), clBlue);
  ASSERT_FALSE(ink.empty());
  const int left = (20 + 631) / 2 - 94 / 2;
  for (const auto& [x, y] : ink) {
    EXPECT_GE(x, left);
    EXPECT_LT(x, left + 94);
    EXPECT_GE(y, 12);
    EXPECT_LT(y, 24);
  }
  EXPECT_EQ(view.chart.Title().TitleBlockRect, (TRect{20, 12, 631, 24}));
}

TEST(ChartLayout, BevelAndBackWallPixels) {
  ResetSystemColors();
  MainChart view(200, 120);
  view.chart.Title().SetVisible(false);
  view.chart.SetAxisVisible(false);
  view.Redraw();
  const TPixelSurface& s = view.host.Bitmap().Surface();
  auto at = [&](int x, int y) { return ColorOfPixel(s.PixelAt(x, y)); };
  EXPECT_EQ(at(0, 0), 0x808080u);    // shadow, top-left
  EXPECT_EQ(at(0, 118), 0x808080u);  // left column down to H - 2
  EXPECT_EQ(at(0, 119), 0xFFFFFFu);  // the bottom-left corner is highlight
  EXPECT_EQ(at(198, 0), 0x808080u);  // top row up to W - 2
  EXPECT_EQ(at(199, 0), 0xFFFFFFu);  // the top-right corner is highlight
  EXPECT_EQ(at(199, 119), 0xFFFFFFu);
  EXPECT_EQ(at(1, 1), 0xC0C0C0u);  // button face inside

  // The back wall lies on the plot's own border pixels, left ... right inclusive.
  const TRect p = view.chart.PlotRect;
  PixelSet frame;
  for (int x = p.Left; x <= p.Right; ++x) frame.insert({x, p.Top}), frame.insert({x, p.Bottom});
  for (int y = p.Top; y <= p.Bottom; ++y) frame.insert({p.Left, y}), frame.insert({p.Right, y});
  EXPECT_EQ(PixelsOf(s, clBlack), frame);
}

TEST(ChartSettings, SettersCheckAndInvalidateOnlyOnChange) {
  MainChart view;
  view.Redraw();
  const int before = view.host.Invalidations;
  view.chart.SetMarginTop(4);
  EXPECT_EQ(view.host.Invalidations, before);
  EXPECT_FALSE(view.chart.ChartCanvas().IsStale());
  view.chart.SetMarginTop(5);
  EXPECT_EQ(view.host.Invalidations, before + 1);
  EXPECT_TRUE(view.chart.ChartCanvas().IsStale());

  try {
    view.chart.SetChart3DPercent(0);
    FAIL();
  } catch (const ChartException& e) {
    EXPECT_EQ(e.Message(), "3D effect percent must be between 1 and 100");
  }
  EXPECT_EQ(view.chart.Chart3DPercent(), 15);
  EXPECT_THROW(view.chart.SetMaxPointsPerPage(-1), ChartException);
  EXPECT_THROW(view.series.Pointer().SetHorizSize(0), ChartException);
  EXPECT_EQ(view.series.Pointer().HorizSize(), 1);
}

TEST(ChartPaint, ResizeRedrawsAtTheNewSize) {
  MainChart view;
  view.Redraw();
  view.host.SetClientSize(300, 200);
  view.chart.HandleResize();
  view.chart.HandlePaint();
  EXPECT_EQ(view.chart.ChartCanvas().Buffer()->Width(), 300);
  EXPECT_EQ(view.chart.PlotRect.Right, 300 - MulDiv(3, 300, 100) - 0);
}

TEST(ChartPaint, TinyAndDegenerateChartsStillPaint) {
  const struct {
    const char* name;
    int w, h;
    std::vector<std::pair<double, double>> points;
  } cases[] = {
      {"one pixel, one point", 1, 1, {{1, 1}}},
      {"no pixel at all", 0, 0, {{1, 1}, {2, 2}}},
      {"a constant series", 651, 302, {{1, 5}, {2, 5}, {3, 5}}},
      {"a range of 1e-10", 651, 302, {{1, 1}, {1 + 1e-10, 1 + 1e-10}}},
      {"nearly the whole double range", 651, 302, {{-1.7e308, -1.7e308}, {1.7e308, 1.7e308}}},
      {"a range far from zero", 651, 302, {{1e30, 1}, {1e30 + 1e16, 2}}},
      {"smaller than its margins", 20, 15, {{1, 1}, {2, 2}}},
  };
  for (const auto& c : cases) {
    MainChart view(c.w, c.h);
    for (const auto& [x, y] : c.points) view.series.AddPoint(x, y);
    view.Redraw();
    for (int i = 0; i < 4; ++i) {
      EXPECT_LE(view.chart.AxisList()[i]->TickPositions().size(),
                TCustomChartAxis::kMaxTickPositions)
          << c.name << ", axis " << i;
    }
  }
}

}  // namespace
}  // namespace quarvel
