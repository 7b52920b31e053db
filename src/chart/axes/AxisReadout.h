#pragma once
// Values under the mouse written for reading: with as many decimals as it takes to
// tell the values of neighbouring pixels apart, and no more. For example, an axis
// whose pixels are 0.033 apart needs 2 decimals (3.41, 3.44, 3.47), one whose pixels
// are 2.5 apart none. Texts use the process-wide separators (see NumberFormat.h).

#include <string>

#include "chart/axes/AxisMapping.h"

namespace quarvel {

// The value width of one pixel of a mapping (an axis' Mapping() as last painted); 0 for
// an axis shorter than one pixel, as before the first paint.
double PixelValueWidth(const TAxisMapping& mapping);

// The decimals that tell values `pixelWidth` apart (0 ... 17); -1 when the width is
// not a positive finite number (the value is then written in the general form).
int ReadoutDecimals(double pixelWidth);

// `value` with ReadoutDecimals(pixelWidth) decimals and thousands separators; the
// general form for values too large for plain digits or an unusable width.
std::string FormatReadoutValue(double value, double pixelWidth);

}  // namespace quarvel
