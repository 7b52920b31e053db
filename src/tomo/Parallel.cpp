#include "tomo/Parallel.h"

#include <algorithm>
#include <atomic>
#include <cfenv>
#include <cstdint>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

#include "tomo/Geometry.h"

namespace quarvel {
namespace {

// How long a worker polls before it sleeps: about 100 µs here (a pause takes about 27 ns
// on this processor). The next stage of a chain (sinogram, filter, back-projection,
// metrics) starts well within that, so the workers are still awake for it; an idle
// program sleeps.
constexpr int kPolls = 4000;

// Ranges per thread of a shared split.
constexpr int kRangesPerThread = 8;

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

// Waits until `value` is no longer `old`: polls for a while, then sleeps on the atomic.
template <typename T>
T AwaitChange(const std::atomic<T>& value, T old) {
  for (int i = 0; i < kPolls; ++i) {
    const T now = value.load(std::memory_order_acquire);
    if (now != old) return now;
    Pause();
  }
  for (;;) {
    value.wait(old, std::memory_order_acquire);
    const T now = value.load(std::memory_order_acquire);
    if (now != old) return now;
  }
}

// What the workers help with: Run, by workers 1 .. Parts - 1, in the caller's
// floating-point environment.
struct TStage {
  const std::function<void()>* Run;
  const std::fenv_t* Environment;
  int Parts;
};

// Threads that stay for the next stage: starting and joining a thread costs 100–200 µs
// on a virtual machine, a twentieth of a whole edit chain, and a chain has four stages.
// One stage runs on the pool at a time; a stage that finds the pool busy (another
// thread's stage, or a stage started inside a stage) starts threads of its own instead.
//
// A stage does not wait for workers that are still asleep when its work is done: a
// worker enters (counts itself in inside_) before it looks at the stage, and the caller,
// once it has withdrawn the stage, waits only for the workers inside. A worker that
// enters later finds no stage, or the next one, and helps with that.
class TWorkerPool {
 public:
  ~TWorkerPool() {
    closing_.store(true);
    generation_.fetch_add(1);
    generation_.notify_all();
    workers_.clear();  // joins
  }

  // Runs `run` in the caller and lets parts - 1 workers run it too, each in
  // `environment`, and returns once the caller's run has ended and no worker is still in
  // one; false, having run nothing, when the pool is busy.
  bool TryRun(int parts, const std::function<void()>& run, const std::fenv_t& environment) {
    if (busy_.exchange(true, std::memory_order_acquire)) return false;
    // Taken back on every way out, also when a worker cannot be started.
    const std::unique_ptr<std::atomic<bool>, void (*)(std::atomic<bool>*)> release(
        &busy_, [](std::atomic<bool>* busy) { busy->store(false, std::memory_order_release); });
    while (static_cast<int>(workers_.size()) < parts - 1) {
      const int index = static_cast<int>(workers_.size()) + 1;
      workers_.emplace_back([this, index, seen = generation_.load()] { Work(index, seen); });
    }
    const TStage stage{&run, &environment, parts};
    stage_.store(&stage);
    generation_.fetch_add(1);
    generation_.notify_all();
    run();
    stage_.store(nullptr);
    for (int inside = inside_.load(); inside != 0;) inside = AwaitChange(inside_, inside);
    return true;
  }

 private:
  // Worker `index` helps with every stage of more than `index` parts.
  void Work(int index, std::uint64_t seen) {
    for (;;) {
      seen = AwaitChange(generation_, seen);
      if (closing_.load()) return;
      inside_.fetch_add(1);
      if (const TStage* stage = stage_.load(); stage && index < stage->Parts) {
        std::fesetenv(stage->Environment);
        (*stage->Run)();
      }
      if (inside_.fetch_sub(1) == 1) inside_.notify_all();
    }
  }

  // Whether a stage runs on the pool; a flag rather than a mutex, since a stage started
  // inside one asks from the thread that already has the pool.
  std::atomic<bool> busy_{false};
  // The stage in progress (on its caller's stack), or null. Every access to the stage
  // and to its inside_ count is sequentially consistent: a worker's entry and the
  // caller's withdrawal of the stage are seen in one order by both.
  std::atomic<const TStage*> stage_{nullptr};
  std::atomic<int> inside_{0};
  std::atomic<std::uint64_t> generation_{0};  // advanced to wake the workers
  std::atomic<bool> closing_{false};
  std::vector<std::jthread> workers_;  // last: joined before the fields above go
};

TWorkerPool& Pool() {
  static TWorkerPool pool;
  return pool;
}

}  // namespace

void ParallelRanges(int count, int threads, const std::function<void(int, int)>& body,
                    TSplit split) {
  if (count <= 0) return;
  const int parts = std::min(ResolveThreadCount(threads), count);
  const int ranges = split == TSplit::PerThread
                         ? parts
                         : std::min(count, parts == 1 ? 1 : parts * kRangesPerThread);
  std::vector<std::exception_ptr> errors(ranges);
  // Each thread takes the next range not yet taken until none is left.
  std::atomic<int> next{0};
  const std::function<void()> run = [&] {
    for (int range; (range = next.fetch_add(1, std::memory_order_relaxed)) < ranges;) {
      try {
        body(int(long(count) * range / ranges), int(long(count) * (range + 1) / ranges));
      } catch (...) {
        errors[range] = std::current_exception();
      }
    }
  };
  std::fenv_t environment;
  std::fegetenv(&environment);
  if (parts == 1) {
    run();
  } else if (!Pool().TryRun(parts, run, environment)) {
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (int part = 1; part < parts; ++part)
      workers.emplace_back([&] {
        std::fesetenv(&environment);
        run();
      });
    run();
  }  // the workers join here
  for (const auto& error : errors)
    if (error) std::rethrow_exception(error);
}

void ThrowIfStopped(const std::stop_token& stop) {
  if (stop.stop_requested()) throw ECancelled();
}

namespace {
std::atomic<void (*)()> stopCheck{nullptr};
}  // namespace

bool StopRequested(const std::stop_token& stop) {
  if (void (*check)() = stopCheck.load(std::memory_order_relaxed)) check();
  return stop.stop_requested();
}

void SetStopCheckForTesting(void (*check)()) { stopCheck.store(check); }

}  // namespace quarvel
