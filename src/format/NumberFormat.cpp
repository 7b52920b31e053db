#include "format/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "format/DecimalForm.h"
#include "base/Exception.h"

namespace quarvel {
namespace {

std::string gDecimalSeparator = ".";
std::string gThousandsSeparator = ",";

constexpr std::size_t kMaxPatternLength = 224;
constexpr int kAllDecimals = 9999;
constexpr int kMaxExponentPadding = 4;

// The first UTF-8 encoded character of `text`, or `fallback` when it is empty.
std::string FirstCharacter(std::string_view text, const char* fallback) {
  if (text.empty()) return fallback;
  std::size_t length = 1;
  const auto lead = static_cast<unsigned char>(text[0]);
  if (lead >= 0xF0)
    length = 4;
  else if (lead >= 0xE0)
    length = 3;
  else if (lead >= 0xC0)
    length = 2;
  length = std::min(length, text.size());
  return std::string(text.substr(0, length));
}

void AppendDecimal(std::string& out, int value) { out += std::to_string(value); }

// ---------------------------------------------------------------------------
// Pattern sections

struct Sections {
  std::string_view part[3];
  int count = 0;
};

// Only the first three sections are kept.
Sections SplitSections(std::string_view pattern) {
  Sections s;
  for (const std::string_view part : PatternSections(pattern)) {
    if (s.count == 3) break;
    s.part[s.count++] = part;
  }
  return s;
}

// The section a request falls back to: a missing or empty section means section 1.
int ResolveSection(const Sections& s, int requested) {
  if (requested >= s.count || s.part[requested].empty()) return 0;
  return requested;
}

int SectionForValue(long double value) {
  if (value == 0 && !std::signbit(value)) return 2;
  if (std::signbit(value)) return 1;
  return 0;
}

// What a scan of one section learns about its placeholders.
struct SectionLayout {
  int count = 0;
  int firstZero = std::numeric_limits<int>::max() / 2;
  int lastZero = 0;
  int decimalIndex = -1;
  bool thousands = false;
  bool scientific = false;

  int FractionLimit() const { return std::min(0, decimalIndex - lastZero); }
  int IntegerZeros() const { return std::max(0, decimalIndex - firstZero); }
};

bool IsExponentAt(std::string_view section, std::size_t i) {
  return (section[i] == 'E' || section[i] == 'e') && i + 1 < section.size() &&
         (section[i + 1] == '+' || section[i + 1] == '-');
}

// Skips a quoted run starting at `i` (the quote character); returns the index after
// the closing quote, or the end when the quote is never closed.
std::size_t SkipQuoted(std::string_view section, std::size_t i) {
  const char quote = section[i];
  std::size_t j = i + 1;
  while (j < section.size() && section[j] != quote) ++j;
  return j < section.size() ? j + 1 : j;
}

SectionLayout ScanSection(std::string_view section) {
  SectionLayout layout;
  std::size_t i = 0;
  while (i < section.size()) {
    const char c = section[i];
    if (c == '"' || c == '\'') {
      i = SkipQuoted(section, i);
      continue;
    }
    if (c == '#' || c == '0') {
      if (c == '0') {
        layout.firstZero = std::min(layout.firstZero, layout.count);
        layout.lastZero = layout.count + 1;
      }
      ++layout.count;
    } else if (c == '.') {
      if (layout.decimalIndex < 0) layout.decimalIndex = layout.count;
    } else if (c == ',') {
      layout.thousands = true;
    } else if (IsExponentAt(section, i)) {
      layout.scientific = true;
      i += 2;
      while (i < section.size() && section[i] == '0') ++i;
      continue;
    }
    ++i;
  }
  if (layout.decimalIndex < 0) layout.decimalIndex = layout.count;
  return layout;
}

// ---------------------------------------------------------------------------
// Pattern output

class PatternWriter {
 public:
  PatternWriter(const SectionLayout& layout, const DecimalForm& form)
      : layout_(layout), form_(form) {
    if (layout.scientific) {
      place_ = layout.decimalIndex;
      extra_ = 0;
    } else {
      place_ = std::max<int>(form.exponent, layout.decimalIndex);
      extra_ = form.exponent - layout.decimalIndex;
    }
  }

  void Write(std::string_view section, std::string& out) {
    std::size_t i = 0;
    while (i < section.size()) {
      const char c = section[i];
      if (c == '#' || c == '0') {
        PutDigit(out);
      } else if (c == '.' || c == ',') {
        // Separators come from the digit rule.
      } else if (c == '"' || c == '\'') {
        const std::size_t end = SkipQuoted(section, i);
        const std::size_t closing = (end > i + 1 && section[end - 1] == c) ? end - 1 : end;
        out.append(section.substr(i + 1, closing - (i + 1)));
        i = end;
        continue;
      } else if (IsExponentAt(section, i)) {
        i = WriteExponent(section, i, out);
        continue;
      } else if (c == ';') {
        break;
      } else {
        out += c;
      }
      ++i;
    }
  }

 private:
  void PutDigit(std::string& out) {
    if (extra_ > 0) {
      const int n = extra_ + 1;
      extra_ = 0;
      for (int k = 0; k < n; ++k) TakeNextDigit(out);
    } else if (extra_ < 0) {
      ++extra_;
      if (place_ <= layout_.IntegerZeros())
        WriteDigit('0', out);
      else
        --place_;
    } else {
      TakeNextDigit(out);
    }
  }

  void TakeNextDigit(std::string& out) {
    if (next_ < form_.digits.size()) {
      WriteDigit(form_.digits[next_++], out);
    } else if (place_ <= layout_.FractionLimit()) {
      --place_;
    } else {
      WriteDigit('0', out);
    }
  }

  void WriteDigit(char digit, std::string& out) {
    if (place_ == 0) {
      out += DecimalSeparator();
      out += digit;
    } else {
      out += digit;
      if (layout_.thousands && place_ > 1 && place_ % 3 == 1) out += ThousandsSeparator();
    }
    --place_;
  }

  // Writes the exponent letter, sign and padded digits; returns the index after the
  // pattern's exponent (letter, sign and its "0" run).
  std::size_t WriteExponent(std::string_view section, std::size_t i, std::string& out) {
    out += section[i];
    const bool plusSign = section[i + 1] == '+';
    std::size_t j = i + 2;
    int zeros = 0;
    while (j < section.size() && section[j] == '0') {
      ++zeros;
      ++j;
    }
    const int exponent = form_.digits.empty() ? 0 : form_.exponent - layout_.decimalIndex;
    if (exponent < 0)
      out += '-';
    else if (plusSign)
      out += '+';
    std::string magnitude = std::to_string(exponent < 0 ? -exponent : exponent);
    const int padding = std::min(zeros, kMaxExponentPadding);
    if (static_cast<int>(magnitude.size()) < padding) out.append(padding - magnitude.size(), '0');
    out += magnitude;
    return j;
  }

  const SectionLayout& layout_;
  const DecimalForm& form_;
  std::size_t next_ = 0;
  int place_ = 0;
  int extra_ = 0;
};

}  // namespace

const std::string& DecimalSeparator() { return gDecimalSeparator; }
const std::string& ThousandsSeparator() { return gThousandsSeparator; }

void SetNumberSeparators(std::string_view decimalSeparator, std::string_view thousandsSeparator) {
  gDecimalSeparator = FirstCharacter(decimalSeparator, ".");
  gThousandsSeparator = FirstCharacter(thousandsSeparator, ",");
}

std::string FormatGeneral(long double value, int precision) {
  return FormatGeneral(value, precision, DecimalSeparator());
}

std::string FormatGeneral(long double value, int precision, std::string_view decimalSeparator) {
  precision = std::clamp(precision, 2, 18);
  const DecimalForm d = ToDecimalForm(value, precision, kAllDecimals);
  if (d.exponent == DecimalForm::kInfinity) return d.negative ? "-INF" : "INF";
  if (d.exponent == DecimalForm::kNaN) return "NAN";

  std::string out;
  out.reserve(24);
  if (d.negative) out += '-';
  const int e = d.exponent;
  const int n = static_cast<int>(d.digits.size());
  if (e > precision || e < -3) {
    out += d.digits[0];
    if (n > 1) {
      out += decimalSeparator;
      out.append(d.digits, 1);
    }
    out += 'E';
    if (e - 1 < 0) out += '-';
    AppendDecimal(out, e - 1 < 0 ? 1 - e : e - 1);
  } else if (e > 0) {
    out.append(d.digits, 0, std::min(n, e));
    if (n < e) out.append(e - n, '0');
    if (n > e) {
      out += decimalSeparator;
      out.append(d.digits, e);
    }
  } else {
    out += '0';
    if (n > 0) {
      out += decimalSeparator;
      out.append(-e, '0');
      out += d.digits;
    }
  }
  return out;
}

std::vector<std::string_view> PatternSections(std::string_view pattern) {
  std::vector<std::string_view> sections;
  std::size_t start = 0;
  char quote = 0;
  for (std::size_t i = 0; i <= pattern.size(); ++i) {
    const char c = i < pattern.size() ? pattern[i] : ';';
    if (quote) {
      if (c == quote) quote = 0;
      if (i < pattern.size()) continue;
    } else if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (c == ';') {
      sections.push_back(pattern.substr(start, i - start));
      start = i + 1;
    }
  }
  return sections;
}

std::string FormatPattern(std::string_view pattern, long double value) {
  if (pattern.size() > kMaxPatternLength) throw EConvertError("Format string too long");

  const Sections sections = SplitSections(pattern);
  if (sections.part[0].empty()) return FormatGeneral(value);

  int used = ResolveSection(sections, SectionForValue(value));
  SectionLayout layout = ScanSection(sections.part[used]);

  const DecimalForm form = layout.scientific
                               ? ToDecimalForm(value, layout.count, kAllDecimals)
                               : ToDecimalForm(value, 18, layout.count - layout.decimalIndex);
  if (form.exponent == DecimalForm::kInfinity || form.exponent == DecimalForm::kNaN ||
      (!layout.scientific && form.exponent > 18))
    return FormatGeneral(value);

  if (form.digits.empty()) {
    const int zeroSection = ResolveSection(sections, 2);
    if (zeroSection != used) {
      used = zeroSection;
      layout = ScanSection(sections.part[used]);
    }
  }

  std::string out;
  out.reserve(pattern.size() + 32);
  if (form.negative && used == 0) out += '-';
  PatternWriter(layout, form).Write(sections.part[used], out);
  return out;
}

std::string TPatternMemo::Format(std::string_view pattern, long double value) {
  // Texts written with other separators are of no more use.
  if (DecimalSeparator() != decimalSeparator_ || ThousandsSeparator() != thousandsSeparator_) {
    entries_.clear();
    next_ = 0;
    decimalSeparator_ = DecimalSeparator();
    thousandsSeparator_ = ThousandsSeparator();
  }
  // The two zeros are told apart, though every pattern writes them alike today; a value
  // that is not a number equals nothing and is formatted every time.
  for (const Entry& e : entries_)
    if (e.value == value && std::signbit(e.value) == std::signbit(value) && e.pattern == pattern)
      return e.text;
  std::string text = FormatPattern(pattern, value);
  Entry entry{std::string(pattern), text, value};
  if (entries_.size() < kCapacity) {
    entries_.push_back(std::move(entry));
  } else {
    entries_[next_] = std::move(entry);
    next_ = (next_ + 1) % kCapacity;
  }
  return text;
}

}  // namespace quarvel
