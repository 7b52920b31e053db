#pragma once
// Round half to even of an extended-precision value to a 32-bit integer: the rounding
// of the chart's integer pixels (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
//
// The processor's integer store rounds in its current rounding mode, to nearest with
// halves to even unless a program changes it, so one instruction gives exactly what
// static_cast<int>(std::nearbyint(v)) gives, in every mode and for every v: a result
// outside the int range, an infinity or a NaN comes out as INT_MIN (the processor's
// integer indefinite), as that conversion's store makes it too.

#include <cmath>

namespace quarvel {

inline int RoundHalfEven(long double v) {
#if defined(__x86_64__) || defined(__i386__)
  int result;
  __asm__("fistpl %0" : "=m"(result) : "t"(v) : "st");
  return result;
#else
  return static_cast<int>(std::nearbyint(v));
#endif
}

// The same rounding kept as an extended-precision value: exactly std::nearbyint(v)
// for every v (infinities and NaNs pass through), by the processor's own
// round-to-integer in its current mode. Unlike the library call it may set the
// inexact flag, which nothing here reads.
inline long double RoundHalfEvenIntegral(long double v) {
#if defined(__x86_64__) || defined(__i386__)
  long double result;
  __asm__("frndint" : "=t"(result) : "0"(v));
  return result;
#else
  return std::nearbyint(v);
#endif
}

}  // namespace quarvel
