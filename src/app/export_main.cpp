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
#include <optional>
#include <stdexcept>
#include <string>

#include "AppIdentity.h"
#include "bench/BenchWindow.h"
#include "model/PhantomFile.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"
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
    throw ExportError("bad resolution '" + text.toStdString() + "' (128x128, 256x256 or 512x512)",
                      kUsageError);
  return it->second;
}

std::pair<int, int> ParseSize(const QString& text) {
  const QStringList parts = text.split('x');
  bool okW = false, okH = false;
  const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0,
            h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
  if (!okW || !okH || w < 1 || h < 1 || w > 8000 || h > 8000)
    throw ExportError("bad size '" + text.toStdString() + "' (WxH, each from 1 to 8000)",
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
  const std::string name = command.name.toStdString(), quoted = "'" + file.toStdString() + "'";
  QString kind = format;
  if (!format.isEmpty()) {
    if (format != "png" && format != "csv")
      throw ExportError("bad format '" + format.toStdString() + "' (png or csv)", kUsageError);
    if ((ending == "png" || ending == "csv") && ending != format)
      throw ExportError(quoted + " ends in ." + ending.toStdString() + ", but the format is " +
                            format.toStdString(),
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

int Run(TApplication& application, const std::string& handlerFailure) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Exports what the Quarvel view window computes and shows.\n\n"
      "Commands:\n"
      "  window FILE.png       the whole window\n"
      "  chart FILE.png        the projection chart alone (--size WxH, default 651x302)\n"
      "  grid FILE.png         the density image, 128 x 128\n"
      "  grid FILE.csv         the grid cells: ix,iy,x,y,value\n"
      "  points FILE.csv       the resampled projection: index,x,y,kind\n"
      "  projection FILE.csv   the zero projection: ix,x,sum\n"
      "  sinogram FILE         the sinogram (csv: view,angle,bin,t,value; png, npy, tiff)\n"
      "  reconstruction FILE   the reconstruction (csv: ix,iy,x,y,value; png, npy, tiff)\n"
      "  difference FILE       reconstruction - grid (as reconstruction)\n"
      "  metrics FILE.csv      rmse,nrmse,psnr,ssim of the reconstruction\n"
      "  bench FILE.png        the reconstruction bench window\n"
      "FILE may be - for standard output. The format follows the file's ending, or --format.");
  const QCommandLineOption helpOption = parser.addHelpOption();
  const QCommandLineOption versionOption = parser.addVersionOption();
  parser.addPositionalArgument("command",
                               "window, chart, grid, points, projection, sinogram, "
                               "reconstruction, difference, metrics or bench");
  parser.addPositionalArgument("file", "the output file, or - for standard output");
  const QCommandLineOption resolutionOption(
      "resolution", "128x128, 256x256 or 512x512 (default 128x128).", "resolution", "128x128");
  const QCommandLineOption sizeOption(
      "size", "The chart's size, WxH (default 651x302); chart only.", "size", "651x302");
  const QCommandLineOption formatOption(
      "format", "png, csv, npy or tiff (default: from the file's ending).", "format");
  const QCommandLineOption phantomOption(
      "phantom", "Blobs from a CSV file (mx,dx,my,dy[,enabled]) instead of the built-in three.",
      "file");
  parser.addOption(resolutionOption);
  parser.addOption(sizeOption);
  parser.addOption(formatOption);
  parser.addOption(phantomOption);
  AddTomographyOptions(parser);
  if (!parser.parse(QCoreApplication::arguments()))
    throw ExportError(parser.errorText().toStdString(), kUsageError);
  if (parser.isSet(helpOption)) parser.showHelp(0);
  if (parser.isSet(versionOption)) parser.showVersion();

  const QStringList args = parser.positionalArguments();
  if (args.size() != 2)
    throw ExportError("expected a command and a file (see --help)", kUsageError);
  const QString& file = args[1];
  const Command* command = nullptr;
  for (const Command& c : kCommands)
    if (c.name == args[0]) command = &c;
  if (!command && !IsTomographyCommand(args[0]))
    throw ExportError("unknown command '" + args[0].toStdString() + "' (see --help)", kUsageError);
  const std::optional<TTomographyJob> tomography = TomographyJob(parser, args[0], file);
  const int resolution = ParseResolution(parser.value(resolutionOption));
  if (parser.isSet(sizeOption) && !command->sized)
    throw ExportError("--size applies only to chart, not to " + command->name.toStdString(),
                      kUsageError);
  const auto [width, height] = ParseSize(parser.value(sizeOption));
  const bool png = !tomography && WritesPng(*command, file, parser.value(formatOption));
  std::optional<std::vector<TPhantomBlob>> phantom;
  if (parser.isSet(phantomOption)) {
    try {
      phantom = ReadPhantomFile(parser.value(phantomOption).toStdString());
    } catch (const EPhantomError& e) {
      throw ExportError(e.Message(), kUsageError);
    }
  }

  if (tomography) {
    TProjectionModel model;
    ComputeHeadlessModel(model, phantom);
    WriteOutputFile(file, TomographyBytes(*tomography, model));
    return 0;
  }
  auto form = phantom ? TformMain::Create(application, std::move(*phantom))
                      : TformMain::Create(application);
  if (!handlerFailure.empty()) throw std::runtime_error(handlerFailure);
  if (resolution != 0) {
    form->grpResolution->SetItemIndex(resolution);
    form->grpResolutionClick(form->grpResolution, resolution);
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
  // A reader that goes away (a pipe, a FIFO) is an output error with its reason, not a
  // silent end by signal.
  std::signal(SIGPIPE, SIG_IGN);
  qInstallMessageHandler(QuietToolkitMessages);
  try {
    ApplyApplicationIdentity("quarvel-export");
    TApplication application(argc, argv);
    ReadLocaleSeparators();
    // Handler errors go to standard error here, never to a message box.
    std::string failure;
    application.ShowException = [&failure](const std::string& message) { failure = message; };
    const int code = Run(application, failure);
    if (!failure.empty()) throw std::runtime_error(failure);
    return code;
  } catch (const ExportError& e) {
    PrintError(e.what());
    return e.exitCode;
  } catch (const EUsageError& e) {
    PrintError(e.Message());
    return kUsageError;
  } catch (const EOutputError& e) {
    PrintError(e.what());
    return kOutputError;
  } catch (const std::exception& e) {
    PrintError(e.what());
    return 1;
  }
}
