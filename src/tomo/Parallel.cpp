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

// How long a worker (or the caller waiting for the workers) polls before it sleeps: about
// 100 µs here (a pause takes about 27 ns on this processor). The next stage of a chain
// (sinogram, filter, back-projection, metrics) starts well within that, so the workers
// are still awake for it; an idle program sleeps.
constexpr int kPolls = 4000;

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

// Threads that stay for the next stage: starting and joining a thread costs 100–200 µs
// on a virtual machine, a twentieth of a whole edit chain, and a chain has four stages.
// One stage runs on the pool at a time; a stage that finds the pool busy (another
// thread's stage, or a stage started inside a stage) starts threads of its own instead.
class TWorkerPool {
 public:
  ~TWorkerPool() {
    closing_.store(true, std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_release);
    generation_.notify_all();
    workers_.clear();  // joins
  }

  // Runs run(part) for part 1 .. parts - 1 on the workers, in their threads with
  // `environment`, while the caller runs part 0, and returns when all have ended; false, having run
  // nothing, when the pool is busy.
  bool TryRun(int parts, const std::function<void(int)>& run, const std::fenv_t& environment) {
    if (busy_.exchange(true, std::memory_order_acquire)) return false;
    // Taken back on every way out, also when a worker cannot be started.
    const std::unique_ptr<std::atomic<bool>, void (*)(std::atomic<bool>*)> release(
        &busy_, [](std::atomic<bool>* busy) { busy->store(false, std::memory_order_release); });
    while (static_cast<int>(workers_.size()) < parts - 1) {
      const int index = static_cast<int>(workers_.size()) + 1;
      workers_.emplace_back([this, index, seen = generation_.load()] { Work(index, seen); });
    }
    run_ = &run;
    environment_ = &environment;
    parts_ = parts;
    // Every worker answers, also those without a part: none may still be reading this
    // stage's description when the next stage writes its own.
    const int workers = static_cast<int>(workers_.size());
    remaining_.store(workers, std::memory_order_relaxed);
    generation_.fetch_add(1, std::memory_order_release);
    generation_.notify_all();
    run(0);
    for (int left = workers; left != 0;) left = AwaitChange(remaining_, left);
    return true;
  }

 private:
  // Worker `index` runs part `index` of every stage that has that many parts, and answers
  // every stage.
  void Work(int index, std::uint64_t seen) {
    for (;;) {
      seen = AwaitChange(generation_, seen);
      if (closing_.load(std::memory_order_relaxed)) return;
      if (index < parts_) {
        std::fesetenv(environment_);
        (*run_)(index);
      }
      if (remaining_.fetch_sub(1, std::memory_order_acq_rel) == 1) remaining_.notify_one();
    }
  }

  // Whether a stage runs on the pool; a flag rather than a mutex, since a stage started
  // inside part 0 asks from the thread that already has the pool.
  std::atomic<bool> busy_{false};
  // A stage's description, written by the caller before it advances generation_ and read
  // by the workers after they see the advance.
  const std::function<void(int)>* run_ = nullptr;
  const std::fenv_t* environment_ = nullptr;
  int parts_ = 0;
  std::atomic<std::uint64_t> generation_{0};
  std::atomic<int> remaining_{0};
  std::atomic<bool> closing_{false};
  std::vector<std::jthread> workers_;  // last: joined before the fields above go
};

TWorkerPool& Pool() {
  static TWorkerPool pool;
  return pool;
}

}  // namespace

void ParallelRanges(int count, int threads, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  const int parts = std::min(ResolveThreadCount(threads), count);
  std::vector<std::exception_ptr> errors(parts);
  const std::function<void(int)> run = [&](int part) {
    try {
      body(int(long(count) * part / parts), int(long(count) * (part + 1) / parts));
    } catch (...) {
      errors[part] = std::current_exception();
    }
  };
  std::fenv_t environment;
  std::fegetenv(&environment);
  if (parts == 1) {
    run(0);
  } else if (!Pool().TryRun(parts, run, environment)) {
    std::vector<std::jthread> workers;
    workers.reserve(parts - 1);
    for (int part = 1; part < parts; ++part)
      workers.emplace_back([&, part] {
        std::fesetenv(&environment);
        run(part);
      });
    run(0);
  }  // the workers join here
  for (const auto& error : errors)
    if (error) std::rethrow_exception(error);
}

void ThrowIfStopped(const std::stop_token& stop) {
  if (stop.stop_requested()) throw ECancelled();
}

}  // namespace quarvel
