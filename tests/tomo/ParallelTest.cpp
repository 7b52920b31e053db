// The stages' threads: every piece once, in the caller's rounding, on at most the
// threads asked for, from any thread and from inside another stage, and the first
// range's error.

#include <gtest/gtest.h>

#include <atomic>
#include <cfenv>
#include <chrono>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tomo/Parallel.h"

namespace quarvel {
namespace {

// Runs a stage of `count` pieces and checks that each ran once, with `rounding`.
void ExpectEveryPieceOnce(int count, int threads, int rounding, TSplit split = TSplit::Shared) {
  std::vector<std::atomic<int>> runs(count);
  std::atomic<int> wrongRounding{0};
  ParallelRanges(
      count, threads,
      [&](int begin, int end) {
        if (std::fegetround() != rounding) ++wrongRounding;
        for (int i = begin; i < end; ++i) ++runs[i];
      },
      split);
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
        ExpectEveryPieceOnce(count, threads, rounding, TSplit::PerThread);
        std::fesetround(FE_TONEAREST);
      }
}

// The test above lets the calling thread take every range when the workers wake late.
// Here the first range waits until the second has begun, which only a worker can begin.
TEST(ParallelRanges, AWorkersRangeRunsInTheCallersRounding) {
  for (int rounding : {FE_UPWARD, FE_DOWNWARD, FE_TONEAREST}) {
    ASSERT_EQ(std::fesetround(rounding), 0);
    std::atomic<int> begun{0}, wrongRounding{0};
    ParallelRanges(
        2, 2,
        [&](int, int) {
          if (std::fegetround() != rounding) ++wrongRounding;
          ++begun;
          // Bounded, so that a stage that never hands a range on fails instead of hanging.
          const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
          while (begun.load() < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        },
        TSplit::PerThread);
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(begun, 2);
    EXPECT_EQ(wrongRounding, 0) << "rounding " << rounding;
  }
}

TEST(ParallelRanges, StagesFromSeveralThreadsAndFromInsideAStage) {
  std::vector<std::jthread> callers;
  callers.reserve(3);
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

// Every range from piece 5 on throws, the one holding piece 5 its own message: that one
// is rethrown however the pieces were split.
TEST(ParallelRanges, RethrowsTheErrorOfTheLowestRange) {
  for (TSplit split : {TSplit::Shared, TSplit::PerThread})
    for (int threads : {1, 2, 4}) {
      try {
        ParallelRanges(
            40, threads,
            [](int begin, int end) {
              if (begin <= 5 && 5 < end) throw std::runtime_error("the range of piece 5");
              if (begin > 5) throw std::runtime_error("a later range");
            },
            split);
        ADD_FAILURE() << "no error with " << threads << " threads";
      } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "the range of piece 5");
      }
    }
}

// A stage on four threads comes first, so that more workers wait than the later stages
// ask for; the ranges last long enough for every waiting worker to wake and look for one.
TEST(ParallelRanges, SplitsIntoRangesOnAtMostTheThreadsAskedFor) {
  for (int threads : {4, 2, 3, 1})
    for (TSplit split : {TSplit::Shared, TSplit::PerThread}) {
      std::mutex mutex;
      std::set<std::thread::id> used;
      int ranges = 0;
      const auto body = [&](int, int) {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        const std::lock_guard lock(mutex);
        used.insert(std::this_thread::get_id());
        ++ranges;
      };
      ParallelRanges(64, threads, body, split);
      EXPECT_EQ(ranges, split == TSplit::PerThread || threads == 1 ? threads : 8 * threads);
      EXPECT_LE(used.size(), std::size_t(threads)) << threads << " threads";
    }
}

}  // namespace
}  // namespace quarvel
