#pragma once
// Shared pieces of the tomography suites: the built-in phantom's model and floating-point
// traps switched on for a scope, as the program runs.

#include <fenv.h>

#include <memory>

#include "ModelFixtures.h"
#include "tomo/Geometry.h"

namespace quarvel::testing {

// Invalid operations, divisions by zero and overflows trap (SIGFPE) inside the scope.
class TrapsOn {
 public:
  TrapsOn() { feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
  ~TrapsOn() { fedisableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
  TrapsOn(const TrapsOn&) = delete;
  TrapsOn& operator=(const TrapsOn&) = delete;
};

inline double MaxAbs(const TArray2D& a) {
  double m = 0;
  for (double v : a.Values) m = std::max(m, std::fabs(v));
  return m;
}

}  // namespace quarvel::testing
