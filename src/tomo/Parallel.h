#pragma once
// The threads of a stage. A stage splits its independent pieces of work (views, bins,
// image rows) into contiguous ranges, which its threads take in turn; every piece is
// computed by the same code in the same order whatever range it falls in, so a result
// never depends on the number of threads. Workers run with the caller's floating-point
// environment (its rounding and its trap mask): an operation that would trap in the
// caller traps in a worker too. The workers are threads kept for the next stage; a stage
// started while another holds them (from another thread, or inside a stage) starts
// threads of its own. A stage does not wait for a worker that was still asleep when its
// ranges were all taken.

#include <functional>
#include <stop_token>

namespace quarvel {

// How a stage's pieces are handed to its threads.
enum class TSplit {
  // About eight ranges per thread, each taken by whichever thread is free: a thread that
  // starts late (a sleeping worker takes tens of microseconds to wake) or is slowed by
  // other work takes fewer.
  Shared,
  // One range per thread (still taken by whichever is free), for work that costs more per
  // range than per piece.
  PerThread,
};

// Runs body(begin, end) on nearly equal contiguous ranges of [0, count) (as `split` says)
// on at most `threads` (ResolveThreadCount) threads, the calling thread among them, and
// returns when every range has ended. An exception thrown by a range is rethrown here
// (the one of the lowest range when several throw).
void ParallelRanges(int count, int threads, const std::function<void(int, int)>& body,
                    TSplit split = TSplit::Shared);

// Raises ECancelled when a stop was requested.
void ThrowIfStopped(const std::stop_token& stop);

// Whether a stop was requested, as a stage asks inside its passes (per view, per band of
// rows, per piece of an exact ray) so that a stop ends any stage within milliseconds. A
// stage that finds it true leaves its loops and raises ECancelled once its threads are
// back; a result it returns never depends on how often it asked.
bool StopRequested(const std::stop_token& stop);

// For tests: `check` is called at each StopRequested, on the thread that asks, before
// the stop is read, so that a test can request the stop at the n-th check instead of
// after a time. Null (the default) calls nothing.
void SetStopCheckForTesting(void (*check)());

}  // namespace quarvel
