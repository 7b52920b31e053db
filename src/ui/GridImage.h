#pragma once
// The viewer's model as the tomography core takes it: its grid as an image and its blob
// list as values (the core itself knows no model).

#include <vector>

#include "model/Gauss.h"
#include "model/ProjectionModel.h"
#include "tomo/Geometry.h"

namespace quarvel {

// The grid of the model as an image [iy][ix] (the grid itself is kept [ix][iy]).
TArray2D GridImage(const TProjectionModel& model);

// Copies of the model's blobs in list order, enabled or not.
std::vector<TGauss3D> ModelBlobs(const TProjectionModel& model);

}  // namespace quarvel
