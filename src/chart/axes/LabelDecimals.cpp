#include "chart/axes/LabelDecimals.h"

#include "base/Exception.h"
#include "format/NumberFormat.h"

namespace quarvel {
namespace {

constexpr int kMaxExtraDecimals = 20;

bool IsExponentAt(std::string_view section, std::size_t i) {
  return (section[i] == 'E' || section[i] == 'e') && i + 1 < section.size() &&
         (section[i + 1] == '+' || section[i + 1] == '-');
}

// One section (no ";" outside quotes) with the extra decimals.
std::string SectionWithMoreDecimals(std::string_view section, int extra) {
  std::size_t insertAt = std::string_view::npos, point = std::string_view::npos;
  std::size_t i = 0;
  while (i < section.size()) {
    const char c = section[i];
    if (c == '"' || c == '\'') {
      const std::size_t closing = section.find(c, i + 1);
      i = closing == std::string_view::npos ? section.size() : closing + 1;
      continue;
    }
    if (IsExponentAt(section, i)) break;  // the mantissa's digits end here
    if (c == '#' || c == '0') insertAt = i + 1;
    if (c == '.' && point == std::string_view::npos) point = i;
    ++i;
  }
  if (insertAt == std::string_view::npos) return std::string(section);
  std::string added(static_cast<std::size_t>(extra), '0');
  if (point == std::string_view::npos)
    added.insert(added.begin(), '.');
  else if (point >= insertAt)
    insertAt = point + 1;  // "0." gets its decimals after the point
  std::string out(section);
  out.insert(insertAt, added);
  return out;
}

// Whether the pattern writes every two neighbouring labels at different pixels apart.
bool TellsApart(std::string_view pattern, std::span<const TLabelPlace> labels, TPatternMemo* memo) {
  std::string previous;
  for (std::size_t i = 0; i < labels.size(); ++i) {
    std::string text =
        memo ? memo->Format(pattern, labels[i].value) : FormatPattern(pattern, labels[i].value);
    if (i > 0 && labels[i].pixel != labels[i - 1].pixel && text == previous) return false;
    previous = std::move(text);
  }
  return true;
}

}  // namespace

std::string PatternWithMoreDecimals(std::string_view pattern, int extra) {
  if (extra <= 0 || pattern.empty()) return std::string(pattern);
  std::string out;
  const std::vector<std::string_view> sections = PatternSections(pattern);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (i > 0) out += ';';
    out += SectionWithMoreDecimals(sections[i], extra);
  }
  return out;
}

std::string DistinctLabelPattern(std::string_view pattern, std::span<const TLabelPlace> labels,
                                 TPatternMemo* memo) {
  if (TellsApart(pattern, labels, memo)) return std::string(pattern);
  for (int extra = 1; extra <= kMaxExtraDecimals; ++extra) {
    std::string candidate = PatternWithMoreDecimals(pattern, extra);
    try {
      if (TellsApart(candidate, labels, memo)) return candidate;
    } catch (const EConvertError&) {
      break;  // grown beyond the longest pattern there is
    }
  }
  return std::string(pattern);
}

}  // namespace quarvel
