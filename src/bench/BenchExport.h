#pragma once
// What the bench saves and copies: each array of a shown result as the export tool
// writes it (PNG, CSV, NPY, TIFF), and all of them into a folder at once.

#include <QByteArray>
#include <QImage>
#include <QString>

#include "bench/BenchStudy.h"
#include "ui/TomographyExport.h"

namespace quarvel {

enum class TBenchArray { Grid, Sinogram, Reconstruction, Difference };

// The file name stem of an array ("grid", "sinogram", "reconstruction", "difference").
const char* ArrayStem(TBenchArray array);
// The file ending of a kind ("png", "csv", "npy", "tif").
const char* KindEnding(TExportKind kind);

// The grid's 128 x 128 picture in the main window's green.
QImage GreenPicture(const TArray2D& grid);

// The bytes of one array of `result` in `kind`, as `quarvel-export` writes them for the
// same phantom and settings: the grid as its `grid` command (PNG green, CSV ix,iy,x,y,value;
// NPY and TIFF of the grid image), the others as `sinogram`, `reconstruction` and
// `difference`.
QByteArray ResultBytes(const TBenchResult& result, TBenchArray array, TExportKind kind);
// `metrics`' CSV of the result.
QByteArray MetricsBytes(const TBenchResult& result);

// Writes every array of the result in every kind, metrics.csv and the blobs as
// phantom.csv into `folder` (through the export's writer; EOutputError names a file that
// cannot be written). Returns the number of files written.
int ExportResult(const TBenchResult& result, const QString& folder);

}  // namespace quarvel
