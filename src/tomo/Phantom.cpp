#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "format/MessageFormat.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"

namespace quarvel {
namespace {

// One blob's density along one axis at every coordinate of the grid. An entry whose
// evaluation failed keeps its error, to be raised where the cell-by-cell fold first
// meets it (as the viewer's grid raises it).
struct TAxisDensities {
  std::vector<double> Value;
  std::vector<std::exception_ptr> Error;
  bool Clean = true;  // every value computed and not negative

  TAxisDensities(const std::vector<double>& coordinates, double mean, double spread)
      : Value(coordinates.size()), Error(coordinates.size()) {
    for (std::size_t i = 0; i < coordinates.size(); ++i) {
      try {
        Value[i] = NormalDensity(coordinates[i], mean, spread);
        if (!(Value[i] >= 0)) Clean = false;
      } catch (...) {
        Error[i] = std::current_exception();
        Clean = false;
      }
    }
  }
};

}  // namespace

double PixelSize(int size) { return 19.0 / (size - 1); }

TArray2D SamplePhantom(const std::vector<TGauss3D>& blobs, int size) {
  CheckImageSize({size, size});
  // 1 + i * 19 / (N - 1) in extended precision, then rounded: the viewer's coordinates.
  const long double step = 19.0L / (size - 1);
  std::vector<double> coordinates(static_cast<std::size_t>(size));
  for (int i = 0; i < size; ++i) coordinates[std::size_t(i)] = static_cast<double>(1.0L + i * step);
  TArray2D image(size, size);
  // Blob by blob, as the viewer's grid folds them. A blob whose densities are all clean
  // cannot fail: a large image takes its rows on every processor. One with an error to
  // raise is folded row by row on one thread, so that the error raised is the one the
  // viewer's grid meets first.
  constexpr int kSharedFrom = 192;  // below it, waking the workers costs what they save
  for (const TGauss3D& blob : blobs) {
    if (!blob.Enabled) continue;
    const TAxisDensities xs(coordinates, blob.MX, blob.DX);
    const TAxisDensities ys(coordinates, blob.MY, blob.DY);
    const auto fold = [&](int begin, int end) {
      for (int iy = begin; iy < end; ++iy) {
        for (int ix = 0; ix < size; ++ix) {
          double v;
          if (xs.Clean && ys.Clean) {
            // Non-negative finite densities: the product and its root cannot fail.
            v = static_cast<double>(
                std::sqrt(static_cast<long double>(ys.Value[iy]) * xs.Value[ix]));
          } else {
            if (xs.Error[ix]) std::rethrow_exception(xs.Error[ix]);
            if (ys.Error[iy]) std::rethrow_exception(ys.Error[iy]);
            v = CombineDensities(xs.Value[ix], ys.Value[iy]);
          }
          if (v > image.At(iy, ix)) image.At(iy, ix) = v;
        }
      }
    };
    if (xs.Clean && ys.Clean && size >= kSharedFrom)
      ParallelRanges(size, 0, fold);
    else
      fold(0, size);
  }
  return image;
}

}  // namespace quarvel
