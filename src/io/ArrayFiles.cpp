#include "io/ArrayFiles.h"

#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <functional>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "io/TiffMemory.h"

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
// TIFF

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
  // A classic TIFF addresses 4 GiB; a larger image is written as a BigTIFF.
  const std::uint64_t dataBytes = std::uint64_t(4) * array.Values.size();
  const char* mode = dataBytes > (std::uint64_t(1) << 32) - (std::uint64_t(1) << 24) ? "w8" : "w";
  TTiffMemory stream;
  stream.Writing = true;
  TTiffError tiffError;
  tiffError.NameModule = true;
  const std::string& error = tiffError.Message;
  {
    const TTiffHandle tiff = OpenTiffMemory("memory", mode, stream, tiffError);
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
        FailTiff(stream.OutOfMemory ? "not enough memory" : error);
    }
    if (TIFFWriteDirectory(t) != 1 || !error.empty())
      FailTiff(stream.OutOfMemory ? "not enough memory" : error);
  }
  if (stream.OutOfMemory) FailTiff("not enough memory");
  if (!error.empty()) FailTiff(error);
  return std::move(stream.Written);
}

}  // namespace quarvel
