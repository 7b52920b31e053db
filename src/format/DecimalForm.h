#pragma once
// The decimal conversion under both number forms: an extended-precision value becomes
// at most 18 significant decimal digits, rounded to the requested precision.

#include <cstdint>
#include <string>

namespace quarvel {

// The value is 0.d1d2d3... x 10^exponent. `digits` holds d1..dn without leading or
// trailing zeros and is empty for zero (or a value rounded away); `exponent` is then
// kept as the conversion left it (0 for an exact zero).
struct DecimalForm {
  static constexpr int16_t kInfinity = 0x7FFF;
  static constexpr int16_t kNaN = static_cast<int16_t>(0x8000);

  int16_t exponent = 0;
  bool negative = false;
  std::string digits;
};

// Converts `value` into its correctly rounded 18-digit decimal expansion, then rounds
// that half away from zero to min(exponent + decimals, precision) significant digits.
// Zero, denormals (biased exponent field 0) give no digits, exponent 0, not negative.
// Infinity gives kInfinity with its sign; a NaN (or any operand the floating-point unit
// would reject, such as an unnormal) gives kNaN, not negative.
DecimalForm ToDecimalForm(long double value, int precision, int decimals);

}  // namespace quarvel
