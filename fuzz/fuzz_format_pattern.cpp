// FormatPattern with any pattern and any 80-bit value: terminates, never reads or
// writes out of bounds, and raises only the pattern-length error.

#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "base/Exception.h"
#include "format/NumberFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quarvel::fuzzing::FuzzInput in(data, size);
  const long double value = in.Extended();
  const std::string pattern = in.Rest();
  try {
    const std::string text = quarvel::FormatPattern(pattern, value);
    if (pattern.size() > 224) __builtin_trap();  // should have raised
    (void)text;
  } catch (const quarvel::EConvertError&) {
    if (pattern.size() <= 224) __builtin_trap();
  }
  return 0;
}
