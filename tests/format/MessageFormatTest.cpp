#include "format/MessageFormat.h"

#include <gtest/gtest.h>

#include "base/Exception.h"

namespace quarvel {
namespace {

TEST(FormatMessage, WritesEachDirective) {
  EXPECT_EQ(FormatMessage("List index out of bounds (%d)", {int64_t{-3}}),
            "List index out of bounds (-3)");
  EXPECT_EQ(FormatMessage("X1 = %g\r\nY1 = %g", {1.0L, 2.5e-7L}), "X1 = 1\r\nY1 = 2.5E-7");
  EXPECT_EQ(FormatMessage("%.3g|%.19g|%g", {2.0L / 3, 2.0L / 3, 1e15L}),
            "0.667|0.666666666666667|1E15");
  EXPECT_EQ(FormatMessage("%s: 100%%", {std::string("done")}), "done: 100%");
}

TEST(FormatMessage, RejectsMismatchedArguments) {
  EXPECT_THROW(FormatMessage("%d", {}), EConvertError);
  EXPECT_THROW(FormatMessage("%d", {1.0L}), EConvertError);
  EXPECT_THROW(FormatMessage("%x", {int64_t{1}}), EConvertError);
  EXPECT_THROW(FormatMessage("trailing %", {}), EConvertError);
}

}  // namespace
}  // namespace quarvel
