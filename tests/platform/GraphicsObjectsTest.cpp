#include "platform/GraphicsObjects.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(MulDiv, RoundsHalvesAwayFromZero) {
  const struct {
    int n, m, d, result;
  } cases[] = {
      {3, 651, 100, 20},   {4, 302, 100, 12}, {3, 650, 100, 20}, {4, 250, 100, 10},
      {-3, 650, 100, -20}, {1, 1, 2, 1},      {-1, 1, 2, -1},    {2000000000, 2, 4, 1000000000},
      {1, 1, 0, -1}};
  for (const auto& c : cases)
    EXPECT_EQ(MulDiv(c.n, c.m, c.d), c.result) << c.n << "*" << c.m << "/" << c.d;
}

}  // namespace
}  // namespace quarvel
