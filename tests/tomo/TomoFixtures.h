#pragma once
// Shared pieces of the tomography suites: the built-in phantom's model and floating-point
// traps switched on for a scope, as the program runs.

#include <fenv.h>

#include <memory>
#include <vector>

#include "ModelFixtures.h"
#include "tomo/Geometry.h"
#include "tomo/Study.h"

namespace quarvel::testing {

// Invalid operations, divisions by zero and overflows trap (SIGFPE) inside the scope.
class TrapsOn {
 public:
  TrapsOn() { feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
  ~TrapsOn() { fedisableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW); }
  TrapsOn(const TrapsOn&) = delete;
  TrapsOn& operator=(const TrapsOn&) = delete;
};

// The model's grid as an image [iy][ix], as the viewer hands it to the core.
inline TArray2D GridImage(const TProjectionModel& model) {
  constexpr int n = TProjectionModel::kGridSize;
  TArray2D image(n, n);
  for (int iy = 0; iy < n; ++iy)
    for (int ix = 0; ix < n; ++ix) image.At(iy, ix) = model.Grid[ix][iy];
  return image;
}

inline std::vector<TGauss3D> Blobs(const TProjectionModel& model) {
  std::vector<TGauss3D> blobs;
  blobs.reserve(model.BlobCount());
  for (int i = 0; i < model.BlobCount(); ++i) blobs.push_back(*model.BlobAt(i));
  return blobs;
}

// A study of the model's grid and blobs, as the viewer runs one.
inline TStudyResult RunStudy(const TProjectionModel& model, const TStudyOptions& options) {
  return quarvel::RunStudy(GridImage(model), Blobs(model), options);
}

inline double MaxAbs(const TArray2D& a) {
  double m = 0;
  for (double v : a.Values) m = std::max(m, std::fabs(v));
  return m;
}

}  // namespace quarvel::testing
