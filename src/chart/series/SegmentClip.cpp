#include "chart/series/SegmentClip.h"

#include <cmath>

namespace quarvel {

bool ClipSegment(TPixelPoint& a, TPixelPoint& b, long double left, long double top,
                 long double right, long double bottom) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
    return false;
  // The part a + t (b - a), 0 <= t <= 1, on the inner side of each edge: p t <= q.
  const long double dx = b.x - a.x, dy = b.y - a.y;
  long double t0 = 0, t1 = 1;
  const auto inner = [&](long double p, long double q) {
    if (p == 0) return q >= 0;  // parallel to the edge: wholly inside or outside it
    const long double t = q / p;
    if (p < 0) {
      if (t > t1) return false;
      if (t > t0) t0 = t;
    } else {
      if (t < t0) return false;
      if (t < t1) t1 = t;
    }
    return true;
  };
  if (!inner(-dx, a.x - left) || !inner(dx, right - a.x) || !inner(-dy, a.y - top) ||
      !inner(dy, bottom - a.y))
    return false;
  const TPixelPoint from = a;
  if (t1 < 1) b = {from.x + t1 * dx, from.y + t1 * dy};
  if (t0 > 0) a = {from.x + t0 * dx, from.y + t0 * dy};
  return true;
}

}  // namespace quarvel
