#pragma once
// The exact projector's integral along one line of any direction, for the projectors that
// trace their own rays (fan beam): the chord through the square [1, 20]^2 cut at the kinks
// of the largest blob, each piece in closed form, in extended precision.

#include <memory>
#include <stop_token>

#include "tomo/Projectors.h"

namespace quarvel::exact {

// Holds the enabled blobs and a scratch buffer: one per thread.
class TLineIntegrator {
 public:
  explicit TLineIntegrator(const TPhantomDensity& phantom);
  ~TLineIntegrator();
  TLineIntegrator(const TLineIntegrator&) = delete;
  TLineIntegrator& operator=(const TLineIntegrator&) = delete;
  // Whether no blob can be seen: every integral is 0.
  bool Empty() const;
  // The integral of the density over the whole line p + s u (model units, u of length 1);
  // partial when `stop` is requested during it (the caller raises ECancelled).
  long double Integral(long double px, long double py, long double ux, long double uy,
                       const std::stop_token& stop = {});

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

}  // namespace quarvel::exact
