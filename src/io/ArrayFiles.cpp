#include "io/ArrayFiles.h"

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace quarvel {
namespace {

// ---------------------------------------------------------------------------
// NPY

constexpr char kNpyMagic[] = "\x93NUMPY";
constexpr std::size_t kNpyMagicLength = 6;
// The magic, the two version bytes and the two bytes of the header's length.
constexpr std::size_t kNpyPreamble = kNpyMagicLength + 4;
// numpy aligns the data of the arrays it writes to 64 bytes, so that they can be mapped.
constexpr std::size_t kNpyAlignment = 64;

void AppendLittleEndian(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// ---------------------------------------------------------------------------
// TIFF: libtiff writes through these procedures into a growing buffer. libtiff seeks
// back to patch offsets, and may seek past the end, which leaves zeros in between.

struct MemoryStream {
  std::string bytes;
  std::uint64_t position = 0;
  bool outOfMemory = false;
};

MemoryStream& StreamOf(thandle_t handle) { return *static_cast<MemoryStream*>(handle); }

tmsize_t ReadStream(thandle_t handle, void* to, tmsize_t size) {
  MemoryStream& s = StreamOf(handle);
  if (size < 0 || s.position >= s.bytes.size()) return 0;
  const std::uint64_t n =
      std::min<std::uint64_t>(static_cast<std::uint64_t>(size), s.bytes.size() - s.position);
  std::memcpy(to, s.bytes.data() + s.position, n);
  s.position += n;
  return static_cast<tmsize_t>(n);
}

// No exception may pass through libtiff's C code: a buffer that cannot grow is a failed
// write, which libtiff reports as its error.
tmsize_t WriteStream(thandle_t handle, void* from, tmsize_t size) {
  MemoryStream& s = StreamOf(handle);
  if (size < 0) return -1;
  const std::uint64_t end = s.position + static_cast<std::uint64_t>(size);
  try {
    if (end > s.bytes.size()) s.bytes.resize(end);
  } catch (const std::bad_alloc&) {
    s.outOfMemory = true;
    return -1;
  }
  std::memcpy(s.bytes.data() + s.position, from, static_cast<std::size_t>(size));
  s.position = end;
  return size;
}

toff_t SeekStream(thandle_t handle, toff_t offset, int whence) {
  MemoryStream& s = StreamOf(handle);
  const std::uint64_t base = whence == SEEK_CUR   ? s.position
                             : whence == SEEK_END ? s.bytes.size()
                                                  : 0;
  s.position = base + offset;
  return s.position;
}

int CloseStream(thandle_t) { return 0; }
toff_t StreamSize(thandle_t handle) { return StreamOf(handle).bytes.size(); }
int MapStream(thandle_t, void**, toff_t*) { return 0; }
void UnmapStream(thandle_t, void*, toff_t) {}

// libtiff's messages are kept for the error raised, never printed: the program's
// errors are one line of its own.
int KeepTiffError(TIFF*, void* userData, const char* module, const char* format,
                  va_list arguments) {
  auto& message = *static_cast<std::string*>(userData);
  if (!message.empty()) return 1;  // the first error is the cause
  char text[512];
  std::vsnprintf(text, sizeof text, format, arguments);
  message = std::string(module ? module : "libtiff") + ": " + text;
  return 1;
}
int IgnoreTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

[[noreturn]] void FailTiff(const std::string& reason) {
  throw EArrayFileError("cannot encode the TIFF image: " +
                        (reason.empty() ? std::string("libtiff failed") : reason));
}

float ToFloatSample(double v) {
  constexpr double kMax = std::numeric_limits<float>::max();
  // The conversion of a larger magnitude would overflow (and trap, with traps on); the
  // comparisons are quiet ones, which a NaN passes without raising anything.
  if (std::isgreater(v, kMax)) return std::numeric_limits<float>::infinity();
  if (std::isless(v, -kMax)) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(v);
}

}  // namespace

void WriteNpy(const TArray2D& array, const std::function<void(std::string_view)>& emit) {
  std::string header = "{'descr': '<f8', 'fortran_order': False, 'shape': (" +
                       std::to_string(array.Rows) + ", " + std::to_string(array.Columns) + "), }";
  const std::size_t unpadded = kNpyPreamble + header.size() + 1;  // + the newline
  header.append((kNpyAlignment - unpadded % kNpyAlignment) % kNpyAlignment, ' ');
  header.push_back('\n');

  std::string out(kNpyMagic, kNpyMagicLength);
  out.push_back('\x01');
  out.push_back('\x00');
  AppendLittleEndian(out, header.size(), 2);
  out += header;
  constexpr std::size_t kChunkValues = 1 << 17;  // a mebibyte
  out.reserve(out.size() + 8 * std::min(array.Values.size(), kChunkValues));
  for (std::size_t i = 0; i < array.Values.size(); ++i) {
    AppendLittleEndian(out, std::bit_cast<std::uint64_t>(array.Values[i]), 8);
    if ((i + 1) % kChunkValues == 0) {
      emit(out);
      out.clear();
    }
  }
  if (!out.empty()) emit(out);
}

std::string NpyBytes(const TArray2D& array) {
  std::string bytes;
  bytes.reserve(128 + 8 * array.Values.size());
  WriteNpy(array, [&bytes](std::string_view chunk) { bytes += chunk; });
  return bytes;
}

std::string TiffBytes(const TArray2D& array) {
  if (array.Rows < 1 || array.Columns < 1) FailTiff("the image has no pixels");
  std::string error;
  std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                           TIFFOpenOptionsFree);
  if (!options) FailTiff("out of memory");
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepTiffError, &error);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreTiffWarning, nullptr);

  // A classic TIFF addresses 4 GiB; a larger image is written as a BigTIFF.
  const std::uint64_t dataBytes = std::uint64_t(4) * array.Values.size();
  const char* mode = dataBytes > (std::uint64_t(1) << 32) - (std::uint64_t(1) << 24) ? "w8" : "w";
  MemoryStream stream;
  {
    std::unique_ptr<TIFF, decltype(&TIFFClose)> tiff(
        TIFFClientOpenExt("memory", mode, &stream, ReadStream, WriteStream, SeekStream, CloseStream,
                          StreamSize, MapStream, UnmapStream, options.get()),
        TIFFClose);
    if (!tiff) FailTiff(error);
    TIFF* t = tiff.get();
    const bool tagsSet =
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(array.Columns)) == 1 &&
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(array.Rows)) == 1 &&
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32) == 1 &&
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1) == 1 &&
        TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP) == 1 &&
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK) == 1 &&
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) == 1 &&
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE) == 1 &&
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0)) == 1;
    if (!tagsSet) FailTiff(error);
    std::vector<float> row(static_cast<std::size_t>(array.Columns));
    for (int r = 0; r < array.Rows; ++r) {
      for (int c = 0; c < array.Columns; ++c)
        row[static_cast<std::size_t>(c)] = ToFloatSample(array.At(r, c));
      if (TIFFWriteScanline(t, row.data(), static_cast<std::uint32_t>(r), 0) != 1)
        FailTiff(stream.outOfMemory ? "not enough memory" : error);
    }
    if (TIFFWriteDirectory(t) != 1 || !error.empty())
      FailTiff(stream.outOfMemory ? "not enough memory" : error);
  }
  if (stream.outOfMemory) FailTiff("not enough memory");
  if (!error.empty()) FailTiff(error);
  return std::move(stream.bytes);
}

}  // namespace quarvel
