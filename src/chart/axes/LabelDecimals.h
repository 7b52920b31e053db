#pragma once
// Axis labels that tell their values apart. A label pattern writes a fixed number of
// decimals ("#,##0.###": at most three); deep in a zoom every label of a range such as
// 10.5000001 ... 10.5000009 then reads "10.5". These functions find how many more
// decimals the labels need, and write the pattern that shows them.
//
// Pure: the texts are those of FormatPattern with the separators in use.

#include <span>
#include <string>
#include <string_view>

#include "format/NumberFormat.h"

namespace quarvel {

// One label: its value and the pixel along the axis it is drawn at.
struct TLabelPlace {
  double value;
  int pixel;
};

// `pattern` with `extra` more decimal places ("0" placeholders) in each section that
// writes digits: after its last digit placeholder before any exponent, or after its
// decimal point when that comes later; with a decimal point first where there is none.
// "#,##0.###" with 2 more is "#,##0.###00", "0" is "0.00", "0.0E+00" is "0.000E+00".
// A section without digit placeholders, and an empty pattern (the general form), stay.
std::string PatternWithMoreDecimals(std::string_view pattern, int extra);

// The pattern to write the labels with, given in drawing order: `pattern` itself when
// every two neighbouring labels at different pixels read differently (so the usual
// labels are exactly as before); otherwise the pattern with the fewest extra decimals
// (up to 20) under which they all do; `pattern` itself when none does (values the
// pattern writes in the general form, or a pattern too long to grow). The texts come
// from `memo` when one is given.
std::string DistinctLabelPattern(std::string_view pattern, std::span<const TLabelPlace> labels,
                                 TPatternMemo* memo = nullptr);

}  // namespace quarvel
