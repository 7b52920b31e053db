#include "bench/BenchExport.h"

#include <QDir>

#include <algorithm>

#include "bench/BenchPictures.h"
#include "io/ArrayFiles.h"
#include "ui/ExportView.h"
#include "ui/OutputFile.h"

namespace quarvel {

const char* ArrayStem(TBenchArray array) {
  switch (array) {
    case TBenchArray::Grid:
      return "grid";
    case TBenchArray::Sinogram:
      return "sinogram";
    case TBenchArray::Reconstruction:
      return "reconstruction";
    case TBenchArray::Difference:
      break;
  }
  return "difference";
}

const char* KindEnding(TExportKind kind) {
  switch (kind) {
    case TExportKind::Png:
      return "png";
    case TExportKind::Csv:
      return "csv";
    case TExportKind::Npy:
      return "npy";
    case TExportKind::Tiff:
      break;
  }
  return "tif";
}

QImage GreenPicture(const TArray2D& grid) {
  QImage image(grid.Columns, grid.Rows, QImage::Format_RGB32);
  const double gridMax =
      grid.Values.empty() ? 0 : *std::max_element(grid.Values.begin(), grid.Values.end());
  for (int iy = 0; iy < grid.Rows; ++iy)
    for (int ix = 0; ix < grid.Columns; ++ix)
      image.setPixel(ix, iy, qRgb(0, GreenColor(grid.At(iy, ix), gridMax).G, 0));
  return image;
}

QByteArray ResultBytes(const TBenchResult& result, TBenchArray array, TExportKind kind) {
  const TArray2D& a = array == TBenchArray::Grid             ? result.Input.Truth
                      : array == TBenchArray::Sinogram       ? result.Sinogram
                      : array == TBenchArray::Reconstruction ? result.Reconstruction
                                                             : result.Difference;
  switch (kind) {
    case TExportKind::Png:
      return PngBytes(array == TBenchArray::Grid         ? GreenPicture(a)
                      : array == TBenchArray::Difference ? DivergingPicture(a)
                                                         : GreyPicture(a));
    case TExportKind::Npy:
      return TextBytes(NpyBytes(a));
    case TExportKind::Tiff:
      return TextBytes(TiffBytes(a));
    case TExportKind::Csv:
      break;
  }
  return TextBytes(array == TBenchArray::Sinogram ? SinogramCsv(a, result.Input.Settings.Geometry)
                                                  : ImageCsv(a));
}

QByteArray MetricsBytes(const TBenchResult& result) {
  return TextBytes(MetricsCsv(result.Metrics));
}

int ExportResult(const TBenchResult& result, const QString& folder) {
  const QDir dir(folder);
  int written = 0;
  for (TBenchArray array : {TBenchArray::Grid, TBenchArray::Sinogram, TBenchArray::Reconstruction,
                            TBenchArray::Difference})
    for (TExportKind kind :
         {TExportKind::Png, TExportKind::Csv, TExportKind::Npy, TExportKind::Tiff}) {
      WriteOutputFile(dir.filePath(QString("%1.%2").arg(ArrayStem(array), KindEnding(kind))),
                      ResultBytes(result, array, kind));
      ++written;
    }
  WriteOutputFile(dir.filePath("metrics.csv"), MetricsBytes(result));
  WriteOutputFile(dir.filePath("phantom.csv"), TextBytes(PhantomCsv(result.Input.Phantom)));
  return written + 2;
}

}  // namespace quarvel
