#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "format/MessageFormat.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"

namespace quarvel {
namespace {

// The SplitMix64 finaliser: a bijection of 64-bit words that mixes every input bit into
// every output bit.
std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

// A counter-based stream of uniform numbers: draw i of a bin is Mix of its key and i, the
// key made from the seed, the view and the bin alone.
class TBinStream {
 public:
  TBinStream(std::uint64_t seed, int view, int bin)
      : key_(Mix(Mix(seed ^ 0x9e3779b97f4a7c15ULL) +
                 ((std::uint64_t(std::uint32_t(view)) << 32) | std::uint32_t(bin)))) {}
  // Uniform in (0, 1), never 0 or 1: a 53-bit integer plus one half, over 2^53.
  double Uniform() {
    const std::uint64_t bits = Mix(key_ + 0x9e3779b97f4a7c15ULL * ++counter_);
    return (static_cast<double>(bits >> 11) + 0.5) * 0x1p-53;
  }

 private:
  std::uint64_t key_;
  std::uint64_t counter_ = 0;
};

// A Poisson draw of mean `mean` (0 <= mean <= about 1e300). Below 10 by inversion of the
// distribution (summing its probabilities), above by Hormann's transformed rejection
// with squeeze (PTRS), which is exact and takes about 1.2 uniform pairs per draw.
double Poisson(double mean, TBinStream& stream) {
  if (mean <= 0) return 0;
  if (mean < 10) {
    double p = std::exp(-mean), cumulative = p;
    const double u = stream.Uniform();
    double k = 0;
    while (u > cumulative && k < 1000) {
      k += 1;
      p *= mean / k;
      cumulative += p;
    }
    return k;
  }
  const double logMean = std::log(mean);
  const double b = 0.931 + 2.53 * std::sqrt(mean);
  const double a = -0.059 + 0.02483 * b;
  const double inverseAlpha = 1.1239 + 1.1328 / (b - 3.4);
  const double vr = 0.9277 - 3.6224 / (b - 2);
  for (;;) {
    const double u = stream.Uniform() - 0.5;
    const double v = stream.Uniform();
    const double us = 0.5 - std::fabs(u);
    const double k = std::floor((2 * a / us + b) * u + mean + 0.43);
    if (us >= 0.07 && v <= vr) return k;
    if (k < 0 || (us < 0.013 && v > us)) continue;
    // lgamma_r, not lgamma: lgamma also stores the sign in a global, which the threads
    // that add noise to their views would all write at once.
    int sign = 0;
    if (std::log(v * inverseAlpha / (a / (us * us) + b)) <=
        -mean + k * logMean - lgamma_r(k + 1, &sign))
      return k;
  }
}

}  // namespace

TArray2D AddPhotonNoise(const TArrayView& sinogram, double photons, std::uint64_t seed, int threads,
                        double pixel) {
  if (!(photons > 0 && std::isfinite(photons)))
    throw EInvalidStudyValue(FormatFixedMessage("photons must be finite and greater than 0, not %g",
                                                {static_cast<long double>(photons)}));
  if (!(pixel > 0 && std::isfinite(pixel)))
    throw EInvalidStudyValue(FormatFixedMessage("pixel must be finite and greater than 0, not %g",
                                                {static_cast<long double>(pixel)}));
  if (sinogram.Rows < 0 || sinogram.Columns < 0 ||
      (!sinogram.Data && sinogram.Rows && sinogram.Columns))
    throw EInvalidStudyValue("the sinogram holds no data");
  const double step = pixel;
  const double logPhotons = std::log(photons);
  TArray2D noisy(sinogram.Rows, sinogram.Columns);
  ParallelRanges(sinogram.Rows, threads, [&](int begin, int end) {
    for (int k = begin; k < end; ++k)
      for (int j = 0; j < sinogram.Columns; ++j) {
        if (std::isnan(sinogram.At(k, j))) {
          noisy.At(k, j) = sinogram.At(k, j);
          continue;
        }
        TBinStream stream(seed, k, j);
        // ln of the mean count; bounded so that exp cannot overflow on any input.
        const double logMean = std::min(logPhotons - step * sinogram.At(k, j), 690.0);
        const double n = Poisson(std::exp(logMean), stream);
        noisy.At(k, j) = (logPhotons - std::log(std::max(n, 1.0))) / step;
      }
  });
  return noisy;
}

}  // namespace quarvel
