#pragma once
// Fan beam: a point source turning about the image's centre, its rays fanning out to a
// flat or an arc-shaped detector. The projectors, the back-projection and FBP for both
// detectors, and the rebinning of a fan sinogram to a parallel one.
//
// Lengths are in pixels, relative to the rotation centre c (the image's centre). For the
// view angle beta, e = (-sin beta, cos beta) is the central ray's direction (the parallel
// ray's at theta = beta) and a = (cos beta, sin beta) the detector's axis. The source lies
// at c - R e (R = SourceDistance, greater than the image's half-diagonal).
// - FanFlat: bin j's centre lies at c + D e + u_j a, u_j = BinCells(j) (D =
//   DetectorDistance >= 0); its ray leaves e at gamma_j = atan(u_j / (R + D)).
// - FanArc: bin j lies on the arc of radius R + D about the source, at gamma_j =
//   BinCells(j) / (R + D) from e, towards a.
// A ray runs from the source along cos(gamma) e + sin(gamma) a: it is the parallel ray at
// theta = beta - gamma and t = R sin gamma (gamma turns from e towards a, the opposite way
// to the view angle). As R grows, FanFlat tends to parallel beam with t = u R / (R + D).
// A bin's value is the line integral over the whole ray divided by the pixel size.

#include <optional>
#include <stop_token>
#include <vector>

#include "tomo/Geometry.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"

namespace quarvel {

// Whether the rays fan out (FanFlat or FanArc).
inline bool IsFan(const TScanGeometry& geometry) { return geometry.Beam != TBeam::Parallel; }

// Half the diagonal of the image's rectangle (its pixels' outer edges), sqrt(C^2 + R^2) / 2:
// the radius of its circumscribed circle.
double HalfDiagonal(const TImageSize& size);

// The fan's fields when the caller leaves them out, for an image of `size`:
// - R = 2 max(C, R) pixels, so that the fan's half-angle asin(r / R) over the circumscribed
//   circle (radius r, the half-diagonal) stays under 21 degrees;
// - D = R;
// - the spacing (R + D) / R, so that the bins lie one pixel apart at the centre;
// - M = 2 ceil(R tan(asin(r / R))) + 2 bins for FanFlat and 2 ceil(R asin(r / R)) + 2 for
//   FanArc: the fan covers the circumscribed circle, with at least half a bin to spare.
// For the viewer's 128 x 128 grid: R = D = 256, spacing 2, M = 196 (flat) or 188 (arc).
// Raises EInvalidGeometry for a bad R or D given (see CheckFanGeometry).
struct TFanFields {
  double SourceDistance = 0;
  double DetectorDistance = 0;
  double Spacing = 1;
  int Detectors = 2;
};
TFanFields DefaultFanFields(TBeam beam, const TImageSize& size,
                            std::optional<double> sourceDistance = {},
                            std::optional<double> detectorDistance = {});

// Raises EInvalidGeometry unless the geometry is valid (CheckGeometry) and, for a fan,
// R is finite and greater than the image's half-diagonal, D is finite and >= 0, and every
// bin's ray leaves the central ray by less than 90 degrees.
void CheckFanGeometry(const TScanGeometry& geometry, const TImageSize& size);

// The angle gamma_j of bin j's ray from the central ray (radians; 0 in parallel beam).
double FanAngle(const TScanGeometry& geometry, int bin);

// One fan ray relative to the rotation centre: the source and the unit direction.
struct TFanRay {
  double SourceX, SourceY;
  double DirectionX, DirectionY;
};
TFanRay FanRay(const TScanGeometry& geometry, int view, int bin);

// Joseph's method along each fan ray over an image [iy][ix] of any size: a ray crosses
// every row where its direction's |y| >= |x| and every column elsewhere, the image is
// interpolated linearly between the two neighbouring cells at each crossing (cells outside
// count 0), and the sum is divided by the larger of |x| and |y|. Threads take views.
TArray2D ProjectGridFan(const TArrayView& image, const TScanGeometry& geometry,
                        const std::stop_token& stop = {}, int threads = 0);

// The exact transpose of ProjectGridFan: an image of `size` ([iy][ix]). Threads take
// rows and columns of the image; each cell adds the views and bins in order.
TArray2D BackProjectGridFan(const TArrayView& sinogram, const TScanGeometry& geometry,
                            const TImageSize& size, const std::stop_token& stop = {},
                            int threads = 0);

// The exact projector along each fan ray: the phantom (on the square [1, 20]^2 of model
// units, centred at 10.5) seen through its size x size grid, whose pixel is
// PixelSize(size). Accurate to 1e-9 of the sinogram's maximum, as in parallel beam.
TArray2D ProjectExactFan(const TPhantomDensity& phantom, const TScanGeometry& geometry, int size,
                         const std::stop_token& stop = {}, int threads = 0);

// The redundancy weight of the ray (view, bin): the weights of all measurements of one
// line add up to 1. A full turn gives every ray 1/2. A shorter uniform arc B >= pi + 2
// gamma_max gets Parker's weights with the overscan (B - pi) / 2 in place of the fan's
// half-angle (for B = pi + 2 gamma_max, Parker's own); shorter arcs keep the same formula
// (the rays seen once weigh 1). Measured angles are taken over their span plus a mean gap.
double RedundancyWeight(const TScanGeometry& geometry, int view, int bin);

// Filtered back-projection for a fan: each ray weighted by its redundancy and cos(gamma),
// filtered with the windowed ramp in the detector's own variable (for the arc the kernel
// times (gamma / sin gamma)^2), back-projected with the distance weight (R / U)^2 on the
// flat detector, R / L^2 on the arc), in density units over an image of `size`.
TArray2D ReconstructFbpFan(const TArrayView& sinogram, const TScanGeometry& geometry,
                           const TImageSize& size, const TFbpOptions& options,
                           const std::stop_token& stop = {}, int threads = 0);

// SIRT, SART or CGLS with the fan's grid projector and its transpose, as
// ReconstructIterative does them in parallel beam (relaxation, non-negativity, callbacks).
TArray2D ReconstructIterativeFan(const TArrayView& sinogram, const TScanGeometry& geometry,
                                 const TIterativeOptions& options, const TImageSize& size,
                                 const std::stop_token& stop = {}, int threads = 0);

// The parallel geometry a fan sinogram rebins to by default: as many views over a full
// turn as the fan has (its arc for a short scan), and bins as wide as the fan's at the
// centre ((R + D) / R narrower than the flat detector's), covering every t = R sin gamma.
TScanGeometry RebinnedGeometry(const TScanGeometry& fan);

// The fan sinogram resampled at the parallel geometry's rays: each (theta, t) taken at
// beta = theta + gamma, gamma = asin(t / R), interpolated linearly in both beta (over the
// views, turning about the full circle for a full scan) and gamma (over the bins). Rays
// outside the measured fan count 0.
TArray2D RebinToParallel(const TArrayView& sinogram, const TScanGeometry& fan,
                         const TScanGeometry& parallel);

}  // namespace quarvel
