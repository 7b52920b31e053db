// The program entry: start the application, create the main window (its three blobs
// run the update cycle three times), and run the message loop until it closes.

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
    return application.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-view: %s\n", e.what());
    return 1;
  }
}
