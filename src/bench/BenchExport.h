#pragma once
// What the bench saves and copies: each array of a shown result as the export tool
// writes it (PNG, CSV, NPY, TIFF), and all of them into a folder at once.

#include <QByteArray>
#include <QImage>
#include <QString>

#include <string>
#include <vector>

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

// The options `quarvel-export` takes for these settings: the sinogram's for `sinogram`,
// and the method's too when `reconstructs` ("--views 90 --arc 180 --detectors 182
// --projector grid --photons 5000 --seed 7 --method fbp --filter hann --cutoff 0.75"); a
// fan adds "--geometry fan-arc --source-distance 256 --detector-distance 256" after the
// projector. Numbers are written with all their digits.
// With a given sinogram (`data`) the scan's options are left out (--projector, --photons,
// --seed; --views and --arc when the file has its own angles; the bins and the beam when
// its JSON file records them).
std::string ExportOptions(const TBenchSettings& settings, bool reconstructs,
                          const TBenchData& data = {});
// `text` for a POSIX shell: in single quotes, each quote as '\''.
std::string ShellQuoted(const std::string& text);
// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text);
// A shell script of the `quarvel-export` command lines that write the same files as
// ExportResult (phantom.csv being the blobs), one per file; the difference and the
// figures over `region` (--mask circle, --region L,T,R,B). Opened data adds --image and
// --sinogram with the files' absolute paths; the files that hold the data as read (the
// grid's for an image, the sinogram's for a given one) are named in a comment instead.
std::string ExportCommands(const TBenchSettings& settings, const TRegion& region = {},
                           const TBenchData& data = {});
// The settings, the blobs and the figures of a result as a JSON object (numbers with all
// their digits; a figure that is not finite as a string, "inf"). A fan adds "geometry",
// "source_distance", "detector_distance" and "spacing" after "detectors"; a region other
// than the whole image adds "region" ("circle", or {"left", "top", "right", "bottom"}:
// the columns left ... right - 1 and rows top ... bottom - 1); opened data adds "image"
// and "sinogram", the files' absolute paths, after the blobs.
std::string StudyJson(const TBenchResult& result);

// The names of the files ExportResult writes for a result of `method`, in the order it
// writes them (the iterative methods add history.csv).
std::vector<QString> ExportFileNames(TReconstructionMethod method = TReconstructionMethod::Fbp);

// Writes every array of the result in every kind, metrics.csv, for the iterative methods
// the figures after each iteration as history.csv (the export tool's --history), the
// blobs as phantom.csv,
// the settings as study.json and the equivalent command lines as commands.sh into
// `folder` (through the export's writer; EOutputError names a file that cannot be
// written). Returns the number of files written.
int ExportResult(const TBenchResult& result, const QString& folder);

}  // namespace quarvel
