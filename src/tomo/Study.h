#pragma once
// One study of the phantom: its sinogram under the chosen geometry, projector and noise,
// the reconstruction by the chosen method, and its comparison with the grid. This is
// what `quarvel-export` writes and what a window shows; each stage can also be run alone
// (Projectors.h, Reconstruction.h, Metrics.h).

#include <cstdint>
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
  int Iterations = 10;
};

struct TStudyResult {
  TArray2D Truth;  // the grid, [iy][ix]
  TArray2D Sinogram;
  TArray2D Reconstruction;
  TArray2D Difference;
  TImageMetrics Metrics;
};

// Runs the whole chain on the model's current grid and blob list. Raises the geometry's
// or the options' error for values out of range, ECancelled when `stop` is requested.
TStudyResult RunStudy(const TProjectionModel& model, const TStudyOptions& options,
                      std::stop_token stop = {});

}  // namespace quarvel
