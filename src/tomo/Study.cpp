#include "tomo/Study.h"

#include <cmath>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Limits.h"
#include "tomo/Parallel.h"

namespace quarvel {

bool SameSinogram(const TStudySettings& a, const TStudySettings& b) {
  return a.Geometry == b.Geometry && a.Projector == b.Projector && a.GridSize == b.GridSize &&
         a.Photons == b.Photons && (!a.Photons || a.Seed == b.Seed);
}

bool SameStudy(const TStudySettings& a, const TStudySettings& b) {
  if (!SameSinogram(a, b) || a.Method != b.Method) return false;
  if (a.Method == TReconstructionMethod::Fbp) return a.Fbp == b.Fbp;
  return a.Iterations == b.Iterations && a.Relaxation == b.Relaxation &&
         a.NonNegative == b.NonNegative;
}

void CheckStudyOptions(const TStudyOptions& options) {
  CheckGeometry(options.Geometry);
  if (options.GridSize < 8 || options.GridSize > 4096)
    throw EInvalidStudyValue(FormatFixedMessage("grid size must be from 8 to 4096, not %d",
                                                {int64_t{options.GridSize}}));
  CheckFbpOptions(options.Fbp);
  TIterativeOptions iterative;
  iterative.Iterations = options.Iterations;
  if (options.Method != TReconstructionMethod::Fbp) {
    iterative.Method = options.Method == TReconstructionMethod::Cgls ? TIterativeMethod::Cgls
                                                                     : TIterativeMethod::Sirt;
    iterative.Relaxation = options.Relaxation;
    iterative.NonNegative = options.NonNegative;
  }
  CheckIterativeOptions(iterative);
  if (options.Photons && !(*options.Photons > 0 && std::isfinite(*options.Photons)))
    throw EInvalidStudyValue(FormatFixedMessage("photons must be finite and greater than 0, not %g",
                                                {static_cast<long double>(*options.Photons)}));
}

TStudyResult RunStudy(const TArrayView& truth, const std::vector<TGauss3D>& blobs,
                      const TStudyOptions& options, const std::stop_token& stop,
                      const TArrayView* sinogram) {
  CheckStudyOptions(options);
  CheckBlobDensities(blobs);
  joseph::CheckImage(truth, "the truth");
  const TImageSize size{truth.Columns, truth.Rows};
  CheckFanGeometry(options.Geometry, size);
  CheckRegion(options.Region, size.Columns, size.Rows);
  if (sinogram) {
    joseph::CheckSinogram(*sinogram, options.Geometry);
  } else if (options.Projector == TProjectorKind::Exact &&
             !(size.Columns == options.GridSize && size.Rows == options.GridSize)) {
    throw EInvalidStudyValue(FormatFixedMessage(
        "the exact projector scans the phantom's %d x %d grid, not an image of %d x %d",
        {int64_t{options.GridSize}, int64_t{options.GridSize}, int64_t{size.Columns},
         int64_t{size.Rows}}));
  }
  const int threads = options.Threads;
  TStudyResult result;
  result.Truth = TArray2D(truth);
  if (sinogram) {
    result.Sinogram = TArray2D(*sinogram);
  } else {
    if (options.Projector == TProjectorKind::Grid)
      result.Sinogram = ProjectGrid(truth, options.Geometry, stop, threads);
    else
      result.Sinogram =
          ProjectExact(TPhantomDensity(blobs), options.Geometry, options.GridSize, stop, threads);
    if (options.Photons)
      result.Sinogram = AddPhotonNoise(result.Sinogram, *options.Photons, options.Seed, threads,
                                       PixelSize(options.GridSize));
  }
  ThrowIfStopped(stop);
  if (options.Method == TReconstructionMethod::Fbp) {
    result.Reconstruction =
        ReconstructFbp(result.Sinogram, options.Geometry, options.Fbp, size, stop, threads);
  } else {
    TIterativeOptions iterative;
    iterative.Method = options.Method == TReconstructionMethod::Sirt   ? TIterativeMethod::Sirt
                       : options.Method == TReconstructionMethod::Sart ? TIterativeMethod::Sart
                                                                       : TIterativeMethod::Cgls;
    iterative.Iterations = options.Iterations;
    iterative.Relaxation = options.Relaxation;
    iterative.NonNegative = options.NonNegative;
    iterative.Progress = options.Progress;
    iterative.Iterate = options.Iterate;
    result.Reconstruction =
        ReconstructIterative(result.Sinogram, options.Geometry, iterative, size, stop, threads);
  }
  result.Difference = DifferenceImage(result.Reconstruction, result.Truth, options.Region);
  result.Metrics = CompareImages(result.Reconstruction, result.Truth, options.Region);
  return result;
}

}  // namespace quarvel
