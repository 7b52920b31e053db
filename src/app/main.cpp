// The program entry: read the command line, start the application, create the main
// window (its three blobs run the update cycle three times), and run the message loop
// until it closes.

#include <QCommandLineParser>
#include <QRegularExpression>
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
#include "ui/PhantomOption.h"

namespace {

constexpr int kUsageError = 2;

int UsageError(const QString& message) {
  std::fprintf(stderr, "quarvel-view: %s (see --help)\n", qPrintable(message));
  return kUsageError;
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

  // A phantom file given with --phantom is read first: a bad one is a usage error.
  std::optional<std::vector<quarvel::TPhantomBlob>> phantom;
  try {
    phantom = quarvel::PhantomFromArguments(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return 2;
  }

  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Shows a projection phantom: its blobs, their density grid and its zero projection.");
  const QCommandLineOption help({"h", "help"}, "Shows this help and exits.");
  const QCommandLineOption version({"v", "version"}, "Shows the version and exits.");
  parser.setSingleDashWordOptionMode(
      QCommandLineParser::ParseAsLongOptions);  // -platform is one word
  const QCommandLineOption phantomFile(
      "phantom", "Shows the blobs of a phantom file (CSV: mx,dx,my,dy[,enabled]).", "FILE");
  const QCommandLineOption bench("bench", "Opens the reconstruction bench beside the window.");
  parser.addOptions({help, version, phantomFile, bench});
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments))
    return UsageError(parser.errorText().remove(QRegularExpression("\\.$")));
  if (!parser.positionalArguments().isEmpty())
    return UsageError("unexpected argument '" + parser.positionalArguments().first() + "'");
  if (parser.isSet(help)) {
    std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "quarvel-view")), stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::printf("quarvel-view %s\n", qPrintable(QCoreApplication::applicationVersion()));
    return 0;
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
