#include "ui/TomographyExport.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <string_view>

#include "base/ScopeExit.h"
#include "io/ArrayFiles.h"
#include "tomo/Limits.h"
#include "ui/ExportView.h"
#include "ui/MemoryBudget.h"
#include "ui/TerminalProgress.h"
#include "ui/MainFormUnit.h"

namespace quarvel {
namespace {

// ---------------------------------------------------------------------------
// Commands and options

const std::string kCommandList = "sinogram, reconstruction, difference and metrics";
const std::string kStudyCommandList = "reconstruction, difference and metrics";

struct OptionSpec {
  const char* name;
  const char* valueName;
  const char* description;
};
const OptionSpec kOptions[] = {
    {"views", "N", "views, 1 ... 100000 (default 180)"},
    {"arc", "degrees", "the arc the views span, 0 < arc <= 360 (default 180)"},
    {"detectors", "M", "detector bins, 2 ... 10000 (default 182)"},
    {"projector", "grid|exact", "the grid's projection or the exact line integrals (default grid)"},
    {"photons", "I0", "photon noise with I0 > 0 photons per bin (default: no noise)"},
    {"seed", "S", "the noise's seed, 0 ... 18446744073709551615 (default 0); with --photons"},
    {"method", "fbp|sirt|sart", "the reconstruction (default fbp)"},
    {"filter", "window",
     "ram-lak, shepp-logan, cosine, hamming or hann (default ram-lak); with fbp"},
    {"cutoff", "C",
     "the filter's cutoff, 0 < C <= 1 of the Nyquist frequency (default 1); with fbp"},
    {"iterations", "K", "iterations, 1 ... 100000 (default 10); with sirt and sart"},
};

bool IsSet(const QCommandLineParser& parser, const char* option) { return parser.isSet(option); }
std::string Value(const QCommandLineParser& parser, const char* option) {
  return parser.value(option).toStdString();
}

[[noreturn]] void BadValue(const char* option, const std::string& text, const std::string& range) {
  throw EUsageError("bad " + std::string(option) + " '" + ShownValue(text) + "' (" + range + ")");
}

// The whole text must be the number: "12x", " 12" and "" are refused.
template <class T>
T ParseNumber(const QCommandLineParser& parser, const char* option, T low, T high,
              const std::string& range) {
  const std::string text = Value(parser, option);
  T value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !(value >= low) ||
      !(value <= high))
    BadValue(option, text, range);
  return value;
}

// A number of the open-closed range (low, high]; nan and the infinities are refused.
double ParseAbove(const QCommandLineParser& parser, const char* option, double low, double high,
                  const std::string& range) {
  const double value = ParseNumber(parser, option, -std::numeric_limits<double>::max(),
                                   std::numeric_limits<double>::max(), range);
  if (!(value > low && value <= high)) BadValue(option, Value(parser, option), range);
  return value;
}

template <class T>
T ParseChoice(const QCommandLineParser& parser, const char* option,
              const std::vector<std::pair<std::string, T>>& choices, const std::string& range) {
  const std::string text = Value(parser, option);
  for (const auto& [name, value] : choices)
    if (name == text) return value;
  BadValue(option, text, range);
}

// Which options a tomography command takes: the sinogram's for all four, the
// reconstruction's for the three that reconstruct, each method's own for that method.
void CheckApplicable(const QCommandLineParser& parser, const std::string& command,
                     TReconstructionMethod method) {
  const auto refuse = [&](const char* option, const std::string& rule) {
    if (IsSet(parser, option))
      throw EUsageError("--" + std::string(option) + " applies only " + rule);
  };
  refuse("size", "to chart, not to " + command);
  refuse("resolution", "to window, chart, grid, points and projection, not to " + command);
  if (!IsSet(parser, "photons")) refuse("seed", "with --photons");
  if (command == "sinogram")
    for (const char* option : {"method", "filter", "cutoff", "iterations"})
      refuse(option, "to " + kStudyCommandList + ", not to sinogram");
  const char* methodName = method == TReconstructionMethod::Fbp    ? "fbp"
                           : method == TReconstructionMethod::Sirt ? "sirt"
                                                                   : "sart";
  if (method != TReconstructionMethod::Fbp) {
    refuse("filter", "to --method fbp, not to " + std::string(methodName));
    refuse("cutoff", "to --method fbp, not to " + std::string(methodName));
  } else {
    refuse("iterations", "to --method sirt or sart, not to fbp");
  }
}

// ---------------------------------------------------------------------------
// The output kind: --format when given, else the file's ending, else the command's only
// kind for standard output or a name without an ending. As for the other commands,
// whatever contradicts the command or the format is a usage error.

struct KindName {
  TExportKind kind;
  const char* name;
};
constexpr KindName kKinds[] = {{TExportKind::Png, "png"},
                               {TExportKind::Csv, "csv"},
                               {TExportKind::Npy, "npy"},
                               {TExportKind::Tiff, "tiff"}};

std::optional<TExportKind> KindOfName(const std::string& name) {
  for (const KindName& k : kKinds)
    if (name == k.name) return k.kind;
  return std::nullopt;
}

std::optional<TExportKind> KindOfEnding(const std::string& ending) {
  return ending == "tif" ? TExportKind::Tiff : KindOfName(ending);
}

TExportKind OutputKind(const std::string& command, const std::string& file,
                       const std::string& format) {
  const bool onlyCsv = command == "metrics";
  const std::string writes = command + " writes " + (onlyCsv ? "csv" : "png, csv, npy or tiff");
  const std::string quoted = "'" + ShownValue(file, kShownPathLength) + "'";
  const QString base = QString::fromStdString(file).section('/', -1);
  const int dot = static_cast<int>(base.lastIndexOf('.'));
  const std::string ending =
      file == "-" || dot <= 0 ? std::string() : base.mid(dot + 1).toLower().toStdString();
  const std::optional<TExportKind> fromEnding = KindOfEnding(ending);

  TExportKind kind = TExportKind::Csv;
  if (!format.empty()) {
    const std::optional<TExportKind> given = KindOfName(format);
    if (!given)
      throw EUsageError("bad format '" + ShownValue(format) + "' (png, csv, npy or tiff)");
    if (fromEnding && fromEnding != given)
      throw EUsageError(quoted + " ends in ." + ShownValue(ending) + ", but the format is " +
                        ShownValue(format));
    kind = *given;
  } else if (fromEnding) {
    kind = *fromEnding;
  } else if (ending.empty() && !onlyCsv) {
    throw EUsageError(writes + ": give --format for " + quoted);
  } else if (!ending.empty()) {
    throw EUsageError(quoted + " ends in none of .png, .csv, .npy, .tif, .tiff: give --format (" +
                      writes + ")");
  }
  if (onlyCsv && kind != TExportKind::Csv)
    throw EUsageError(writes + (format.empty()
                                    ? ", but " + quoted + " ends in ." + ShownValue(ending)
                                    : ", not " + ShownValue(format)));
  return kind;
}

// ---------------------------------------------------------------------------
// Computing

// The first stage of RunStudy alone: the sinogram needs no reconstruction.
TArray2D StudySinogram(const TProjectionModel& model, const TStudyOptions& options) {
  CheckStudyOptions(options);
  TArray2D sinogram;
  if (options.Projector == TProjectorKind::Grid) {
    sinogram = ProjectGrid(GridImage(model), options.Geometry, {}, options.Threads);
  } else {
    std::vector<TGauss3D> blobs;
    blobs.reserve(static_cast<std::size_t>(model.BlobCount()));
    for (int i = 0; i < model.BlobCount(); ++i) blobs.push_back(*model.BlobAt(i));
    sinogram = ProjectExact(TPhantomDensity(blobs), options.Geometry, {}, options.Threads);
  }
  if (options.Photons)
    sinogram = AddPhotonNoise(sinogram, *options.Photons, options.Seed, options.Threads);
  return sinogram;
}

// The array's file in `kind`; a CSV streamed by `csv` in chunks, NPY likewise.
void WriteArray(TOutputSink& sink, const TArray2D& array, TExportKind kind, bool diverging,
                const std::function<void(TOutputSink&)>& csv) {
  switch (kind) {
    case TExportKind::Png:
      sink.Write(PngText(diverging ? DivergingPicture(array) : GreyPicture(array)));
      return;
    case TExportKind::Npy:
      WriteNpy(array, [&sink](std::string_view chunk) { sink.Write(chunk); });
      return;
    case TExportKind::Tiff:
      sink.Write(TiffBytes(array));
      return;
    case TExportKind::Csv:
      csv(sink);
      return;
  }
}

// A picture the size of the array, or a clear error when its pixels cannot be had: a
// null image has no scan lines to write through.
QImage NewPicture(const TArray2D& array, QImage::Format format) {
  QImage image(array.Columns, array.Rows, format);
  if (image.isNull())
    throw Exception("not enough memory for a picture of " + std::to_string(array.Columns) + " x " +
                    std::to_string(array.Rows) + " pixels");
  return image;
}

// Collects a producer's bytes, for the tests and the bench's comparisons.
class StringSink final : public TOutputSink {
 public:
  void Write(std::string_view bytes) override { text += bytes; }
  std::string text;
};

// The smallest and largest finite values, or (inf, -inf) when there is none.
std::pair<double, double> FiniteRange(const TArray2D& array) {
  double low = std::numeric_limits<double>::infinity(), high = -low;
  for (const double v : array.Values)
    if (std::isfinite(v)) {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  return {low, high};
}

uchar Level(double fraction) { return static_cast<uchar>(std::lround(255.0 * fraction)); }

}  // namespace

QList<QCommandLineOption> TomographyOptions() {
  QList<QCommandLineOption> options;
  for (const OptionSpec& o : kOptions)
    options << QCommandLineOption(o.name, o.description, o.valueName);
  return options;
}

bool IsTomographyCommand(const QString& command) {
  return command == "sinogram" || command == "reconstruction" || command == "difference" ||
         command == "metrics";
}

std::optional<TTomographyJob> TomographyJob(const QCommandLineParser& parser,
                                            const QString& command, const QString& file) {
  const std::string name = command.toStdString();
  if (!IsTomographyCommand(command)) {
    for (const OptionSpec& o : kOptions)
      if (IsSet(parser, o.name))
        throw EUsageError(std::string("--")
                              .append(o.name)
                              .append(" applies only to ")
                              .append(kCommandList)
                              .append(", not to ")
                              .append(name));
    return std::nullopt;
  }

  TTomographyJob job;
  job.Command = name;
  TStudyOptions& s = job.Study;
  if (IsSet(parser, "method"))
    s.Method = ParseChoice<TReconstructionMethod>(parser, "method",
                                                  {{"fbp", TReconstructionMethod::Fbp},
                                                   {"sirt", TReconstructionMethod::Sirt},
                                                   {"sart", TReconstructionMethod::Sart}},
                                                  "fbp, sirt or sart");
  CheckApplicable(parser, name, s.Method);

  if (IsSet(parser, "views"))
    s.Geometry.Views = ParseNumber(parser, "views", 1, 100000, "a whole number from 1 to 100000");
  if (IsSet(parser, "arc"))
    s.Geometry.ArcDegrees =
        ParseAbove(parser, "arc", 0, 360, "degrees, more than 0 and at most 360");
  if (IsSet(parser, "detectors"))
    s.Geometry.Detectors =
        ParseNumber(parser, "detectors", 2, 10000, "a whole number from 2 to 10000");
  if (IsSet(parser, "projector"))
    s.Projector = ParseChoice<TProjectorKind>(
        parser, "projector", {{"grid", TProjectorKind::Grid}, {"exact", TProjectorKind::Exact}},
        "grid or exact");
  if (IsSet(parser, "photons"))
    s.Photons = ParseAbove(parser, "photons", 0, std::numeric_limits<double>::max(),
                           "a number more than 0");
  if (IsSet(parser, "seed"))
    s.Seed =
        ParseNumber<std::uint64_t>(parser, "seed", 0, std::numeric_limits<std::uint64_t>::max(),
                                   "a whole number from 0 to 18446744073709551615");
  if (IsSet(parser, "filter"))
    s.Fbp.Window = ParseChoice<TFilterWindow>(parser, "filter",
                                              {{"ram-lak", TFilterWindow::RamLak},
                                               {"shepp-logan", TFilterWindow::SheppLogan},
                                               {"cosine", TFilterWindow::Cosine},
                                               {"hamming", TFilterWindow::Hamming},
                                               {"hann", TFilterWindow::Hann}},
                                              "ram-lak, shepp-logan, cosine, hamming or hann");
  if (IsSet(parser, "cutoff"))
    s.Fbp.Cutoff = ParseAbove(parser, "cutoff", 0, 1, "more than 0 and at most 1");
  if (IsSet(parser, "iterations"))
    s.Iterations = ParseNumber(parser, "iterations", 1, 100000, "a whole number from 1 to 100000");

  // The library's own ranges are those above; a disagreement is still a usage error.
  try {
    CheckStudyOptions(s);
  } catch (const EInvalidStudyValue& e) {
    throw EUsageError(e.Message());
  }
  job.Kind = OutputKind(name, file.toStdString(), Value(parser, "format"));
  return job;
}

void ComputeHeadlessModel(TProjectionModel& model,
                          const std::optional<std::vector<TPhantomBlob>>& phantom) {
  for (const TPhantomBlob& b : phantom ? *phantom : BuiltInPhantom()) {
    auto blob = std::make_unique<TGauss3D>(b.MX, b.DX, b.MY, b.DY);
    blob->Enabled = b.Enabled;
    model.AdoptBlob(std::move(blob));
  }
  // The window's update cycle without its table and chart (TformMain::RecomputeAll). A
  // floating-point error names its blob; the projection's sums are those of all blobs,
  // and its overflow names the densest.
  model.ResetGrid();
  for (int i = 0; i < model.BlobCount(); ++i) {
    try {
      if (model.BlobAt(i)->Enabled) model.AddBlobToGrid(*model.BlobAt(i));
    } catch (const EMathError& e) {
      throw EMathError("blob " + std::to_string(i + 1) + ": " + e.Message());
    }
  }
  try {
    model.ComputeProjection();
  } catch (const EMathError& e) {
    int densest = 0;
    for (int i = 1; i < model.BlobCount(); ++i)
      if (model.BlobAt(i)->Enabled &&
          PeakDensity(*model.BlobAt(i)) > PeakDensity(*model.BlobAt(densest)))
        densest = i;
    throw EMathError("the zero projection: " + e.Message() + " (blob " +
                     std::to_string(densest + 1) + " is the densest)");
  }
}

std::uint64_t TomographyPeakBytes(const TTomographyJob& job) {
  const bool sinogramOnly = job.Command == "sinogram";
  const std::uint64_t views = std::uint64_t(job.Study.Geometry.Views),
                      bins = std::uint64_t(job.Study.Geometry.Detectors);
  const std::uint64_t study = StudyPeakBytes(job.Study, sinogramOnly);
  // The written array: the sinogram, or an image of 128 x 128 (small).
  const std::uint64_t cells = sinogramOnly ? views * bins : 0;
  std::uint64_t output = 0;
  switch (job.Kind) {
    case TExportKind::Csv:
    case TExportKind::Npy:
      output = 2 << 20;  // a chunk, and the CSV's texts of the bins' positions
      break;
    case TExportKind::Tiff:
      output = 8 * cells;  // 4 bytes a value, in a buffer that grows by doubling
      break;
    case TExportKind::Png:
      output = 6 * cells;  // up to 3 bytes a pixel, and the compressed file
      break;
  }
  // The arrays are freed as the output is written only in part: both are counted whole.
  constexpr std::uint64_t kProgram = 64 << 20;  // the threads' stacks, the libraries' heaps
  return study + output + kProgram;
}

void CheckTomographyFits(const TTomographyJob& job, const TProjectionModel& model,
                         std::uint64_t available) {
  try {
    CheckBlobDensities(model);
  } catch (const EInvalidStudyValue& e) {
    throw EUsageError(e.Message());
  }
  if (const auto shortfall = MemoryShortfall(TomographyPeakBytes(job), available))
    throw EUsageError(job.Command + " of " + std::to_string(job.Study.Geometry.Views) +
                      " views of " + std::to_string(job.Study.Geometry.Detectors) + " bins " +
                      *shortfall);
}

double ExpectedWork(const TTomographyJob& job, int blobs) {
  const TStudyOptions& s = job.Study;
  const double cells = double(s.Geometry.Views) * s.Geometry.Detectors;
  double passes = s.Projector == TProjectorKind::Exact ? 1 + blobs / 4.0 : 1;
  if (job.Command != "sinogram")
    passes += s.Method == TReconstructionMethod::Fbp ? 1 : 2.0 * s.Iterations;
  if (job.Command == "sinogram" && job.Kind == TExportKind::Csv) passes += 4;
  return cells * passes;
}

TOutputProducer TomographyOutput(const TTomographyJob& job, const TProjectionModel& model) {
  const TScanGeometry& geometry = job.Study.Geometry;
  const bool sinogramOnly = job.Command == "sinogram";
  CheckTomographyFits(job, model, AvailableMemoryBytes());
  // About a second's work, at 50 ns a unit.
  constexpr double kLongWork = 2e7;
  auto progress = std::make_shared<TTerminalProgress>(
      job.Progress && ExpectedWork(job, model.BlobCount()) > kLongWork);
  TStudyOptions options = job.Study;
  const bool iterative = options.Method != TReconstructionMethod::Fbp;
  progress->Stage(sinogramOnly ? "sinogram"
                  : iterative  ? "sinogram"
                               : "sinogram and reconstruction");
  if (progress->Active() && iterative && !sinogramOnly) {
    const std::string method = options.Method == TReconstructionMethod::Sirt ? "SIRT" : "SART";
    options.Progress = [progress, method, total = options.Iterations,
                        previous = options.Progress](int done) {
      if (done == 1) progress->Stage(method + " iterations", total);
      progress->Advance(done);
      if (previous) previous(done);
    };
  }
  TStudyResult study;
  try {
    // The core raises no floating-point exception on valid input; with the traps on, one
    // that slipped through stops the program at its cause instead of writing its NaNs.
    // The workers take this environment; the file encoders below run without traps.
    feclearexcept(FE_ALL_EXCEPT);
    const int traps = fegetexcept();
    feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    const TScopeExit restore([traps] {
      fedisableexcept(FE_ALL_EXCEPT);
      feenableexcept(traps);
    });
    if (sinogramOnly)
      study.Sinogram = StudySinogram(model, options);
    else
      study = RunStudy(model, options);
  } catch (const std::bad_alloc&) {
    throw Exception("not enough memory for " + std::to_string(geometry.Views) + " views of " +
                    std::to_string(geometry.Detectors) + " bins");
  }
  // The result is shared by the producer, which may be called after this returns.
  auto result = std::make_shared<TStudyResult>(std::move(study));
  const TExportKind kind = job.Kind;
  progress->Stage("writing");
  if (sinogramOnly)
    return [result, kind, geometry, progress](TOutputSink& sink) {
      WriteArray(sink, result->Sinogram, kind, false,
                 [&](TOutputSink& s) { WriteSinogramCsv(s, result->Sinogram, geometry); });
    };
  if (job.Command == "metrics")
    return [result](TOutputSink& sink) { sink.Write(MetricsCsv(result->Metrics)); };
  const bool difference = job.Command == "difference";
  return [result, kind, difference, progress](TOutputSink& sink) {
    const TArray2D& image = difference ? result->Difference : result->Reconstruction;
    WriteArray(sink, image, kind, difference, [&](TOutputSink& s) { WriteImageCsv(s, image); });
  };
}

QByteArray TomographyBytes(const TTomographyJob& job, const TProjectionModel& model) {
  StringSink sink;
  TomographyOutput(job, model)(sink);
  return TextBytes(sink.text);
}

void WriteSinogramCsv(TOutputSink& sink, const TArray2D& sinogram, const TScanGeometry& geometry) {
  TChunkedText out(sink);
  out << "view,angle,bin,t,value\n";
  std::vector<std::string> positions(static_cast<std::size_t>(sinogram.Columns));
  for (int bin = 0; bin < sinogram.Columns; ++bin)
    positions[static_cast<std::size_t>(bin)] = ShortestText(geometry.BinPosition(bin));
  for (int view = 0; view < sinogram.Rows; ++view) {
    const std::string angle = ShortestText(geometry.AngleDegrees(view));
    for (int bin = 0; bin < sinogram.Columns; ++bin)
      out << view << ',' << angle << ',' << bin << ',' << positions[static_cast<std::size_t>(bin)]
          << ',' << ShortestText(sinogram.At(view, bin)) << '\n';
  }
  out.Finish();
}

void WriteImageCsv(TOutputSink& sink, const TArray2D& image) {
  TChunkedText out(sink);
  out << "ix,iy,x,y,value\n";
  for (int ix = 0; ix < image.Columns; ++ix)
    for (int iy = 0; iy < image.Rows; ++iy)
      out << ix << ',' << iy << ',' << ShortestText(TProjectionModel::GridCoordinate(ix)) << ','
          << ShortestText(TProjectionModel::GridCoordinate(iy)) << ','
          << ShortestText(image.At(iy, ix)) << '\n';
  out.Finish();
}

std::string SinogramCsv(const TArray2D& sinogram, const TScanGeometry& geometry) {
  StringSink sink;
  WriteSinogramCsv(sink, sinogram, geometry);
  return std::move(sink.text);
}

std::string ImageCsv(const TArray2D& image) {
  StringSink sink;
  WriteImageCsv(sink, image);
  return std::move(sink.text);
}

std::string MetricsCsv(const TImageMetrics& metrics) {
  return "rmse,nrmse,psnr,ssim\n" + ShortestText(metrics.Rmse) + ',' + ShortestText(metrics.Nrmse) +
         ',' + ShortestText(metrics.Psnr) + ',' + ShortestText(metrics.Ssim) + '\n';
}

QImage GreyPicture(const TArray2D& array) {
  const auto [low, high] = FiniteRange(array);
  // Halved, so that a range wider than the largest double (-1e308 ... 1e308) stays finite.
  const double halfRange = high > low ? high / 2 - low / 2 : 0;
  QImage image = NewPicture(array, QImage::Format_Grayscale8);
  for (int r = 0; r < array.Rows; ++r) {
    uchar* line = image.scanLine(r);
    for (int c = 0; c < array.Columns; ++c) {
      const double v = array.At(r, c);
      // == is a quiet comparison: a NaN raises nothing.
      line[c] = std::isfinite(v) ? (halfRange > 0 ? Level((v / 2 - low / 2) / halfRange) : 0)
                                 : (v == std::numeric_limits<double>::infinity() ? 255 : 0);
    }
  }
  return image;
}

QImage DivergingPicture(const TArray2D& array) {
  const auto [low, high] = FiniteRange(array);
  const double reach = high >= low ? std::max(std::abs(low), std::abs(high)) : 0;
  QImage image = NewPicture(array, QImage::Format_RGB888);
  for (int r = 0; r < array.Rows; ++r) {
    uchar* line = image.scanLine(r);
    for (int c = 0; c < array.Columns; ++c) {
      const double v = array.At(r, c);
      const double s = std::isnan(v)       ? 0
                       : !std::isfinite(v) ? (v > 0 ? 1 : -1)
                       : reach > 0         ? v / reach
                                           : 0;
      const uchar fade = Level(1 - std::abs(s));
      uchar* pixel = line + 3 * c;
      pixel[0] = s >= 0 ? 255 : fade;
      pixel[1] = fade;
      pixel[2] = s >= 0 ? fade : 255;
    }
  }
  return image;
}

}  // namespace quarvel
