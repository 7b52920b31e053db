#include "tomo/Wide.h"

#include <atomic>

namespace quarvel::wide {
namespace {

bool Supported() {
#ifdef QUARVEL_WIDE_LOOPS
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

std::atomic<bool>& Switch() {
  static std::atomic<bool> on{Supported()};
  return on;
}

}  // namespace

bool Enabled() { return Switch().load(std::memory_order_relaxed); }

void Enable(bool on) { Switch().store(on && Supported(), std::memory_order_relaxed); }

}  // namespace quarvel::wide
