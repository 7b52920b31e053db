// quarvel-export: renders and exports, without a display, exactly what the window
// computes and shows. The window's own code does the work: the main window is created
// offscreen (its three start-up blobs, or those of a phantom file, then the chosen
// resolution through the radio group's handler), and each command reads or paints from it.

#include <QCommandLineParser>
#include <QFile>
#include <QImage>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "AppIdentity.h"
#include "bench/BenchWindow.h"
#include "model/PhantomFile.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "ui/CommandLine.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"
#include "ui/RebinExport.h"
#include "ui/TomographyExport.h"

namespace {

using namespace quarvel;

// A failure the user can mend: one line on standard error and a non-zero exit.
struct ExportError : std::runtime_error {
  ExportError(const std::string& message, int code) : std::runtime_error(message), exitCode(code) {}
  int exitCode;
};
constexpr int kUsageError = 2;
constexpr int kOutputError = 1;

int ParseResolution(const QString& text) {
  static const std::map<QString, int> kResolutions = {
      {"128x128", 0}, {"256x256", 1}, {"512x512", 2}};
  auto it = kResolutions.find(text);
  if (it == kResolutions.end())
    throw ExportError(
        "bad resolution '" + ShownValue(text.toStdString()) + "' (128x128, 256x256 or 512x512)",
        kUsageError);
  return it->second;
}

std::pair<int, int> ParseSize(const QString& text) {
  const QStringList parts = text.split('x');
  bool okW = false, okH = false;
  const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0,
            h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
  if (!okW || !okH || w < 1 || h < 1 || w > 8000 || h > 8000)
    throw ExportError(
        "bad size '" + ShownValue(text.toStdString()) + "' (WxH, each from 1 to 8000)",
        kUsageError);
  return {w, h};
}

// What each command writes; only the chart takes a size (the window keeps its layout's).
struct Command {
  QString name;
  bool png, csv, sized;
  std::string Kinds() const { return png && csv ? "png or csv" : png ? "png" : "csv"; }
};
const Command kCommands[] = {
    {"window", true, false, false},     {"chart", true, false, true},
    {"grid", true, true, false},        {"points", false, true, false},
    {"projection", false, true, false}, {"bench", true, false, false},
};

// The output kind: --format when given, else the file's .png or .csv ending, else the
// command's only kind for standard output or a name without an ending (a device, a
// pipe). Whatever contradicts the command or the format is a usage error.
bool WritesPng(const Command& command, const QString& file, const QString& format) {
  const QString base = file.section('/', -1);
  const int dot = base.lastIndexOf('.');
  const QString ending = file == "-" || dot <= 0 ? QString() : base.mid(dot + 1).toLower();
  const std::string name = command.name.toStdString(),
                    quoted = "'" + ShownValue(file.toStdString(), kShownPathLength) + "'";
  QString kind = format;
  if (!format.isEmpty()) {
    if (format != "png" && format != "csv")
      throw ExportError("bad format '" + ShownValue(format.toStdString()) + "' (png or csv)",
                        kUsageError);
    if ((ending == "png" || ending == "csv") && ending != format)
      throw ExportError(quoted + " ends in ." + ShownValue(ending.toStdString()) +
                            ", but the format is " + ShownValue(format.toStdString()),
                        kUsageError);
  } else if (ending == "png" || ending == "csv") {
    kind = ending;
  } else if (command.png != command.csv && ending.isEmpty()) {
    kind = command.png ? "png" : "csv";
  } else if (ending.isEmpty()) {
    throw ExportError(name + " writes " + command.Kinds() + ": give --format for " + quoted,
                      kUsageError);
  } else {
    throw ExportError(quoted + " ends in neither .png nor .csv: give --format (" + name +
                          " writes " + command.Kinds() + ")",
                      kUsageError);
  }
  if ((kind == "png" && !command.png) || (kind == "csv" && !command.csv))
    throw ExportError(name + " writes " + command.Kinds() +
                          (format.isEmpty() ? ", but " + quoted + " ends in ." : ", not ") +
                          kind.toStdString(),
                      kUsageError);
  return kind == "png";
}

int Run(TApplication& application, const QStringList& arguments,
        const std::string& handlerFailure) {
  // Help texts follow the style of ui/CommandLine.h: lower case, no full stop,
  // placeholders in angle brackets.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "exports what the Quarvel view window computes and shows\n\n"
      "commands:\n"
      "  window <file>       the whole window (png)\n"
      "  chart <file>        the projection chart alone (png; --size, default 651x302)\n"
      "  grid <file>         the density image, 128 x 128 or --grid-size (png), its\n"
      "                      cells: ix,iy,x,y,value (csv), npy or tiff\n"
      "  points <file>       the resampled projection: index,x,y,kind (csv)\n"
      "  projection <file>   the zero projection: ix,x,sum (csv)\n"
      "  sinogram <file>     the sinogram: view,angle,bin,t,value (csv), png, npy or tiff\n"
      "                      (npy and tiff with <file>.json: the geometry)\n"
      "  reconstruction <file>  the reconstruction: ix,iy,x,y,value (csv), png, npy or tiff\n"
      "  difference <file>   reconstruction - grid, as reconstruction\n"
      "  metrics <file>      rmse,nrmse,psnr,ssim of the reconstruction (csv)\n"
      "  rebin <file>        a fan sinogram (--sinogram) resampled at a parallel geometry\n"
      "  bench <file>        the reconstruction bench window (png)\n"
      "<file> may be - for standard output; the format follows its ending, or --format");
  const QCommandLineOption helpOption = HelpOption();
  const QCommandLineOption versionOption = VersionOption();
  parser.addPositionalArgument(
      "command",
      "window, chart, grid, points, projection, sinogram, reconstruction, difference, metrics "
      "or bench",
      "<command>");
  parser.addPositionalArgument("file", "the output file, or - for standard output", "<file>");
  const QCommandLineOption resolutionOption(
      "resolution", "128x128, 256x256 or 512x512 (default 128x128)", "resolution", "128x128");
  const QCommandLineOption sizeOption("size", "the chart's size (default 651x302); chart only",
                                      "WxH", "651x302");
  const QCommandLineOption formatOption(
      "format", "png, csv, npy or tiff (default: from the file's ending)", "format");
  const QCommandLineOption phantomOption(
      "phantom",
      "blobs from a CSV file (mx,dx,my,dy[,enabled]) instead of the built-in three; - reads "
      "standard input",
      "file");
  const QCommandLineOption quietOption(
      "quiet",
      "no progress line on a terminal for long sinogram, reconstruction, difference "
      "or metrics work");
  ParseCommandLine(parser,
                   QList<QCommandLineOption>{helpOption, versionOption, resolutionOption,
                                             sizeOption, formatOption, phantomOption, quietOption}
                       << TomographyOptions(),
                   arguments);
  if (parser.isSet(helpOption)) {
    std::fputs(qPrintable(HelpText(parser, "quarvel-export")), stdout);
    return 0;
  }
  if (parser.isSet(versionOption)) {
    std::printf("quarvel-export %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return 0;
  }

  const QStringList args = parser.positionalArguments();
  if (args.size() != 2)
    throw ExportError("expected a command and a file (see --help)", kUsageError);
  const QString& file = args[1];
  if (file.isEmpty())
    throw ExportError("the output file's name is empty: give a file, or - for standard output",
                      kUsageError);
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (c.name == args[0]) command = &c;
  if (!command && !IsTomographyCommand(args[0]) && !IsRebinCommand(args[0]))
    throw ExportError("unknown command '" + ShownValue(args[0].toStdString()) + "' (see --help)",
                      kUsageError);
  if (IsRebinCommand(args[0])) {
    RunRebin(parser, file);
    return 0;
  }
  std::optional<TTomographyJob> tomography = TomographyJob(parser, args[0], file);
  if (tomography) tomography->Progress = !parser.isSet(quietOption);
  const int resolution = ParseResolution(parser.value(resolutionOption));
  if (parser.isSet(sizeOption) && !command->sized)
    throw ExportError("--size applies only to chart, not to " + command->name.toStdString(),
                      kUsageError);
  const auto [width, height] = ParseSize(parser.value(sizeOption));
  // grid as an array file, or at another --grid-size, is written from the sampled phantom.
  const std::optional<TExportKind> headlessGrid = HeadlessGridKind(parser, args[0], file);
  const bool png =
      !tomography && !headlessGrid && WritesPng(*command, file, parser.value(formatOption));
  std::optional<std::vector<TPhantomBlob>> phantom;
  if (parser.isSet(phantomOption)) {
    if (parser.value(phantomOption).isEmpty())
      throw ExportError("the phantom file's name is empty: give a file, or - for standard input",
                        kUsageError);
    // Replacing the phantom file with the export would lose it.
    if (OutputIsInput(file, parser.value(phantomOption).toStdString()))
      throw ExportError(
          (file == "-" ? "standard output"
                       : "'" + ShownValue(file.toStdString(), kShownPathLength) + "'") +
              " is the phantom file: it would be overwritten",
          kUsageError);
    try {
      phantom = ReadPhantomFile(parser.value(phantomOption).toStdString());
    } catch (const EPhantomError& e) {
      throw ExportError(e.Message(), kUsageError);
    }
  }

  if (tomography) {
    TProjectionModel model;
    ComputeHeadlessModel(model, phantom);
    WriteTomographyOutputs(file, *tomography, model);
    return 0;
  }
  if (headlessGrid) {
    TProjectionModel model;
    ComputeHeadlessModel(model, phantom);
    WriteOutputFile(file, HeadlessGridBytes(parser, *headlessGrid, model));
    return 0;
  }
  auto form = phantom ? TformMain::Create(application, std::move(*phantom))
                      : TformMain::Create(application);
  if (!handlerFailure.empty()) throw std::runtime_error(handlerFailure);
  if (resolution != 0) {
    form->grpResolution->SetItemIndex(resolution);
    try {
      form->grpResolutionClick(form->grpResolution, resolution);
    } catch (const EResampleError& e) {
      // What failed in words, then the fit error's values; the window adds what still works.
      throw std::runtime_error(e.Reason + "\n" + e.Values);
    }
  }

  const QString& name = command->name;
  if (name == "window")
    WriteOutputFile(file, PngBytes(WindowPicture(*form)));
  else if (name == "chart")
    WriteOutputFile(file, PngBytes(ChartPicture(*form, width, height)));
  else if (name == "grid")
    WriteOutputFile(file, png ? PngBytes(GridPicture(*form)) : TextBytes(GridCsv(*form)));
  else if (name == "bench")
    WriteOutputFile(file, PngBytes(BenchPicture(*form)));
  else if (name == "points")
    WriteOutputFile(file, TextBytes(PointsCsv(*form)));
  else
    WriteOutputFile(file, TextBytes(ProjectionCsv(*form)));
  return 0;
}

// Errors are one line: a message of several lines (the fit error's four) is joined.
void PrintError(const std::string& message) {
  std::string line;
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '\r' || message[i] == '\n') {
      while (i + 1 < message.size() && (message[i + 1] == '\r' || message[i + 1] == '\n')) ++i;
      if (i + 1 < message.size()) line += "; ";
    } else {
      line += message[i];
    }
  }
  std::fprintf(stderr, "quarvel-export: %s\n", line.c_str());
}

}  // namespace

// The toolkit's own notes (a missing runtime folder and the like) would add lines to
// the one-line error contract; only its critical messages are passed on.
void QuietToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "quarvel-export: %s\n", qPrintable(message));
}

// A standard descriptor the caller closed would be taken by the next file the process
// opens, and "-" would then write into that file. A read-only placeholder keeps the
// number taken, so that writing to it fails as writing to a closed descriptor does.
void HoldClosedStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int placeholder = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (placeholder >= 0 && placeholder != fd) {
      dup2(placeholder, fd);
      close(placeholder);
    }
  }
}

int main(int argc, char** argv) {
  HoldClosedStandardDescriptors();
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // A reader that goes away from a named pipe is an output error with its reason, not a
  // silent end by signal; from standard output it ends the program as SIGPIPE would.
  std::signal(SIGPIPE, SIG_IGN);
  qInstallMessageHandler(QuietToolkitMessages);
  try {
    ApplyApplicationIdentity("quarvel-export");
    // The command line is the program's own: the toolkit sees no options of its own.
    int toolkitArgc = 1;
    TApplication application(toolkitArgc, argv);
    ReadLocaleSeparators();
    // Handler errors go to standard error here, never to a message box.
    std::string failure;
    application.ShowException = [&failure](const std::string& message) { failure = message; };
    const int code = Run(application, ArgumentList(argc, argv), failure);
    if (!failure.empty()) throw std::runtime_error(failure);
    return code;
  } catch (const EUsageError& e) {
    PrintError(e.what());
    return kUsageError;
  } catch (const EOutputClosed&) {
    // As a program that never ignored SIGPIPE ends under "| head": quietly, by the signal.
    std::signal(SIGPIPE, SIG_DFL);
    std::raise(SIGPIPE);
    return 128 + SIGPIPE;
  } catch (const ExportError& e) {
    PrintError(e.what());
    return e.exitCode;
  } catch (const EOutputError& e) {
    PrintError(e.what());
    return kOutputError;
  } catch (const std::bad_alloc&) {
    PrintError("not enough memory");
    return 1;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}
