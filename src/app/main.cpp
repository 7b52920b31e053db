// The program entry: start the application, create the main window (its three blobs
// run the update cycle three times), and run the message loop until it closes.

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/window/Application.h"
#include "ui/MainFormUnit.h"
#include "ui/PhantomOption.h"

namespace {

// The toolkit aborts without a display; say so plainly instead.
bool DisplayAvailable() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  if (platform && *platform) return true;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
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
        std::printf("first-frame %lld\n", static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000);
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
  // A phantom file given with --phantom is read first: a bad one is a usage error.
  std::optional<std::vector<quarvel::TPhantomBlob>> phantom;
  try {
    phantom = quarvel::PhantomFromArguments(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return 2;
  }
  if (!DisplayAvailable()) {
    std::fprintf(stderr,
                 "quarvel-view: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                 "run it on a desktop, or without one as: xvfb-run -a quarvel-view\n");
    return 2;
  }
  try {
    quarvel::TApplication application(argc, argv);
    quarvel::ReadLocaleSeparators();
    auto form = phantom ? quarvel::TformMain::Create(application, std::move(*phantom))
                        : quarvel::TformMain::Create(application);
    FirstFrameProbe probe;
    if (std::getenv("QUARVEL_EXIT_AFTER_FIRST_FRAME")) form->chartMainControl->installEventFilter(&probe);
    return application.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return 1;
  }
}
