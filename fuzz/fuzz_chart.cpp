// The chart under a stream of sizes, axis settings, points, mouse, wheel and view keys
// (gestures as the tests and the soak drive them, GestureDriver.h), painted after every
// batch of operations and at the end: it must terminate without a crash or undefined
// behaviour. An input is read to its end (up to 2000 operations).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzInput.h"
#include "GestureDriver.h"
#include "chart/control/Chart.h"
#include "chart/series/Series.h"
#include "base/Exception.h"
#include "platform/BitmapHost.h"
#include "platform/QtRuntime.h"

namespace {

using namespace quarvel;

void Run(fuzzing::FuzzInput& in) {
  // Sizes up to 400 x 300: small enough for hundreds of runs a second, large enough for
  // every layout case (axes that do not fit, titles wider than the plot).
  TBitmapHost host(1 + in.Byte(), 1 + in.Byte() * 3 / 4);
  TChart chart(&host);
  chart.Title().SetText({"Нулевая проекция"});
  chart.SetLegendVisible(false);
  chart.SetView3D(false);
  TLineSeries series;
  series.Pointer().SetVisible(true);
  series.Pointer().SetHorizSize(1 + in.Byte() % 4);
  series.Pointer().SetVertSize(1 + in.Byte() % 4);
  series.SetParentChart(&chart);

  constexpr int kBatch = 128;       // painting is the costly part: once per batch
  constexpr int kMaxPoints = 1000;  // the window's chart holds at most 509
  for (int step = 0; step < 2000 && !in.Empty(); ++step) {
    const uint8_t op = in.Byte();
    const int x = in.Word() % 1200 - 100, y = in.Word() % 900 - 100;
    try {
      switch (op % 16) {
        case 0:
          series.AddPoint(in.Double(), in.Double());
          break;
        case 1:
          for (int i = 0; i < 20 && series.PointCount() < kMaxPoints; ++i)
            series.AddPoint(i + in.Byte() / 16.0, in.Byte());
          break;
        case 2:
          series.RemoveAllPoints();
          break;
        case 3:
          chart.LeftAxis().ApplyFixedRange(in.Double(), in.Double());
          break;
        case 4:
          chart.BottomAxis().ApplyFixedRange(in.Double(), in.Double());
          break;
        case 5:
          chart.BottomAxis().SetAutomatic(true);
          chart.LeftAxis().SetAutomatic(true);
          break;
        case 6:
          chart.LeftAxis().SetInverted(in.Byte() & 1);
          chart.BottomAxis().SetInverted(in.Byte() & 1);
          break;
        case 7:
          chart.LeftAxis().SetIncrement(in.Double());
          break;
        case 8:
        case 9:
        case 10:
        case 11:
        case 12: {
          // A mouse gesture: press, two kinds of moves, release or a wheel notch.
          using Kind = testing::TGesture::Kind;
          const Kind kinds[] = {Kind::Press, Kind::Move, Kind::Move, Kind::Release, Kind::Wheel};
          testing::TGesture g{kinds[op % 16 - 8],
                              op & 16 ? TMouseButton::mbRight : TMouseButton::mbLeft, x, y,
                              op & 16 ? 1 : -1};
          testing::ApplyGesture(chart, g);
          break;
        }
        case 13:
          host.SetClientSize(in.Word() % 400, in.Word() % 300);
          chart.HandleResize();
          break;
        case 14:
          chart.SetMarginLeft(in.Byte() % 120);
          chart.SetMarginTop(in.Byte() % 120);
          break;
        case 15:
          if (op & 16) {
            chart.LeftAxis().SetLabelsSeparation(in.Byte() % 200);
            chart.ChartMouseLeave();
          } else {
            const uint8_t key = in.Byte();
            testing::TGesture g{testing::TGesture::Kind::DoubleClick, TMouseButton::mbLeft, x, y};
            if (key != 0xFF) {
              g.kind = testing::TGesture::Kind::Key;
              g.key = static_cast<TViewKey>(key % 11);
              g.repeats = (key >> 4) + 1;
            }
            testing::ApplyGesture(chart, g);
          }
          break;
      }
    } catch (const Exception&) {
      // Rejected settings (a negative increment, for instance) are fine.
    }
    if (step % kBatch == kBatch - 1) chart.HandlePaint();
  }
  chart.HandlePaint();
  series.SetParentChart(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static quarvel::HeadlessToolkit toolkit;
  quarvel::fuzzing::FuzzInput in(data, size);
  Run(in);
  return 0;
}
