#include "format/DecimalForm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace quarvel {
namespace {

struct DecimalCase {
  const char* name;
  long double value;
  int precision;
  int decimals;
  int exponent;
  bool negative;
  const char* digits;
};

// Doubles are passed as doubles (see the extended-precision note in the platform facts):
// 1.005 must be the double 1.00499999999999989...
const DecimalCase kDecimalCases[] = {
    {"zero", 0.0, 18, 9999, 0, false, ""},
    {"negative zero", -0.0, 18, 9999, 0, false, ""},
    {"one", 1.0, 15, 9999, 1, false, "1"},
    {"tenth to 18 digits", 0.1, 18, 9999, 0, false, "100000000000000006"},
    {"two thirds to 18 digits", 2.0 / 3, 18, 9999, 0, false, "66666666666666663"},
    {"two thirds to 15 digits", 2.0 / 3, 15, 9999, 0, false, "666666666666667"},
    {"negative keeps sign", -2.5, 15, 9999, 1, true, "25"},
    {"half away from zero on the expansion", 0.125, 18, 2, 0, false, "13"},
    {"1.005 is below the half", 1.005, 18, 2, 1, false, "1"},
    {"carry through every nine", 999.9996, 18, 3, 4, false, "1"},
    {"rounds to zero below the decimals", 0.00009, 18, 3, 0, false, ""},
    {"rounded away keeps its exponent", 0.0004, 18, 3, -3, false, ""},
    {"negative rounded away has no sign", -0.0004, 18, 3, -3, false, ""},
    {"carry from nothing to one", 0.0005, 18, 3, -2, false, "1"},
    {"exponent estimate near 1e-205", 1e-205, 18, 9999, -204, false, "1"},
    {"exponent estimate near 1e-264", 1e-264, 18, 9999, -263, false, "100000000000000001"},
    {"smallest double denormal is normal in extended", 5e-324, 18, 9999, -323, false,
     "494065645841246544"},
    {"largest double", 1.7976931348623157e308, 18, 9999, 309, false, "179769313486231571"},
    {"18 integer digits", 123456789012345678.0, 18, 0, 18, false, "12345678901234568"},
};

TEST(DecimalForm, ConvertsTable) {
  for (const DecimalCase& c : kDecimalCases) {
    SCOPED_TRACE(c.name);
    const DecimalForm d = ToDecimalForm(c.value, c.precision, c.decimals);
    EXPECT_EQ(d.exponent, c.exponent);
    EXPECT_EQ(d.negative, c.negative);
    EXPECT_EQ(d.digits, c.digits);
  }
}

long double FromBits(uint64_t significand, uint16_t signAndExponent) {
  long double v = 0;
  unsigned char raw[sizeof(long double)] = {};
  std::memcpy(raw, &significand, 8);
  std::memcpy(raw + 8, &signAndExponent, 2);
  std::memcpy(&v, raw, sizeof v);
  return v;
}

TEST(DecimalForm, SpecialValuesAndInvalidEncodings) {
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(ToDecimalForm(inf, 15, 9999).exponent, DecimalForm::kInfinity);
  EXPECT_FALSE(ToDecimalForm(inf, 15, 9999).negative);
  EXPECT_TRUE(ToDecimalForm(-inf, 15, 9999).negative);
  const DecimalForm nan = ToDecimalForm(-std::numeric_limits<long double>::quiet_NaN(), 15, 9999);
  EXPECT_EQ(nan.exponent, DecimalForm::kNaN);
  EXPECT_FALSE(nan.negative);

  // Extended denormal (exponent field 0, significand not zero): no digits.
  const DecimalForm denormal = ToDecimalForm(FromBits(0x0000000000000001ULL, 0x8000), 18, 9999);
  EXPECT_EQ(denormal.exponent, 0);
  EXPECT_FALSE(denormal.negative);
  EXPECT_TRUE(denormal.digits.empty());
  // Unnormal (integer bit clear, exponent field in range) and pseudo-infinity: not numbers.
  EXPECT_EQ(ToDecimalForm(FromBits(0x4000000000000000ULL, 0x3FFF), 18, 9999).exponent,
            DecimalForm::kNaN);
  EXPECT_EQ(ToDecimalForm(FromBits(0, 0x7FFF), 18, 9999).exponent, DecimalForm::kNaN);
}

TEST(DecimalForm, ExtendedRangeExtremes) {
  const DecimalForm big = ToDecimalForm(std::numeric_limits<long double>::max(), 18, 9999);
  EXPECT_EQ(big.exponent, 4933);
  EXPECT_EQ(big.digits, "118973149535723177");
  const DecimalForm small = ToDecimalForm(std::numeric_limits<long double>::min(), 18, 9999);
  EXPECT_EQ(small.exponent, -4931);
  EXPECT_EQ(small.digits, "336210314311209351");
}

}  // namespace
}  // namespace quarvel
