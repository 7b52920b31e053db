#include "ui/GridImage.h"

namespace quarvel {

TArray2D GridImage(const TProjectionModel& model) {
  constexpr int n = TProjectionModel::kGridSize;
  TArray2D image(n, n);
  for (int iy = 0; iy < n; ++iy)
    for (int ix = 0; ix < n; ++ix) image.At(iy, ix) = model.Grid[ix][iy];
  return image;
}

std::vector<TGauss3D> ModelBlobs(const TProjectionModel& model) {
  std::vector<TGauss3D> blobs;
  blobs.reserve(static_cast<std::size_t>(model.BlobCount()));
  for (int i = 0; i < model.BlobCount(); ++i) blobs.push_back(*model.BlobAt(i));
  return blobs;
}

}  // namespace quarvel
