// The stages' threads: every piece once, in the caller's rounding, from any thread and
// from inside another stage, and the first range's error.

#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tomo/Parallel.h"

namespace quarvel {
namespace {

// Runs a stage of `count` pieces and checks that each ran once, with `rounding`.
void ExpectEveryPieceOnce(int count, int threads, int rounding) {
  std::vector<std::atomic<int>> runs(count);
  std::atomic<int> wrongRounding{0};
  ParallelRanges(count, threads, [&](int begin, int end) {
    if (std::fegetround() != rounding) ++wrongRounding;
    for (int i = begin; i < end; ++i) ++runs[i];
  });
  for (int i = 0; i < count; ++i) EXPECT_EQ(runs[i], 1) << "piece " << i;
  EXPECT_EQ(wrongRounding, 0);
}

TEST(ParallelRanges, RunsEveryPieceOnceInTheCallersRounding) {
  // The rounding changes from stage to stage, so threads kept from an earlier stage must
  // take the new one.
  for (int rounding : {FE_UPWARD, FE_TONEAREST, FE_DOWNWARD, FE_TONEAREST})
    for (int threads : {1, 2, 3, 5})
      for (int count : {1, 2, 7, 100}) {
        SCOPED_TRACE(testing::Message() << threads << " threads, " << count << " pieces");
        ASSERT_EQ(std::fesetround(rounding), 0);
        ExpectEveryPieceOnce(count, threads, rounding);
        std::fesetround(FE_TONEAREST);
      }
}

TEST(ParallelRanges, StagesFromSeveralThreadsAndFromInsideAStage) {
  std::vector<std::jthread> callers;
  for (int c = 0; c < 3; ++c)
    callers.emplace_back([] {
      for (int round = 0; round < 50; ++round) ExpectEveryPieceOnce(9, 2, FE_TONEAREST);
    });
  std::atomic<int> inner{0};
  ParallelRanges(4, 2, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) ParallelRanges(10, 3, [&](int b, int e) { inner += e - b; });
  });
  EXPECT_EQ(inner, 40);
}

TEST(ParallelRanges, RethrowsTheErrorOfTheLowestRange) {
  for (int threads : {1, 2, 4}) {
    try {
      ParallelRanges(8, threads, [](int begin, int end) {
        if (end > 2) throw std::runtime_error("range " + std::to_string(begin));
      });
      ADD_FAILURE() << "no error with " << threads << " threads";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), threads == 4 ? "range 2" : "range 0");
    }
  }
}

}  // namespace
}  // namespace quarvel
