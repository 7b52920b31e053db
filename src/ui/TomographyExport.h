#pragma once
// The export tool's tomography commands: `sinogram`, `reconstruction`, `difference` and
// `metrics`. They need no window: the model is computed headlessly from the same blobs
// the window starts with (the built-in three or a phantom file's), folded into the grid
// exactly as the window folds them, so the grid is bit for bit the `grid` command's.
//
// Everything the command line asks is checked before anything is computed or written:
// an unknown command-option pair, a value out of range or an output kind the command
// does not write raises EUsageError. Numbers in CSV are the shortest texts that read
// back to the same doubles.

#include <QByteArray>
#include <QCommandLineParser>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "model/PhantomFile.h"
#include "model/ProjectionModel.h"
#include "tomo/Study.h"
#include "ui/CommandLine.h"
#include "ui/OutputFile.h"
#include "ui/TomographyData.h"

namespace quarvel {

enum class TExportKind { Png, Csv, Npy, Tiff };

struct TTomographyJob {
  std::string Command;  // sinogram, reconstruction, difference or metrics
  TExportKind Kind = TExportKind::Csv;
  TStudyOptions Study;
  TTomographyData Data;  // the user's image, sinogram, history file and region
  // Whether a progress line may be drawn on standard error (a terminal) for work expected
  // to take more than about a second: off with --quiet.
  bool Progress = false;
};

// The work of a job in units of about 50 ns (one bin of one view passed once), for
// deciding whether it is long enough to show its progress: sinogram bins times the
// passes over them (one to project, none for a given --sinogram, one more per blob group
// of the exact projector, one for FBP, two per iteration of SIRT, SART or CGLS) and the
// written values' texts.
double ExpectedWork(const TTomographyJob& job, int blobs);

bool IsTomographyCommand(const QString& command);

// The options --views, --arc, --detectors, --projector, --photons, --seed, --method,
// --filter, --cutoff and --iterations, and DataOptions(), for the tool's parser.
QList<QCommandLineOption> TomographyOptions();

// For a tomography command, its job from the parsed options and the output file's
// name; for any other command nothing, once it is sure that no tomography option was
// given. Raises EUsageError for an option the command (or the chosen method) does not
// take, --size or --resolution with a tomography command, a bad value, and an output
// kind the command does not write (by --format, or the file's ending: .png, .csv,
// .npy, .tif, .tiff).
std::optional<TTomographyJob> TomographyJob(const QCommandLineParser& parser,
                                            const QString& command, const QString& file);

// The fan's fields from --geometry, --source-distance and --detector-distance into
// `geometry`, for an image of `image`. What they leave out comes from a sinogram's JSON
// file (when it set the distances: geometry.SourceDistance > 0), else from
// DefaultFanFields: the spacing unless --detector-spacing was given, the bins unless
// --detectors was or `binsGiven` (a sinogram's). Raises EUsageError for a bad value or a
// fan's option with --geometry parallel.
void ParseBeamOptions(const QCommandLineParser& parser, TScanGeometry& geometry,
                      const TImageSize& image, bool binsGiven = false);

// The model of `phantom` (the built-in blobs without one) as the window computes it:
// grid and zero projection, without the resampled points, which no study reads.
void ComputeHeadlessModel(TProjectionModel& model,
                          const std::optional<std::vector<TPhantomBlob>>& phantom);

// The bytes the job holds at its peak: the study's arrays (StudyPeakBytes), the images of
// --image or --grid-size, a sinogram given with --sinogram, the output's own buffers and
// a margin for the program's threads and libraries.
std::uint64_t TomographyPeakBytes(const TTomographyJob& job);

// Raises EUsageError when a blob is too dense for the chain (CheckBlobDensities), or when
// the job needs more than `available` bytes: "sinogram of 100000 views of 10000 bins
// needs about 8.1 GB, 900 MB available".
void CheckTomographyFits(const TTomographyJob& job, const TProjectionModel& model,
                         std::uint64_t available);

// Runs the job on the model (CheckTomographyFits first, against AvailableMemoryBytes);
// what it returns writes the output file's bytes to a sink
// (WriteOutputFile), a CSV or NPY in chunks, never whole in memory.
TOutputProducer TomographyOutput(const TTomographyJob& job, const TProjectionModel& model);
// The same bytes at once, for the tests and the bench.
QByteArray TomographyBytes(const TTomographyJob& job, const TProjectionModel& model);

// What a job writes: the output file's bytes, and the text of the JSON file beside a
// sinogram written as NPY or TIFF and of --history's file, where they are written.
struct TTomographyOutputs {
  TOutputProducer Data;  // writes the file's bytes to a sink, a CSV or NPY in chunks
  std::optional<std::string> Sidecar;
  std::optional<std::string> History;
};
TTomographyOutputs TomographyOutputs(const TTomographyJob& job, const TProjectionModel& model);

// Runs the job and writes its outputs: the file, then --history's, then the sinogram's
// JSON file (SidecarPath(file)), each through WriteOutputFile. The JSON file is written
// only beside a regular file (or a new one): not for standard output, a device or a pipe.
void WriteTomographyOutputs(const QString& file, const TTomographyJob& job,
                            const TProjectionModel& model);

// `grid` written from the phantom sampled at --grid-size rather than from the window:
// its output kind when the file is NPY or TIFF or --grid-size is given, else nothing (the
// window's grid, as before). Raises EUsageError for a kind grid does not write.
std::optional<TExportKind> HeadlessGridKind(const QCommandLineParser& parser,
                                            const QString& command, const QString& file);
// The grid's bytes: the phantom of `model` at --grid-size N ([iy][ix]): the CSV as the
// window's (x, y = 1 + i * 19 / (N - 1)), the PNG in its green levels, NPY or TIFF.
QByteArray HeadlessGridBytes(const QCommandLineParser& parser, TExportKind kind,
                             const TProjectionModel& model);

// ---- the pieces, for the tests and the window
// "view,angle,bin,t,value": angle in degrees, t in model units, one row per bin; to a
// sink in chunks, or whole. t = BinCells * 19 / (gridSize - 1): the bin's position in
// model units for the pixel of the phantom's grid of gridSize (the viewer's BinPosition
// at 128).
void WriteSinogramCsv(TOutputSink& sink, const TArray2D& sinogram, const TScanGeometry& geometry,
                      int gridSize = 128);
std::string SinogramCsv(const TArray2D& sinogram, const TScanGeometry& geometry,
                        int gridSize = 128);
// "ix,iy,x,y,value" over an image [iy][ix], in the grid CSV's order (ix outer); x and y
// in model units, 1 + i * 19 / (C - 1) for C columns (the viewer's grid coordinates at 128).
void WriteImageCsv(TOutputSink& sink, const TArray2D& image);
std::string ImageCsv(const TArray2D& image);
// "rmse,nrmse,psnr,ssim" and one row.
std::string MetricsCsv(const TImageMetrics& metrics);
// Pictures raise Exception ("not enough memory for a picture of ...") when their pixels
// cannot be allocated.
// One grey pixel per value, rows as the array's: the smallest value black, the largest
// white, linear between (rounded to nearest); a constant array is black. Non-finite
// values take no part in the range: +inf is white, -inf and NaN black.
QImage GreyPicture(const TArray2D& array);
// A diverging map symmetric about 0: 0 white, +a pure red, -a pure blue, linear
// between, a the largest finite |value| (an all-zero array is white).
QImage DivergingPicture(const TArray2D& array);

}  // namespace quarvel
