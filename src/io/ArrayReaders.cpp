#include "io/ArrayReaders.h"

#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

#include "io/TiffMemory.h"

namespace quarvel {
namespace {

[[noreturn]] void Fail(const std::string& name, const std::string& reason) {
  throw EArrayReadError(name + ": " + reason);
}

[[noreturn]] void FailValue(const std::string& name, std::size_t row, std::size_t column,
                            double value) {
  Fail(name, "row " + std::to_string(row) + ", column " + std::to_string(column) +
                 ": the value is not finite (" +
                 (std::isnan(value) ? "nan"
                  : value > 0       ? "inf"
                                    : "-inf") +
                 ")");
}

// Values a reader hands out must be finite: each is checked where it is read.
void CheckFinite(const TArray2D& array, const std::string& name) {
  for (int r = 0; r < array.Rows; ++r)
    for (int c = 0; c < array.Columns; ++c)
      if (!std::isfinite(array.At(r, c))) FailValue(name, r, c, array.At(r, c));
}

// An array of rows x columns, refused when either is 0 or the count would not fit the
// indices the core uses.
TArray2D NewArray(std::uint64_t rows, std::uint64_t columns, const std::string& name) {
  constexpr std::uint64_t kMax = std::numeric_limits<int>::max();
  if (rows == 0 || columns == 0)
    Fail(name, "the array holds no values (" + std::to_string(rows) + " x " +
                   std::to_string(columns) + ")");
  if (rows > kMax || columns > kMax)
    Fail(name,
         "the array is too large (" + std::to_string(rows) + " x " + std::to_string(columns) + ")");
  return TArray2D(static_cast<int>(rows), static_cast<int>(columns));
}

// The shortest text that reads back as v.
std::string Text(double v) {
  char buffer[32];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, v).ptr);
}

// A piece of the file quoted in a message: control bytes shown as '?', and cut after 40
// bytes, so that the message stays one short line whatever the file holds.
std::string Quoted(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out(text.substr(0, kMax));
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text.size() > kMax ? out + "..." : out;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

// ---------------------------------------------------------------------------
// NPY

// The header's dictionary, read as a Python literal: {'key': value, ...}, where a value
// is a string, True or False, or a tuple of whole numbers.
struct NpyHeader {
  std::string descr;
  std::optional<bool> fortran;
  std::optional<std::vector<std::uint64_t>> shape;
};

class NpyHeaderParser {
 public:
  NpyHeaderParser(std::string_view text, const std::string& name) : text_(text), name_(name) {}

  NpyHeader Parse() {
    NpyHeader header;
    bool haveDescr = false;
    Expect('{');
    while (true) {
      SkipBlanks();
      if (Peek() == '}') break;
      const std::string key = String();
      Expect(':');
      if (key == "descr") {
        SkipBlanks();
        if (Peek() != '\'' && Peek() != '"')
          Bad("the data type is not a simple one (a structured array?)");
        header.descr = String();
        haveDescr = true;
      } else if (key == "fortran_order") {
        header.fortran = Boolean();
      } else if (key == "shape") {
        header.shape = Tuple();
      } else {
        Bad("the header has an unknown key '" + Quoted(key) + "'");
      }
      SkipBlanks();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      SkipBlanks();
      if (Peek() != '}') Bad("the header's dictionary is malformed");
    }
    ++at_;
    SkipBlanks();
    if (at_ != text_.size()) Bad("the header has text after its dictionary");
    if (!haveDescr || !header.fortran || !header.shape)
      Bad("the header lacks one of 'descr', 'fortran_order' and 'shape'");
    return header;
  }

 private:
  [[noreturn]] void Bad(const std::string& reason) const {
    Fail(name_, "bad NPY header: " + reason);
  }
  char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
  void SkipBlanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  void Expect(char c) {
    SkipBlanks();
    if (Peek() != c) Bad(std::string("expected '") + c + "'");
    ++at_;
  }
  std::string String() {
    SkipBlanks();
    const char quote = Peek();
    if (quote != '\'' && quote != '"') Bad("expected a quoted key or value");
    const std::size_t end = text_.find(quote, at_ + 1);
    if (end == std::string_view::npos) Bad("a string is not closed");
    std::string s(text_.substr(at_ + 1, end - at_ - 1));
    if (s.find('\\') != std::string::npos) Bad("a string holds an escape");
    at_ = end + 1;
    return s;
  }
  bool Boolean() {
    SkipBlanks();
    for (const auto& [word, value] : {std::pair{"True", true}, std::pair{"False", false}}) {
      const std::string_view w(word);
      if (text_.substr(at_, w.size()) == w) {
        at_ += w.size();
        return value;
      }
    }
    Bad("'fortran_order' is neither True nor False");
  }
  std::vector<std::uint64_t> Tuple() {
    Expect('(');
    std::vector<std::uint64_t> values;
    while (true) {
      SkipBlanks();
      if (Peek() == ')') break;
      std::uint64_t v = 0;
      const auto [end, error] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), v);
      if (error != std::errc() || end == text_.data() + at_) Bad("the shape holds a bad size");
      at_ = static_cast<std::size_t>(end - text_.data());
      if (Peek() == 'L') ++at_;  // written by an old Python
      values.push_back(v);
      SkipBlanks();
      if (Peek() == ',') {
        ++at_;
        continue;
      }
      SkipBlanks();
      if (Peek() != ')') Bad("the shape is malformed");
    }
    ++at_;
    return values;
  }

  std::string_view text_;
  const std::string& name_;
  std::size_t at_ = 0;
};

// One element's bytes as a double: kind 'f' (4 or 8 bytes), 'i' or 'u' (1 to 8 bytes).
struct NpyType {
  char kind = 'f';
  int size = 8;
  bool bigEndian = false;
};

NpyType ParseDescr(const std::string& descr, const std::string& name) {
  const auto bad = [&] {
    Fail(name, "the data type '" + Quoted(descr) +
                   "' is not one read here (float64, float32 or an integer type)");
  };
  if (descr.size() < 3) bad();
  NpyType type;
  switch (descr[0]) {
    case '<':
    case '|':
      break;
    case '>':
      type.bigEndian = true;
      break;
    case '=':
      type.bigEndian = std::endian::native == std::endian::big;
      break;
    default:
      bad();
  }
  type.kind = descr[1];
  const std::string_view digits = std::string_view(descr).substr(2);
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), type.size);
  if (error != std::errc() || end != digits.data() + digits.size()) bad();
  const bool ok = (type.kind == 'f' && (type.size == 4 || type.size == 8)) ||
                  ((type.kind == 'i' || type.kind == 'u') &&
                   (type.size == 1 || type.size == 2 || type.size == 4 || type.size == 8));
  if (!ok) bad();
  return type;
}

double ElementValue(const unsigned char* p, const NpyType& type) {
  std::uint64_t bits = 0;
  for (int i = 0; i < type.size; ++i) {
    const int shift = 8 * (type.bigEndian ? type.size - 1 - i : i);
    bits |= std::uint64_t(p[i]) << shift;
  }
  if (type.kind == 'f')
    return type.size == 8 ? std::bit_cast<double>(bits)
                          : double(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
  if (type.kind == 'u') return static_cast<double>(bits);
  // Sign-extend the element's top bit.
  const int unused = 64 - 8 * type.size;
  return static_cast<double>(static_cast<std::int64_t>(bits << unused) >> unused);
}

// ---------------------------------------------------------------------------
// CSV

// The lines of a text, each with its number from 1, without blank and '#' lines; a
// byte-order mark at the start is skipped.
template <class Each>
void ForEachDataLine(std::string_view text, Each each) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t start = 0, number = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    ++number;
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    each(line, number);
  }
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(Trim(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

std::string LineRef(const std::string& name, std::size_t number) {
  return name + ":" + std::to_string(number);
}

// The CSV layouts' fields, read in the C locale whatever the user's.
class CsvLines {
 public:
  CsvLines(const std::string& name, const char* header, std::size_t count)
      : name_(name), header_(header), count_(count) {}

  // The fields of a data line, or nothing for the header line (which must come first).
  std::optional<std::vector<std::string_view>> Fields(std::string_view line, std::size_t number) {
    if (!sawHeader_) {
      std::string lower(line);
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      lower.erase(std::remove(lower.begin(), lower.end(), ' '), lower.end());
      if (lower != header_)
        Fail(LineRef(name_, number), std::string("expected the header \"") + header_ + "\"");
      sawHeader_ = true;
      return std::nullopt;
    }
    std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != count_)
      Fail(LineRef(name_, number),
           "expected " + std::to_string(count_) + " fields, not " + std::to_string(fields.size()));
    return fields;
  }
  bool SawHeader() const { return sawHeader_; }

  int Index(std::string_view field, std::size_t number, const char* what) const {
    int v = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (error != std::errc() || end != field.data() + field.size() || v < 0)
      Fail(LineRef(name_, number),
           std::string("bad ") + what + " '" + Quoted(field) + "' (a whole number from 0)");
    return v;
  }
  double Number(std::string_view field, std::size_t number, const char* what) const {
    double v = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), v);
    if (error != std::errc() || end != field.data() + field.size())
      Fail(LineRef(name_, number),
           std::string("bad ") + what + " '" + Quoted(field) + "' (a number)");
    if (!std::isfinite(v))
      Fail(LineRef(name_, number),
           std::string("the ") + what + " is not finite (" + Quoted(field) + ")");
    return v;
  }

 private:
  const std::string& name_;
  const char* header_;
  std::size_t count_;
  bool sawHeader_ = false;
};

// Cells gathered from a CSV in any order.
struct CsvCell {
  int row, column;
  double value;
  std::size_t line;
  double angle = 0;  // the sinogram's: its view's angle
};

// The cells as a complete rows x columns array, allocated only once the cells can fill
// it (so that a line with a huge index cannot ask for billions of cells); a cell given
// twice is an error naming both lines.
TArray2D CellsToArray(const std::vector<CsvCell>& cells, const std::string& name,
                      const char* rowName, const char* columnName) {
  if (cells.empty()) Fail(name, "the file holds no values");
  std::uint64_t rows = 0, columns = 0;
  for (const CsvCell& c : cells) {
    rows = std::max<std::uint64_t>(rows, std::uint64_t(c.row) + 1);
    columns = std::max<std::uint64_t>(columns, std::uint64_t(c.column) + 1);
  }
  if (rows * columns > cells.size())
    Fail(name, "values are missing: the cells span " + std::to_string(columns) + " " + columnName +
                   " x " + std::to_string(rows) + " " + rowName + ", but the file gives " +
                   std::to_string(cells.size()));
  TArray2D array = NewArray(rows, columns, name);
  std::vector<std::size_t> lineOf(array.Values.size(), 0);
  for (const CsvCell& c : cells) {
    const std::size_t at = std::size_t(c.row) * std::size_t(columns) + std::size_t(c.column);
    if (lineOf[at] != 0)
      Fail(LineRef(name, c.line), std::string(columnName) + " " + std::to_string(c.column) + ", " +
                                      rowName + " " + std::to_string(c.row) +
                                      " was given before, on line " + std::to_string(lineOf[at]));
    lineOf[at] = c.line;
    array.Values[at] = c.value;
  }
  return array;
}

}  // namespace

// ---------------------------------------------------------------------------

std::string ReadFileBytes(const std::string& path) {
  const bool standardInput = path == "-";
  const std::string name = standardInput ? "standard input" : path;
  if (path.empty()) Fail("''", "cannot read: the name is empty");
  const auto fail = [&name](int error) {
    Fail(name, std::string("cannot read: ") + std::strerror(error));
  };
  const int fd =
      standardInput ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) fail(errno);
  std::string bytes;
  char chunk[1 << 16];
  int error = 0;
  while (true) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  if (!standardInput) ::close(fd);
  if (error != 0) fail(error);
  return bytes;
}

TArray2D ParseNpy(std::string_view bytes, const std::string& name) {
  constexpr std::string_view kMagic("\x93NUMPY", 6);
  if (bytes.substr(0, kMagic.size()) != kMagic) Fail(name, "not an NPY file");
  if (bytes.size() < 10) Fail(name, "truncated: the NPY header is cut short");
  const int major = static_cast<unsigned char>(bytes[6]);
  if (major < 1 || major > 3)
    Fail(name, "NPY version " + std::to_string(major) + " is not one read here (1, 2 or 3)");
  const auto byte = [&](std::size_t i) {
    return std::uint64_t(static_cast<unsigned char>(bytes[i]));
  };
  std::uint64_t headerLength = 0;
  std::size_t dataStart = 0;
  if (major == 1) {
    headerLength = byte(8) | byte(9) << 8;
    dataStart = 10;
  } else {
    if (bytes.size() < 12) Fail(name, "truncated: the NPY header is cut short");
    headerLength = byte(8) | byte(9) << 8 | byte(10) << 16 | byte(11) << 24;
    dataStart = 12;
  }
  if (headerLength > bytes.size() - dataStart) Fail(name, "truncated: the NPY header is cut short");
  const NpyHeader header = NpyHeaderParser(bytes.substr(dataStart, headerLength), name).Parse();
  dataStart += headerLength;
  const NpyType type = ParseDescr(header.descr, name);
  const std::vector<std::uint64_t>& shape = *header.shape;
  if (shape.size() != 2)
    Fail(name, "the array has " + std::to_string(shape.size()) +
                   (shape.size() == 1 ? " dimension" : " dimensions") + ", not 2");
  // The data's length is checked before the array is made, so that a header alone cannot
  // ask for more memory than the file's own size. Both sides are below 2^31, so their
  // product fits; the element size is compared by division.
  const std::uint64_t present = bytes.size() - dataStart;
  constexpr std::uint64_t kMaxSide = std::numeric_limits<int>::max();
  if (shape[0] == 0 || shape[1] == 0 || shape[0] > kMaxSide || shape[1] > kMaxSide)
    NewArray(shape[0], shape[1], name);  // raises the error for that size
  const std::uint64_t count = shape[0] * shape[1];
  const bool tooLong = count > present / std::uint64_t(type.size);
  const std::uint64_t needed = tooLong ? 0 : count * std::uint64_t(type.size);
  if (tooLong)
    Fail(name, "truncated: the shape (" + std::to_string(shape[0]) + ", " +
                   std::to_string(shape[1]) + ") needs more than the " + std::to_string(present) +
                   " bytes of data present");
  if (present > needed)
    Fail(name, std::to_string(present - needed) + " bytes more than the shape's " +
                   std::to_string(needed));
  TArray2D array = NewArray(shape[0], shape[1], name);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + dataStart);
  const std::size_t rows = std::size_t(array.Rows), columns = std::size_t(array.Columns);
  for (std::size_t i = 0; i < count; ++i) {
    // Element i of the file is (i / columns, i % columns) in C order and
    // (i % rows, i / rows) in Fortran order.
    const std::size_t r = *header.fortran ? i % rows : i / columns;
    const std::size_t c = *header.fortran ? i / rows : i % columns;
    const double v = ElementValue(data + i * std::size_t(type.size), type);
    if (!std::isfinite(v)) FailValue(name, r, c, v);
    array.Values[r * columns + c] = v;
  }
  return array;
}

TArray2D ParseTiff(std::string_view bytes, const std::string& name) {
  TTiffError tiffError;
  const std::string& error = tiffError.Message;
  const auto failTiff = [&](const std::string& what) {
    Fail(name, what + (error.empty() ? std::string() : " (" + error + ")"));
  };
  TTiffMemory source;
  source.Source = bytes;
  // "m": no memory mapping, the procedures read.
  const TTiffHandle tiff = OpenTiffMemory(name.c_str(), "rm", source, tiffError);
  if (!tiff) failTiff("not a TIFF file, or a damaged one");
  TIFF* t = tiff.get();
  std::uint32_t width = 0, height = 0;
  std::uint16_t samples = 1, bits = 0, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG;
  if (TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &width) != 1 ||
      TIFFGetField(t, TIFFTAG_IMAGELENGTH, &height) != 1)
    failTiff("the TIFF image has no size");
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &planar);
  if (samples != 1)
    Fail(name, "the TIFF image has " + std::to_string(samples) +
                   " samples per pixel, not one (a grey image of floating-point values)");
  if (format != SAMPLEFORMAT_IEEEFP || (bits != 32 && bits != 64))
    Fail(name, "the TIFF image holds " + std::to_string(bits) + "-bit " +
                   (format == SAMPLEFORMAT_IEEEFP ? "floating-point"
                    : format == SAMPLEFORMAT_INT  ? "signed integer"
                                                  : "unsigned integer") +
                   " samples, not 32- or 64-bit floating point");
  const std::size_t bytesPerSample = bits / 8;
  // As for NPY, the size the tags state must fit the file before memory is taken for it:
  // raw samples take their bytes, compressed ones at most about 1/1000 of them (deflate's
  // best ratio is 1032).
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &compression);
  const std::uint64_t raw = std::uint64_t(width) * height * bytesPerSample;
  const std::uint64_t ratio = compression == COMPRESSION_NONE ? 1 : 1100;
  if (raw / ratio > bytes.size())
    Fail(name, "truncated or damaged: " + std::to_string(width) + " x " + std::to_string(height) +
                   " samples cannot fit in its " + std::to_string(bytes.size()) + " bytes");
  TArray2D array = NewArray(height, width, name);
  const auto sampleAt = [&](const unsigned char* p) {
    // libtiff hands the samples over in the host's order.
    if (bits == 64) {
      double v;
      std::memcpy(&v, p, 8);
      return v;
    }
    float v;
    std::memcpy(&v, p, 4);
    return double(v);
  };
  if (TIFFIsTiled(t)) {
    std::uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(t, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(t, TIFFTAG_TILELENGTH, &tileHeight);
    const tmsize_t tileSize = TIFFTileSize(t);
    if (tileWidth == 0 || tileHeight == 0 || tileSize <= 0 ||
        std::uint64_t(tileSize) < std::uint64_t(tileWidth) * tileHeight * bytesPerSample)
      failTiff("the TIFF image's tiles are damaged");
    std::vector<unsigned char> tile(static_cast<std::size_t>(tileSize));
    for (std::uint32_t y0 = 0; y0 < height; y0 += tileHeight)
      for (std::uint32_t x0 = 0; x0 < width; x0 += tileWidth) {
        if (TIFFReadTile(t, tile.data(), x0, y0, 0, 0) < 0)
          failTiff("truncated or damaged: the tile at row " + std::to_string(y0) + ", column " +
                   std::to_string(x0) + " cannot be read");
        for (std::uint32_t y = y0; y < std::min(height, y0 + tileHeight); ++y)
          for (std::uint32_t x = x0; x < std::min(width, x0 + tileWidth); ++x)
            array.At(int(y), int(x)) =
                sampleAt(&tile[(std::size_t(y - y0) * tileWidth + (x - x0)) * bytesPerSample]);
      }
  } else {
    const tmsize_t lineSize = TIFFScanlineSize(t);
    if (lineSize <= 0 || std::uint64_t(lineSize) < std::uint64_t(width) * bytesPerSample)
      failTiff("the TIFF image's rows are damaged");
    std::vector<unsigned char> line(static_cast<std::size_t>(lineSize));
    for (std::uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(t, line.data(), y, 0) != 1)
        failTiff("truncated or damaged: row " + std::to_string(y) + " cannot be read");
      for (std::uint32_t x = 0; x < width; ++x)
        array.At(int(y), int(x)) = sampleAt(&line[std::size_t(x) * bytesPerSample]);
    }
  }
  CheckFinite(array, name);
  return array;
}

TArray2D ParseGridCsv(std::string_view text, const std::string& name) {
  CsvLines lines(name, "ix,iy,x,y,value", 5);
  std::vector<CsvCell> cells;
  ForEachDataLine(text, [&](std::string_view line, std::size_t number) {
    const auto fields = lines.Fields(line, number);
    if (!fields) return;
    const int ix = lines.Index((*fields)[0], number, "ix");
    const int iy = lines.Index((*fields)[1], number, "iy");
    const std::string what = "value of ix " + std::to_string(ix) + ", iy " + std::to_string(iy);
    cells.push_back({iy, ix, lines.Number((*fields)[4], number, what.c_str()), number});
  });
  if (!lines.SawHeader()) Fail(name, "the file is empty: expected the header \"ix,iy,x,y,value\"");
  return CellsToArray(cells, name, "iy", "ix");
}

TSinogramCsv ParseSinogramCsv(std::string_view text, const std::string& name) {
  CsvLines lines(name, "view,angle,bin,t,value", 5);
  std::vector<CsvCell> cells;
  ForEachDataLine(text, [&](std::string_view line, std::size_t number) {
    const auto fields = lines.Fields(line, number);
    if (!fields) return;
    const int view = lines.Index((*fields)[0], number, "view");
    const int bin = lines.Index((*fields)[2], number, "bin");
    const double angle = lines.Number((*fields)[1], number, "angle");
    const std::string what =
        "value of view " + std::to_string(view) + ", bin " + std::to_string(bin);
    cells.push_back({view, bin, lines.Number((*fields)[4], number, what.c_str()), number, angle});
  });
  if (!lines.SawHeader())
    Fail(name, "the file is empty: expected the header \"view,angle,bin,t,value\"");
  TSinogramCsv result;
  result.Values = CellsToArray(cells, name, "view", "bin");
  // Each view's lines must agree on its angle: the cells are in the file's order, so
  // the first seen of a view gives it.
  std::vector<std::size_t> first(std::size_t(result.Values.Rows), 0);
  result.Angles.assign(first.size(), 0.0);
  for (const CsvCell& c : cells) {
    const std::size_t view = std::size_t(c.row);
    if (first[view] == 0) {
      first[view] = c.line;
      result.Angles[view] = c.angle;
    } else if (result.Angles[view] != c.angle) {
      Fail(LineRef(name, c.line), "view " + std::to_string(view) + " has the angle " +
                                      Text(result.Angles[view]) + " on line " +
                                      std::to_string(first[view]) + ", another here");
    }
  }
  return result;
}

std::vector<double> ParseAngles(std::string_view text, const std::string& name) {
  std::vector<double> angles;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t start = 0, number = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    ++number;
    start = end + 1;
    line = Trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    double v = 0;
    const auto [stop, error] = std::from_chars(line.data(), line.data() + line.size(), v);
    if (error != std::errc() || stop != line.data() + line.size())
      Fail(LineRef(name, number), "bad angle '" + Quoted(line) + "' (degrees, a number)");
    if (!std::isfinite(v))
      Fail(LineRef(name, number), "the angle is not finite (" + Quoted(line) + ")");
    angles.push_back(v);
  }
  if (angles.empty()) Fail(name, "no angle: expected one angle in degrees per line");
  return angles;
}

TArrayFileKind ArrayFileKindOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = base.find_last_of('.');
  if (dot == std::string::npos || dot == 0) return TArrayFileKind::Unknown;
  std::string ending = base.substr(dot + 1);
  for (char& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ending == "npy") return TArrayFileKind::Npy;
  if (ending == "tif" || ending == "tiff") return TArrayFileKind::Tiff;
  if (ending == "csv") return TArrayFileKind::Csv;
  return TArrayFileKind::Unknown;
}

TArray2D ReadImageFile(const std::string& path) {
  const TArrayFileKind kind = ArrayFileKindOf(path);
  if (kind == TArrayFileKind::Unknown)
    Fail(path, "not an image file: give a .npy, .tif, .tiff or .csv file");
  const std::string bytes = ReadFileBytes(path);
  if (kind == TArrayFileKind::Npy) return ParseNpy(bytes, path);
  if (kind == TArrayFileKind::Tiff) return ParseTiff(bytes, path);
  return ParseGridCsv(bytes, path);
}

TSinogramCsv ReadSinogramFile(const std::string& path) {
  const TArrayFileKind kind = ArrayFileKindOf(path);
  if (kind == TArrayFileKind::Unknown)
    Fail(path, "not a sinogram file: give a .npy, .tif, .tiff or .csv file");
  const std::string bytes = ReadFileBytes(path);
  if (kind == TArrayFileKind::Csv) return ParseSinogramCsv(bytes, path);
  TSinogramCsv result;
  result.Values = kind == TArrayFileKind::Npy ? ParseNpy(bytes, path) : ParseTiff(bytes, path);
  return result;
}

std::vector<double> ReadAngleFile(const std::string& path) {
  return ParseAngles(ReadFileBytes(path), path);
}

}  // namespace quarvel
