// The chart's ways back: the view history on its own, the range arithmetic of the
// keys, and reset, back, forward, Esc and the right click on the projection chart.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "GestureDriver.h"
#include "MainChart.h"
#include "ModelFixtures.h"
#include "chart/axes/AxisReadout.h"
#include "chart/series/PointSearch.h"
#include "format/NumberFormat.h"

namespace quarvel {
namespace {

using testing::MainChart;

// ---------------------------------------------------------------------------
// The history with plain numbers as views.

struct HistoryOp {
  char op;  // 'R' record, 'B' back, 'F' forward
  int before = 0, after = 0, kind = 0;
  long long time = 0;
  std::optional<int> expect = std::nullopt;  // what Back or Forward returns
};
HistoryOp R(int before, int after, int kind = 0, long long time = 0) {
  return {'R', before, after, kind, time};
}
HistoryOp B(std::optional<int> e) { return {'B', 0, 0, 0, 0, e}; }
HistoryOp F(std::optional<int> e) { return {'F', 0, 0, 0, 0, e}; }
constexpr int W = 1;  // a merging kind

TEST(ViewHistory, Sequences) {
  const struct {
    const char* name;
    std::size_t capacity;
    std::vector<HistoryOp> ops;
  } cases[] = {
      {"back and forward walk the steps",
       100,
       {R(0, 1), R(1, 2), B(1), B(0), B(std::nullopt), F(1), F(2), F(std::nullopt)}},
      {"a new step after back drops the forward ones",
       100,
       {R(0, 1), R(1, 2), B(1), R(1, 5), F(std::nullopt), B(1), B(0)}},
      {"a step that changes nothing is not recorded", 100, {R(3, 3), B(std::nullopt)}},
      {"notches within the window merge, a pause starts a step",
       100,
       {R(0, 1, W, 0), R(1, 2, W, 400), R(2, 3, W, 1000), B(2), B(0), F(2), F(3)}},
      {"no merging after back and forward",
       100,
       {R(0, 1, W, 0), B(0), F(1), R(1, 2, W, 10), B(1), B(0)}},
      {"other kinds break a run",
       100,
       {R(0, 1, W, 0), R(1, 2, 0, 10), R(2, 3, W, 20), B(2), B(1), B(0)}},
      {"a run back where it began leaves no step",
       100,
       {R(7, 8, W, 0), R(8, 7, W, 10), B(std::nullopt)}},
      {"a clock going backwards does not merge",
       100,
       {R(0, 1, W, 500), R(1, 2, W, 100), B(1), B(0)}},
      {"full: the oldest step goes",
       3,
       {R(0, 1), R(1, 2), R(2, 3), R(3, 4), B(3), B(2), B(1), B(std::nullopt)}},
  };
  for (const auto& c : cases) {
    TViewHistory<int> h(c.capacity);
    for (std::size_t i = 0; i < c.ops.size(); ++i) {
      const HistoryOp& o = c.ops[i];
      if (o.op == 'R') {
        h.Record(o.before, o.after, o.kind, o.time, 500);
        continue;
      }
      const bool couldMove = o.op == 'B' ? h.CanGoBack() : h.CanGoForward();
      const std::optional<int> got = o.op == 'B' ? h.Back() : h.Forward();
      EXPECT_EQ(got, o.expect) << c.name << ", step " << i;
      EXPECT_EQ(couldMove, got.has_value()) << c.name << ", step " << i;
    }
  }
}

// ---------------------------------------------------------------------------
// The keys' range arithmetic.

TEST(KeyRanges, ScaledAndShifted) {
  const struct {
    const char* name;
    double min, max, scale, lo, hi;
  } scaled[] = {
      {"zoom in about the centre", 0, 10, 0.8, 1, 9},
      {"zoom out", 0, 10, 1.25, -1.25, 11.25},
      {"negative range", -20, -10, 0.5, -17.5, -12.5},
      {"straddling zero", -4, 4, 0.5, -2, 2},
      {"zero width stays", 3, 3, 0.8, 3, 3},
      {"overflow keeps the range", -1.5e308, 1.5e308, 1.25, -1.5e308, 1.5e308},
  };
  for (const auto& c : scaled) {
    const auto [lo, hi] = ScaledRange(c.min, c.max, c.scale);
    EXPECT_DOUBLE_EQ(lo, c.lo) << c.name;
    EXPECT_DOUBLE_EQ(hi, c.hi) << c.name;
  }
  const struct {
    const char* name;
    double min, max, fraction, lo, hi;
  } shifted[] = {
      {"a tenth up", 0, 10, 0.1, 1, 11},
      {"a tenth down", 1, 20, -0.1, -0.9, 18.1},
      {"tiny range", 1, 1 + 1e-9, 0.1, 1 + 1e-10, 1 + 1.1e-9},
      {"overflow keeps the range", 0, 1.7e308, 0.1, 0, 1.7e308},
  };
  for (const auto& c : shifted) {
    const auto [lo, hi] = ShiftedRange(c.min, c.max, c.fraction);
    EXPECT_DOUBLE_EQ(lo, c.lo) << c.name;
    EXPECT_DOUBLE_EQ(hi, c.hi) << c.name;
  }
}

// ---------------------------------------------------------------------------
// Readout numbers.

TEST(Readout, DecimalsTellNeighbouringPixelsApart) {
  const struct {
    double width;
    int decimals;
  } cases[] = {{0.033, 2},
               {2.5, 0},
               {1, 0},
               {0.01, 2},
               {0.5, 1},
               {1e-7, 7},
               {1e-30, 17},
               {0, -1},
               {-1, -1},
               {std::numeric_limits<double>::infinity(), -1},
               {std::nan(""), -1}};
  for (const auto& c : cases) EXPECT_EQ(ReadoutDecimals(c.width), c.decimals) << c.width;
  // Values one pixel apart never read the same.
  for (double width : {0.033, 0.01, 0.0007, 2.5, 1e-9})
    for (double v = 1; v < 2; v += 0.0937)
      EXPECT_NE(FormatReadoutValue(v, width), FormatReadoutValue(v + width, width)) << width;
}

TEST(Readout, TextsUseTheSeparators) {
  EXPECT_EQ(FormatReadoutValue(1234.5678, 0.033), "1,234.57");
  EXPECT_EQ(FormatReadoutValue(-0.25, 0.5), "-0.3");
  EXPECT_EQ(FormatReadoutValue(7.2, 3), "7");
  EXPECT_EQ(FormatReadoutValue(2.5e20, 0.01), "2.5E20");  // beyond plain digits
  SetNumberSeparators(",", ".");
  EXPECT_EQ(FormatReadoutValue(1234.5678, 0.033), "1.234,57");
  SetNumberSeparators(".", ",");
}

// ---------------------------------------------------------------------------
// On the projection chart at "256x256", painted twice (the layout settles).

struct Navigation : ::testing::Test {
  void SetUp() override {
    view.Feed(testing::StartUpPhantom(1)->Points);
    view.Redraw();
    view.Redraw();
    view.chart.HistoryClock = [this] { return now; };
    startUp = Ranges();
  }
  void Drag(TMouseButton button, int x0, int y0, int x1, int y1) {
    view.chart.ChartMouseDown(button, 0, x0, y0);
    view.chart.ChartMouseMove(0, (x0 + x1) / 2, (y0 + y1) / 2);
    view.chart.ChartMouseMove(0, x1, y1);
    view.chart.ChartMouseUp(button, 0, x1, y1);
    view.Redraw();
  }
  void Notch(int n) {
    for (int i = 0; i < n; ++i) {
      view.chart.ChartWheelDown();
      now += 50;
    }
    view.Redraw();
  }
  // The four ranges as shown, after a paint.
  std::vector<double> Ranges() {
    std::vector<double> r;
    for (int i = 0; i < 4; ++i)
      r.insert(r.end(), {view.chart.AxisList()[i]->EffectiveMinimum,
                         view.chart.AxisList()[i]->EffectiveMaximum});
    return r;
  }
  bool AllAutomatic() {
    for (int i = 0; i < 4; ++i)
      if (!view.chart.AxisList()[i]->Automatic()) return false;
    return true;
  }
  MainChart view;
  long long now = 0;
  std::vector<double> startUp;
};

TEST_F(Navigation, ResetBringsBackTheStartUpViewWhateverGotThere) {
  const struct {
    const char* name;
    std::function<void(Navigation&)> gesture;
  } cases[] = {
      {"wheel", [](Navigation& t) { t.Notch(3); }},
      {"pan", [](Navigation& t) { t.Drag(TMouseButton::mbRight, 300, 150, 340, 120); }},
      {"nested zooms",
       [](Navigation& t) {
         t.Drag(TMouseButton::mbLeft, 100, 60, 400, 200);
         t.Drag(TMouseButton::mbLeft, 150, 80, 300, 180);
       }},
      {"keys",
       [](Navigation& t) { t.view.chart.ZoomByKey(true), t.view.chart.PanByKey(false, -1); }},
  };
  for (const auto& c : cases) {
    c.gesture(*this);
    view.Redraw();
    ASSERT_NE(Ranges(), startUp) << c.name;
    view.chart.ResetView();
    view.Redraw();
    EXPECT_EQ(Ranges(), startUp) << c.name;
    EXPECT_TRUE(AllAutomatic()) << c.name;
    EXPECT_TRUE(view.chart.SavePending()) << c.name;
    EXPECT_FALSE(view.chart.IsZoomedIn()) << c.name;
    // Recording is armed again: the next zoom and its undo come back here.
    Drag(TMouseButton::mbLeft, 100, 60, 400, 200);
    Drag(TMouseButton::mbLeft, 400, 200, 100, 60);
    EXPECT_EQ(Ranges(), startUp) << c.name;
  }
}

TEST_F(Navigation, BackAndForwardThroughAMixedHistory) {
  TChart& c = view.chart;
  std::vector<std::vector<double>> views = {startUp};
  Drag(TMouseButton::mbLeft, 100, 60, 400, 200);  // zoom
  views.push_back(Ranges());
  Notch(4);  // four notches 50 ms apart: one step
  views.push_back(Ranges());
  now += 2000;
  Notch(1);  // after a pause: a step of its own
  views.push_back(Ranges());
  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);  // one pan drag, many moves
  for (int x = 301; x <= 320; ++x) c.ChartMouseMove(0, x, 150 - (x - 300));
  c.ChartMouseUp(TMouseButton::mbRight, 0, 320, 130);
  view.Redraw();
  views.push_back(Ranges());
  c.ZoomByKey(false);
  view.Redraw();
  views.push_back(Ranges());
  c.ResetView();
  view.Redraw();
  views.push_back(Ranges());
  EXPECT_EQ(views.back(), startUp);

  for (int i = static_cast<int>(views.size()) - 2; i >= 0; --i) {
    ASSERT_TRUE(c.GoBack()) << i;
    view.Redraw();
    EXPECT_EQ(Ranges(), views[i]) << "back to view " << i;
  }
  EXPECT_FALSE(c.GoBack());
  EXPECT_TRUE(AllAutomatic());
  for (std::size_t i = 1; i < views.size(); ++i) {
    ASSERT_TRUE(c.GoForward()) << i;
    view.Redraw();
    EXPECT_EQ(Ranges(), views[i]) << "forward to view " << i;
  }
  EXPECT_FALSE(c.GoForward());

  // A new step after going back drops what lay ahead.
  c.GoBack();
  c.GoBack();
  c.PanByKey(true, 1);
  EXPECT_FALSE(c.CanGoForward());
}

TEST_F(Navigation, BackUndoesAnUndoDragAndItsNestedZooms) {
  TChart& c = view.chart;
  Drag(TMouseButton::mbLeft, 100, 60, 400, 200);
  Drag(TMouseButton::mbLeft, 150, 80, 300, 180);
  const std::vector<double> nested = Ranges();
  Drag(TMouseButton::mbLeft, 300, 180, 150, 80);  // the undo drag: all the way out
  EXPECT_EQ(Ranges(), startUp);
  c.GoBack();
  view.Redraw();
  EXPECT_EQ(Ranges(), nested);
  EXPECT_TRUE(c.IsZoomedIn());
  // The undo drag works as before from the view brought back.
  Drag(TMouseButton::mbLeft, 300, 180, 150, 80);
  EXPECT_EQ(Ranges(), startUp);
}

TEST_F(Navigation, EscCancelsTheZoomBoxAndEndsThePan) {
  TChart& c = view.chart;
  const TBitmap& screen = view.host.Bitmap();
  const std::vector<uint32_t> before(screen.ScanLine(0),
                                     screen.ScanLine(0) + screen.Width() * screen.Height());
  c.ChartMouseDown(TMouseButton::mbLeft, 0, 100, 60);
  c.ChartMouseMove(0, 400, 200);
  EXPECT_TRUE(c.ChartKeyDown(TViewKey::vkCancel));
  const std::vector<uint32_t> after(screen.ScanLine(0),
                                    screen.ScanLine(0) + screen.Width() * screen.Height());
  EXPECT_EQ(after, before);  // the frame is gone
  c.ChartMouseMove(0, 420, 220);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, 420, 220);
  view.Redraw();
  EXPECT_EQ(Ranges(), startUp);
  EXPECT_FALSE(c.CanGoBack());

  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);
  c.ChartMouseMove(0, 320, 150);
  const double panned = c.BottomAxis().Minimum();
  EXPECT_TRUE(c.ChartKeyDown(TViewKey::vkCancel));
  c.ChartMouseMove(0, 360, 150);
  c.ChartMouseUp(TMouseButton::mbRight, 0, 360, 150);
  EXPECT_EQ(c.BottomAxis().Minimum(), panned);
  EXPECT_TRUE(c.CanGoBack());                        // the pan so far is one step
  EXPECT_FALSE(c.ChartKeyDown(TViewKey::vkCancel));  // nothing left to cancel
}

TEST_F(Navigation, RightClickWithoutMovementAsksForTheMenu) {
  TChart& c = view.chart;
  std::vector<std::pair<int, int>> clicks;
  c.OnContextClick = [&](TChart*, TMouseButton, TShiftState, int x, int y) {
    clicks.push_back({x, y});
  };
  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);
  c.ChartMouseUp(TMouseButton::mbRight, 0, 300, 150);
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_EQ(clicks[0], std::pair(300, 150));
  EXPECT_FALSE(c.CanGoBack());
  // Any movement pans instead, even when it comes back to the pixel.
  c.ChartMouseDown(TMouseButton::mbRight, 0, 300, 150);
  c.ChartMouseMove(0, 301, 150);
  c.ChartMouseMove(0, 300, 150);
  c.ChartMouseUp(TMouseButton::mbRight, 0, 300, 150);
  EXPECT_EQ(clicks.size(), 1u);
  // A left click is no menu, and the title answers the right click too.
  c.ChartMouseDown(TMouseButton::mbLeft, 0, 300, 150);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, 300, 150);
  const TRect title = c.Title().TitleBlockRect;
  c.ChartMouseDown(TMouseButton::mbRight, 0, title.Left + 3, title.Top + 3);
  c.ChartMouseUp(TMouseButton::mbRight, 0, title.Left + 3, title.Top + 3);
  EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(Navigation, DoubleClickInThePlotResets) {
  TChart& c = view.chart;
  Drag(TMouseButton::mbLeft, 100, 60, 400, 200);
  // As the toolkit delivers it: press, release, press, double click, release.
  c.ChartMouseDown(TMouseButton::mbLeft, 0, 250, 120);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, 250, 120);
  c.ChartMouseDown(TMouseButton::mbLeft, 0, 250, 120);
  c.ChartDoubleClick(TMouseButton::mbLeft, 0, 250, 120);
  EXPECT_FALSE(c.ZoomBox.InProgress);
  c.ChartMouseUp(TMouseButton::mbLeft, 0, 250, 120);
  view.Redraw();
  EXPECT_EQ(Ranges(), startUp);
  // Outside the plot it is a press as before: nothing happens on the title.
  Drag(TMouseButton::mbLeft, 100, 60, 400, 200);
  const std::vector<double> zoomed = Ranges();
  c.ChartDoubleClick(TMouseButton::mbLeft, 0, 3, 3);
  view.Redraw();
  EXPECT_EQ(Ranges(), zoomed);
}

TEST_F(Navigation, NearestPointWithinThreePixels) {
  const TLineSeries& s = view.series;
  const int x = s.XPixelOfPoint(100), y = s.YPixelOfPoint(100);
  ASSERT_NE(s.XPixelOfPoint(99), x);
  EXPECT_EQ(NearestPointWithin(s, x, y, 3), 100);
  EXPECT_NE(NearestPointWithin(s, x + 2, y - 2, 3), -1);  // 2.83 px away at most
  const TRect& plot = view.chart.PlotRect;                // the curve lies low at the left end
  EXPECT_EQ(NearestPointWithin(s, plot.Left + 1, plot.Top + 1, 3), -1);
  EXPECT_EQ(NearestPointWithin(s, x, y, -1), -1);
}

// Long random sequences of mouse gestures, keys and history steps (keys held down far
// past any sensible zoom too): the ranges stay finite and wide enough, every paint
// finishes, and the history stays bounded.
TEST(NavigationFuzz, RandomGesturesAndKeys) {
  std::mt19937 rng(11);
  auto model = testing::StartUpPhantom(2);
  MainChart view;
  view.Feed(model->Points);
  view.Redraw();
  TChart& c = view.chart;
  long long now = 0;
  c.HistoryClock = [&] { return now; };
  int backs = 0;
  for (int step = 0; step < 4000; ++step) {
    now += rng() % 700;
    const testing::TGesture g = testing::RandomGesture(rng, 651, 302);
    testing::ApplyGesture(c, g);
    backs += g.kind == testing::TGesture::Kind::Key && g.key == TViewKey::vkBack;
    if (rng() % 3 == 0) c.HandlePaint();
    for (int i = 0; i < 4; ++i) {
      const TCustomChartAxis* a = c.AxisList()[i];
      ASSERT_TRUE(std::isfinite(a->Minimum()) && std::isfinite(a->Maximum())) << step;
      ASSERT_GE(static_cast<long double>(a->Maximum()) - a->Minimum(), 0) << step;
    }
  }
  view.Redraw();
  EXPECT_GT(backs, 0);
  for (int n = 0; n < 200; ++n) c.GoBack();
  EXPECT_FALSE(c.CanGoBack());
  int forward = 0;
  while (c.GoForward()) ++forward;
  EXPECT_LE(forward, static_cast<int>(TChart::kHistoryDepth));
  EXPECT_GT(forward, 10);
}

}  // namespace
}  // namespace quarvel
