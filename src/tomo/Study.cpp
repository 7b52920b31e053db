#include "tomo/Study.h"

#include <cmath>

#include "format/MessageFormat.h"
#include "tomo/Limits.h"
#include "tomo/Parallel.h"

namespace quarvel {

void CheckStudyOptions(const TStudyOptions& options) {
  CheckGeometry(options.Geometry);
  CheckFbpOptions(options.Fbp);
  TIterativeOptions iterative;
  iterative.Iterations = options.Iterations;
  CheckIterativeOptions(iterative);
  if (options.Photons && !(*options.Photons > 0 && std::isfinite(*options.Photons)))
    throw EInvalidStudyValue(FormatMessage("photons must be finite and greater than 0, not %g",
                                           {static_cast<long double>(*options.Photons)}));
}

TStudyResult RunStudy(const TProjectionModel& model, const TStudyOptions& options,
                      const std::stop_token& stop) {
  CheckStudyOptions(options);
  CheckBlobDensities(model);
  const int threads = options.Threads;
  TStudyResult result;
  result.Truth = GridImage(model);
  if (options.Projector == TProjectorKind::Grid) {
    result.Sinogram = ProjectGrid(result.Truth, options.Geometry, stop, threads);
  } else {
    std::vector<TGauss3D> blobs;
    blobs.reserve(model.BlobCount());
    for (int i = 0; i < model.BlobCount(); ++i) blobs.push_back(*model.BlobAt(i));
    result.Sinogram = ProjectExact(TPhantomDensity(blobs), options.Geometry, stop, threads);
  }
  if (options.Photons)
    result.Sinogram = AddPhotonNoise(result.Sinogram, *options.Photons, options.Seed, threads);
  ThrowIfStopped(stop);
  if (options.Method == TReconstructionMethod::Fbp) {
    result.Reconstruction =
        ReconstructFbp(result.Sinogram, options.Geometry, options.Fbp, stop, threads);
  } else {
    TIterativeOptions iterative;
    iterative.Method = options.Method == TReconstructionMethod::Sirt ? TIterativeMethod::Sirt
                                                                     : TIterativeMethod::Sart;
    iterative.Iterations = options.Iterations;
    iterative.NonNegative = options.NonNegative;
    iterative.Progress = options.Progress;
    result.Reconstruction =
        ReconstructIterative(result.Sinogram, options.Geometry, iterative, stop, threads);
  }
  result.Difference = DifferenceImage(result.Reconstruction, result.Truth);
  result.Metrics = CompareImages(result.Reconstruction, result.Truth);
  return result;
}

}  // namespace quarvel
