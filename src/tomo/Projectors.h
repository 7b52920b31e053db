#pragma once
// From the phantom to its sinogram: the grid projector, the exact projector and the
// photon noise. All results are [view][bin] in cell units (see Geometry.h) and identical
// whatever the number of threads used (`threads`: see ResolveThreadCount). Each raises
// EInvalidGeometry for a geometry out of range and ECancelled when `stop` is requested.

#include <cstdint>
#include <stop_token>
#include <vector>

#include "model/Gauss.h"
#include "model/ProjectionModel.h"
#include "tomo/Geometry.h"

namespace quarvel {

// The grid of the model as an image [iy][ix] (the grid itself is kept [ix][iy]).
TArray2D GridImage(const TProjectionModel& model);

// The phantom's continuous density: the largest BlobValue of the enabled blobs on the
// closed square [1, 20]^2, 0 outside it. Holds copies of the enabled blobs; raises the
// model's errors (EInvalidOp, EZeroDivide, EOverflow) for a blob whose value cannot be
// computed, as the grid does.
class TPhantomDensity {
 public:
  explicit TPhantomDensity(const std::vector<TGauss3D>& blobs);
  double Value(double x, double y) const;
  const std::vector<TGauss3D>& EnabledBlobs() const { return enabled_; }

 private:
  std::vector<TGauss3D> enabled_;
};

// Joseph's method over a 128 x 128 image [iy][ix]: a ray crosses every row where
// |cos theta| >= |sin theta| and every column elsewhere, the image is interpolated
// linearly between the two neighbouring cells at each crossing (cells outside count 0),
// and the sum is weighted by 1 / max(|cos theta|, |sin theta|). At 0 degrees, for even
// M, bin (M - 128) / 2 + ix holds exactly the model's Projection[ix] (the running sum of
// the column), and the bins outside hold 0; at 90 degrees the bins hold the row sums.
TArray2D ProjectGrid(const TArray2D& image, const TScanGeometry& geometry,
                     const std::stop_token& stop = {}, int threads = 0);

// The line integrals of the continuous phantom divided by h, to a relative accuracy of
// 1e-9 of the sinogram's maximum (in fact to rounding). Along a ray every blob is a
// Gaussian of the ray's parameter; the ray's chord through the square is cut where the
// largest blob changes (the kinks, found as roots of the quadratics that compare two
// blobs' logarithms) and each piece integrated in closed form (erf).
TArray2D ProjectExact(const TPhantomDensity& phantom, const TScanGeometry& geometry,
                      const std::stop_token& stop = {}, int threads = 0);

// Photon noise for an incident count `photons` (> 0) per bin: n ~ Poisson(I0 exp(-h p)),
// value = -ln(max(n, 1) / I0) / h. The draw of each bin depends only on the seed, the view
// and the bin, so the result is the same for any thread count.
// Raises EInvalidStudyValue unless photons is finite and > 0.
TArray2D AddPhotonNoise(const TArray2D& sinogram, double photons, std::uint64_t seed,
                        int threads = 0);

}  // namespace quarvel
