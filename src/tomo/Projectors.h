#pragma once
// From an image or the phantom's blobs to a sinogram: the grid projector and its exact
// transpose, the exact projector, the phantom sampled on a grid and the photon noise.
// All sinograms are [view][bin] in cell units (see Geometry.h) and identical whatever
// the number of threads used (`threads`: see ResolveThreadCount). Inputs are read through
// views and never copied beyond what a stage keeps internally. Each stage raises
// EInvalidGeometry for a geometry out of range (and for a fan beam, which no stage here
// handles yet), EInvalidStudyValue for an array whose size does not fit, and ECancelled
// when `stop` is requested.

#include <cstdint>
#include <stop_token>
#include <vector>

#include "model/Gauss.h"
#include "tomo/Geometry.h"

namespace quarvel {

// The phantom sampled at size x size points spread evenly over the closed square
// [1, 20]^2 (step 19 / (size - 1) model units, each coordinate 1 + i * step computed in
// extended precision and rounded to double), as an image [iy][ix]: at each point the
// largest value of the enabled blobs, 0 where none is positive. For size 128 it is the
// viewer's grid bit for bit. Size from 8 to 4096 (EInvalidGeometry otherwise); a blob
// whose value cannot be computed raises the model's errors (EInvalidOp, EZeroDivide, ...)
// as the viewer's grid does. From 192 a side a blob's rows are shared among every
// processor; the values and the error raised do not depend on how.
TArray2D SamplePhantom(const std::vector<TGauss3D>& blobs, int size = 128);

// The phantom's continuous density: the largest BlobValue of the enabled blobs on the
// closed square [1, 20]^2, 0 outside it. Holds copies of the enabled blobs; raises the
// model's errors for a blob whose value cannot be computed anywhere (EInvalidOp for a
// NaN or spreads of opposite signs, EZeroDivide for a zero spread).
class TPhantomDensity {
 public:
  explicit TPhantomDensity(const std::vector<TGauss3D>& blobs);
  double Value(double x, double y) const;
  const std::vector<TGauss3D>& EnabledBlobs() const { return enabled_; }

 private:
  std::vector<TGauss3D> enabled_;
};

// Joseph's method over an image of C columns and R rows ([iy][ix], 8 ... 4096 each),
// turning about ((C - 1) / 2, (R - 1) / 2): a ray crosses every row where
// |cos theta| >= |sin theta| and every column elsewhere, the image is interpolated
// linearly between the two neighbouring cells at each crossing (cells outside count 0),
// and the sum is weighted by 1 / max(|cos theta|, |sin theta|). At 0 degrees, for even
// M and the viewer's 128 x 128 grid, bin (M - 128) / 2 + ix holds exactly the model's
// Projection[ix] (the running sum of the column), and the bins outside hold 0; at 90
// degrees the bins hold the row sums.
TArray2D ProjectGrid(const TArrayView& image, const TScanGeometry& geometry,
                     const std::stop_token& stop = {}, int threads = 0);

// The exact transpose of ProjectGrid for an image of `size`: <A x, y> = <x, A^T y> up to
// rounding, for every geometry. The sinogram has geometry.Views rows of
// geometry.Detectors bins; the result is an image [iy][ix] of `size`.
TArray2D BackProject(const TArrayView& sinogram, const TScanGeometry& geometry,
                     const TImageSize& size, const std::stop_token& stop = {}, int threads = 0);

// The line integrals of the continuous phantom over the size x size grid of
// SamplePhantom (8 ... 4096; pixel 19 / (size - 1) model units), divided by the pixel,
// to a relative accuracy of 1e-9 of the sinogram's maximum (in fact to rounding). Along
// a ray every blob is a Gaussian of the ray's parameter; the ray's chord through the
// square is cut where the largest blob changes (the kinks, found as roots of the
// quadratics that compare two blobs' logarithms) and each piece integrated in closed
// form (erf). For size 128 it is the viewer's sinogram in the viewer's cell units.
TArray2D ProjectExact(const TPhantomDensity& phantom, const TScanGeometry& geometry, int size,
                      const std::stop_token& stop = {}, int threads = 0);

// The pixel size in model units of a size x size grid over [1, 20]^2: 19 / (size - 1).
double PixelSize(int size);

// Photon noise for an incident count `photons` (> 0) per bin. A bin's value p (cells)
// is a line integral of p * pixel in model units (the phantom's own scale, in which its
// densities are given), so the photons that pass are n ~ Poisson(I0 exp(-pixel p)), and
// the noisy value is -ln(max(n, 1) / I0) / pixel. The default pixel is the viewer's grid
// step 19/127; a study at grid size N passes PixelSize(N), so that the same phantom sees
// the same attenuation at any N. The draw of each bin depends only on the seed, the view
// and the bin, so the result is the same for any thread count.
// Raises EInvalidStudyValue unless photons is finite and > 0 and pixel finite and > 0.
TArray2D AddPhotonNoise(const TArrayView& sinogram, double photons, std::uint64_t seed,
                        int threads = 0, double pixel = 19.0 / 127.0);

}  // namespace quarvel
