// The contract check: live, a broken contract aborts with the condition, the place and
// the message on standard error; off, the condition is not even evaluated.

#include <gtest/gtest.h>

#include "base/Assert.h"

namespace quarvel {
namespace {

TEST(ContractCheck, AbortsWithWhatWentWrongWhereLiveAndIsSilentOtherwise) {
  int evaluated = 0;
  auto check = [&](bool holds) {
    ++evaluated;
    return holds;
  };
  QUARVEL_ASSERT(check(true), "never shown");
  EXPECT_EQ(evaluated, kAssertionsLive ? 1 : 0);
  if (!kAssertionsLive) {
    QUARVEL_ASSERT(check(false), "compiled out");
    EXPECT_EQ(evaluated, 0);
    GTEST_SKIP() << "contract checks are compiled out of this build (live in Debug and "
                    "sanitizer builds)";
  }
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(QUARVEL_ASSERT(1 + 1 == 3, "arithmetic is broken"),
               "AssertTest.cpp:[0-9]+: contract broken: 1 \\+ 1 == 3: arithmetic is broken");
}

}  // namespace
}  // namespace quarvel
