#pragma once
// The straightforward model: every grid cell through BlobValue and every step of
// the crossing search probed in turn. The tests compare the model against it and the
// benchmarks measure the model's speed-up over it.

#include <cstdint>
#include <vector>

#include "model/Crossing.h"
#include "model/ProjectionModel.h"

namespace quarvel::testing {

struct StepwiseCrossing {
  CrossingResult result;
  int64_t probes = 0;  // how many X values were probed
};

// Probes xl, NextSearchX(xl), ... below xr one by one; without a crossing, the first
// X of the smallest gap. Must not be given an interval where the step stops advancing.
StepwiseCrossing SearchCrossingStepwise(const TCubic& fit1, const TCubic& fit2, double xl,
                                        double xr);

// Folds a blob cell by cell with BlobValue.
void AddBlobToGridPointwise(TProjectionModel& model, const TGauss3D& blob);

// The resampled points for the model's Resolution from its Projection, searching
// step by step.
std::vector<TProjectionPoint> ResampleStepwise(const TProjectionModel& model);

// The whole update cycle of the model, straightforwardly.
void RecomputeStepwise(TProjectionModel& model);

}  // namespace quarvel::testing
