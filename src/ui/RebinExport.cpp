#include "ui/RebinExport.h"

#include <QFileInfo>

#include <limits>
#include <optional>

#include "io/ArrayFiles.h"
#include "io/ArrayReaders.h"
#include "io/Sidecar.h"
#include "tomo/FanBeam.h"
#include "ui/CommandLine.h"
#include "ui/ExportView.h"
#include "ui/OutputFile.h"
#include "ui/TomographyExport.h"

namespace quarvel {
namespace {

// The fan's geometry for a sinogram of `views` x `bins` from the command's options.
TScanGeometry GeometryFromOptions(const QCommandLineParser& parser, int views, int bins) {
  TScanGeometry geometry;
  geometry.Views = views;
  geometry.Detectors = bins;
  if (parser.isSet("arc")) {
    bool ok = false;
    const double arc = parser.value("arc").toDouble(&ok);
    if (!ok || !(arc > 0 && arc <= 360))
      throw EUsageError("bad arc '" + parser.value("arc").toStdString() +
                        "' (degrees, more than 0 and at most 360)");
    geometry.ArcDegrees = arc;
  }
  ParseBeamOptions(parser, geometry, TImageSize{}, true);
  return geometry;
}

}  // namespace

bool IsRebinCommand(const QString& command) { return command == "rebin"; }

void RunRebin(const QCommandLineParser& parser, const QString& file) {
  if (!parser.isSet("sinogram")) throw EUsageError("rebin needs --sinogram FILE (a fan sinogram)");
  const std::string input = parser.value("sinogram").toStdString();
  if (QFileInfo(file).absoluteFilePath() ==
      QFileInfo(QString::fromStdString(input)).absoluteFilePath())
    throw EUsageError("'" + file.toStdString() + "' is the sinogram: it would be overwritten");
  TScanGeometry fan;
  TImageSize image;
  TArray2D values;
  try {
    TSinogramCsv read = ReadSinogramFile(input);
    values = std::move(read.Values);
    const std::string sidecar = SidecarPath(input);
    if (input != "-" && QFileInfo::exists(QString::fromStdString(sidecar))) {
      const TSinogramSidecar parsed = ParseSidecar(ReadFileBytes(sidecar), sidecar);
      fan = parsed.Geometry;
      image = parsed.Image;
    } else {
      fan = GeometryFromOptions(parser, values.Rows, values.Columns);
      if (!read.Angles.empty()) fan.Angles = read.Angles;
    }
  } catch (const EArrayReadError& e) {
    throw EUsageError(e.Message());
  }
  if (!IsFan(fan))
    throw EUsageError(
        "rebin takes a fan sinogram: give --geometry fan-flat or fan-arc, or the file's JSON");
  if (fan.Views != values.Rows || fan.Detectors != values.Columns)
    throw EUsageError("the sinogram has " + std::to_string(values.Rows) + " views of " +
                      std::to_string(values.Columns) + " bins, but its geometry " +
                      std::to_string(fan.Views) + " of " + std::to_string(fan.Detectors));
  TScanGeometry parallel;
  TArray2D rebinned;
  try {
    CheckFanGeometry(fan, image);
    parallel = RebinnedGeometry(fan);
    rebinned = RebinToParallel(values, fan, parallel);
  } catch (const EInvalidStudyValue& e) {
    throw EUsageError(e.Message());
  }

  const std::string name = file.toStdString();
  const TArrayFileKind kind = ArrayFileKindOf(name);
  const bool png = QFileInfo(file).suffix().toLower() == "png";
  QByteArray bytes;
  switch (kind) {
    case TArrayFileKind::Npy:
      bytes = TextBytes(NpyBytes(rebinned));
      break;
    case TArrayFileKind::Tiff:
      bytes = TextBytes(TiffBytes(rebinned));
      break;
    case TArrayFileKind::Csv:
      bytes = TextBytes(SinogramCsv(rebinned, parallel, image.Columns));
      break;
    case TArrayFileKind::Unknown:
      if (!png)
        throw EUsageError("rebin writes npy, tiff, csv or png: '" + name + "' ends in none");
      bytes = PngBytes(GreyPicture(rebinned));
      break;
  }
  WriteOutputFile(file, bytes);
  if (kind == TArrayFileKind::Npy || kind == TArrayFileKind::Tiff)
    WriteOutputFile(QString::fromStdString(SidecarPath(name)),
                    TextBytes(SidecarJson(parallel, image)));
}

}  // namespace quarvel
