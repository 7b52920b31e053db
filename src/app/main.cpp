// The program entry: read the command line, start the application, create the main
// window (its three blobs run the update cycle three times), and run the message loop
// until it closes.

#include <QCommandLineParser>
#include <QStringList>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <vector>

#include "AppIdentity.h"
#include "bench/BenchWindow.h"
#include "platform/window/Application.h"
#include "ui/MainFormUnit.h"
#include "ui/CommandLine.h"

namespace {

constexpr int kUsageError = 2;

QtMessageHandler gPreviousMessageHandler = nullptr;

void SkipRuntimeFolderNotes(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
  if (type == QtWarningMsg && message.contains("XDG_RUNTIME_DIR")) return;
  if (gPreviousMessageHandler)
    gPreviousMessageHandler(type, context, message);
  else
    qt_message_output(type, context, message);
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// With neither display named there is nothing to try; say so plainly.
bool DisplayNamed() {
  return IsSet("QT_QPA_PLATFORM") || IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY");
}

// The toolkit tries Wayland first only when the session says it is a Wayland one; a
// Wayland display with no X display beside it is one too, whatever the session says.
void PreferWaylandWithoutX() {
  if (!IsSet("QT_QPA_PLATFORM") && !IsSet("DISPLAY") && IsSet("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "wayland;xcb", 1);
}

// For the start-up measurement (scripts/startup.sh) only: with
// QUARVEL_EXIT_AFTER_FIRST_FRAME set, the program prints the wall-clock time in
// microseconds once the chart's first frame has been painted and handed to the window
// system (the event loop runs again after the paint), then quits.
class FirstFrameProbe : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !fired_) {
      fired_ = true;
      QTimer::singleShot(0, [] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::printf("first-frame %lld\n",
                    static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return false;
  }

 private:
  bool fired_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  quarvel::ApplyApplicationIdentity("quarvel-view");

  // The toolkit's note that it made up a runtime folder would break the one-line
  // error contract, as in the export tool.
  gPreviousMessageHandler = qInstallMessageHandler(SkipRuntimeFolderNotes);

  // Help texts follow the style of ui/CommandLine.h: lower case, no full stop,
  // placeholders in angle brackets.
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "shows a projection phantom: its blobs, their density grid and its zero projection");
  const QCommandLineOption help = quarvel::HelpOption();
  const QCommandLineOption version = quarvel::VersionOption();
  const QCommandLineOption phantomFile(
      "phantom",
      "shows the blobs of a phantom file (CSV: mx,dx,my,dy[,enabled]); - reads standard input",
      "file");
  const QCommandLineOption bench("bench", "opens the reconstruction bench beside the window");
  try {
    quarvel::ParseCommandLine(parser, {help, version, phantomFile, bench},
                              quarvel::ArgumentList(argc, argv));
    if (!parser.positionalArguments().isEmpty())
      throw quarvel::EUsageError(quarvel::UsageMessage(
          "unexpected argument '" + parser.positionalArguments().first().toStdString() + "'"));
  } catch (const quarvel::EUsageError& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return kUsageError;
  }
  if (parser.isSet(help)) {
    std::fputs(qPrintable(quarvel::HelpText(parser, "quarvel-view")), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("quarvel-view %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return 0;
  }

  // A phantom file is read before any window exists: a bad one is a usage error.
  std::optional<std::vector<quarvel::TPhantomBlob>> phantom;
  if (parser.isSet(phantomFile)) {
    try {
      phantom = quarvel::ReadPhantomFile(parser.value(phantomFile).toStdString());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quarvel-view: %s\n", e.what());
      return kUsageError;
    }
  }

  if (!DisplayNamed()) {
    std::fprintf(stderr,
                 "quarvel-view: cannot open a window: no display (neither DISPLAY nor "
                 "WAYLAND_DISPLAY is set); "
                 "run it on a desktop, or without one as: xvfb-run -a quarvel-view\n");
    return 2;
  }
  PreferWaylandWithoutX();
  try {
    // The command line is the program's own: the toolkit sees no options of its own.
    int toolkitArgc = 1;
    quarvel::TApplication application(toolkitArgc, argv, quarvel::TScreenScaling::FollowScreen);
    quarvel::ReadLocaleSeparators();
    auto form = phantom ? quarvel::TformMain::Create(application, std::move(*phantom))
                        : quarvel::TformMain::Create(application);
    quarvel::InstallBench(*form);
    if (parser.isSet(bench)) {
      form->show();
      quarvel::RunHandler([&form] { quarvel::OpenBench(*form); });
    }
    FirstFrameProbe probe;
    if (std::getenv("QUARVEL_EXIT_AFTER_FIRST_FRAME"))
      form->chartMainControl->installEventFilter(&probe);
    return application.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return 1;
  }
}
