#pragma once
// Random gestures at a chart, for the tests, the window's soak and the chart fuzzer: one
// gesture as plain data, a random one drawn from any source of random numbers, and the
// chart's answer to it (the calls the chart control makes for the same event).
// Positions are the chart's client pixels and may lie outside the client area.
//
//   std::mt19937 rng(7);
//   ApplyGesture(chart, RandomGesture(rng, width, height));
//
// Header only: the fuzzer is built apart from the test libraries.

#include <cstdint>

#include "chart/control/Chart.h"
#include "platform/ViewKeys.h"

namespace quarvel::testing {

struct TGesture {
  enum class Kind : uint8_t { Press, Move, Release, Wheel, Leave, DoubleClick, Key };
  Kind kind = Kind::Move;
  TMouseButton button = TMouseButton::mbLeft;
  int x = 0, y = 0;
  int notch = 1;  // a wheel notch: +1 down, -1 up
  TViewKey key = TViewKey::vkNone;
  int repeats = 1;  // a key held down: this many presses
};

// A random gesture over a client area of width x height, its position up to `margin`
// pixels outside. `next()` gives uniformly distributed unsigned numbers (std::mt19937
// does). Of 100 gestures about 30 are moves, 15 presses, 15 releases, 15 wheel
// notches, 8 leaves, 3 double clicks and 14 keys (one in four held for up to 40 presses).
template <class Random>
TGesture RandomGesture(Random& next, int width, int height, int margin = 20) {
  TGesture g;
  const auto pick = [&next](int n) { return static_cast<int>(next() % static_cast<unsigned>(n)); };
  g.x = pick(width > 0 ? width + 2 * margin : 2 * margin + 1) - margin;
  g.y = pick(height > 0 ? height + 2 * margin : 2 * margin + 1) - margin;
  g.button = pick(2) ? TMouseButton::mbLeft : TMouseButton::mbRight;
  const int kind = pick(100);
  if (kind < 30) {
    g.kind = TGesture::Kind::Move;
  } else if (kind < 45) {
    g.kind = TGesture::Kind::Press;
  } else if (kind < 60) {
    g.kind = TGesture::Kind::Release;
  } else if (kind < 75) {
    g.kind = TGesture::Kind::Wheel;
    g.notch = pick(2) ? 1 : -1;
  } else if (kind < 83) {
    g.kind = TGesture::Kind::Leave;
  } else if (kind < 86) {
    g.kind = TGesture::Kind::DoubleClick;
  } else {
    g.kind = TGesture::Kind::Key;
    g.key = static_cast<TViewKey>(1 + pick(10));  // vkZoomIn ... vkCancel
    g.repeats = pick(4) == 0 ? 1 + pick(40) : 1;
  }
  return g;
}

// The chart's answer to the gesture.
inline void ApplyGesture(TChart& chart, const TGesture& g) {
  switch (g.kind) {
    case TGesture::Kind::Press:
      chart.ChartMouseDown(g.button, 0, g.x, g.y);
      break;
    case TGesture::Kind::Move:
      chart.ChartMouseMove(0, g.x, g.y);
      break;
    case TGesture::Kind::Release:
      chart.ChartMouseUp(g.button, 0, g.x, g.y);
      break;
    case TGesture::Kind::Wheel:
      g.notch > 0 ? chart.ChartWheelDown() : chart.ChartWheelUp();
      break;
    case TGesture::Kind::Leave:
      chart.ChartMouseLeave();
      break;
    case TGesture::Kind::DoubleClick:
      chart.ChartDoubleClick(g.button, 0, g.x, g.y);
      break;
    case TGesture::Kind::Key:
      for (int n = 0; n < g.repeats; ++n) chart.ChartKeyDown(g.key);
      break;
  }
}

}  // namespace quarvel::testing
