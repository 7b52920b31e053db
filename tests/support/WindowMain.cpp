// Test entry for the window: the application object on the offscreen platform, with
// exceptions that leave event handlers recorded instead of shown in a message box.

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
  quarvel::TApplication application(argc, argv);
  quarvel::testing::MessageBoxReporter() = application.ShowException;
  application.ShowException = [](const std::string& message) { quarvel::testing::ShownErrors().push_back(message); };
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
