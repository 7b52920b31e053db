#include "model/PhantomFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include "base/Exception.h"
#include "model/Gauss.h"

namespace quarvel {
namespace {

constexpr const char* kHeaderText =
    "expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\"";
constexpr std::string_view kColumnNames[] = {"mx", "dx", "my", "dy", "enabled"};
constexpr std::string_view kFieldNames[] = {"MX", "DX", "MY", "DY", "enabled"};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The byte offset of the first byte that does not belong to well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF), or npos.
std::size_t InvalidUtf8Offset(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF)
      length = 2;
    else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (i + length > s.size()) return i;
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return i;
    }
    i += length;
  }
  return std::string_view::npos;
}

// The character column (from 1) of byte `offset` of a well-formed UTF-8 line.
int ColumnOf(std::string_view line, std::size_t offset) {
  int column = 1;
  for (std::size_t i = 0; i < offset && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  return column;
}

// A field as a message shows it: quoted, control characters escaped, long ones cut.
std::string Quoted(std::string_view field) {
  constexpr std::size_t kShown = 40;
  std::string out = "\"";
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto c = static_cast<unsigned char>(field[i]);
    if (i >= kShown && (c & 0xC0) != 0x80) {  // cut between characters, not inside one
      out += "...";
      break;
    }
    if (c < 0x20 || c == 0x7F) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// A C-locale number: what std::from_chars reads, with an optional leading '+'.
// A value beyond the double range becomes infinite, one below it zero (or denormal).
std::optional<double> ReadNumber(std::string_view text) {
  if (text.size() > 1 && text[0] == '+' && text[1] != '-' && text[1] != '+') text.remove_prefix(1);
  const char* first = text.data();
  const char* last = first + text.size();
  if (first == last) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (end != last) return std::nullopt;
  if (error == std::errc()) return value;
  if (error != std::errc::result_out_of_range) return std::nullopt;
  // Out of the double range: which way? Lines are short enough that a number without
  // an exponent always fits the extended range.
  long double wide = 0;
  const auto [wideEnd, wideError] = std::from_chars(first, last, wide);
  const bool negative = text[0] == '-';
  if (wideEnd == last && wideError == std::errc()) {
    if (std::fabs(wide) > std::numeric_limits<double>::max())
      return negative ? -std::numeric_limits<double>::infinity()
                      : std::numeric_limits<double>::infinity();
    return static_cast<double>(wide);
  }
  const bool tiny =
      text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos;
  if (tiny) return negative ? -0.0 : 0.0;
  return negative ? -std::numeric_limits<double>::infinity()
                  : std::numeric_limits<double>::infinity();
}

[[noreturn]] void FailTooLarge(const std::string& fileName) {
  throw EPhantomError(fileName + ": larger than 64 MiB");
}

struct Field {
  std::string_view text;  // without the blanks around it
  std::size_t offset;     // of the text (or of where it would stand) in the line
};

std::vector<Field> SplitFields(std::string_view line) {
  std::vector<Field> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(line.find(',', start), line.size());
    std::size_t b = start, e = comma;
    while (b < e && IsBlank(line[b])) ++b;
    while (e > b && IsBlank(line[e - 1])) --e;
    fields.push_back({line.substr(b, e - b), b});
    if (comma == line.size()) break;
    start = comma + 1;
  }
  return fields;
}

// The reader's state between lines: the parser sees one line at a time, so the file
// reader can stop at the first bad line of an endless input.
class PhantomParser {
 public:
  explicit PhantomParser(const std::string& fileName) : fileName_(fileName) {}

  // One line without its LF; `number` from 1.
  void Line(std::string_view line, std::uint64_t number) {
    line_ = number;
    if (number == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kPhantomMaxLineBytes) Fail(1, "line longer than 4096 bytes");
    const std::size_t bad = InvalidUtf8Offset(line);
    if (bad != std::string_view::npos) Fail(ColumnOf(line, bad), "not UTF-8 text");
    std::size_t first = 0;
    while (first < line.size() && IsBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') return;

    const std::vector<Field> fields = SplitFields(line);
    if (columns_ == 0)
      Header(line, fields);
    else
      Blob(line, fields);
  }

  std::vector<TPhantomBlob> Finish(std::uint64_t lines) {
    if (columns_ == 0) {
      line_ = lines + 1;
      Fail(1, std::string("missing header: ") + kHeaderText);
    }
    return std::move(blobs_);
  }

  [[noreturn]] void Fail(int column, const std::string& reason) const {
    throw EPhantomError(fileName_ + ":" + std::to_string(line_) + ":" + std::to_string(column) +
                        ": " + reason);
  }

 private:
  void Header(std::string_view line, const std::vector<Field>& fields) {
    bool allNumbers = true;
    for (const Field& f : fields) allNumbers = allNumbers && ReadNumber(f.text).has_value();
    if (allNumbers)
      Fail(ColumnOf(line, fields[0].offset),
           std::string("missing header before the first blob: ") + kHeaderText);
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (i >= 5 || Lower(fields[i].text) != kColumnNames[i])
        Fail(ColumnOf(line, fields[i].offset), kHeaderText);
    if (fields.size() < 4) Fail(ColumnOf(line, line.size()), kHeaderText);
    columns_ = static_cast<int>(fields.size());
  }

  void Blob(std::string_view line, const std::vector<Field>& fields) {
    const auto count = static_cast<int>(fields.size());
    if (count != columns_) {
      const std::size_t at = count > columns_ ? fields[columns_].offset : line.size();
      Fail(ColumnOf(line, at),
           "expected " + std::to_string(columns_) + " fields, found " + std::to_string(count));
    }
    if (blobs_.size() == kPhantomMaxBlobs) Fail(1, "more than 10000 blobs");
    double values[4];
    for (int i = 0; i < 4; ++i) {
      const Field& f = fields[i];
      const std::optional<double> v = ReadNumber(f.text);
      const int column = ColumnOf(line, f.offset);
      const std::string name(kFieldNames[i]);
      if (!v) Fail(column, name + " is not a number: " + Quoted(f.text));
      const bool spread = i == 1 || i == 3;
      if (spread && !(std::isfinite(*v) && *v > 0))
        Fail(column, name + " must be finite and greater than 0, not " + Quoted(f.text));
      if (!spread && !std::isfinite(*v))
        Fail(column, name + " must be finite, not " + Quoted(f.text));
      if (spread && PeakOverflows(*v)) {
        std::string reason = name;
        reason += " is too small: the blob's peak density would overflow a double (";
        reason += name;
        reason += " must be at least about 2.2e-309), not ";
        Fail(column, reason + Quoted(f.text));
      }
      values[i] = *v;
    }
    bool enabled = true;
    if (columns_ == 5) {
      const std::string flag = Lower(fields[4].text);
      if (flag == "0" || flag == "false")
        enabled = false;
      else if (flag != "1" && flag != "true")
        Fail(ColumnOf(line, fields[4].offset),
             "enabled must be 1, 0, true or false, not " + Quoted(fields[4].text));
    }
    blobs_.push_back({values[0], values[1], values[2], values[3], enabled});
  }

  const std::string& fileName_;
  std::uint64_t line_ = 0;
  int columns_ = 0;  // 0 until the header is read
  std::vector<TPhantomBlob> blobs_;
};

}  // namespace

std::vector<TPhantomBlob> ParsePhantom(std::string_view text, const std::string& fileName) {
  if (text.size() > kPhantomMaxBytes) FailTooLarge(fileName);
  PhantomParser parser(fileName);
  std::uint64_t number = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    parser.Line(text.substr(start, end - start), ++number);
    start = end + 1;
  }
  return parser.Finish(number);
}

std::vector<TPhantomBlob> ReadPhantomFile(const std::string& path) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : path;
  auto fail = [&name](int error) {
    throw EPhantomError(name + ": cannot read: " + std::strerror(error));
  };
  const int fd =
      standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) fail(errno);
  auto done = [fd, standardInput] {
    if (!standardInput) ::close(fd);
  };
  PhantomParser parser(name);
  std::string pending;  // the bytes of lines not yet complete
  std::uint64_t number = 0;
  std::size_t total = 0;
  char chunk[65536];
  try {
    while (true) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) fail(errno);
      if (n == 0) break;
      total += static_cast<std::size_t>(n);
      if (total > kPhantomMaxBytes) FailTooLarge(name);
      pending.append(chunk, static_cast<std::size_t>(n));
      std::size_t start = 0, end;
      while ((end = pending.find('\n', start)) != std::string::npos) {
        parser.Line(std::string_view(pending).substr(start, end - start), ++number);
        start = end + 1;
      }
      pending.erase(0, start);
      // A line that already holds more than the limit (and a CR, and on the first line
      // a byte-order mark) fails now.
      if (pending.size() > kPhantomMaxLineBytes + 1 + (number == 0 ? 3 : 0))
        parser.Line(pending, ++number);
    }
    if (!pending.empty()) parser.Line(pending, ++number);
    std::vector<TPhantomBlob> blobs = parser.Finish(number);
    done();
    return blobs;
  } catch (...) {
    done();
    throw;
  }
}

}  // namespace quarvel
