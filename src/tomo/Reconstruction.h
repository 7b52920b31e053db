#pragma once
// From a sinogram back to an image on the grid's 128 x 128 points ([iy][ix], density
// units): filtered back-projection and the iterative SIRT and SART.

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

// The filter's gain at `count` frequencies from 0 to the Nyquist frequency (in cycles
// per cell, 0 ... 0.5): the exact discrete ramp's response times the window, zero above
// the cutoff. For plotting.
struct TFilterResponse {
  std::vector<double> Frequency;
  std::vector<double> Gain;
};
TFilterResponse FilterResponse(const TFbpOptions& options, int count);

// Filtered back-projection: the band-limited ramp filter (spatial kernel h(0) = 1/4,
// h(n) = -1/(pi^2 n^2) for odd n, 0 for even n != 0) windowed and cut off, applied
// through the FFT of the zero-padded kernel, then back-projected with linear
// interpolation and scaled to density units.
TArray2D ReconstructFbp(const TArray2D& sinogram, const TScanGeometry& geometry,
                        const TFbpOptions& options, std::stop_token stop = {});

enum class TIterativeMethod { Sirt, Sart };

struct TIterativeOptions {
  TIterativeMethod Method = TIterativeMethod::Sirt;
  int Iterations = 10;  // 1 ... 100000
  bool NonNegative = false;
  // Called after each iteration with the number done; may be empty.
  std::function<void(int)> Progress;
};

// SIRT (all views at once) or SART (one view at a time) with the grid projector and its
// transpose, starting from zero.
TArray2D ReconstructIterative(const TArray2D& sinogram, const TScanGeometry& geometry,
                              const TIterativeOptions& options, std::stop_token stop = {});

}  // namespace quarvel
