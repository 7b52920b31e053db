#pragma once
// From a sinogram back to an image of a given size ([iy][ix], density units, turning
// about its centre as in Geometry.h): filtered back-projection and the iterative SIRT,
// SART and CGLS. Each reads a sinogram of geometry.Views rows and geometry.Detectors
// columns through a view (no copy of the caller's array), raises EInvalidGeometry or
// EInvalidStudyValue for values out of range (and EInvalidGeometry for a fan beam, which
// these do not handle yet) and ECancelled when `stop` is requested, and gives the same
// result for any thread count (`threads`: see ResolveThreadCount).

#include <functional>
#include <stop_token>
#include <vector>

#include "tomo/Geometry.h"

namespace quarvel {

enum class TFilterWindow { RamLak, SheppLogan, Cosine, Hamming, Hann };

struct TFbpOptions {
  TFilterWindow Window = TFilterWindow::RamLak;
  double Cutoff = 1;  // a fraction 0 < c <= 1 of the Nyquist frequency
  friend bool operator==(const TFbpOptions&, const TFbpOptions&) = default;
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

// The weight of each view in FBP, in radians: the share of the half turn it stands for.
// The angles are folded into [0, 180) degrees (a view and the view half a turn away
// measure the same lines), and each folded angle is given half the gap to its
// neighbour on each side on the circle of 180 degrees; views that fold onto one angle
// (within 1e-9 degrees) share its weight equally. The weights add up to pi, so any angle
// set gives density units. Uniform sets over exactly 180 or 360 degrees keep the plain
// pi / N. An arc shorter than 180 degrees leaves a wedge of directions unmeasured (the
// missing wedge): the rule gives each half of it to the view at its edge, the nearest
// measured direction, so the weights still add up to pi and the mean density is kept,
// but those two views stand for directions they did not see and their streaks show;
// nothing recovers what the wedge hides.
std::vector<double> FbpViewWeights(const TScanGeometry& geometry);

// Filtered back-projection: the band-limited ramp filter (spatial kernel h(0) = 1/4,
// h(n) = -1/(pi^2 n^2) for odd n, 0 for even n != 0, in bins) windowed and cut off,
// applied through the FFT of the zero-padded kernel (the views padded with zeros to at
// least twice their length, so nothing wraps around), then back-projected onto the
// image's pixels with linear interpolation between bins (bins outside count 0), each
// view weighted by FbpViewWeights and the result divided by the bin spacing, in density
// units.
TArray2D ReconstructFbp(const TArrayView& sinogram, const TScanGeometry& geometry,
                        const TFbpOptions& options, const TImageSize& size,
                        const std::stop_token& stop = {}, int threads = 0);

enum class TIterativeMethod { Sirt, Sart, Cgls };

struct TIterativeOptions {
  TIterativeMethod Method = TIterativeMethod::Sirt;
  int Iterations = 10;  // 1 ... 100000
  // SIRT and SART: the step's factor lambda, inside (0, 2) exclusive (where both
  // converge); CGLS takes none (it must stay 1).
  double Relaxation = 1;
  // SIRT and SART: negative cells set to 0 after each update; CGLS takes none.
  bool NonNegative = false;
  // Called after each iteration with the number done; may be empty.
  std::function<void(int)> Progress;
  // Called after each iteration with its number (from 1) and the image so far, before
  // Progress; may be empty. The image is valid only during the call.
  std::function<void(int iteration, const TArray2D& image)> Iterate;
};

// Raises EInvalidStudyValue unless 1 <= Iterations <= 100000 and 0 < Relaxation < 2, and
// for CGLS unless Relaxation is 1 and NonNegative is off ("CGLS takes no relaxation").
void CheckIterativeOptions(const TIterativeOptions& options);

// Iterative reconstruction with the grid projector A (ProjectGrid) and its exact
// transpose A^T (BackProject), starting from zero:
// - SIRT (all views at once) and SART (one view at a time):
//   x += lambda C A^T R (b - A x), R the inverse row sums of A (the rays' weights) and C
//   the inverse column sums (for SART, of the one view's rows). SART takes the views in
//   an order that jumps by the step coprime to N nearest N / 1.618, so that consecutive
//   views lie far apart, and runs in one thread (each view's update needs the one
//   before). NonNegative sets negative cells to 0 after each update.
// - CGLS: the conjugate gradients on the normal equations A^T A x = A^T b (least
//   squares), one A and one A^T per iteration; once the gradient A^T (b - A x) is
//   exactly 0 the image stays as it is for the remaining iterations.
TArray2D ReconstructIterative(const TArrayView& sinogram, const TScanGeometry& geometry,
                              const TIterativeOptions& options, const TImageSize& size,
                              const std::stop_token& stop = {}, int threads = 0);

}  // namespace quarvel
