#pragma once
// The colour maps of the tomography pictures, in one place for the export's PNG files and
// the bench's screen, so that both show a value alike:
// - grey, from black at a range's low end to white at its high end (the range of the
//   array's finite values unless the user chose a window); values beyond the ends take
//   the end's colour;
// - diverging, symmetric about 0: white at 0, pure red at +reach, pure blue at -reach.
// Values that are not finite: +inf is white in grey and full red in the diverging map,
// -inf black and full blue, NaN black and white (as 0).

#include <cstdint>
#include <utility>

#include "tomo/Geometry.h"

namespace quarvel {

struct TRgb {
  uint8_t R = 0, G = 0, B = 0;
  bool operator==(const TRgb&) const = default;
};

// The smallest and largest finite values, or (inf, -inf) when there is none.
std::pair<double, double> FiniteRange(const TArray2D& array);
// The largest |value| of the finite values (0 when there is none).
double DivergingReach(const TArray2D& array);

// The grey level of `value` between `low` (0) and `high` (255); 0 for every finite
// value when high <= low.
uint8_t GreyLevel(double value, double low, double high);
// The diverging map's colour of `value` (white everywhere when reach is 0).
TRgb DivergingRgb(double value, double reach);

}  // namespace quarvel
