#pragma once
// How much memory a command may still take, so that work too large for the machine is
// refused before it starts instead of failing halfway.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quarvel {

// The smaller of the system's estimate of memory available to new work (MemAvailable of
// /proc/meminfo) and the room left under the address-space limit (RLIMIT_AS, less the
// process's present size, /proc/self/statm). A bound that cannot be read is no bound.
std::uint64_t AvailableMemoryBytes();

// Parses MemAvailable of a /proc/meminfo text, in bytes; nothing without a valid line.
std::optional<std::uint64_t> MemAvailableBytes(std::string_view meminfo);

}  // namespace quarvel
