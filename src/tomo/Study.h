#pragma once
// One study of the phantom: its sinogram under the chosen geometry, projector and noise,
// the reconstruction by the chosen method, and its comparison with the grid. This is
// what `quarvel-export` writes and what a window shows; each stage can also be run alone
// (Projectors.h, Reconstruction.h, Metrics.h).

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

#include "model/ProjectionModel.h"
#include "tomo/Geometry.h"
#include "tomo/Metrics.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"

namespace quarvel {

enum class TProjectorKind { Grid, Exact };
enum class TReconstructionMethod { Fbp, Sirt, Sart };

struct TStudyOptions {
  TScanGeometry Geometry;
  TProjectorKind Projector = TProjectorKind::Grid;
  std::optional<double> Photons;  // no noise without it
  std::uint64_t Seed = 0;
  TReconstructionMethod Method = TReconstructionMethod::Fbp;
  TFbpOptions Fbp;
  int Iterations = 10;       // SIRT and SART: 1 ... 100000
  bool NonNegative = false;  // SIRT and SART: negative cells set to 0 after each update
  // SIRT and SART: called after each iteration with the number done; may be empty.
  std::function<void(int)> Progress;
  int Threads = 0;  // see ResolveThreadCount; the results do not depend on it
};

// Raises EInvalidGeometry or EInvalidStudyValue (the message names the value and its
// range) unless every option is in range; photons, when given, must be finite and > 0.
void CheckStudyOptions(const TStudyOptions& options);

struct TStudyResult {
  TArray2D Truth;  // the grid, [iy][ix]
  TArray2D Sinogram;
  TArray2D Reconstruction;
  TArray2D Difference;
  TImageMetrics Metrics;
};

// Runs the whole chain on the model's current grid and blob list (the exact projector
// takes the enabled blobs, the grid projector the grid). Raises CheckStudyOptions' errors
// before computing anything, ECancelled when `stop` is requested.
TStudyResult RunStudy(const TProjectionModel& model, const TStudyOptions& options,
                      const std::stop_token& stop = {});

}  // namespace quarvel
