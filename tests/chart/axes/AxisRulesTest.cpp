// Axis rules that the window's configuration does not exercise, checked on small
// charts built for each: inversion in both mappings, the 64-bit pixel, label and tick
// switches, the centred grid, the position offset, negative ticks, the title, the
// increment search and the series that decide the automatic range.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <vector>

#include "MainChart.h"
#include "PlacedAxis.h"
#include "PixelAsserts.h"
#include "chart/control/Chart.h"
#include "base/Exception.h"
#include "platform/BitmapHost.h"

namespace quarvel {
namespace {

using testing::MainChart;
using testing::PixelsOf;

// A chart whose axes are placed from a plot rectangle by the axis' own code.
struct PlacedAxes {
  PlacedAxes(TRect plot) : host(800, 600), chart(&host) {
    chart.DrawBounds = {0, 0, 800, 600};
    chart.PlotRect = plot;
    chart.UpdatePlotGeometry();
  }
  TCustomChartAxis& Place(TCustomChartAxis& a, double min, double max) {
    return testing::PlaceWithRange(a, min, max);
  }
  TBitmapHost host;
  TChart chart;
};

TEST(AxisMappingRules, BothDirectionsPlainAndInverted) {
  // Pixels 100 ... 700 across and 50 ... 350 down; ranges 0 ... 600 and 0 ... 300, so a
  // value is its own pixel offset.
  const struct {
    const char* name;
    bool horizontal, inverted;
    double value;
    int pixel;
  } cases[] = {
      {"horizontal minimum", true, false, 0, 100},
      {"horizontal 2.5 rounds to even", true, false, 2.5, 102},
      {"horizontal 3.5 rounds to even", true, false, 3.5, 104},
      {"horizontal -2.5 rounds to even", true, false, -2.5, 98},
      {"horizontal inverted minimum at the right", true, true, 0, 700},
      {"horizontal inverted 2.5", true, true, 2.5, 698},
      {"horizontal inverted maximum at the left", true, true, 600, 100},
      {"vertical minimum at the bottom", false, false, 0, 350},
      {"vertical 0.5 rounds to even", false, false, 0.5, 350},
      {"vertical 1.5 rounds to even", false, false, 1.5, 348},
      {"vertical inverted minimum at the top", false, true, 0, 50},
      {"vertical inverted 1.5", false, true, 1.5, 52},
      {"vertical inverted maximum at the bottom", false, true, 300, 350},
  };
  for (const auto& c : cases) {
    PlacedAxes f({100, 50, 700, 350});
    TCustomChartAxis& a =
        c.horizontal ? f.Place(f.chart.BottomAxis(), 0, 600) : f.Place(f.chart.LeftAxis(), 0, 300);
    a.SetInverted(c.inverted);
    EXPECT_EQ(a.ValueToPixel(c.value), c.pixel) << c.name;
    // Back from the pixel: the value whose pixel it is (exact for whole values).
    if (c.value == std::floor(c.value)) {
      EXPECT_DOUBLE_EQ(a.PixelToValue(c.pixel), c.value) << c.name;
    }
  }
}

TEST(AxisMappingRules, CentreOfThePlacedAxisTruncatesTowardZero) {
  const struct {
    const char* name;
    TRect plot;
    double start, end;
    int startPixel, endPixel, centre;
  } cases[] = {
      {"odd sum", {40, 10, 641, 210}, 0, 100, 40, 641, 340},
      {"negative odd sum", {40, 10, 641, 210}, -100, 0, -561, 40, -260},
      {"start and end positions", {100, 10, 500, 210}, 25, 75, 200, 400, 300},
  };
  for (const auto& c : cases) {
    PlacedAxes f(c.plot);
    TCustomChartAxis& a = f.chart.BottomAxis();
    a.SetStartPosition(c.start);
    a.SetEndPosition(c.end);
    f.Place(a, 5, 5);
    EXPECT_EQ(a.StartPixel, c.startPixel) << c.name;
    EXPECT_EQ(a.EndPixel, c.endPixel) << c.name;
    EXPECT_EQ(a.CenterPixel, c.centre) << c.name;
    EXPECT_EQ(a.ValueToPixel(123), c.centre) << c.name;  // a constant range maps to the centre
  }
}

TEST(AxisMappingRules, PixelsBeyondThirtyTwoBitsGoToTheCentre) {
  PlacedAxes f({100, 50, 700, 350});
  TCustomChartAxis& h = f.Place(f.chart.BottomAxis(), 0, 600);
  EXPECT_EQ(h.ValueToPixel(2147483000), 2147483100);  // still a 32-bit pixel
  EXPECT_EQ(h.ValueToPixel(2147483600), 400);         // 100 + offset does not fit
  h.SetInverted(true);
  EXPECT_EQ(h.ValueToPixel(-2147483600), 400);  // 700 - offset does not fit
  EXPECT_EQ(h.ValueToPixel(-2147482000), 2147482700);
  TCustomChartAxis& v = f.Place(f.chart.LeftAxis(), 0, 300);
  EXPECT_EQ(v.ValueToPixel(-2147483600), 200);

  // Extreme positions and offsets are limited instead of overflowing.
  for (double p : {1e300, -1e300, std::numeric_limits<double>::quiet_NaN()}) {
    TCustomChartAxis& a = f.chart.BottomAxis();
    a.SetStartPosition(p);
    a.SetEndPosition(-p);
    a.SetPositionPercent(p);
    a.PlaceAxisPixels();
    EXPECT_LE(std::abs(static_cast<long long>(a.StartPixel)), 1LL << 30);
    EXPECT_LE(std::abs(static_cast<long long>(a.EndPixel)), 1LL << 30);
  }
}

// The window's chart with fixed ranges and no points: only axes, labels, ticks, grid.
struct AxesOnly : MainChart {
  explicit AxesOnly(int height = 302) : MainChart(651, height) {
    chart.Title().SetVisible(false);
    chart.LeftAxis().ApplyFixedRange(0, 50);
    chart.BottomAxis().ApplyFixedRange(0, 10);
  }
  TColor At(int x, int y) { return ColorOfPixel(host.Bitmap().Surface().PixelAt(x, y)); }
  // Rows inside the plot that carry a horizontal grid line (most of their pixels grey).
  std::set<int> GridRows() {
    std::set<int> rows;
    const TRect p = chart.PlotRect;
    for (int y = p.Top + 1; y < p.Bottom; ++y) {
      int grey = 0;
      for (int x = p.Left + 1; x < p.Right; ++x) grey += At(x, y) == clGray;
      if (grey > (p.Right - p.Left) / 4) rows.insert(y);
    }
    return rows;
  }
  // Black pixels left of the left axis' ticks: its label texts.
  int LabelInk() {
    int n = 0;
    for (int y = 2; y < chart.PlotRect.Bottom; ++y)
      for (int x = 2; x < chart.LeftAxis().LinePosition - 7; ++x) n += At(x, y) == clBlack;
    return n;
  }
};

TEST(AxisLabelRules, LabelsOnAxisDropsTheEndLabelsWithTheirTicks) {
  AxesOnly on;
  on.Redraw();
  const TCustomChartAxis& a = on.chart.LeftAxis();
  const std::vector<int> all = a.TickPositions();
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all.front(), a.StartPixel);  // 50, the top
  EXPECT_EQ(all.back(), a.EndPixel);     // 0, the bottom

  AxesOnly off;
  off.chart.LeftAxis().SetLabelsOnAxis(false);
  off.Redraw();
  EXPECT_EQ(off.chart.LeftAxis().TickPositions(), std::vector<int>(all.begin() + 1, all.end() - 1));
  EXPECT_LT(off.LabelInk(), on.LabelInk());
}

TEST(AxisLabelRules, TickOnLabelsOnlyAndLabelsSwitches) {
  AxesOnly shown;
  shown.Redraw();
  const std::vector<int> ticks = shown.chart.LeftAxis().TickPositions();
  const std::set<int> grid = shown.GridRows();
  EXPECT_GT(shown.LabelInk(), 0);

  // No labels and ticks only on labels: no tick, no grid line, no text.
  AxesOnly bare;
  bare.chart.LeftAxis().SetLabels(false);
  bare.Redraw();
  EXPECT_TRUE(bare.chart.LeftAxis().TickPositions().empty());
  EXPECT_TRUE(bare.GridRows().empty());
  EXPECT_EQ(bare.LabelInk(), 0);

  // No labels but ticks at every label value: ticks and grid as before, no text.
  AxesOnly ticked;
  ticked.chart.LeftAxis().SetLabels(false);
  ticked.chart.LeftAxis().SetTickOnLabelsOnly(false);
  ticked.Redraw();
  EXPECT_EQ(ticked.chart.LeftAxis().TickPositions(), ticks);
  EXPECT_EQ(ticked.GridRows(), grid);
  EXPECT_EQ(ticked.LabelInk(), 0);
  // Ticks at every label value and labels: each position once.
  AxesOnly both;
  both.chart.LeftAxis().SetTickOnLabelsOnly(false);
  both.Redraw();
  EXPECT_EQ(both.chart.LeftAxis().TickPositions(), ticks);
  const int line = ticked.chart.LeftAxis().LinePosition;
  for (int p : ticks)
    for (int x = line - 4; x <= line - 1; ++x) EXPECT_EQ(ticked.At(x, p), clGray) << x << "," << p;
}

TEST(AxisLabelRules, CentredGridLiesHalfwayBetweenTicks) {
  AxesOnly plain;
  plain.Redraw();
  const std::vector<int> ticks = plain.chart.LeftAxis().TickPositions();
  const TRect p = plain.chart.PlotRect;
  std::set<int> inside;
  for (int t : ticks)
    if (t > p.Top && t < p.Bottom) inside.insert(t);
  EXPECT_EQ(plain.GridRows(), inside);

  AxesOnly centred;
  centred.chart.LeftAxis().SetGridCentered(true);
  centred.Redraw();
  std::set<int> halfway;
  for (int line : CenteredGridPositions(ticks)) halfway.insert(line);
  EXPECT_EQ(centred.GridRows(), halfway);
  EXPECT_EQ(halfway.size(), ticks.size() - 1);
}

TEST(AxisLabelRules, RoundFirstLabelStartsAtAMultipleOfTheIncrement) {
  PlacedAxes f({100, 50, 700, 350});
  TCustomChartAxis& a = f.Place(f.chart.LeftAxis(), 0.3, 50.3);
  EXPECT_EQ(a.LabelValues(5).front(), 50);
  EXPECT_EQ(a.LabelValues(5).back(), 5);
  a.SetRoundFirstLabel(false);
  EXPECT_EQ(a.LabelValues(5).front(), 50.3);
  EXPECT_NEAR(a.LabelValues(5).back(), 0.3, 1e-12);
}

TEST(AxisLabelRules, PositionPercentMovesTheLineAcrossThePlot) {
  AxesOnly view;
  view.chart.LeftAxis().SetPositionPercent(10);
  view.chart.BottomAxis().SetPositionPercent(22);  // off the left axis' grid lines
  view.Redraw();
  const TRect p = view.chart.PlotRect;
  const int left = view.chart.LeftAxis().LinePosition,
            bottom = view.chart.BottomAxis().LinePosition;
  EXPECT_EQ(left, p.Left + static_cast<int>(std::nearbyint(0.1 * (p.Right - p.Left))));
  EXPECT_EQ(bottom, p.Bottom - static_cast<int>(std::nearbyint(0.22 * (p.Bottom - p.Top))));
  // The two-pixel axis lines: the line's own column (row) and the one before it.
  // Away from the grid lines, which are drawn over the axis lines.
  const int midY = view.chart.LeftAxis().TickPositions().at(1) + 3;
  const int midX = view.chart.BottomAxis().TickPositions().at(1) + 3;
  EXPECT_EQ(view.At(left, midY), clBlack);
  EXPECT_EQ(view.At(left - 1, midY), clBlack);
  EXPECT_EQ(view.At(midX, bottom), clBlack);
  EXPECT_EQ(view.At(midX, bottom - 1), clBlack);
}

TEST(AxisTickRules, NegativeAndInnerLengthsStartNextToTheLine) {
  const struct {
    const char* name;
    int outer, inner;
    std::vector<int> greyOffsets, plainOffsets;  // rows relative to the bottom axis line
  } cases[] = {
      {"default outer ticks", 4, 0, {1, 2, 3, 4}, {5}},
      {"outer -3 covers the line's rows", -3, 0, {1, 0, -1}, {-2, 2}},
      {"inner 3 runs into the plot", 0, 3, {-1, -2, -3}, {-4, 1}},
  };
  for (const auto& c : cases) {
    AxesOnly view;
    view.chart.BottomAxis().SetTickLength(c.outer);
    view.chart.BottomAxis().SetTickInnerLength(c.inner);
    view.chart.BottomAxis().MinorTicks.SetVisible(false);
    view.chart.BottomAxis().Grid.SetVisible(false);
    view.Redraw();
    const TCustomChartAxis& a = view.chart.BottomAxis();
    ASSERT_GE(a.TickPositions().size(), 3u) << c.name;
    const int x = a.TickPositions()[1], line = a.LinePosition;
    for (int dy : c.greyOffsets)
      EXPECT_EQ(view.At(x, line + dy), clGray) << c.name << " row " << dy;
    for (int dy : c.plainOffsets)
      EXPECT_NE(view.At(x, line + dy), clGray) << c.name << " row " << dy;
  }
}

TEST(AxisTitle, DrawnInTheBandItReserves) {
  AxesOnly view;
  view.chart.BottomAxis().Title.SetCaption("x value");
  view.chart.BottomAxis().Title.Font().SetColor(clFuchsia);
  view.chart.LeftAxis().Title.SetCaption("y value");
  view.chart.LeftAxis().Title.Font().SetColor(clLime);
  view.Redraw();
  const TPixelSurface& s = view.host.Bitmap().Surface();
  const TCustomChartAxis &bottom = view.chart.BottomAxis(), &left = view.chart.LeftAxis();
  const auto bottomInk = PixelsOf(s, clFuchsia), leftInk = PixelsOf(s, clLime);
  ASSERT_FALSE(bottomInk.empty());
  ASSERT_FALSE(leftInk.empty());
  const int mid = (bottom.StartPixel + bottom.EndPixel) / 2;
  int minX = 1 << 30, maxX = -1;
  for (const auto& [x, y] : bottomInk) {
    EXPECT_GE(y, bottom.TitlePosition);
    EXPECT_LT(y, bottom.TitlePosition + 12);
    minX = std::min(minX, x), maxX = std::max(maxX, x);
  }
  EXPECT_LE(std::abs((minX + maxX) / 2 - mid), 2);  // centred on the axis
  int minY = 1 << 30, maxY = -1;
  for (const auto& [x, y] : leftInk) {
    EXPECT_GE(x, left.TitlePosition - 12);
    EXPECT_LT(x, left.TitlePosition);
    minY = std::min(minY, y), maxY = std::max(maxY, y);
  }
  EXPECT_GT(maxY - minY, 30);  // turned: the text runs down the axis
  EXPECT_LE(std::abs((minY + maxY) / 2 - (left.StartPixel + left.EndPixel) / 2), 2);
}

// The step rule as first written, one call per decade: the oracle of the loop.
double RecursiveNiceStep(double x) {
  if (!(x > 0) || !std::isfinite(x)) return x;
  if (x >= 10) return static_cast<double>(RecursiveNiceStep(static_cast<double>(x * 0.1L)) * 10.0L);
  if (x < 1) return static_cast<double>(RecursiveNiceStep(static_cast<double>(x * 10.0L)) * 0.1L);
  return x < 2 ? 2 : x < 5 ? 5 : 10;
}

TEST(NiceSteps, SameRoundingsAsTheRecursiveRuleOverTheWholeRange) {
  std::vector<double> xs = {std::numeric_limits<double>::denorm_min(),
                            std::numeric_limits<double>::min(),
                            std::numeric_limits<double>::max(),
                            9.999999999999999e-13,
                            1e-12,
                            0.1,
                            9.999999999999998};
  for (double x = 1e-320; x < 1e308; x *= 1.37) xs.push_back(x);
  int differing = 0;
  for (double x : xs)
    if (NextNiceStep(x) != RecursiveNiceStep(x) && differing++ < 3) ADD_FAILURE() << x;
  EXPECT_EQ(differing, 0);
  EXPECT_GT(xs.size(), 4000u);
}

TEST(LabelIncrement, GapAndLabelCountOfTheSearch) {
  // Labels 12 pixels high on a vertical axis 200 pixels long: gap Round(1.2) = 1, at
  // most Round(200 / 13) = 15 labels.
  const struct {
    const char* name;
    int length, separation;
    double min, max, increment;
  } cases[] = {
      {"0 ... 50 in fives", 200, 10, 0, 50, 5},
      {"16 steps of 1 are too many for 15 labels", 200, 10, 0, 16, 2},
      {"15 steps of 1 fit", 200, 10, 0, 15, 1},
      {"9 steps of 1 fit", 200, 10, 0, 9, 1},
      {"a gap of a whole label leaves 8", 200, 100, 0, 9, 2},
      {"no spacing rule: the start step", 200, 0, 0, 50, 1},
      {"a range of exactly 1 starts at 1", 200, 10, 0, 1, 1},
      {"shorter than half a label", 5, 10, 0, 50, 1e-12},
  };
  // Ends whose range is infinite, and not a number: the search never ends by itself,
  // its bound gives infinity.
  const double big = std::numeric_limits<double>::max();
  for (double low : {-big, std::numeric_limits<double>::quiet_NaN()}) {
    PlacedAxes f({100, 50, 700, 250});
    TCustomChartAxis& a = f.Place(f.chart.LeftAxis(), low, big);
    const double range = a.EffectiveRange;
    ASSERT_FALSE(std::isfinite(range));
    EXPECT_EQ(a.IncrementForLabelCount(15), std::numeric_limits<double>::infinity()) << range;
    a.SetIncrement(3e-12);
    EXPECT_EQ(a.IncrementForLabelCount(15), std::numeric_limits<double>::infinity()) << range;
    a.SetIncrement(5e-324);  // a denormal start stalls: the least increment
    EXPECT_EQ(a.IncrementForLabelCount(15), 1e-12) << range;
  }
  for (const auto& c : cases) {
    PlacedAxes f({100, 50, 700, 50 + c.length});
    TCustomChartAxis& a = f.Place(f.chart.LeftAxis(), c.min, c.max);
    a.SetLabelsSeparation(c.separation);
    f.chart.ApplyFont(a.LabelsFont);
    EXPECT_DOUBLE_EQ(a.ComputeLabelIncrement(), c.increment) << c.name;
  }
}

TEST(AutomaticRange, ActiveSeriesDecideAndInactiveOnesOnlyWhenNoneIs) {
  TBitmapHost host(300, 200);
  TChart chart(&host);
  TLineSeries shown, hidden;
  for (double x : {0.0, 10.0}) shown.AddPoint(x, x);
  for (double x : {-50.0, 100.0}) hidden.AddPoint(x, x);
  hidden.SetActive(false);
  shown.SetParentChart(&chart);
  hidden.SetParentChart(&chart);
  TCustomChartAxis& bottom = chart.BottomAxis();
  bottom.RefreshAutomaticRange();
  EXPECT_EQ(bottom.Minimum(), 0);
  EXPECT_EQ(bottom.Maximum(), 10);
  shown.SetActive(false);  // no active series uses the axis: every series counts
  bottom.RefreshAutomaticRange();
  EXPECT_EQ(bottom.Minimum(), -50);
  EXPECT_EQ(bottom.Maximum(), 100);
  shown.SetParentChart(nullptr);
  hidden.SetParentChart(nullptr);
}

TEST(AutomaticRange, MarginsWidenOnlyTheAutomaticEnds) {
  // A fixed maximum keeps its value; the automatic minimum gets the pointer's margin.
  MainChart view;
  for (double x : {1.0, 2.0, 3.0}) view.series.AddPoint(x, x);
  view.chart.LeftAxis().SetAutomaticMaximum(false);
  view.chart.LeftAxis().SetMaximum(10);
  view.Redraw();
  EXPECT_EQ(view.chart.LeftAxis().EffectiveMaximum, 10);
  EXPECT_LT(view.chart.LeftAxis().EffectiveMinimum, 1);

  // Unequal margins on the two ends.
  PlacedAxes f({20, 50, 620, 350});
  TCustomChartAxis& a = f.Place(f.chart.BottomAxis(), 1, 20);
  a.WidenRangeForMargins({3, 0, 1, 0});
  EXPECT_NEAR(a.EffectiveMinimum, 1 - 3 * 19 / 596.0, 1e-12);
  EXPECT_NEAR(a.EffectiveMaximum, 20 + 1 * 19 / 596.0, 1e-12);
}

TEST(AxisSpace, LabelsAndMinorTicksDecideTheRoomTaken) {
  const struct {
    const char* name;
    bool labels;
    int minorLength;
    int leftOfLine;  // PlotRect.Left - the margin, without the label width
  } cases[] = {
      {"labels, ticks of 4 on a line of 2", true, 2, 6},
      {"no labels: only the ticks", false, 2, 6},
      {"minor ticks longer than the ticks", true, 10, 10},
  };
  for (const auto& c : cases) {
    AxesOnly view;
    view.chart.LeftAxis().SetLabels(c.labels);
    view.chart.LeftAxis().SetMinorTickLength(c.minorLength);
    view.Redraw();
    const int labels = c.labels ? view.chart.LeftAxis().MaxValueLabelWidth() : 0;
    EXPECT_EQ(view.chart.PlotRect.Left, MulDiv(3, 651, 100) + labels + c.leftOfLine) << c.name;
  }
}

TEST(AxisTickRules, MinorMarksOnlyStrictlyInsideTheAxis) {
  // 0 ... 52.5 over 210 pixels, labels every 5 (20 pixels): the minor marks above the
  // top label fall 5, 10 and 15 pixels above it, the second one on StartPixel itself.
  auto build = [](int height) {
    auto view = std::make_unique<AxesOnly>(height);
    view->chart.LeftAxis().ApplyFixedRange(0, 52.5);
    view->chart.LeftAxis().SetIncrement(5);
    view->Redraw();
    return view;
  };
  // The margins are percentages of the height: find the height that gives 210.
  int height = 302;
  auto view = build(height);
  for (int tries = 0; tries < 10 && view->chart.LeftAxis().PixelLength != 210; ++tries) {
    height += 210 - view->chart.LeftAxis().PixelLength;
    view = build(height);
  }
  const TCustomChartAxis& a = view->chart.LeftAxis();
  ASSERT_EQ(a.PixelLength, 210);
  ASSERT_EQ(a.TickPositions().front(), a.StartPixel + 10);
  const int line = a.LinePosition;
  EXPECT_EQ(view->At(line - 2, a.StartPixel + 5), clGray);  // inside: drawn
  EXPECT_NE(view->At(line - 2, a.StartPixel), clGray);      // on the end: not drawn
}

TEST(AutomaticRange, FlagsAreCoupled) {
  const struct {
    const char* name;
    bool setMinimumFirst;  // which one is switched off and on again
  } cases[] = {{"minimum", true}, {"maximum", false}};
  for (const auto& c : cases) {
    TBitmapHost host(300, 200);
    TChart chart(&host);
    TCustomChartAxis& a = chart.LeftAxis();
    auto set = [&](bool minimum, bool v) {
      minimum ? a.SetAutomaticMinimum(v) : a.SetAutomaticMaximum(v);
    };
    set(c.setMinimumFirst, false);
    EXPECT_FALSE(a.Automatic()) << c.name;
    set(!c.setMinimumFirst, false);
    set(c.setMinimumFirst, true);  // the other one is still off
    EXPECT_FALSE(a.Automatic()) << c.name;
    set(!c.setMinimumFirst, true);
    EXPECT_TRUE(a.Automatic()) << c.name;
    a.SetAutomatic(false);
    EXPECT_FALSE(a.AutomaticMinimum() || a.AutomaticMaximum()) << c.name;
    a.SetAutomatic(true);
    EXPECT_TRUE(a.AutomaticMinimum() && a.AutomaticMaximum()) << c.name;
  }
}

// Measuring the labels moves the label handler out of the way; a pattern too long to
// format must not lose it.
TEST(AxisSpace, LabelHandlerSurvivesALabelThatCannotBeFormatted) {
  TBitmapHost host(400, 300);
  TChart chart(&host);
  int calls = 0;
  chart.OnGetAxisLabel = [&](TCustomChartAxis*, TChartSeriesBase*, int, std::string&) { ++calls; };
  TCustomChartAxis& axis = chart.LeftAxis();
  axis.SetRoundFirstLabel(false);  // else the increment search meets the pattern first
  axis.SetAxisValuesFormat(std::string(225, '0'));
  EXPECT_THROW(axis.MaxValueLabelWidth(), EConvertError);
  ASSERT_TRUE(chart.OnGetAxisLabel) << "the handler was lost";
  const int before = calls;
  std::string text;
  chart.OnGetAxisLabel(&axis, nullptr, -1, text);
  EXPECT_EQ(calls, before + 1) << "the handler put back is the one bound";
}

}  // namespace
}  // namespace quarvel
