#include "format/MessageFormat.h"

#include <gtest/gtest.h>

#include "base/Exception.h"
#include "format/NumberFormat.h"

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

// The window's separators change the viewer's messages but never the fixed ones, which
// any thread may build while the window changes them.
TEST(FormatMessage, FixedMessagesIgnoreTheWindowsSeparators) {
  SetNumberSeparators(",", ".");
  EXPECT_EQ(FormatMessage("%g / %g", {2.5L, 1e-5L}), "2,5 / 1E-5");
  EXPECT_EQ(FormatFixedMessage("%g / %g / %.3g", {2.5L, 1.5e-5L, 1234.5L}),
            "2.5 / 1.5E-5 / 1.23E3");
  SetNumberSeparators(".", ",");
  EXPECT_THROW(FormatFixedMessage("%d", {1.0L}), EConvertError);
}

}  // namespace
}  // namespace quarvel
