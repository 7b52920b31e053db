#pragma once
// Finding the point of a series near a pixel (the readout under the mouse), through the
// series' own mapping as last painted.

#include "chart/series/Series.h"

namespace quarvel {

// The index of the point whose pixel lies nearest to (x, y) and at most `radius`
// pixels away (Euclidean), the lowest index among equally near ones; -1 for none
// (also for a series not attached to a chart).
int NearestPointWithin(const TChartSeries& series, int x, int y, int radius);

}  // namespace quarvel
