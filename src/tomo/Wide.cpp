#include "tomo/Wide.h"

#include <algorithm>
#include <atomic>

namespace quarvel::wide {
namespace {

TLevel Widest() {
#ifdef QUARVEL_WIDE_LOOPS
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq")) return TLevel::Eight;
  if (__builtin_cpu_supports("avx2")) return TLevel::Four;
#endif
  return TLevel::Plain;
}

std::atomic<TLevel>& Switch() {
  static std::atomic<TLevel> level{Widest()};
  return level;
}

}  // namespace

TLevel Level() { return Switch().load(std::memory_order_relaxed); }

bool Enabled() { return Level() != TLevel::Plain; }

void SetLevel(TLevel level) {
  Switch().store(std::min(level, Widest()), std::memory_order_relaxed);
}

void Enable(bool on) { SetLevel(on ? Widest() : TLevel::Plain); }

}  // namespace quarvel::wide
