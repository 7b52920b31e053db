// One grid projection and FBP of the built-in phantom, as a process of its own, for the
// side-by-side comparison with the CT simulator (bench/ctsim_compare.sh):
//   tomo_chain VIEWS [THREADS]
// 128 x 128 grid, 182 bins over a half turn; prints the reconstruction's NRMSE.

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "model/ProjectionModel.h"
#include "tomo/Study.h"

namespace {

using namespace quarvel;

// The model's grid as an image [iy][ix], as the viewer hands it to the core.
TArray2D GridImage(const TProjectionModel& model) {
  constexpr int n = TProjectionModel::kGridSize;
  TArray2D image(n, n);
  for (int iy = 0; iy < n; ++iy)
    for (int ix = 0; ix < n; ++ix) image.At(iy, ix) = model.Grid[ix][iy];
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tomo_chain VIEWS [THREADS]\n");
    return 2;
  }
  TProjectionModel model;
  model.AdoptBlob(std::make_unique<TGauss3D>(7.0, 2.0, 12.0, 2.0));
  model.AdoptBlob(std::make_unique<TGauss3D>(9.0, 3.0, 7.0, 1.0));
  model.AdoptBlob(std::make_unique<TGauss3D>(15.0, 1.0, 8.0, 3.0));
  model.RecomputeModel();
  const TScanGeometry geometry{.Views = std::atoi(argv[1]), .ArcDegrees = 180, .Detectors = 182};
  const int threads = argc > 2 ? std::atoi(argv[2]) : 0;
  const TArray2D truth = GridImage(model);
  const TArray2D sinogram = ProjectGrid(truth, geometry, {}, threads);
  const TArray2D image = ReconstructFbp(sinogram, geometry, {}, {}, {}, threads);
  std::printf("%.6g\n", CompareImages(image, truth).Nrmse);
  return 0;
}
