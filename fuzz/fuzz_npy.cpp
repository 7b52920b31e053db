// The NPY reader on any bytes: it either accepts them, giving a non-empty 2-D array of
// finite values whose size the header states, or refuses them with one line naming the
// file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "io/ArrayReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const quarvel::TArray2D a = quarvel::ParseNpy(bytes, "fuzz.npy");
    if (a.Rows < 1 || a.Columns < 1 ||
        a.Values.size() != std::size_t(a.Rows) * std::size_t(a.Columns))
      __builtin_trap();
    // Every element took at least one byte of the input.
    if (a.Values.size() > size) __builtin_trap();
    for (const double v : a.Values)
      if (!std::isfinite(v)) __builtin_trap();
  } catch (const quarvel::EArrayReadError& e) {
    const std::string& m = e.Message();
    if (m.rfind("fuzz.npy: ", 0) != 0 || m.find('\n') != std::string::npos) __builtin_trap();
  }
  return 0;
}
