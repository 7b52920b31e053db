#include <string>

#include "format/MessageFormat.h"
#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"

namespace quarvel {

TArray2D GridImage(const TProjectionModel& model) {
  constexpr int n = TProjectionModel::kGridSize;
  TArray2D image(n, n);
  for (int iy = 0; iy < n; ++iy)
    for (int ix = 0; ix < n; ++ix) image.At(iy, ix) = model.Grid[ix][iy];
  return image;
}

void joseph::CheckGridImage(const TArray2D& image, const char* what) {
  if (image.Rows != joseph::kSize || image.Columns != joseph::kSize ||
      image.Values.size() != std::size_t(joseph::kSize) * joseph::kSize)
    throw EInvalidStudyValue(
        FormatMessage("%s must be 128 x 128, not %d x %d",
                      {std::string(what), int64_t{image.Columns}, int64_t{image.Rows}}));
}

void joseph::CheckSinogram(const TArray2D& sinogram, const TScanGeometry& geometry) {
  CheckGeometry(geometry);
  if (sinogram.Rows != geometry.Views || sinogram.Columns != geometry.Detectors ||
      sinogram.Values.size() != std::size_t(sinogram.Rows) * std::size_t(sinogram.Columns))
    throw EInvalidStudyValue(
        FormatMessage("the sinogram must have %d views of %d bins, not %d of %d",
                      {int64_t{geometry.Views}, int64_t{geometry.Detectors}, int64_t{sinogram.Rows},
                       int64_t{sinogram.Columns}}));
}

TArray2D ProjectGrid(const TArray2D& image, const TScanGeometry& geometry,
                     const std::stop_token& stop, int threads) {
  if (IsFan(geometry)) return ProjectGridFan(image, geometry, stop, threads);
  CheckGeometry(geometry);
  joseph::CheckGridImage(image, "the image");
  const joseph::TLines lines(image);
  TArray2D sinogram(geometry.Views, geometry.Detectors);
  ParallelRanges(geometry.Views, threads, [&](int begin, int end) {
    for (int k = begin; k < end && !stop.stop_requested(); ++k)
      joseph::ProjectView(lines, joseph::TView(geometry, k), &sinogram.At(k, 0));
  });
  ThrowIfStopped(stop);
  return sinogram;
}

}  // namespace quarvel
