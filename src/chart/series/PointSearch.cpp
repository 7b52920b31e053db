#include "chart/series/PointSearch.h"

namespace quarvel {

int NearestPointWithin(const TChartSeries& series, int x, int y, int radius) {
  if (!series.ParentChart() || radius < 0) return -1;
  int best = -1;
  long long bestDistance = static_cast<long long>(radius) * radius;
  for (int i = 0; i < series.PointCount(); ++i) {
    const long long dx = static_cast<long long>(series.XPixelOfPoint(i)) - x;
    const long long dy = static_cast<long long>(series.YPixelOfPoint(i)) - y;
    const long long distance = dx * dx + dy * dy;
    if (distance < bestDistance || (distance == bestDistance && best < 0)) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace quarvel
