#pragma once
// From a sinogram back to an image on the grid's 128 x 128 points ([iy][ix], density
// units): filtered back-projection and the iterative SIRT and SART. Each takes a sinogram
// of geometry.Views rows and geometry.Detectors columns, raises EInvalidGeometry or
// EInvalidStudyValue for values out of range and ECancelled when `stop` is requested, and
// gives the same result for any thread count (`threads`: see ResolveThreadCount).

#include <functional>
#include <stop_token>
#include <vector>

#include "tomo/Geometry.h"

namespace quarvel {

enum class TFilterWindow { RamLak, SheppLogan, Cosine, Hamming, Hann };

struct TFbpOptions {
  TFilterWindow Window = TFilterWindow::RamLak;
  double Cutoff = 1;  // a fraction 0 < c <= 1 of the Nyquist frequency
};

// Raises EInvalidStudyValue unless 0 < Cutoff <= 1.
void CheckFbpOptions(const TFbpOptions& options);

// The filter's gain at `count` (>= 2) frequencies from 0 to the Nyquist frequency (in
// cycles per cell, 0 ... 0.5): the response of the discrete ramp kernel as FBP applies it
// for `detectors` bins (truncated to the zero-padded length, so slightly above |f| near
// 0) times the window, zero above the cutoff. For plotting.
struct TFilterResponse {
  std::vector<double> Frequency;
  std::vector<double> Gain;
};
TFilterResponse FilterResponse(const TFbpOptions& options, int count, int detectors = 182);

// Filtered back-projection: the band-limited ramp filter (spatial kernel h(0) = 1/4,
// h(n) = -1/(pi^2 n^2) for odd n, 0 for even n != 0) windowed and cut off, applied
// through the FFT of the zero-padded kernel (the views padded with zeros to at least
// twice their length, so nothing wraps around), then back-projected with linear
// interpolation (bins outside count 0) and scaled to density units: each view weighs
// min(arc, pi) / N (arc in radians), pi / N for a half or a full turn.
TArray2D ReconstructFbp(const TArray2D& sinogram, const TScanGeometry& geometry,
                        const TFbpOptions& options, const std::stop_token& stop = {},
                        int threads = 0);

enum class TIterativeMethod { Sirt, Sart };

struct TIterativeOptions {
  TIterativeMethod Method = TIterativeMethod::Sirt;
  int Iterations = 10;  // 1 ... 100000
  bool NonNegative = false;
  // Called after each iteration with the number done; may be empty.
  std::function<void(int)> Progress;
};

// Raises EInvalidStudyValue unless 1 <= Iterations <= 100000.
void CheckIterativeOptions(const TIterativeOptions& options);

// SIRT (all views at once) or SART (one view at a time) with the grid projector A and
// its transpose, starting from zero: x += lambda C A^T R (b - A x), R and C the inverse
// row and column sums of A (of the view's rows, for SART), lambda = 1 for SIRT and
// lambda = 1 for SART, whose views are taken in an order that jumps by about N / 1.618
// (far apart directions one after the other). NonNegative sets negative cells to 0
// after each update. SART runs in one thread.
TArray2D ReconstructIterative(const TArray2D& sinogram, const TScanGeometry& geometry,
                              const TIterativeOptions& options, const std::stop_token& stop = {},
                              int threads = 0);

}  // namespace quarvel
