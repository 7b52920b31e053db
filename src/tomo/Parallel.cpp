#include "tomo/Parallel.h"

#include <algorithm>
#include <cfenv>
#include <exception>
#include <thread>
#include <vector>

#include "tomo/Geometry.h"

namespace quarvel {

void ParallelRanges(int count, int threads, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  const int parts = std::min(ResolveThreadCount(threads), count);
  std::vector<std::exception_ptr> errors(parts);
  const auto run = [&](int part) {
    try {
      body(int(long(count) * part / parts), int(long(count) * (part + 1) / parts));
    } catch (...) {
      errors[part] = std::current_exception();
    }
  };
  std::fenv_t environment;
  std::fegetenv(&environment);
  {
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
