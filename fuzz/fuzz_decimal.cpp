// The decimal conversion and the general form on any 80-bit bit pattern: the digits
// are at most 18, without leading or trailing zeros, and the general form stays short.

#include <cstddef>
#include <cstdint>

#include "FuzzInput.h"
#include "format/DecimalForm.h"
#include "format/NumberFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  quarvel::fuzzing::FuzzInput in(data, size);
  const long double value = in.Extended();
  // The byte is a signed precision on purpose: negative precisions are inputs too.
  const int precision = static_cast<int8_t>(in.Byte());  // NOLINT(bugprone-signed-char-misuse)
  const int decimals = static_cast<int16_t>(in.Word());
  const quarvel::DecimalForm d =
      quarvel::ToDecimalForm(value, precision < 0 ? -precision : precision, decimals);
  if (d.digits.size() > 18) __builtin_trap();
  if (!d.digits.empty() && (d.digits.front() == '0' || d.digits.back() == '0')) __builtin_trap();
  for (char c : d.digits)
    if (c < '0' || c > '9') __builtin_trap();
  const std::string general = quarvel::FormatGeneral(value, precision);
  if (general.size() > 26) __builtin_trap();
  return 0;
}
