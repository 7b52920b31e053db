#include "format/NumberFormat.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "base/Exception.h"

namespace quarvel {
namespace {

// Restores the default separators after a test that changes them.
class SeparatorGuard {
 public:
  ~SeparatorGuard() { SetNumberSeparators(".", ","); }
};

struct GeneralCase {
  long double value;
  const char* text;
};

TEST(FormatGeneral, Examples) {
  const GeneralCase cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.0, "1"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.1 + 0.2, "0.3"},
      {123456789012345.0, "123456789012345"},
      {1234567890123456.0, "1.23456789012346E15"},
      {999999999999999.9, "1E15"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {2.5e-7, "2.5E-7"},
      {1e100, "1E100"},
      {7.0, "7"},
      {12.0, "12"},
      {1000000.0, "1000000"},
      {-1e-300, "-1E-300"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<long double>::max(), "1.18973149535723E4932"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatGeneral(c.value), c.text) << static_cast<double>(c.value);
}

TEST(FormatGeneral, LongestTextFitsItsBound) {
  EXPECT_EQ(FormatGeneral(-1.23456789012345e-1000L), "-1.23456789012345E-1000");
  EXPECT_LE(FormatGeneral(-1.23456789012345e-1000L).size(), 23u);
}

TEST(FormatGeneral, PrecisionIsClamped) {
  EXPECT_EQ(FormatGeneral(2.0 / 3, 1), "0.67");
  EXPECT_EQ(FormatGeneral(0.1, 40), "0.100000000000000006");
}

struct PatternCase {
  const char* pattern;
  long double value;
  const char* text;
};

TEST(FormatPattern, AxisLabelPattern) {
  const PatternCase cases[] = {
      {"#,##0.###", 0.0, "0"},
      {"#,##0.###", -0.0, "0"},
      {"#,##0.###", 20.0, "20"},
      {"#,##0.###", 1000.0, "1,000"},
      {"#,##0.###", 1234.5, "1,234.5"},
      {"#,##0.###", -1234.5678, "-1,234.568"},
      {"#,##0.###", 1234567.891, "1,234,567.891"},
      {"#,##0.###", 12.3456, "12.346"},
      {"#,##0.###", 999.9996, "1,000"},
      {"#,##0.###", -0.25, "-0.25"},
      {"#,##0.###", 0.0005, "0.001"},
      {"#,##0.###", 0.0004, "0.000"},
      {"#,##0.###", 0.0001, "0.000"},
      {"#,##0.###", 0.00015, "0.000"},
      {"#,##0.###", 0.00009, "0"},
      {"#,##0.###", -0.0004, "0.000"},
      {"#,##0.###", -0.00004, "0"},
      {"#,##0.###", 1e18, "1E18"},
      {"#,##0.###", 123456789012345678.0, "123,456,789,012,345,680"},
      {"#,##0.###", std::numeric_limits<long double>::infinity(), "INF"},
      {"#,##0.###", std::numeric_limits<long double>::quiet_NaN(), "NAN"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatPattern(c.pattern, c.value), c.text)
        << c.pattern << " with " << static_cast<double>(c.value);
}

TEST(FormatPattern, OtherPatterns) {
  const PatternCase cases[] = {
      {"0.00", 1.005, "1.00"},
      {"0.00E+00", 12345.0, "1.23E+04"},
      {"0.00E+00", 0.00012345, "1.23E-04"},
      {"0.00E-00", 12345.0, "1.23E04"},
      {"0.0E+0", 0.0, "0.0E+0"},
      {"#.##", 0.5, ".5"},
      {"00.0", 3.14159, "03.1"},
      {"#,##0;(#,##0)", -1234.0, "(1,234)"},
      {"#,##0;(#,##0)", -0.0, "0"},
      {"#,##0;(#,##0);\"zero\"", 0.0, "zero"},
      {"#,##0;(#,##0);\"zero\"", 0.2, "zero"},
      {"#,##0;;", -5.0, "-5"},
      {"", 3.5, "3.5"},
      {";#", 3.5, "3.5"},
      {"##0.## %", 12.345, "12.35 %"},
      {"'#'0", 7.0, "#7"},
      {"\"a;b\"0", 7.0, "a;b7"},
      {"0 'unclosed", 7.0, "7 unclosed"},
      {"E0", 7.0, "E7"},
      {"abc", -7.0, "-abc"},
      {"abc", 7.0, "abc"},
      {"000000", 42.0, "000042"},
      {"0", 1e17, "100000000000000000"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatPattern(c.pattern, c.value), c.text)
        << c.pattern << " with " << static_cast<double>(c.value);
}

TEST(FormatPattern, PatternLengthLimit) {
  const std::string atLimit = "0" + std::string(223, ' ');
  EXPECT_EQ(FormatPattern(atLimit, 5.0), "5" + std::string(223, ' '));
  try {
    FormatPattern(atLimit + " ", 5.0);
    FAIL() << "a pattern of 225 characters was accepted";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format string too long");
  }
}

TEST(FormatPattern, LongPatternsProduceMoreTextThanTheirLength) {
  // Every placeholder a zero, the thousands flag set: about a third more output.
  const std::string pattern = "," + std::string(223, '0');
  const std::string out = FormatPattern(pattern, 1.0);
  EXPECT_EQ(out.size(), 223u + 222u / 3u);
  EXPECT_EQ(out.back(), '1');
  EXPECT_EQ(out.substr(0, 4), "0,00");
}

// The memo gives what FormatPattern gives, whatever it has seen before: the same text
// for a value asked again, another for another pattern or separators,
// and no memory of a pattern that cannot be formatted.
TEST(PatternMemo, GivesWhatFormatPatternGives) {
  SeparatorGuard guard;
  TPatternMemo memo;
  const std::string tooLong(225, '0');
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(memo.Format("#,##0.###", 1234.5), "1,234.5");
    EXPECT_EQ(memo.Format("0.0;(0.0);'zero'", 0.0), "zero");
    EXPECT_EQ(memo.Format("#,##0", 1234.5), "1,235");
    EXPECT_THROW(memo.Format(tooLong, 1.0), EConvertError);
  }
  SetNumberSeparators(",", ".");
  EXPECT_EQ(memo.Format("#,##0.###", 1234.5), "1.234,5");
  // More values than it keeps: the oldest are formatted again, and rightly.
  for (int i = 0; i < 200; ++i) EXPECT_EQ(memo.Format("0", i), std::to_string(i));
  EXPECT_EQ(memo.Format("#,##0.###", 1234.5), "1.234,5");
}

TEST(NumberSeparators, LocaleCharactersAreUsed) {
  SeparatorGuard guard;
  SetNumberSeparators(",", ".");
  EXPECT_EQ(FormatPattern("#,##0.###", 1234.5), "1.234,5");
  EXPECT_EQ(FormatGeneral(0.5), "0,5");
  EXPECT_EQ(FormatGeneral(1.5e-7), "1,5E-7");

  SetNumberSeparators(",", "\u00a0 ignored");  // only the first character counts
  EXPECT_EQ(ThousandsSeparator(), "\u00a0");
  EXPECT_EQ(FormatPattern("#,##0", 1234567.0), "1\u00a0234\u00a0567");

  SetNumberSeparators("", "");
  EXPECT_EQ(DecimalSeparator(), ".");
  EXPECT_EQ(ThousandsSeparator(), ",");
}

}  // namespace
}  // namespace quarvel
