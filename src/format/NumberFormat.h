#pragma once
// Floating-point values to text, exactly as the blob table, the messages and the axis
// labels print them.
//
// Both forms read the process-wide decimal and thousands separators. They start as "."
// and ","; the window replaces them from the user's locale at start-up and whenever
// the system reports changed settings. Only the user-interface thread replaces them.

#include <string>
#include <string_view>
#include <vector>

namespace quarvel {

// The general form with `precision` significant digits (clamped to 2 ... 18):
// fixed notation for decimal exponents from -3 to the precision, scientific
// otherwise ("1E-5", "1.23456789012346E15"); "INF", "-INF", "NAN".
// At most 23 characters for the default precision.
std::string FormatGeneral(long double value, int precision = 15);
// The same with a given decimal separator instead of the process-wide one: for texts
// made on any thread (a worker's error) while the window may change the separators.
std::string FormatGeneral(long double value, int precision, std::string_view decimalSeparator);

// The pattern form: "#" and "0" placeholders, "." and "," flags, quoted literals,
// "E+"/"E-" exponents and up to three ";"-separated sections (positive; negative;
// zero). An empty first section gives the general form.
// Throws EConvertError "Format string too long" for a pattern above 224 characters.
std::string FormatPattern(std::string_view pattern, long double value);

// FormatPattern with a short memory: the same pattern, value and separators give the
// same text, so a chart that formats each axis label several times a paint (to size the
// labels, to tell them apart, to draw them: 73 calls for 20 texts on the window's chart)
// formats each once. Keeps the last 64 texts; a pattern that cannot be formatted throws
// as FormatPattern does and is not kept. One memo serves one thread.
class TPatternMemo {
 public:
  std::string Format(std::string_view pattern, long double value);

 private:
  struct Entry {
    std::string pattern, text;
    long double value;
  };
  static constexpr std::size_t kCapacity = 64;
  std::vector<Entry> entries_;  // all written with these separators:
  std::string decimalSeparator_, thousandsSeparator_;
  std::size_t next_ = 0;  // the entry to replace once all are taken
};

// The sections of a pattern, split at ";" outside quotes, every one of them: "0.0;(0.0)"
// gives "0.0" and "(0.0)", "'a;b'0" one section. FormatPattern reads the first three.
std::vector<std::string_view> PatternSections(std::string_view pattern);

// The separators in use, each one character (UTF-8 encoded).
const std::string& DecimalSeparator();
const std::string& ThousandsSeparator();

// Takes the first character of each given separator; an empty text restores the
// default ("." and "," respectively).
void SetNumberSeparators(std::string_view decimalSeparator, std::string_view thousandsSeparator);

}  // namespace quarvel
