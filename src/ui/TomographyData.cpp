#include "ui/TomographyData.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "io/ArrayReaders.h"
#include "io/Sidecar.h"
#include "ui/CommandLine.h"
#include "ui/ExportView.h"
#include "ui/OutputFile.h"

namespace quarvel {
namespace {

struct DataOptionSpec {
  const char* name;
  const char* valueName;  // empty for a switch
  const char* description;
};
const DataOptionSpec kDataOptions[] = {
    {"grid-size", "N",
     "the phantom sampled at N x N points, 8 ... 4096 (default 128); with grid and the "
     "tomography commands"},
    {"image", "file",
     "an image (npy, tiff or the grid csv) scanned and compared with, instead "
     "of the phantom"},
    {"angles", "file", "the views' angles in degrees, one a line (instead of --views and --arc)"},
    {"sinogram", "file",
     "a sinogram [view][bin] (npy, tiff or the sinogram csv) to reconstruct; <file>.json, "
     "when there, gives its geometry"},
    {"detector-spacing", "S", "the bins' spacing in pixels, S > 0 (default 1)"},
    {"detector-offset", "O", "the detector's centre offset in bins (default 0)"},
    {"relaxation", "L", "the step's factor, 0 < L < 2 (default 1); with sirt and sart"},
    {"nonnegative", "", "negative pixels set to 0 after each update; with sirt and sart"},
    {"history", "file",
     "iteration,rmse,nrmse,psnr,ssim after each iteration (csv); with sirt, "
     "sart and cgls"},
    {"mask", "circle",
     "metrics and difference over the disc every view sees (default: the "
     "whole image); with difference and metrics"},
    {"region", "L,T,R,B",
     "metrics and difference over the pixel columns L to R-1 and rows T to B-1, inside the "
     "image; with difference and metrics"},
};

std::string Value(const QCommandLineParser& parser, const char* option) {
  return parser.value(option).toStdString();
}

[[noreturn]] void BadValue(const char* option, const std::string& text, const std::string& range) {
  throw EUsageError("bad " + std::string(option) + " '" + text + "' (" + range + ")");
}

// The whole text must be the number, and `accept` must hold for it.
template <class T, class Accept>
T ParseValue(const QCommandLineParser& parser, const char* option, Accept accept,
             const std::string& range) {
  const std::string text = Value(parser, option);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !accept(value))
    BadValue(option, text, range);
  return value;
}

// --region's "L,T,R,B": four whole numbers (checked against the image later).
TRegion ParseRectangle(const std::string& text) {
  int v[4] = {};
  const char* at = text.data();
  const char* const end = text.data() + text.size();
  for (int i = 0; i < 4; ++i) {
    const auto [next, error] = std::from_chars(at, end, v[i]);
    const bool last = i == 3;
    const bool ok = error == std::errc() && (last ? next == end : next != end && *next == ',');
    if (!ok)
      BadValue("region", text,
               "L,T,R,B: four whole numbers, the columns L to R-1 and rows T to B-1");
    at = last ? next : next + 1;
  }
  return TRegion::Rectangle(v[0], v[1], v[2], v[3]);
}

// A file option's value: a name that is not empty.
std::string FileValue(const QCommandLineParser& parser, const char* option) {
  std::string path = Value(parser, option);
  if (path.empty()) throw EUsageError("--" + std::string(option) + " needs a file name, not ''");
  return path;
}

bool Exists(const std::string& path) {
  struct stat s;
  return ::stat(path.c_str(), &s) == 0;
}

// An input the output would overwrite; named as the option that gave it.
void RefuseOverwrite(const std::string& output, const std::string& input, const char* what) {
  if (OutputIsInput(QString::fromStdString(output), input))
    throw EUsageError((output == "-" ? std::string("standard output") : "'" + output + "'") +
                      " is the " + what + ": it would be overwritten");
}

// The largest magnitude taken from a file: the metrics square differences and SSIM
// squares the values themselves, so beyond about 1e154 they would overflow; 1e100 leaves
// room for the sums of a 4096 x 4096 image and the scan's line integrals.
constexpr double kLargestValue = 1e100;

void CheckMagnitudes(const TArray2D& array, const std::string& path) {
  for (int r = 0; r < array.Rows; ++r)
    for (int c = 0; c < array.Columns; ++c)
      if (!(std::abs(array.At(r, c)) <= kLargestValue))
        throw EUsageError(path + ": row " + std::to_string(r) + ", column " + std::to_string(c) +
                          ": the value " + ShortestText(array.At(r, c)) +
                          " is beyond 1e100 in magnitude, too large to compare");
}

template <class Read>
auto ReadInput(Read read) {
  try {
    return read();
  } catch (const EArrayReadError& e) {
    throw EUsageError(e.Message());
  }
}

}  // namespace

QList<QCommandLineOption> DataOptions() {
  QList<QCommandLineOption> options;
  for (const DataOptionSpec& o : kDataOptions)
    options << (*o.valueName ? QCommandLineOption(o.name, o.description, o.valueName)
                             : QCommandLineOption(o.name, o.description));
  return options;
}

bool IsDataOption(const std::string& option) {
  for (const DataOptionSpec& o : kDataOptions)
    if (option == o.name) return true;
  return false;
}

void ApplyDataOptions(const QCommandLineParser& parser, const std::string& command,
                      const std::string& file, TStudyOptions& study, TTomographyData& data) {
  const auto set = [&](const char* option) { return parser.isSet(option); };
  const bool reconstructs = command != "sinogram";
  const bool iterative = study.Method != TReconstructionMethod::Fbp;
  const auto onlyWith = [&](const char* option, bool allowed, const std::string& rule) {
    if (set(option) && !allowed)
      throw EUsageError("--" + std::string(option) + " applies only " + rule);
  };
  const auto notWith = [&](const char* option, const char* other, const std::string& why) {
    if (set(option) && set(other))
      throw EUsageError("--" + std::string(option) + " and --" + other +
                        " do not go together: " + why);
  };
  onlyWith("sinogram", reconstructs,
           "to reconstruction, difference and metrics, not to " + command);
  onlyWith(
      "relaxation",
      study.Method == TReconstructionMethod::Sirt || study.Method == TReconstructionMethod::Sart,
      "to --method sirt or sart");
  onlyWith(
      "nonnegative",
      study.Method == TReconstructionMethod::Sirt || study.Method == TReconstructionMethod::Sart,
      "to --method sirt or sart");
  onlyWith("history", reconstructs && iterative, "to --method sirt, sart or cgls");
  onlyWith("mask", command == "difference" || command == "metrics",
           "to difference and metrics, not to " + command);
  onlyWith("region", command == "difference" || command == "metrics",
           "to difference and metrics, not to " + command);
  notWith("region", "mask", "each chooses the region");
  notWith("angles", "views", "the angles file gives the views");
  notWith("angles", "arc", "the angles file gives the views");
  notWith("image", "grid-size", "the image has its own size");
  if (set("image") && study.Projector == TProjectorKind::Exact)
    throw EUsageError("--image is scanned by the grid projector, not by --projector exact");
  for (const char* scanOnly : {"projector", "photons", "seed"})
    notWith("sinogram", scanOnly, "a given sinogram is not scanned");

  if (set("grid-size"))
    study.GridSize = ParseValue<int>(
        parser, "grid-size", [](int n) { return n >= 8 && n <= 4096; },
        "a whole number from 8 to 4096");
  if (set("relaxation"))
    study.Relaxation = ParseValue<double>(
        parser, "relaxation", [](double v) { return v > 0 && v < 2; },
        "more than 0 and less than 2");
  study.NonNegative = set("nonnegative");
  if (set("mask")) {
    const std::string mask = Value(parser, "mask");
    if (mask == "circle")
      data.Region = TRegion::Circle();
    else if (mask != "none")
      BadValue("mask", mask, "circle or none");
  }
  if (set("region")) data.Region = ParseRectangle(Value(parser, "region"));
  TScanGeometry& g = study.Geometry;
  const bool spacingGiven = set("detector-spacing"), offsetGiven = set("detector-offset");
  const double spacing =
      spacingGiven ? ParseValue<double>(
                         parser, "detector-spacing",
                         [](double v) { return std::isfinite(v) && v > 0; }, "pixels, more than 0")
                   : g.Spacing;
  const double offset =
      offsetGiven ? ParseValue<double>(
                        parser, "detector-offset", [](double v) { return std::isfinite(v); },
                        "bins, a finite number")
                  : g.Offset;

  // Every input is read before anything is computed; the output may replace none of them.
  if (set("history")) {
    data.History = FileValue(parser, "history");
    if (data.History == file ||
        (file != "-" && OutputIsInput(QString::fromStdString(file), data.History)))
      throw EUsageError("--history '" + data.History + "' is the output file");
  }
  if (set("image")) {
    const std::string path = FileValue(parser, "image");
    RefuseOverwrite(file, path, "image file");
    if (!data.History.empty()) RefuseOverwrite(data.History, path, "image file");
    data.Image = ReadImageInput(path);
  }
  bool anglesGiven = set("views") || set("arc");
  if (set("angles")) {
    const std::string path = FileValue(parser, "angles");
    RefuseOverwrite(file, path, "angle file");
    std::vector<double> angles = ReadInput([&] { return ReadAngleFile(path); });
    if (angles.size() > 100000)
      throw EUsageError(path + ": " + std::to_string(angles.size()) +
                        " angles, more than the 100000 views a scan may have");
    g.Views = static_cast<int>(angles.size());
    g.Angles = std::move(angles);
    anglesGiven = true;
  }
  if (set("sinogram")) {
    const std::string path = FileValue(parser, "sinogram");
    const std::string sidecarPath = SidecarPath(path);
    RefuseOverwrite(file, path, "sinogram file");
    RefuseOverwrite(file, sidecarPath, "sinogram's JSON file");
    if (!data.History.empty()) RefuseOverwrite(data.History, path, "sinogram file");
    TSinogramInput sinogram =
        ReadSinogramInput(path, g, anglesGiven, set("detectors"), spacingGiven, offsetGiven);
    // The reconstruction takes the truth's size: without --image or --grid-size, that of
    // the image the sinogram was taken of.
    if (sinogram.Recorded && !data.Image && !set("grid-size")) {
      const TImageSize size = *sinogram.Recorded;
      if (size.Columns != size.Rows)
        throw EUsageError(sidecarPath + ": the sinogram was taken of a " +
                          std::to_string(size.Columns) + " x " + std::to_string(size.Rows) +
                          " image: give --image (the truth of that size) or --grid-size");
      study.GridSize = size.Columns;
    }
    data.Sinogram = std::move(sinogram.Values);
  }
  if (spacingGiven) g.Spacing = spacing;
  if (offsetGiven) g.Offset = offset;
  // The truth's size is known now: the image's, or the grid's.
  try {
    CheckRegion(data.Region, data.Image ? data.Image->Columns : study.GridSize,
                data.Image ? data.Image->Rows : study.GridSize);
  } catch (const EInvalidStudyValue& e) {
    throw EUsageError("bad region '" + Value(parser, "region") + "' (" + e.what() + ")");
  }
}

TArray2D ReadImageInput(const std::string& path) {
  TArray2D image = ReadInput([&] { return ReadImageFile(path); });
  CheckMagnitudes(image, path);
  if (image.Columns < 8 || image.Columns > 4096 || image.Rows < 8 || image.Rows > 4096)
    throw EUsageError(path + ": the image must be from 8 to 4096 pixels on each side, not " +
                      std::to_string(image.Columns) + " x " + std::to_string(image.Rows));
  return image;
}

TSinogramInput ReadSinogramInput(const std::string& path, TScanGeometry& g, bool anglesGiven,
                                 bool detectorsGiven, bool spacingGiven, bool offsetGiven) {
  const std::string sidecarPath = SidecarPath(path);
  TSinogramCsv sinogram = ReadInput([&] { return ReadSinogramFile(path); });
  std::optional<TSinogramSidecar> sidecar;
  if (Exists(sidecarPath))
    sidecar = ReadInput([&] { return ParseSidecar(ReadFileBytes(sidecarPath), sidecarPath); });
  CheckMagnitudes(sinogram.Values, path);
  const int rows = sinogram.Values.Rows, columns = sinogram.Values.Columns;
  if (sidecar && sidecar->Geometry.Detectors != columns)
    throw EUsageError(path + " has " + std::to_string(columns) + " bins a view, but " +
                      sidecarPath + " records " + std::to_string(sidecar->Geometry.Detectors));
  if (detectorsGiven && g.Detectors != columns)
    throw EUsageError(path + " has " + std::to_string(columns) +
                      " bins a view, but --detectors is " + std::to_string(g.Detectors));
  TSinogramInput input;
  // The angles: the options', else the CSV's own, else the JSON file's, else the
  // default 180 over 180 degrees.
  if (!anglesGiven) {
    if (!sinogram.Angles.empty()) {
      g.Views = rows;
      g.Angles = sinogram.Angles;
      input.OwnAngles = true;
    } else if (sidecar) {
      g.Views = sidecar->Geometry.Views;
      g.ArcDegrees = sidecar->Geometry.ArcDegrees;
      g.Angles = sidecar->Geometry.Angles;
      input.OwnAngles = true;
    }
  }
  if (g.Views != rows)
    throw EUsageError(path + " has " + std::to_string(rows) + " views (rows), but there are " +
                      std::to_string(g.Views) + " angles");
  g.Detectors = columns;
  if (sidecar) {
    if (!spacingGiven) g.Spacing = sidecar->Geometry.Spacing;
    if (!offsetGiven) g.Offset = sidecar->Geometry.Offset;
    g.Beam = sidecar->Geometry.Beam;
    g.SourceDistance = sidecar->Geometry.SourceDistance;
    g.DetectorDistance = sidecar->Geometry.DetectorDistance;
    input.Recorded = sidecar->Image;
  }
  input.Values = std::move(sinogram.Values);
  return input;
}

TArray2D TruthImage(const TTomographyData& data, const TStudyOptions& study,
                    const std::vector<TGauss3D>& blobs) {
  if (data.Image) return *data.Image;
  return SamplePhantom(blobs, study.GridSize);
}

void THistoryCsv::Add(int iteration, const TImageMetrics& m) {
  text_ += std::to_string(iteration) + ',' + ShortestText(m.Rmse) + ',' + ShortestText(m.Nrmse) +
           ',' + ShortestText(m.Psnr) + ',' + ShortestText(m.Ssim) + '\n';
}

}  // namespace quarvel
