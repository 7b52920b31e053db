// Test entry for the windowing layer's suites: its application object on the offscreen
// platform at 96 DPI, without device scaling and without any window of the program.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/window/Application.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("QT_FONT_DPI", "96", 1);
  unsetenv("QT_SCALE_FACTOR");
  quarvel::TApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
