// Test entry for the window: the application object on the offscreen platform, set up
// as the viewer sets it up (following the screen's scaling) at 96 DPI, with exceptions
// that leave event handlers recorded instead of shown in a message box. Built with
// QUARVEL_TEST_SCALE_FACTOR the screen has that device pixel ratio; otherwise 1.

#include <gtest/gtest.h>

#include <cstdlib>

#include "WindowTesting.h"

namespace quarvel::testing {

std::vector<std::string>& ShownErrors() {
  static std::vector<std::string> errors;
  return errors;
}

std::function<void(const std::string&)>& MessageBoxReporter() {
  static std::function<void(const std::string&)> reporter;
  return reporter;
}

}  // namespace quarvel::testing

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 1);
  unsetenv("QT_SCREEN_SCALE_FACTORS");
  unsetenv("QT_ENABLE_HIGHDPI_SCALING");
#ifdef QUARVEL_TEST_SCALE_FACTOR
  setenv("QT_SCALE_FACTOR", QUARVEL_TEST_SCALE_FACTOR, 1);
#else
  unsetenv("QT_SCALE_FACTOR");
#endif
  quarvel::TApplication application(argc, argv, quarvel::TScreenScaling::FollowScreen);
  quarvel::testing::MessageBoxReporter() = application.ShowException;
  application.ShowException = [](const std::string& message) {
    quarvel::testing::ShownErrors().push_back(message);
  };
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
