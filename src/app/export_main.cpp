// quarvel-export: renders and exports, without a display, exactly what the window
// computes and shows. The window's own code does the work: the main window is created
// offscreen (its three start-up blobs, then the chosen resolution through the radio
// group's handler), and each command reads or paints from it.

#include <QCommandLineParser>
#include <QFile>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "AppIdentity.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/OutputFile.h"

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
  static const std::map<QString, int> kResolutions = {{"128x128", 0}, {"256x256", 1}, {"512x512", 2}};
  auto it = kResolutions.find(text);
  if (it == kResolutions.end())
    throw ExportError("bad resolution '" + text.toStdString() + "' (128x128, 256x256 or 512x512)", kUsageError);
  return it->second;
}

std::pair<int, int> ParseSize(const QString& text) {
  const QStringList parts = text.split('x');
  bool okW = false, okH = false;
  const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0, h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
  if (!okW || !okH || w < 1 || h < 1 || w > 8000 || h > 8000)
    throw ExportError("bad size '" + text.toStdString() + "' (WxH, each from 1 to 8000)", kUsageError);
  return {w, h};
}

int Run(TApplication& application) {
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
      "FILE may be - for standard output.");
  const QCommandLineOption helpOption({"h", "help"}, "Shows this help and exits.");
  const QCommandLineOption versionOption({"v", "version"}, "Shows the version and exits.");
  parser.addOptions({helpOption, versionOption});
  parser.addPositionalArgument("command", "window, chart, grid, points or projection");
  parser.addPositionalArgument("file", "the output file, or - for standard output");
  const QCommandLineOption resolutionOption("resolution", "128x128, 256x256 or 512x512 (default 128x128).", "resolution", "128x128");
  const QCommandLineOption sizeOption("size", "The chart's size, WxH (default 651x302).", "size", "651x302");
  parser.addOption(resolutionOption);
  parser.addOption(sizeOption);
  // parse(), not process(): a usage error is exit status 2, like every other one.
  if (!parser.parse(QCoreApplication::arguments())) throw ExportError(parser.errorText().toStdString(), kUsageError);
  if (parser.isSet(helpOption)) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return 0;
  }
  if (parser.isSet(versionOption)) {
    std::printf("quarvel-export %s\n", kVersion);
    return 0;
  }

  const QStringList args = parser.positionalArguments();
  if (args.size() != 2) throw ExportError("expected a command and a file (see --help)", kUsageError);
  const QString command = args[0], file = args[1];
  const bool csv = file.endsWith(".csv", Qt::CaseInsensitive);
  const int resolution = ParseResolution(parser.value(resolutionOption));
  const auto [width, height] = ParseSize(parser.value(sizeOption));
  if (command != "window" && command != "chart" && command != "grid" && command != "points" && command != "projection")
    throw ExportError("unknown command '" + command.toStdString() + "' (see --help)", kUsageError);

  auto form = TformMain::Create(application);
  if (resolution != 0) {
    form->grpResolution->SetItemIndex(resolution);
    form->grpResolutionClick(form->grpResolution);
  }

  if (command == "window") WriteOutputFile(file, PngBytes(WindowPicture(*form)));
  else if (command == "chart") WriteOutputFile(file, PngBytes(ChartPicture(*form, width, height)));
  else if (command == "grid") WriteOutputFile(file, csv ? TextBytes(GridCsv(*form)) : PngBytes(GridPicture(*form)));
  else if (command == "points") WriteOutputFile(file, TextBytes(PointsCsv(*form)));
  else WriteOutputFile(file, TextBytes(ProjectionCsv(*form)));
  return 0;
}

}  // namespace

// The toolkit's own notes (a missing runtime folder and the like) would add lines to
// the one-line error contract; only its critical messages are passed on.
void QuietToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "quarvel-export: %s\n", qPrintable(message));
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QuietToolkitMessages);
  try {
    ApplyApplicationIdentity("quarvel-export");
    TApplication application(argc, argv);
    ReadLocaleSeparators();
    // Handler errors go to standard error here, never to a message box.
    std::string failure;
    application.ShowException = [&failure](const std::string& message) { failure = message; };
    const int code = Run(application);
    if (!failure.empty()) throw std::runtime_error(failure);
    return code;
  } catch (const ExportError& e) {
    std::fprintf(stderr, "quarvel-export: %s\n", e.what());
    return e.exitCode;
  } catch (const EOutputError& e) {
    std::fprintf(stderr, "quarvel-export: %s\n", e.what());
    return kOutputError;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-export: %s\n", e.what());
    return 1;
  }
}
