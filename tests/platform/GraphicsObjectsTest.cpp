#include "platform/GraphicsObjects.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  const struct {
    const char* name;
    int n, m, d, result;
  } cases[] = {
      {"19.53 to the nearest", 3, 651, 100, 20},
      {"12.08 rounds down", 4, 302, 100, 12},
      {"a half rounds up", 3, 650, 100, 20},
      {"exact", 4, 250, 100, 10},
      {"-19.5 rounds away from zero", -3, 650, 100, -20},
      {"one half up", 1, 1, 2, 1},
      {"minus one half down", -1, 1, 2, -1},
      {"a product beyond int", 2000000000, 2, 4, 1000000000},
      {"division by zero gives -1", 1, 1, 0, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDiv(c.n, c.m, c.d), c.result) << c.name << ": " << c.n << "*" << c.m << "/" << c.d;
}

}  // namespace
}  // namespace quarvel
