#include "bench/BenchExport.h"

#include <QDir>

#include <algorithm>
#include <cmath>

#include "bench/BenchPictures.h"
#include "io/ArrayFiles.h"
#include "tomo/FanBeam.h"
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

namespace {

const char* CliFilterName(TFilterWindow window) {
  switch (window) {
    case TFilterWindow::RamLak:
      return "ram-lak";
    case TFilterWindow::SheppLogan:
      return "shepp-logan";
    case TFilterWindow::Cosine:
      return "cosine";
    case TFilterWindow::Hamming:
      return "hamming";
    case TFilterWindow::Hann:
      break;
  }
  return "hann";
}

const char* CliMethodName(TReconstructionMethod method) {
  return method == TReconstructionMethod::Fbp    ? "fbp"
         : method == TReconstructionMethod::Sirt ? "sirt"
         : method == TReconstructionMethod::Sart ? "sart"
                                                 : "cgls";
}

std::string JsonNumber(double value) {
  if (std::isfinite(value)) return ShortestText(value);
  return std::isnan(value) ? "\"nan\"" : value > 0 ? "\"inf\"" : "\"-inf\"";
}

constexpr TBenchArray kArrays[] = {TBenchArray::Grid, TBenchArray::Sinogram,
                                   TBenchArray::Reconstruction, TBenchArray::Difference};
constexpr TExportKind kKinds[] = {TExportKind::Png, TExportKind::Csv, TExportKind::Npy,
                                  TExportKind::Tiff};

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string JsonString(const std::string& text) {
  std::string j = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      j += '\\';
      j += c;
    } else if (u < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      j += "\\u00";
      j += kHex[u >> 4];
      j += kHex[u & 15];
    } else {
      j += c;
    }
  }
  return j + "\"";
}

std::string ExportOptions(const TBenchSettings& s, bool reconstructs, const TBenchData& data) {
  const bool given = data.Sinogram != nullptr;
  std::string o;
  const auto add = [&o](const std::string& option) { o += (o.empty() ? "" : " ") + option; };
  if (!given || !data.OwnAngles)
    add("--views " + std::to_string(s.Geometry.Views) + " --arc " +
        ShortestText(s.Geometry.ArcDegrees));
  if (!given || !data.Recorded) add("--detectors " + std::to_string(s.Geometry.Detectors));
  if (!given)
    add(std::string("--projector ") + (s.Projector == TProjectorKind::Grid ? "grid" : "exact"));
  // The spacing is the export tool's default for R and D, which the bench always takes.
  if (IsFan(s.Geometry) && !(given && data.Recorded))
    add(std::string("--geometry ") + BeamName(s.Geometry.Beam) + " --source-distance " +
        ShortestText(s.Geometry.SourceDistance) + " --detector-distance " +
        ShortestText(s.Geometry.DetectorDistance));
  if (s.Photons && !given)
    add("--photons " + ShortestText(*s.Photons) + " --seed " + std::to_string(s.Seed));
  if (!reconstructs) return o;
  add(std::string("--method ") + CliMethodName(s.Method));
  if (s.Method == TReconstructionMethod::Fbp)
    o += std::string(" --filter ") + CliFilterName(s.Fbp.Window) + " --cutoff " +
         ShortestText(s.Fbp.Cutoff);
  else
    o += " --iterations " + std::to_string(s.Iterations);
  if (s.Relaxation != 1) o += " --relaxation " + ShortestText(s.Relaxation);
  if (s.NonNegative) o += " --nonnegative";
  return o;
}

namespace {

std::string RegionOptions(const TRegion& r) {
  switch (r.Shape) {
    case TRegion::TShape::Whole:
      return "";
    case TRegion::TShape::Circle:
      return " --mask circle";
    case TRegion::TShape::Rectangle:
      break;
  }
  return " --region " + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," +
         std::to_string(r.Right) + "," + std::to_string(r.Bottom);
}

}  // namespace

std::string ExportCommands(const TBenchSettings& s, const TRegion& region, const TBenchData& data) {
  std::string text =
      "#!/bin/sh\n"
      "# The export tool's command lines for the files beside this one, from the blobs in\n"
      "# phantom.csv.\n"
      "set -e\n";
  std::string given;  // the data options, after the phantom
  if (data.HasImage()) {
    given += " --image " + ShellQuoted(data.ImagePath);
    // Quoted as JSON in the comment: a line break in a name cannot end the comment.
    text += "# grid.png, grid.csv, grid.npy and grid.tif hold the image " +
            JsonString(data.ImagePath) + " as read.\n";
  }
  if (data.Sinogram) {
    given += " --sinogram " + ShellQuoted(data.SinogramPath);
    text += "# sinogram.png, sinogram.csv, sinogram.npy and sinogram.tif hold the sinogram " +
            JsonString(data.SinogramPath) + " as read.\n";
  }
  for (TBenchArray array : kArrays)
    for (TExportKind kind : kKinds) {
      const std::string file = std::string(ArrayStem(array)) + "." + KindEnding(kind);
      if (array == TBenchArray::Grid) {
        if (data.ImagePath.empty())
          text += "quarvel-export grid " + file + " --phantom phantom.csv" +
                  (data.PhantomSide ? " --grid-size " + std::to_string(data.PhantomSide) : "") +
                  "\n";
        continue;
      }
      if (array == TBenchArray::Sinogram && data.Sinogram) continue;
      text += std::string("quarvel-export ") + ArrayStem(array) + " " + file;
      text += " --phantom phantom.csv" + given + " ";
      text += ExportOptions(s, array != TBenchArray::Sinogram, data);
      text += (array == TBenchArray::Difference ? RegionOptions(region) : "") + "\n";
    }
  text += "quarvel-export metrics metrics.csv --phantom phantom.csv" + given + " " +
          ExportOptions(s, true, data) + RegionOptions(region) +
          (s.Method == TReconstructionMethod::Fbp ? "" : " --history history.csv") + "\n";
  return text;
}

std::string StudyJson(const TBenchResult& result) {
  const TBenchSettings& s = result.Input.Settings;
  std::string j = "{\n  \"blobs\": [";
  for (std::size_t i = 0; i < result.Input.Phantom.size(); ++i) {
    const TPhantomBlob& b = result.Input.Phantom[i];
    j += std::string(i == 0 ? "\n" : ",\n") + "    {\"mx\": " + JsonNumber(b.MX) +
         ", \"dx\": " + JsonNumber(b.DX) + ", \"my\": " + JsonNumber(b.MY) +
         ", \"dy\": " + JsonNumber(b.DY) + ", \"enabled\": " + (b.Enabled ? "true" : "false") + "}";
  }
  j += "\n  ],\n";
  if (result.Input.Data.HasImage())
    j += "  \"image\": " + JsonString(result.Input.Data.ImagePath) + ",\n";
  if (result.Input.Data.Sinogram)
    j += "  \"sinogram\": " + JsonString(result.Input.Data.SinogramPath) + ",\n";
  if (result.Input.Data.PhantomSide)
    j += "  \"grid_size\": " + std::to_string(result.Input.Data.PhantomSide) + ",\n";
  j += "  \"views\": " + std::to_string(s.Geometry.Views) + ",\n";
  j += "  \"arc\": " + JsonNumber(s.Geometry.ArcDegrees) + ",\n";
  j += "  \"detectors\": " + std::to_string(s.Geometry.Detectors) + ",\n";
  if (IsFan(s.Geometry))
    j += std::string("  \"geometry\": \"") + BeamName(s.Geometry.Beam) +
         "\",\n  \"source_distance\": " + JsonNumber(s.Geometry.SourceDistance) +
         ",\n  \"detector_distance\": " + JsonNumber(s.Geometry.DetectorDistance) +
         ",\n  \"spacing\": " + JsonNumber(s.Geometry.Spacing) + ",\n";
  j += std::string("  \"projector\": \"") +
       (s.Projector == TProjectorKind::Grid ? "grid" : "exact") + "\",\n";
  j += "  \"photons\": " + (s.Photons ? JsonNumber(*s.Photons) : std::string("null")) + ",\n";
  j += "  \"seed\": " + std::to_string(s.Seed) + ",\n";
  j += std::string("  \"method\": \"") + CliMethodName(s.Method) + "\",\n";
  j += std::string("  \"filter\": \"") + CliFilterName(s.Fbp.Window) + "\",\n";
  j += "  \"cutoff\": " + JsonNumber(s.Fbp.Cutoff) + ",\n";
  j += "  \"iterations\": " + std::to_string(s.Iterations) + ",\n";
  if (s.Method == TReconstructionMethod::Sirt || s.Method == TReconstructionMethod::Sart)
    j += "  \"relaxation\": " + JsonNumber(s.Relaxation) +
         ",\n  \"nonnegative\": " + (s.NonNegative ? "true" : "false") + ",\n";
  const TRegion& r = result.Input.Region;
  if (r.Shape == TRegion::TShape::Circle) j += "  \"region\": \"circle\",\n";
  if (r.Shape == TRegion::TShape::Rectangle)
    j += "  \"region\": {\"left\": " + std::to_string(r.Left) +
         ", \"top\": " + std::to_string(r.Top) + ", \"right\": " + std::to_string(r.Right) +
         ", \"bottom\": " + std::to_string(r.Bottom) + "},\n";
  const TImageMetrics& m = result.Metrics;
  j += "  \"metrics\": {\"rmse\": " + JsonNumber(m.Rmse) + ", \"nrmse\": " + JsonNumber(m.Nrmse) +
       ", \"psnr\": " + JsonNumber(m.Psnr) + ", \"ssim\": " + JsonNumber(m.Ssim) + "}\n}\n";
  return j;
}

std::vector<QString> ExportFileNames(TReconstructionMethod method) {
  std::vector<QString> names;
  for (TBenchArray array : kArrays)
    for (TExportKind kind : kKinds)
      names.push_back(QString("%1.%2").arg(ArrayStem(array), KindEnding(kind)));
  names.emplace_back("metrics.csv");
  if (method != TReconstructionMethod::Fbp) names.emplace_back("history.csv");
  for (const char* name : {"phantom.csv", "study.json", "commands.sh"}) names.emplace_back(name);
  return names;
}

int ExportResult(const TBenchResult& result, const QString& folder) {
  const QDir dir(folder);
  int written = 0;
  for (TBenchArray array : kArrays)
    for (TExportKind kind : kKinds) {
      WriteOutputFile(dir.filePath(QString("%1.%2").arg(ArrayStem(array), KindEnding(kind))),
                      ResultBytes(result, array, kind));
      ++written;
    }
  WriteOutputFile(dir.filePath("metrics.csv"), MetricsBytes(result));
  if (result.Input.Settings.Method != TReconstructionMethod::Fbp) {
    WriteOutputFile(dir.filePath("history.csv"), TextBytes(HistoryText(result.History)));
    ++written;
  }
  WriteOutputFile(dir.filePath("phantom.csv"), TextBytes(PhantomCsv(result.Input.Phantom)));
  WriteOutputFile(dir.filePath("study.json"), TextBytes(StudyJson(result)));
  WriteOutputFile(
      dir.filePath("commands.sh"),
      TextBytes(ExportCommands(result.Input.Settings, result.Input.Region, result.Input.Data)));
  return written + 4;
}

}  // namespace quarvel
