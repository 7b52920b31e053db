#pragma once
// The user's own data for the export tool's tomography commands, and the options that go
// with it:
//
//   --grid-size N        the phantom sampled at N x N points over [1, 20]^2 (8 ... 4096;
//                        128, the default, is the viewer's grid bit for bit)
//   --image FILE         an image (NPY, TIFF or the grid CSV) scanned and compared with,
//                        instead of the phantom
//   --angles FILE        the views' angles in degrees, one a line (not with --views, --arc)
//   --sinogram FILE      a sinogram [view][bin] (NPY, TIFF or the sinogram CSV) to
//                        reconstruct instead of a scan; FILE.json, when there, gives its
//                        geometry
//   --detector-spacing S, --detector-offset O   the bins' spacing (pixels) and offset (bins)
//   --relaxation L, --nonnegative               SIRT's and SART's step and clipping
//   --history FILE       iteration,rmse,nrmse,psnr,ssim after every iteration
//   --mask circle        metrics and difference over the disc every view sees
//   --region L,T,R,B     metrics and difference over the pixel columns L ... R - 1 and
//                        rows T ... B - 1
//
// Every file is read, and every combination checked, when the job is made: a bad input
// is a usage error (one line, exit 2) before any work starts. Options given on the
// command line win over what a sinogram's JSON file records.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>

#include <optional>
#include <string>

#include "tomo/Metrics.h"
#include "tomo/Study.h"

namespace quarvel {

struct TTomographyData {
  std::optional<TArray2D> Image;     // --image: the scanned object and the truth
  std::optional<TArray2D> Sinogram;  // --sinogram: [view][bin]
  std::string History;               // --history's file, or empty
  TRegion Region;                    // --mask or --region
};

// The options above, for the tool's parser.
QList<QCommandLineOption> DataOptions();

// Whether `option` (a name without dashes) is one of DataOptions().
bool IsDataOption(const std::string& option);

// Reads and checks the data options of the tomography `command`, whose output is `file`,
// into `study` (grid size, angles, spacing, offset, relaxation, ...) and `data`. Raises
// EUsageError naming the option or the file.
void ApplyDataOptions(const QCommandLineParser& parser, const std::string& command,
                      const std::string& file, TStudyOptions& study, TTomographyData& data);

// --image's file read and checked: NPY, TIFF or the grid CSV, 8 ... 4096 pixels a side,
// every value within 1e100 in magnitude. Raises EUsageError with the reader's line.
TArray2D ReadImageInput(const std::string& path);

// A sinogram file (NPY, TIFF or the sinogram CSV) read as --sinogram reads it, and
// `geometry` fitted to it: the angles from the CSV, else from FILE.json when there, unless
// `anglesGiven`; the bins from the file (which must match the JSON file's, and
// geometry.Detectors when `detectorsGiven`); the beam, R, D and (unless given) the
// spacing and offset from the JSON file. The views must match the angles. Raises
// EUsageError naming the file.
struct TSinogramInput {
  TArray2D Values;                     // [view][bin]
  std::optional<TImageSize> Recorded;  // the image size FILE.json records (none without one)
  bool OwnAngles = false;              // the angles came from the file or its JSON file
};
TSinogramInput ReadSinogramInput(const std::string& path, TScanGeometry& geometry, bool anglesGiven,
                                 bool detectorsGiven, bool spacingGiven, bool offsetGiven);

// The image a study compares with: --image, or the phantom's `blobs` sampled at the
// study's grid size.
TArray2D TruthImage(const TTomographyData& data, const TStudyOptions& study,
                    const std::vector<TGauss3D>& blobs);

// The CSV of --history: the header, then one row per call of Add.
class THistoryCsv {
 public:
  void Add(int iteration, const TImageMetrics& metrics);
  const std::string& Text() const { return text_; }

 private:
  std::string text_ = "iteration,rmse,nrmse,psnr,ssim\n";
};

}  // namespace quarvel
