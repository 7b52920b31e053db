#include "format/DecimalForm.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace quarvel {
namespace {

constexpr int kMaxDigits = 18;

struct ExtendedBits {
  uint64_t significand;
  uint16_t signAndExponent;
};

ExtendedBits BitsOf(long double value) {
  static_assert(sizeof(long double) >= 10, "long double must be the 80-bit extended type");
  unsigned char raw[sizeof(long double)];
  std::memcpy(raw, &value, sizeof raw);
  ExtendedBits bits;
  std::memcpy(&bits.significand, raw, 8);
  std::memcpy(&bits.signAndExponent, raw + 8, 2);
  return bits;
}

// The 18 significant digits of |value| (value finite and normal), correctly rounded,
// half to even, and the exponent E with |value| ~ 0.d1...d18 x 10^E. The standard
// library's shortest-exact conversion works on the exact binary value, so the digits
// hold even where an estimate of the decimal exponent from the binary one comes out
// one too high or too low.
void EighteenDigits(long double magnitude, char (&digits)[kMaxDigits], int& exponent) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific,
                              kMaxDigits - 1);
  // text is "d.ddddddddddddddddde[+-]x..."
  digits[0] = text[0];
  std::memcpy(digits + 1, text + 2, kMaxDigits - 1);
  const char* e = text + 2 + (kMaxDigits - 1);  // at 'e'
  int power = 0;
  std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), result.ptr, power);
  exponent = power + 1;
}

}  // namespace

DecimalForm ToDecimalForm(long double value, int precision, int decimals) {
  DecimalForm form;
  const ExtendedBits bits = BitsOf(value);
  const int biased = bits.signAndExponent & 0x7FFF;
  const bool sign = (bits.signAndExponent & 0x8000) != 0;
  const bool integerBit = (bits.significand >> 63) != 0;

  if (biased == 0) return form;
  if (biased == 0x7FFF) {
    if (bits.significand == (uint64_t{1} << 63)) {
      form.exponent = DecimalForm::kInfinity;
      form.negative = sign;
    } else {
      form.exponent = DecimalForm::kNaN;
    }
    return form;
  }
  if (!integerBit) {  // an unnormal: not a number to the floating-point unit
    form.exponent = DecimalForm::kNaN;
    return form;
  }

  char digits[kMaxDigits];
  int exponent = 0;
  EighteenDigits(sign ? -value : value, digits, exponent);

  int n = exponent + decimals;
  if (n < 0) return form;  // rounds to zero: exponent 0, not negative, no digits
  n = std::min(n, precision);

  int kept = kMaxDigits;
  if (n < kMaxDigits) {
    kept = n;
    if (digits[n] >= '5') {
      // Round half away from zero on the decimal expansion, carrying through nines.
      int i = n - 1;
      while (i >= 0 && digits[i] == '9') --i;
      if (i < 0) {
        digits[0] = '1';
        kept = 1;
        ++exponent;
      } else {
        ++digits[i];
        kept = i + 1;
      }
    }
  }
  while (kept > 0 && digits[kept - 1] == '0') --kept;

  form.exponent = static_cast<int16_t>(exponent);
  form.negative = sign;
  form.digits.assign(digits, kept);
  if (form.digits.empty()) form.negative = false;
  return form;
}

}  // namespace quarvel
