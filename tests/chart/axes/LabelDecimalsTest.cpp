// Labels that tell their values apart: the pattern with more decimals, the fewest that
// do, and the labels of a deep zoom as drawn.

#include "chart/axes/LabelDecimals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "MainChart.h"

namespace quarvel {
namespace {

TEST(LabelDecimals, PatternWithMoreDecimals) {
  const struct {
    const char* name;
    const char* pattern;
    int extra;
    const char* expected;
  } rows[] = {
      {"the axes' default", "#,##0.###", 2, "#,##0.###00"},
      {"no decimals yet: a point first", "0", 2, "0.00"},
      {"a point without decimals", "0.", 1, "0.0"},
      {"before the exponent", "0.0E+00", 2, "0.000E+00"},
      {"every section", "#,##0.00;(#,##0.00);'zero'", 1, "#,##0.000;(#,##0.000);'zero'"},
      {"a quoted point is text", "0 'p.'", 1, "0.0 'p.'"},
      {"a literal after the digits", "0.0 \"mm\"", 1, "0.00 \"mm\""},
      {"none asked", "#,##0.###", 0, "#,##0.###"},
      {"the general form stays", "", 3, ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(PatternWithMoreDecimals(r.pattern, r.extra), r.expected) << r.name;
}

TEST(LabelDecimals, FewestDecimalsThatTellNeighboursApart) {
  const struct {
    const char* name;
    std::vector<TLabelPlace> labels;
    const char* expected;
  } rows[] = {
      {"ordinary labels keep the pattern", {{20, 10}, {15, 60}, {10, 110}, {5, 160}}, "#,##0.###"},
      {"deep zoom: five more",
       {{10.50000004, 10}, {10.50000003, 60}, {10.50000002, 110}, {10.50000001, 160}},
       "#,##0.###00000"},
      {"steps of 0.0005: one more", {{0.002, 10}, {0.0015, 60}, {0.001, 110}}, "#,##0.###0"},
      {"alike at one pixel are not compared", {{5, 40}, {4.999999999999, 40}}, "#,##0.###"},
      {"only neighbours count", {{1.0001, 10}, {2, 60}, {1.0002, 110}}, "#,##0.###"},
      {"beyond what decimals show: the pattern", {{1e19 + 2048, 10}, {1e19, 60}}, "#,##0.###"},
      {"one label", {{10.5, 10}}, "#,##0.###"},
      {"none", {}, "#,##0.###"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(DistinctLabelPattern("#,##0.###", r.labels), r.expected) << r.name;
}

// The projection chart zoomed about 10.5 on both axes far beyond three decimals: every
// label drawn reads differently, on both axes.
TEST(LabelDecimals, DeepZoomDrawsDistinctLabels) {
  testing::MainChart c;
  std::vector<TProjectionPoint> points;
  points.reserve(128);
  for (int i = 0; i < 128; ++i) points.push_back({1 + i * 0.15, 10 + i * 0.01});
  c.Feed(points);
  c.chart.BottomAxis().ApplyFixedRange(10.5, 10.5000002);
  c.chart.LeftAxis().ApplyFixedRange(10.5, 10.5000002);
  std::vector<std::pair<TCustomChartAxis*, std::string>> texts;
  c.chart.OnGetAxisLabel = [&](TCustomChartAxis* axis, TChartSeriesBase*, int, std::string& text) {
    texts.emplace_back(axis, text);
  };
  c.Redraw();
  for (TCustomChartAxis* axis : {&c.chart.BottomAxis(), &c.chart.LeftAxis()}) {
    // The last labels the paint wrote for the axis are those it drew, one per tick.
    const std::size_t drawn = axis->TickPositions().size();
    std::vector<std::string> shown;
    for (auto it = texts.rbegin(); it != texts.rend() && shown.size() < drawn; ++it)
      if (it->first == axis) shown.push_back(it->second);
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(std::set<std::string>(shown.begin(), shown.end()).size(), shown.size())
        << shown.front() << " ... " << shown.back();
    EXPECT_NE(shown.front(), "10.5");
  }
  // The step is sized for the longer labels: along the bottom axis they do not touch.
  c.chart.ApplyFont(c.chart.BottomAxis().LabelsFont);
  const std::vector<int>& ticks = c.chart.BottomAxis().TickPositions();
  const int widest = c.chart.ChartCanvas().MeasureTextWidth("10.50000019");
  for (std::size_t i = 1; i < ticks.size(); ++i)
    EXPECT_GT(std::abs(ticks[i] - ticks[i - 1]), widest) << i;
}

}  // namespace
}  // namespace quarvel
