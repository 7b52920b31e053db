#pragma once
// What the tomography chain takes, checked before any work starts: how dense a blob may
// be, and how much memory a study's arrays need at their peak.
//
// Densities: every stage sums, weighs and (in the metrics) squares values of the order of
// the blobs' peak densities. A blob of spread s has a peak of about 0.4 / s; the reader
// takes spreads down to about 2.2e-309, whose peaks come close to the largest double,
// and their sums along a ray or their squares in SSIM would overflow. The chain takes
// peaks up to kMaxPeakDensity (spreads down to about 4e-151): squared, summed over
// windows and views and scaled by the reconstruction's gains, such values stay far
// inside the double range.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/Gauss.h"
#include "tomo/Study.h"

namespace quarvel {

constexpr double kMaxPeakDensity = 1e150;

// The blob's largest value, 1 / sqrt(2 pi |dx| |dy|), computed so that it cannot overflow
// (+inf for a zero spread).
double PeakDensity(const TGauss3D& blob);

// Raises EInvalidStudyValue naming the first enabled blob (1-based, in list order) whose
// peak density is above kMaxPeakDensity, with its spreads and the bound.
void CheckBlobDensities(const std::vector<TGauss3D>& blobs);

// The bytes a study's arrays hold at their peak: the sinogram (8 bytes per bin of each
// view), a second one while photon noise is drawn, the filtered views of FBP, SIRT's
// weights and residual, SART's weights, CGLS's residual and projected direction; or, with
// `sinogramOnly`, the sinogram stage alone. Small arrays (the 128 x 128 images, a view's buffers)
// are left out.
std::uint64_t StudyPeakBytes(const TStudyOptions& options, bool sinogramOnly);

// "needs about 24 GB, 9.8 GB available" when `needed` is more than `available`, else
// nothing. Sizes are decimal (1 GB = 1e9 bytes) with two significant digits, the need
// rounded up and what is available rounded down, so that the words never understate
// the shortfall.
std::optional<std::string> MemoryShortfall(std::uint64_t needed, std::uint64_t available);

// "24 GB", "9.8 GB", "512 MB", "12 kB", "100 B": two significant digits, rounded up or down.
std::string ApproximateSize(std::uint64_t bytes, bool roundUp);

}  // namespace quarvel
