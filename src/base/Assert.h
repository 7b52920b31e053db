#pragma once
// Contract checks that run in the debug and sanitizer builds and cost nothing in a
// release build. A contract is what a header says a caller must hold to (a mapping
// placed before use, a buffer that is there, an index in range); breaking one is a
// fault of the program, not of its input, so a live check writes the condition, where
// it stands and what went wrong on standard error and aborts. Rejected user settings
// and bad files are not contracts: they raise the error types of Exception.h.
//
//   QUARVEL_ASSERT(mapping.Placed, "the axis is used before PlaceAxisPixels placed it");
//
// The build decides: QUARVEL_ASSERTIONS=1 (CMAKE_BUILD_TYPE Debug, QUARVEL_SANITIZE or
// QUARVEL_FUZZ) makes the checks live, 0 or nothing leaves them out; the condition is
// then not evaluated.

#ifndef QUARVEL_ASSERTIONS
#define QUARVEL_ASSERTIONS 0
#endif

namespace quarvel {

// True in a build whose checks are live (for the tests that break a contract on purpose).
inline constexpr bool kAssertionsLive = QUARVEL_ASSERTIONS != 0;

// Writes "file:line: contract broken: condition: message" and aborts.
[[noreturn]] void ContractBroken(const char* condition, const char* message, const char* file,
                                 int line) noexcept;

}  // namespace quarvel

#if QUARVEL_ASSERTIONS
#define QUARVEL_ASSERT(condition, message) \
  ((condition) ? static_cast<void>(0)      \
               : ::quarvel::ContractBroken(#condition, message, __FILE__, __LINE__))
#else
#define QUARVEL_ASSERT(condition, message) static_cast<void>(sizeof(!(condition)))
#endif
