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
#include <span>
#include <string_view>

#include <sys/stat.h>

#include "base/ScopeExit.h"
#include "io/ArrayFiles.h"
#include "io/Sidecar.h"
#include "tomo/FanBeam.h"
#include "tomo/Limits.h"
#include "ui/ColourMaps.h"
#include "ui/ExportView.h"
#include "ui/GridImage.h"
#include "ui/MemoryBudget.h"
#include "ui/TerminalProgress.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"
#include "ui/ProjectionView.h"

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
    {"method", "fbp|sirt|sart|cgls", "the reconstruction (default fbp)"},
    {"filter", "window",
     "ram-lak, shepp-logan, cosine, hamming or hann (default ram-lak); with fbp"},
    {"cutoff", "C",
     "the filter's cutoff, 0 < C <= 1 of the Nyquist frequency (default 1); with fbp"},
    {"iterations", "K", "iterations, 1 ... 100000 (default 10); with sirt, sart and cgls"},
};

// The beam's options, which every tomography command takes.
const OptionSpec kGeometryOptions[] = {
    {"geometry", "parallel|fan-flat|fan-arc", "the rays' geometry (default parallel)"},
    {"source-distance", "R",
     "fan beam: the source's distance from the centre in pixels, more than the image's "
     "half-diagonal (default twice the image's larger side)"},
    {"detector-distance", "D",
     "fan beam: the detector's distance from the centre in pixels, at least 0 (default R)"},
};

// Both lists, in the order of the help text.
const std::span<const OptionSpec> kOptionLists[] = {kOptions, kGeometryOptions};

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
                           : method == TReconstructionMethod::Sart ? "sart"
                                                                   : "cgls";
  if (method != TReconstructionMethod::Fbp) {
    refuse("filter", "to --method fbp, not to " + std::string(methodName));
    refuse("cutoff", "to --method fbp, not to " + std::string(methodName));
  } else {
    refuse("iterations", "to --method sirt, sart or cgls, not to fbp");
  }
}

}  // namespace

void ParseBeamOptions(const QCommandLineParser& parser, TScanGeometry& geometry,
                      const TImageSize& image, bool binsGiven) {
  if (IsSet(parser, "geometry"))
    geometry.Beam = ParseChoice<TBeam>(
        parser, "geometry",
        {{"parallel", TBeam::Parallel}, {"fan-flat", TBeam::FanFlat}, {"fan-arc", TBeam::FanArc}},
        "parallel, fan-flat or fan-arc");
  if (!IsFan(geometry)) {
    for (const char* option : {"source-distance", "detector-distance"})
      if (IsSet(parser, option))
        throw EUsageError("--" + std::string(option) +
                          " applies only to --geometry fan-flat or fan-arc");
    return;
  }
  const double most = std::numeric_limits<double>::max();
  std::optional<double> source, detector;
  if (IsSet(parser, "source-distance"))
    source = ParseAbove(parser, "source-distance", HalfDiagonal(image), most,
                        "pixels, more than the image's half-diagonal " +
                            QString::number(HalfDiagonal(image), 'g', 6).toStdString());
  if (IsSet(parser, "detector-distance")) {
    detector = ParseNumber(parser, "detector-distance", 0.0, most, "pixels, at least 0");
  }
  // A sinogram's JSON file may have set the fan's distances and spacing already.
  const bool recorded = geometry.SourceDistance > 0;
  if (recorded && !source) {
    source = geometry.SourceDistance;
    if (!detector) detector = geometry.DetectorDistance;
  }
  const TFanFields fields = DefaultFanFields(geometry.Beam, image, source, detector);
  geometry.SourceDistance = fields.SourceDistance;
  geometry.DetectorDistance = fields.DetectorDistance;
  if (!recorded && !IsSet(parser, "detector-spacing")) geometry.Spacing = fields.Spacing;
  if (!binsGiven && !IsSet(parser, "detectors")) geometry.Detectors = fields.Detectors;
}

namespace {

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
TArray2D StudySinogram(const TArrayView& truth, const std::vector<TGauss3D>& blobs,
                       const TStudyOptions& options) {
  CheckStudyOptions(options);
  TArray2D sinogram = options.Projector == TProjectorKind::Grid
                          ? ProjectGrid(truth, options.Geometry, {}, options.Threads)
                          : ProjectExact(TPhantomDensity(blobs), options.Geometry, options.GridSize,
                                         {}, options.Threads);
  if (options.Photons)
    sinogram = AddPhotonNoise(sinogram, *options.Photons, options.Seed, options.Threads,
                              PixelSize(options.GridSize));
  return sinogram;
}

// The truth of a job: --image, the viewer's grid (bit for bit the `grid` command's) at the
// default size, or the phantom sampled at --grid-size.
TArray2D JobTruth(const TTomographyJob& job, const TProjectionModel& model) {
  if (!job.Data.Image && job.Study.GridSize == TProjectionModel::kGridSize) return GridImage(model);
  return TruthImage(job.Data, job.Study, ModelBlobs(model));
}

// 1 + i * 19 / (n - 1) in extended precision, rounded: the viewer's GridCoordinate at 128.
double PhantomCoordinate(int i, int n) { return static_cast<double>(1.0L + i * (19.0L / (n - 1))); }

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

// The array's file in `kind` whole.
QByteArray ArrayBytes(const TArray2D& array, TExportKind kind, bool diverging,
                      const std::function<void(TOutputSink&)>& csv) {
  StringSink sink;
  WriteArray(sink, array, kind, diverging, csv);
  return TextBytes(sink.text);
}

}  // namespace

QList<QCommandLineOption> TomographyOptions() {
  QList<QCommandLineOption> options;
  for (const std::span<const OptionSpec> list : kOptionLists)
    for (const OptionSpec& o : list)
      options << QCommandLineOption(o.name, o.description, o.valueName);
  return options << DataOptions();
}

bool IsTomographyCommand(const QString& command) {
  return command == "sinogram" || command == "reconstruction" || command == "difference" ||
         command == "metrics";
}

std::optional<TTomographyJob> TomographyJob(const QCommandLineParser& parser,
                                            const QString& command, const QString& file) {
  const std::string name = command.toStdString();
  if (!IsTomographyCommand(command)) {
    for (const std::span<const OptionSpec> list : kOptionLists)
      for (const OptionSpec& o : list)
        if (IsSet(parser, o.name))
          throw EUsageError(std::string("--")
                                .append(o.name)
                                .append(" applies only to ")
                                .append(kCommandList)
                                .append(", not to ")
                                .append(name));
    for (const QCommandLineOption& o : DataOptions()) {
      const std::string option = o.names().first().toStdString();
      if (IsSet(parser, option.c_str()) && !(option == "grid-size" && name == "grid"))
        throw EUsageError(std::string("--")
                              .append(option)
                              .append(" applies only to ")
                              .append(option == "grid-size" ? "grid, " : "")
                              .append(kCommandList)
                              .append(", not to ")
                              .append(name));
    }
    return std::nullopt;
  }

  TTomographyJob job;
  job.Command = name;
  TStudyOptions& s = job.Study;
  if (IsSet(parser, "method"))
    s.Method = ParseChoice<TReconstructionMethod>(parser, "method",
                                                  {{"fbp", TReconstructionMethod::Fbp},
                                                   {"sirt", TReconstructionMethod::Sirt},
                                                   {"sart", TReconstructionMethod::Sart},
                                                   {"cgls", TReconstructionMethod::Cgls}},
                                                  "fbp, sirt, sart or cgls");
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
  job.Kind = OutputKind(name, file.toStdString(), Value(parser, "format"));
  ApplyDataOptions(parser, name, file.toStdString(), s, job.Data);
  const TImageSize image = job.Data.Image
                               ? TImageSize{job.Data.Image->Columns, job.Data.Image->Rows}
                               : TImageSize{s.GridSize, s.GridSize};
  ParseBeamOptions(parser, s.Geometry, image, job.Data.Sinogram.has_value());
  // The library's own ranges are those above; a disagreement is still a usage error.
  try {
    CheckStudyOptions(s);
  } catch (const EInvalidStudyValue& e) {
    throw EUsageError(e.Message());
  }
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
  // The images: --image's or the phantom's grid of --grid-size. Held at once: the job's
  // image, the truth and its copy in the result, the reconstruction and the difference, and
  // the iterative methods' few images of that size (the image so far, its update, weights).
  const std::uint64_t imageCells =
      job.Data.Image ? std::uint64_t(job.Data.Image->Rows) * std::uint64_t(job.Data.Image->Columns)
                     : std::uint64_t(job.Study.GridSize) * std::uint64_t(job.Study.GridSize);
  const std::uint64_t images = 8 * imageCells * (sinogramOnly ? 3 : 9);
  // A sinogram given with --sinogram is held beside the result's copy of it.
  const std::uint64_t given = job.Data.Sinogram ? 8 * views * bins : 0;
  // The written array: the sinogram, or an image.
  const std::uint64_t cells = sinogramOnly ? views * bins : imageCells;
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
  return study + images + given + output + kProgram;
}

void CheckTomographyFits(const TTomographyJob& job, const TProjectionModel& model,
                         std::uint64_t available) {
  try {
    CheckBlobDensities(ModelBlobs(model));
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
  double passes = job.Data.Sinogram                      ? 0
                  : s.Projector == TProjectorKind::Exact ? 1 + blobs / 4.0
                                                         : 1;
  if (job.Command != "sinogram")
    passes += s.Method == TReconstructionMethod::Fbp ? 1 : 2.0 * s.Iterations;
  if (job.Command == "sinogram" && job.Kind == TExportKind::Csv) passes += 4;
  return cells * passes;
}

TTomographyOutputs TomographyOutputs(const TTomographyJob& job, const TProjectionModel& model) {
  const TScanGeometry& geometry = job.Study.Geometry;
  const bool sinogramOnly = job.Command == "sinogram";
  const TRegion& region = job.Data.Region;
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
    const std::string method = options.Method == TReconstructionMethod::Sirt   ? "SIRT"
                               : options.Method == TReconstructionMethod::Sart ? "SART"
                                                                               : "CGLS";
    options.Progress = [progress, method, total = options.Iterations,
                        previous = options.Progress](int done) {
      if (done == 1) progress->Stage(method + " iterations", total);
      progress->Advance(done);
      if (previous) previous(done);
    };
  }
  TTomographyOutputs outputs;
  TStudyResult study;
  try {
    const TArray2D truth = JobTruth(job, model);
    const std::vector<TGauss3D> blobs = ModelBlobs(model);
    options.Region = region;
    THistoryCsv history;
    if (!job.Data.History.empty())
      options.Iterate = [&](int iteration, const TArray2D& image) {
        history.Add(iteration, CompareImages(image, truth, region));
      };
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
    if (sinogramOnly) {
      study.Sinogram = StudySinogram(truth, blobs, options);
    } else {
      const TArrayView given = job.Data.Sinogram ? job.Data.Sinogram->View() : TArrayView{};
      study = RunStudy(truth, blobs, options, {}, job.Data.Sinogram ? &given : nullptr);
    }
    if (!job.Data.History.empty()) outputs.History = history.Text();
    if (sinogramOnly && (job.Kind == TExportKind::Npy || job.Kind == TExportKind::Tiff))
      outputs.Sidecar = SidecarJson(geometry, {truth.Columns, truth.Rows});
  } catch (const std::bad_alloc&) {
    throw Exception("not enough memory for " + std::to_string(geometry.Views) + " views of " +
                    std::to_string(geometry.Detectors) + " bins");
  }
  // The result is shared by the producer, which may be called after this returns.
  auto result = std::make_shared<TStudyResult>(std::move(study));
  const TExportKind kind = job.Kind;
  progress->Stage("writing");
  if (sinogramOnly) {
    const int gridSize = job.Study.GridSize;
    outputs.Data = [result, kind, geometry, gridSize, progress](TOutputSink& sink) {
      WriteArray(sink, result->Sinogram, kind, false, [&](TOutputSink& s) {
        WriteSinogramCsv(s, result->Sinogram, geometry, gridSize);
      });
    };
  } else if (job.Command == "metrics") {
    outputs.Data = [result](TOutputSink& sink) { sink.Write(MetricsCsv(result->Metrics)); };
  } else {
    const bool difference = job.Command == "difference";
    outputs.Data = [result, kind, difference, progress](TOutputSink& sink) {
      const TArray2D& image = difference ? result->Difference : result->Reconstruction;
      WriteArray(sink, image, kind, difference, [&](TOutputSink& s) { WriteImageCsv(s, image); });
    };
  }
  return outputs;
}

TOutputProducer TomographyOutput(const TTomographyJob& job, const TProjectionModel& model) {
  return TomographyOutputs(job, model).Data;
}

QByteArray TomographyBytes(const TTomographyJob& job, const TProjectionModel& model) {
  StringSink sink;
  TomographyOutput(job, model)(sink);
  return TextBytes(sink.text);
}

void WriteTomographyOutputs(const QString& file, const TTomographyJob& job,
                            const TProjectionModel& model) {
  const TTomographyOutputs outputs = TomographyOutputs(job, model);
  // Whether the output is a regular file (or will be a new one) before it is written:
  // a device or a pipe gets no JSON file beside it.
  struct stat target;
  const bool regular = file != "-" && (::stat(file.toLocal8Bit().constData(), &target) != 0 ||
                                       S_ISREG(target.st_mode));
  WriteOutputFile(file, outputs.Data);
  if (outputs.History)
    WriteOutputFile(QString::fromStdString(job.Data.History), TextBytes(*outputs.History));
  if (outputs.Sidecar && regular)
    WriteOutputFile(QString::fromStdString(SidecarPath(file.toStdString())),
                    TextBytes(*outputs.Sidecar));
}

std::optional<TExportKind> HeadlessGridKind(const QCommandLineParser& parser,
                                            const QString& command, const QString& file) {
  if (command != "grid") return std::nullopt;
  const std::string format = Value(parser, "format");
  // The window's grid writes png and csv; only the array kinds and other sizes need this.
  const QString ending = file.section('/', -1).section('.', -1).toLower();
  const bool arrayKind = format == "npy" || format == "tiff" ||
                         (format.empty() && file.section('/', -1).contains('.') &&
                          (ending == "npy" || ending == "tif" || ending == "tiff"));
  if (!arrayKind && !IsSet(parser, "grid-size")) return std::nullopt;
  return OutputKind("grid", file.toStdString(), format);
}

QByteArray HeadlessGridBytes(const QCommandLineParser& parser, TExportKind kind,
                             const TProjectionModel& model) {
  TTomographyJob job;
  if (IsSet(parser, "grid-size"))
    job.Study.GridSize = ParseNumber(parser, "grid-size", 8, 4096, "a whole number from 8 to 4096");
  const TArray2D image = JobTruth(job, model);
  if (kind == TExportKind::Png) {
    // The window's picture: the green level of each cell against the largest.
    double top = 0;
    for (const double v : image.Values) top = std::max(top, v);
    QImage picture = NewPicture(image, QImage::Format_RGB888);
    picture.fill(Qt::black);
    for (int iy = 0; iy < image.Rows; ++iy) {
      uchar* line = picture.scanLine(iy);
      for (int ix = 0; ix < image.Columns; ++ix)
        line[3 * ix + 1] = top > 0 ? GreenLevel(image.At(iy, ix), top) : 0;
    }
    return PngBytes(picture);
  }
  return ArrayBytes(image, kind, false, [&](TOutputSink& s) { WriteImageCsv(s, image); });
}

void WriteSinogramCsv(TOutputSink& sink, const TArray2D& sinogram, const TScanGeometry& geometry,
                      int gridSize) {
  TChunkedText out(sink);
  out << "view,angle,bin,t,value\n";
  std::vector<std::string> positions(static_cast<std::size_t>(sinogram.Columns));
  for (int bin = 0; bin < sinogram.Columns; ++bin)
    positions[static_cast<std::size_t>(bin)] =
        ShortestText(geometry.BinCells(bin) * 19 / (gridSize - 1));
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
      out << ix << ',' << iy << ',' << ShortestText(PhantomCoordinate(ix, image.Columns)) << ','
          << ShortestText(PhantomCoordinate(iy, image.Columns)) << ','
          << ShortestText(image.At(iy, ix)) << '\n';
  out.Finish();
}

std::string SinogramCsv(const TArray2D& sinogram, const TScanGeometry& geometry, int gridSize) {
  StringSink sink;
  WriteSinogramCsv(sink, sinogram, geometry, gridSize);
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
  QImage image = NewPicture(array, QImage::Format_Grayscale8);
  for (int r = 0; r < array.Rows; ++r) {
    uchar* line = image.scanLine(r);
    for (int c = 0; c < array.Columns; ++c) line[c] = GreyLevel(array.At(r, c), low, high);
  }
  return image;
}

QImage DivergingPicture(const TArray2D& array) {
  const double reach = DivergingReach(array);
  QImage image = NewPicture(array, QImage::Format_RGB888);
  for (int r = 0; r < array.Rows; ++r) {
    uchar* line = image.scanLine(r);
    for (int c = 0; c < array.Columns; ++c) {
      const TRgb rgb = DivergingRgb(array.At(r, c), reach);
      uchar* pixel = line + 3 * c;
      pixel[0] = rgb.R;
      pixel[1] = rgb.G;
      pixel[2] = rgb.B;
    }
  }
  return image;
}

}  // namespace quarvel
