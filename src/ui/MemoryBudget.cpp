#include "ui/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

namespace quarvel {

std::optional<std::uint64_t> MemAvailableBytes(std::string_view meminfo) {
  constexpr std::string_view kKey = "MemAvailable:";
  for (std::size_t start = 0; start < meminfo.size();) {
    const std::size_t end = std::min(meminfo.find('\n', start), meminfo.size());
    std::string_view line = meminfo.substr(start, end - start);
    start = end + 1;
    if (line.substr(0, kKey.size()) != kKey) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    std::uint64_t kilobytes = 0;
    const auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), kilobytes);
    if (error != std::errc() || std::string_view(at, line.data() + line.size()) != " kB" ||
        kilobytes > std::numeric_limits<std::uint64_t>::max() / 1024)
      return std::nullopt;
    return kilobytes * 1024;
  }
  return std::nullopt;
}

std::uint64_t AvailableMemoryBytes() {
  std::uint64_t available = std::numeric_limits<std::uint64_t>::max();
  std::ifstream meminfo("/proc/meminfo");
  const std::string text((std::istreambuf_iterator<char>(meminfo)),
                         std::istreambuf_iterator<char>());
  if (const auto bytes = MemAvailableBytes(text)) available = *bytes;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const std::uint64_t used = pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t room = limit.rlim_cur > used ? limit.rlim_cur - used : 0;
    available = std::min(available, room);
  }
  return available;
}

}  // namespace quarvel
