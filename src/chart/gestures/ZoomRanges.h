#pragma once
// The range arithmetic of the chart's zoom and scroll gestures: pure functions of an
// axis' mapping and the gesture's pixels, or of the range the axis shows, giving the
// range the gesture asks for as (minimum, maximum). The chart hands the result to the
// axis (ApplyFixedRange, which orders the ends and keeps them 1e-10 apart, or
// ShiftAxisRange). Intermediate values are extended precision; each result is rounded
// to double where the comment says. Nothing here reads a chart.

#include <utility>

#include "chart/axes/AxisMapping.h"

namespace quarvel {

// The zoom box from lowPixel to highPixel along the axis (lowPixel <= highPixel: left
// and right, or top and bottom): the values at its left and right edges (horizontal) or
// at its bottom and top edges (vertical), in that order; reversed on an inverted axis.
std::pair<double, double> ZoomedRange(const TAxisMapping& mapping, int lowPixel, int highPixel);

// One step of a pan drag from fromPixel to toPixel: min ... max moved by the value at
// fromPixel minus the value at toPixel (each rounded to double, the difference too), so
// that the value under the mouse follows it.
std::pair<double, double> PannedRange(const TAxisMapping& mapping, double min, double max,
                                      int fromPixel, int toPixel);

// The shift of one wheel notch: 3 % of max - min (rounded to double), signed by
// direction (+1 a notch down, towards higher values; -1 a notch up).
double WheelShift(double min, double max, int direction);

// One frame of the animated zoom: a third of the way from min ... max to the target.
std::pair<double, double> AnimatedZoomStep(double min, double max, double targetMin,
                                           double targetMax);

// The centred range `scale` times as wide as min ... max (the zoom keys).
std::pair<double, double> ScaledRange(double min, double max, double scale);
// min ... max moved by `fraction` of its width, positive towards higher values (the
// pan keys).
std::pair<double, double> ShiftedRange(double min, double max, double fraction);

// The one repair of a key's range: lo ... hi rounded to double, or min ... max itself
// when either end would not be a finite double.
std::pair<double, double> FiniteRangeOr(long double lo, long double hi, double min, double max);

}  // namespace quarvel
