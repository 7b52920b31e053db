#pragma once
// The threads of a stage. A stage splits its independent pieces of work (views, bins,
// image rows) into contiguous ranges and runs one range per thread; every piece is
// computed by the same code in the same order whatever range it falls in, so a result
// never depends on the number of threads. Workers run with the caller's floating-point
// environment (its rounding and its trap mask): an operation that would trap in the
// caller traps in a worker too. The workers are threads kept for the next stage; a stage
// started while another holds them (from another thread, or inside a stage) starts
// threads of its own.

#include <functional>
#include <stop_token>

namespace quarvel {

// Runs body(begin, end) on the ranges of [0, count) split into at most `threads`
// (ResolveThreadCount) nearly equal contiguous parts, the first in the calling thread.
// An exception thrown by a part is rethrown here once every part has ended (the one of
// the lowest range when several throw).
void ParallelRanges(int count, int threads, const std::function<void(int, int)>& body);

// Raises ECancelled when a stop was requested.
void ThrowIfStopped(const std::stop_token& stop);

}  // namespace quarvel
