// The array files read back as their formats define them: NPY byte by byte, TIFF through
// libtiff.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "tomo/ArrayFiles.h"

namespace {

using namespace quarvel;

TArray2D Array(int rows, int columns, const std::vector<double>& values) {
  TArray2D a(rows, columns);
  a.Values = values;
  return a;
}

TEST(NpyFile, HeaderAndValuesFollowTheFormat) {
  const std::string bytes = NpyBytes(Array(2, 3, {1, -2, 0.5, 0, 3, -0.0}));
  ASSERT_GE(bytes.size(), 10u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
  const std::size_t headerLength = std::uint8_t(bytes[8]) | std::uint8_t(bytes[9]) << 8;
  const std::size_t dataStart = 10 + headerLength;
  EXPECT_EQ(dataStart % 64, 0u);
  const std::string dictionary = "{'descr': '<f8', 'fortran_order': False, 'shape': (2, 3), }";
  const std::string header = bytes.substr(10, headerLength);
  EXPECT_EQ(header.substr(0, dictionary.size()), dictionary);
  EXPECT_EQ(header.substr(dictionary.size()),
            std::string(headerLength - dictionary.size() - 1, ' ') + "\n");
  // IEEE 754 doubles, least significant byte first, row after row.
  const std::string data = bytes.substr(dataStart);
  const std::string expected = std::string("\0\0\0\0\0\0\xf0\x3f", 8) +  // 1
                               std::string("\0\0\0\0\0\0\0\xc0", 8) +    // -2
                               std::string("\0\0\0\0\0\0\xe0\x3f", 8) +  // 0.5
                               std::string(8, '\0') +                    // 0
                               std::string("\0\0\0\0\0\0\x08\x40", 8) +  // 3
                               std::string("\0\0\0\0\0\0\0\x80", 8);     // -0
  EXPECT_EQ(data, expected);
}

// Reads a TIFF file back: its tags and its float samples row after row.
struct TiffImage {
  std::uint32_t width = 0, length = 0;
  std::uint16_t bits = 0, samples = 0, format = 0;
  std::vector<float> values;
};

TiffImage ReadTiff(const std::string& bytes) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("a.tif").toStdString();
  std::ofstream(path, std::ios::binary) << bytes;
  TiffImage image;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return image;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &image.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &image.length);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &image.bits);
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &image.samples);
  TIFFGetField(tiff, TIFFTAG_SAMPLEFORMAT, &image.format);
  std::vector<float> row(image.width);
  for (std::uint32_t r = 0; r < image.length && image.bits == 32; ++r) {
    if (TIFFReadScanline(tiff, row.data(), r, 0) != 1) break;
    image.values.insert(image.values.end(), row.begin(), row.end());
  }
  TIFFClose(tiff);
  return image;
}

TEST(TiffFile, HoldsOneChannelOfFloatSamples) {
  const double huge = 1e40, tiny = 1e-300;
  const struct {
    const char* name;
    TArray2D array;
    std::vector<float> expected;
  } cases[] = {
      {"small values", Array(2, 3, {1, -2, 0.5, 0, 3, 0.1}), {1, -2, 0.5, 0, 3, 0.1f}},
      {"beyond the float range",
       Array(1, 4, {huge, -huge, tiny, std::numeric_limits<double>::max()}),
       {INFINITY, -INFINITY, 0, INFINITY}},
  };
  for (const auto& c : cases) {
    const TiffImage image = ReadTiff(TiffBytes(c.array));
    EXPECT_EQ(image.width, std::uint32_t(c.array.Columns)) << c.name;
    EXPECT_EQ(image.length, std::uint32_t(c.array.Rows)) << c.name;
    EXPECT_EQ(image.bits, 32) << c.name;
    EXPECT_EQ(image.samples, 1) << c.name;
    EXPECT_EQ(image.format, SAMPLEFORMAT_IEEEFP) << c.name;
    EXPECT_EQ(image.values, c.expected) << c.name;
  }
}

TEST(TiffFile, ManyStripsReadBackInOrder) {
  TArray2D array(300, 257);
  for (std::size_t i = 0; i < array.Values.size(); ++i) array.Values[i] = double(i) * 0.25;
  const TiffImage image = ReadTiff(TiffBytes(array));
  ASSERT_EQ(image.values.size(), array.Values.size());
  for (std::size_t i = 0; i < array.Values.size(); ++i)
    ASSERT_EQ(image.values[i], float(array.Values[i])) << i;
}

TEST(TiffFile, AnEmptyArrayIsAnError) { EXPECT_THROW(TiffBytes(TArray2D(0, 5)), EArrayFileError); }

}  // namespace
