#pragma once
// Axes of a bare chart placed by the axis' own code, with an effective range set
// directly: for tests of the mapping and the label numbers without a paint.

#include "chart/control/Chart.h"
#include "platform/BitmapHost.h"

namespace quarvel::testing {

// PlaceAxisPixels from the chart's current PlotRect, then the range min ... max.
inline TCustomChartAxis& PlaceWithRange(TCustomChartAxis& a, double min, double max) {
  a.PlaceAxisPixels();
  a.SetEffectiveRange(min, max);
  return a;
}

}  // namespace quarvel::testing
