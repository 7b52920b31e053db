#include "model/Crossing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace quarvel {
namespace {

// A generous relative allowance for the rounding of extended-precision arithmetic
// (each operation errs by at most 2^-64, a rounding to double by 2^-53).
constexpr long double kRoundingSlack = 0x1p-48L;
constexpr long double kInfinity = std::numeric_limits<long double>::infinity();

long double AbsSize(const TCubic& c, long double m) {
  return std::fabs(c.C3) * m * m * m + std::fabs(c.C2) * m * m + std::fabs(c.C1) * m +
         std::fabs(c.C0);
}

// Bounds how far the difference f = fit2 - fit1 can move away from its value at a
// point, so that stretches that cannot hold a crossing (or a new smallest gap) are
// stepped over.
class SkipPlanner {
 public:
  SkipPlanner(const TCubic& fit1, const TCubic& fit2, double xl, double xr)
      : a3_(static_cast<long double>(fit2.C3) - fit1.C3),
        a2_(static_cast<long double>(fit2.C2) - fit1.C2),
        a1_(static_cast<long double>(fit2.C1) - fit1.C1) {
    const long double m =
        std::max(std::fabs(static_cast<long double>(xl)), std::fabs(static_cast<long double>(xr)));
    // Bounds |computed gap - |f(x)|| for every x of the search.
    probeError_ = 2 * kRoundingSlack * (AbsSize(fit1, m) + AbsSize(fit2, m));
  }

  // The allowance a skip may use: how much |f| may fall from `gap` before it could
  // reach `floor`, after both probes' rounding.
  long double Allowance(long double gap, long double floor) const {
    return gap - floor - 2 * probeError_;
  }

  // A length T such that |f(x + t) - f(x)| < allowance for all 0 <= t <= T.
  long double SafeReach(long double x, long double allowance) const {
    if (!(allowance > 0)) return 0;
    const long double ax = std::fabs(x);
    const long double g1 =
        std::fabs((3 * a3_ * x + 2 * a2_) * x + a1_) +
        kRoundingSlack * ((3 * std::fabs(a3_) * ax + 2 * std::fabs(a2_)) * ax + std::fabs(a1_));
    const long double g2 =
        std::fabs(3 * a3_ * x + a2_) + kRoundingSlack * (3 * std::fabs(a3_) * ax + std::fabs(a2_));
    const long double g3 = std::fabs(a3_) * (1 + kRoundingSlack);
    if (!std::isfinite(g1) || !std::isfinite(g2) || !std::isfinite(g3)) return 0;

    // The bound g1 t + g2 t^2 + g3 t^3 = t h(t) grows with t. tHigh, where one term
    // alone reaches the allowance, lies at or beyond the exact reach; allowance / h(tHigh)
    // then lies below it.
    long double tHigh = kInfinity;
    if (g1 > 0) tHigh = std::min(tHigh, allowance / g1);
    if (g2 > 0) tHigh = std::min(tHigh, std::sqrt(allowance / g2));
    if (g3 > 0) tHigh = std::min(tHigh, std::cbrt(allowance / g3));
    if (tHigh == kInfinity) return kInfinity;
    const long double h = g1 + g2 * tHigh + g3 * tHigh * tHigh;
    return allowance * (1 - kRoundingSlack) / h;
  }

  bool Usable() const { return std::isfinite(probeError_); }

 private:
  long double a3_, a2_, a1_;
  long double probeError_;
};

// Where every step from x on advances by the same `delta`, for `steps` steps.
struct RegularRun {
  double delta = 0;
  int64_t steps = 0;
};

// Within one binary exponent range, x is a whole number of double units; the step's
// first rounding (to 64 bits) cannot depend on x, and the second (to 53 bits) depends
// on it only through a tie, which shows as a different advance for x and its
// neighbour. Without a tie the advance is the same at every x of the range.
RegularRun FindRegularRun(double x) {
  RegularRun run;
  if (!std::isfinite(x) || x == 0) return run;
  const int e = std::ilogb(x);
  const long double unit = std::ldexp(1.0L, e - 52);
  const long double low = std::ldexp(1.0L, e);
  const long double high = std::ldexp(1.0L, e + 1);
  // The last X from which a step stays inside the range, with a margin of two units.
  const long double limit = x > 0 ? high - 2 * unit : -low - 2 * unit;
  const double delta = static_cast<double>(static_cast<long double>(NextSearchX(x)) - x);
  if (!(delta > 0)) return run;
  const double neighbour = static_cast<double>(x + unit);
  if (std::ilogb(neighbour) != e) return run;
  if (static_cast<long double>(NextSearchX(neighbour)) - neighbour != delta) return run;
  const long double room = std::floor((limit - delta - x) / delta);
  if (room < 1) return run;
  run.delta = delta;
  run.steps = static_cast<int64_t>(std::min(room, 0x1p62L));
  return run;
}

// The next X to probe: as many steps ahead as `reach` allows within a regular run,
// or one plain step.
double Advance(double x, long double reach) {
  const double plain = NextSearchX(x);
  if (!(reach > 0)) return plain;
  const RegularRun run = FindRegularRun(x);
  if (run.steps < 2) return plain;
  const long double wanted = std::floor(std::min(reach / run.delta, 0x1p62L));
  if (wanted < 2) return plain;
  const int64_t steps = std::min(static_cast<int64_t>(wanted), run.steps);
  return static_cast<double>(x + static_cast<long double>(steps) * run.delta);
}

// The first X with the smallest gap among those offered in increasing X order, or
// offered again in a second pass.
struct SmallestGap {
  bool valid = false;
  double x = 0;
  double y = 0;
  long double gap = kInfinity;

  void Offer(double atX, const CrossingProbe& p) {
    if (!valid || p.gap < gap || (p.gap == gap && atX < x)) {
      valid = true;
      x = atX;
      y = p.Sum();
      gap = p.gap;
    }
  }
};

}  // namespace

CrossingResult SearchCrossing(const TCubic& fit1, const TCubic& fit2, double xl, double xr) {
  const SkipPlanner planner(fit1, fit2, xl, xr);
  const bool skipping = planner.Usable();
  SmallestGap smallest;

  for (double x = xl; x < xr;) {
    const CrossingProbe p = ProbeCrossing(fit1, fit2, x);
    if (p.gap <= kCrossingTolerance) return {x, p.Sum(), true};
    smallest.Offer(x, p);
    const long double reach =
        skipping ? planner.SafeReach(x, planner.Allowance(p.gap, kCrossingTolerance)) : 0;
    const double next = Advance(x, reach);
    if (!(next > x)) break;
    x = next;
  }

  if (!smallest.valid) return {xl, ProbeCrossing(fit1, fit2, xl).Sum(), false};

  // No crossing: search again for the first X of the smallest gap, stepping over what
  // provably stays above the smallest gap seen so far.
  for (double x = xl; x < xr;) {
    const CrossingProbe p = ProbeCrossing(fit1, fit2, x);
    smallest.Offer(x, p);
    const long double reach =
        skipping ? planner.SafeReach(x, planner.Allowance(p.gap, smallest.gap)) : 0;
    const double next = Advance(x, reach);
    if (!(next > x)) break;
    x = next;
  }
  return {smallest.x, smallest.y, false};
}

}  // namespace quarvel
