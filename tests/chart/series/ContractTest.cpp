// The contracts the chart's headers state, broken on purpose: where checks are live
// (Debug and sanitizer builds) each one aborts with its message instead of reading
// past a buffer or through a null pointer.

#include <gtest/gtest.h>

#include <functional>

#include "MainChart.h"
#include "base/Assert.h"
#include "platform/Bitmap24.h"

namespace quarvel {
namespace {

using testing::MainChart;

TEST(Contracts, BrokenContractsAbortWhereChecksAreLive) {
  if (!kAssertionsLive)
    GTEST_SKIP() << "contract checks are compiled out of this build (live in Debug and "
                    "sanitizer builds)";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;
    std::function<void()> breakIt;
    const char* message;
  } cases[] = {
      {"a pixel end beyond 2^30",
       [] { TAxisMapping().SetPixels(0, TAxisMapping::kMaxPixelEnd + 1); }, "beyond \\+-2\\^30"},
      {"the visible range before the X axis is placed",
       [] {
         MainChart view;
         view.series.AddPoint(1, 1);
         view.series.FindVisibleRange();
       },
       "before PlaceAxisPixels"},
      {"the visible range of a series without a chart",
       [] {
         TLineSeries series;
         series.AddPoint(1, 1);
         series.FindVisibleRange();
       },
       "without a chart"},
      {"a drawing without a surface",
       [] {
         MainChart view;
         view.chart.DrawChart(nullptr, {0, 0, 10, 10});
       },
       "needs a surface"},
      {"a 24-bit bitmap row past the last",
       [] {
         TBitmap24 bitmap;
         bitmap.SetWidth(4);
         bitmap.SetHeight(2);
         (void)bitmap.ScanLine(2);
       },
       "row out of range"},
  };
  for (const auto& c : cases) EXPECT_DEATH(c.breakIt(), c.message) << c.name;
}

}  // namespace
}  // namespace quarvel
