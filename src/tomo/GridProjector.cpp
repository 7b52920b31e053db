#include <algorithm>
#include <vector>

#include "tomo/FanBeam.h"
#include "tomo/Joseph.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"

namespace quarvel {

TArray2D ProjectGrid(const TArrayView& image, const TScanGeometry& geometry,
                     const std::stop_token& stop, int threads) {
  if (IsFan(geometry)) return ProjectGridFan(image, geometry, stop, threads);
  joseph::CheckParallelGeometry(geometry, "the grid projector");
  joseph::CheckImage(image, "the image");
  const TImageSize size{image.Columns, image.Rows};
  const joseph::TLines lines(image);
  TArray2D sinogram(geometry.Views, geometry.Detectors);
  ParallelRanges(geometry.Views, threads, [&](int begin, int end) {
    for (int k = begin; k < end && !StopRequested(stop); ++k)
      joseph::ProjectView(lines, joseph::TView(geometry, k, size), &sinogram.At(k, 0));
  });
  ThrowIfStopped(stop);
  return sinogram;
}

TArray2D BackProject(const TArrayView& sinogram, const TScanGeometry& geometry,
                     const TImageSize& size, const std::stop_token& stop, int threads) {
  if (IsFan(geometry)) return BackProjectGridFan(sinogram, geometry, size, stop, threads);
  joseph::CheckParallelGeometry(geometry, "the back-projection");
  CheckImageSize(size);
  joseph::CheckSinogram(sinogram, geometry);
  std::vector<joseph::TView> views;
  views.reserve(std::size_t(geometry.Views));
  for (int k = 0; k < geometry.Views; ++k) views.emplace_back(geometry, k, size);
  // A caller's rows with gaps between them are read as they are; any other layout is
  // gathered view by view into a row of its own.
  const bool rows = sinogram.ColumnStride == 1;
  joseph::TLines lines(size);
  const int count = std::max(size.Rows, size.Columns);
  ParallelRanges(count, threads, [&](int begin, int end) {
    std::vector<double> gathered(rows ? 0 : std::size_t(geometry.Detectors));
    for (int k = 0; k < geometry.Views && !StopRequested(stop); ++k) {
      const double* values = &sinogram.Data[std::ptrdiff_t(k) * sinogram.RowStride];
      if (!rows) {
        for (int j = 0; j < geometry.Detectors; ++j) gathered[std::size_t(j)] = sinogram.At(k, j);
        values = gathered.data();
      }
      const joseph::TView& view = views[std::size_t(k)];
      joseph::BackProjectView(view, values, begin, end,
                              view.AlongRows ? lines.Rows.data() : lines.Columns.data());
    }
  });
  ThrowIfStopped(stop);
  return lines.Sum();
}

}  // namespace quarvel
