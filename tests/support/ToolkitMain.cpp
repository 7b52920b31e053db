// Test entry for suites that draw text: a headless GUI application object at 96 DPI
// with no device scaling exists for the whole run (also when the test lister runs the
// binary at build time, outside CTest's environment).

#include <gtest/gtest.h>

#include "platform/QtRuntime.h"

int main(int argc, char** argv) {
  quarvel::HeadlessToolkit toolkit;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
