#include "base/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace quarvel {

void ContractBroken(const char* condition, const char* message, const char* file,
                    int line) noexcept {
  std::fprintf(stderr, "%s:%d: contract broken: %s: %s\n", file, line, condition, message);
  std::fflush(stderr);
  std::abort();
}

}  // namespace quarvel
