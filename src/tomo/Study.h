#pragma once
// One study of an image: its sinogram under the chosen geometry, projector and noise (or
// a sinogram given instead), the reconstruction by the chosen method, and its comparison
// with the image (the truth). This is what `quarvel-export` writes and what a window
// shows; each stage can also be run alone (Projectors.h, Reconstruction.h, Metrics.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#include "model/Gauss.h"
#include "tomo/Geometry.h"
#include "tomo/Metrics.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"

namespace quarvel {

enum class TProjectorKind { Grid, Exact };
enum class TReconstructionMethod { Fbp, Sirt, Sart, Cgls };

// What decides a study's result: values only, comparable as a whole.
struct TStudySettings {
  TScanGeometry Geometry;
  TProjectorKind Projector = TProjectorKind::Grid;
  // The phantom's grid N (8 ... 4096): the exact projector's N x N grid over [1, 20]^2
  // and the pixel PixelSize(N) that scales the photon noise. The truth of a study with
  // the exact projector must be N x N.
  int GridSize = 128;
  std::optional<double> Photons;  // no noise without it
  std::uint64_t Seed = 0;
  TReconstructionMethod Method = TReconstructionMethod::Fbp;
  TFbpOptions Fbp;
  int Iterations = 10;       // SIRT, SART and CGLS: 1 ... 100000
  double Relaxation = 1;     // SIRT and SART: inside (0, 2); CGLS: 1
  bool NonNegative = false;  // SIRT and SART: negative cells set to 0 after each update
  friend bool operator==(const TStudySettings&, const TStudySettings&) = default;
};

// Whether two settings scan the same truth into the same sinogram: the geometry, the
// projector, the grid and the noise (the seed only with noise).
bool SameSinogram(const TStudySettings& a, const TStudySettings& b);
// Whether two settings give the same result from the same truth: the same sinogram
// reconstructed alike (the filter only for FBP; the iterations, relaxation and
// non-negativity only for the iterative methods, which take them).
bool SameStudy(const TStudySettings& a, const TStudySettings& b);

struct TStudyOptions : TStudySettings {
  // The iterative methods: called after each iteration with the number done; may be empty.
  std::function<void(int)> Progress;
  // The iterative methods: called after each iteration with the image so far (see
  // TIterativeOptions::Iterate); may be empty.
  std::function<void(int, const TArray2D&)> Iterate;
  int Threads = 0;  // see ResolveThreadCount; the results do not depend on it
  // Where the difference and the figures are taken (Metrics.h); it changes neither the
  // sinogram nor the reconstruction.
  TRegion Region;
};

// Raises EInvalidGeometry or EInvalidStudyValue (the message names the value and its
// range) unless every option is in range; photons, when given, must be finite and > 0.
void CheckStudyOptions(const TStudyOptions& options);

struct TStudyResult {
  TArray2D Truth;  // a copy of the truth, [iy][ix]
  TArray2D Sinogram;
  TArray2D Reconstruction;
  TArray2D Difference;
  TImageMetrics Metrics;
};

// Runs the whole chain on `truth` (an image [iy][ix], 8 ... 4096 on each side, also the
// size of the reconstruction) and `blobs` (the exact projector's phantom, whose enabled
// blobs count): the grid projector scans the truth, the exact projector the blobs. With
// `sinogram` (geometry.Views rows of geometry.Detectors bins) that sinogram is
// reconstructed instead, and neither projection nor noise is made. The difference and the
// figures are over options.Region. Raises CheckStudyOptions' errors and
// EInvalidStudyValue for sizes (and a region) that do not fit before computing anything,
// ECancelled when `stop` is requested.
TStudyResult RunStudy(const TArrayView& truth, const std::vector<TGauss3D>& blobs,
                      const TStudyOptions& options, const std::stop_token& stop = {},
                      const TArrayView* sinogram = nullptr);

}  // namespace quarvel
