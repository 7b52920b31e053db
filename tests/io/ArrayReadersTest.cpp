// The readers against files built byte by byte from the formats' definitions (NPY's
// header and data, libtiff's own writer, the CSV layouts as documented), and each kind of
// bad file against the one line it must give.

#include "io/ArrayReaders.h"

#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "io/ArrayFiles.h"

namespace quarvel {
namespace {

// An NPY file: magic, version, header length (2 bytes for 1.0, 4 for 2.0), header, data.
std::string Npy(const std::string& dictionary, const std::string& data, int version = 1) {
  std::string header = dictionary + "\n";
  std::string out = std::string("\x93NUMPY", 6) + char(version) + '\0';
  for (int i = 0; i < (version == 1 ? 2 : 4); ++i) out += char((header.size() >> (8 * i)) & 0xFF);
  return out + header + data;
}

// `values` as `bytes`-byte elements in either byte order.
template <class T>
std::string Elements(const std::vector<T>& values, bool bigEndian) {
  std::string out;
  for (const T v : values) {
    std::string e(sizeof(T), '\0');
    std::memcpy(e.data(), &v, sizeof(T));
    if (bigEndian != (std::endian::native == std::endian::big)) std::reverse(e.begin(), e.end());
    out += e;
  }
  return out;
}

std::vector<double> Values(const TArray2D& a) { return a.Values; }

std::string ErrorOf(const std::function<void()>& read) {
  try {
    read();
  } catch (const EArrayReadError& e) {
    return e.Message();
  }
  return "(no error)";
}

// The array [[1, 2, 3], [-4, 5, 6]] in each layout: C order holds it row after row,
// Fortran order column after column.
TEST(NpyReader, ReadsEveryTypeOrderAndVersion) {
  const std::vector<double> expected = {1, 2, 3, -4, 5, 6};
  const std::string c = "'fortran_order': False, 'shape': (2, 3), }";
  struct Row {
    const char* name;
    std::string file;
  } rows[] = {
      {"f8 little", Npy("{'descr': '<f8', " + c, Elements<double>({1, 2, 3, -4, 5, 6}, false))},
      {"f4 big, Fortran, keys reordered, double quotes, no trailing comma",
       Npy(R"({"shape":(2,3),"fortran_order":True,"descr":">f4"})",
           Elements<float>({1, -4, 2, 5, 3, 6}, true))},
      {"i2 little",
       Npy("{'descr': '<i2', " + c, Elements<std::int16_t>({1, 2, 3, -4, 5, 6}, false))},
      {"i8 big, version 2",
       Npy("{'descr': '>i8', " + c, Elements<std::int64_t>({1, 2, 3, -4, 5, 6}, true), 2)},
      {"i1 no byte order",
       Npy("{'descr': '|i1', " + c, Elements<std::int8_t>({1, 2, 3, -4, 5, 6}, false))},
      {"written by the export tool", NpyBytes([] {
         TArray2D a(2, 3);
         a.Values = {1, 2, 3, -4, 5, 6};
         return a;
       }())},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const TArray2D a = ParseNpy(row.file, "a.npy");
    EXPECT_EQ(a.Rows, 2);
    EXPECT_EQ(a.Columns, 3);
    EXPECT_EQ(Values(a), expected);
  }
  // Unsigned integers keep their full range.
  const TArray2D u = ParseNpy(
      Npy("{'descr': '<u8', 'fortran_order': False, 'shape': (1, 2), }",
          Elements<std::uint64_t>({std::numeric_limits<std::uint64_t>::max(), 255}, false)),
      "u.npy");
  EXPECT_EQ(u.Values, (std::vector<double>{18446744073709551615.0, 255}));
}

TEST(NpyReader, RefusesBadFilesWithOneLineNamingTheFile) {
  const std::string c = "'fortran_order': False, 'shape': (2, 3), }";
  const std::string six = Elements<double>({1, 2, 3, 4, 5, 6}, false);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* name;
    std::string file;
    const char* message;
  } rows[] = {
      {"not npy", "P5 8 8 255\n", "a.npy: not an NPY file"},
      {"rank 1", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (6,), }", six),
       "a.npy: the array has 1 dimension, not 2"},
      {"rank 3", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (1, 2, 3), }", six),
       "a.npy: the array has 3 dimensions, not 2"},
      {"truncated data", Npy("{'descr': '<f8', " + c, six.substr(0, 47)),
       "a.npy: truncated: the shape (2, 3) needs more than the 47 bytes of data present"},
      {"huge shape, little data",
       Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (2000000000, 2000000000), }", six),
       "a.npy: truncated: the shape (2000000000, 2000000000) needs more than the 48 bytes"},
      {"trailing data", Npy("{'descr': '<f8', " + c, six + "x"),
       "a.npy: 1 bytes more than the shape's 48"},
      {"truncated header", Npy("{'descr': '<f8', " + c, "").substr(0, 30),
       "a.npy: truncated: the NPY header is cut short"},
      {"complex", Npy("{'descr': '<c16', " + c, six), "a.npy: the data type '<c16' is not one"},
      {"structured", Npy("{'descr': [('a', '<f8')], " + c, six),
       "a.npy: bad NPY header: the data type is not a simple one"},
      {"unknown key", Npy("{'descr': '<f8', 'extra': 1, " + c, six),
       "a.npy: bad NPY header: the header has an unknown key 'extra'"},
      {"no shape", Npy("{'descr': '<f8', 'fortran_order': False}", six),
       "a.npy: bad NPY header: the header lacks one of"},
      {"empty", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (0, 3), }", ""),
       "a.npy: the array holds no values (0 x 3)"},
      {"nan at (1, 2)", Npy("{'descr': '<f8', " + c, Elements<double>({1, 2, 3, 4, 5, nan}, false)),
       "a.npy: row 1, column 2: the value is not finite (nan)"},
      {"-inf at (1, 0) in Fortran order",
       Npy("{'descr': '<f4', 'fortran_order': True, 'shape': (2, 3), }",
           Elements<float>({1, -std::numeric_limits<float>::infinity(), 2, 3, 4, 5}, false)),
       "a.npy: row 1, column 0: the value is not finite (-inf)"},
      {"version 4", Npy("{'descr': '<f8', " + c, six, 4), "a.npy: NPY version 4 is not one"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string message = ErrorOf([&] { ParseNpy(row.file, "a.npy"); });
    EXPECT_EQ(message.rfind(row.message, 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);
  }
}

// A TIFF written by libtiff itself: width x height samples of `bits` bits and `format`,
// in tiles of 16 x 16 when asked.
std::string LibtiffImage(int width, int height, int bits, int format, int samples, bool tiled,
                         const std::vector<double>& values) {
  char path[] = "/tmp/quarvel-tiff-XXXXXX";
  const int fd = mkstemp(path);
  close(fd);
  TIFF* t = TIFFOpen(path, "w");
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, format);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  const auto sample = [&](std::vector<unsigned char>& out, std::size_t at, double v) {
    if (bits == 64) std::memcpy(&out[at * 8], &v, 8);
    if (bits == 32) {
      const float f = float(v);
      std::memcpy(&out[at * 4], &f, 4);
    }
    if (bits == 16) out[at * 2] = static_cast<unsigned char>(v);
  };
  const std::size_t bytes = std::size_t(bits / 8) * samples;
  if (tiled) {
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<unsigned char> tile(16 * 16 * bytes);
    for (int y0 = 0; y0 < height; y0 += 16)
      for (int x0 = 0; x0 < width; x0 += 16) {
        std::fill(tile.begin(), tile.end(), 0);
        for (int y = y0; y < std::min(height, y0 + 16); ++y)
          for (int x = x0; x < std::min(width, x0 + 16); ++x)
            sample(tile, std::size_t(y - y0) * 16 + (x - x0), values[std::size_t(y) * width + x]);
        TIFFWriteTile(t, tile.data(), x0, y0, 0, 0);
      }
  } else {
    std::vector<unsigned char> line(std::size_t(width) * bytes);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        sample(line, std::size_t(x) * samples, values[std::size_t(y) * width + x]);
      TIFFWriteScanline(t, line.data(), y, 0);
    }
  }
  TIFFClose(t);
  std::string file = ReadFileBytes(path);
  std::remove(path);
  return file;
}

TEST(TiffReader, ReadsFloatImagesInStripsAndTiles) {
  // 20 x 18: the tiles of 16 cover it with partial tiles on both edges.
  std::vector<double> values(20 * 18);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = 0.1 * double(i) - 7;
  std::vector<double> asFloats;
  for (const double v : values) asFloats.push_back(double(float(v)));
  for (const bool tiled : {false, true}) {
    SCOPED_TRACE(tiled ? "tiles" : "strips");
    const TArray2D wide =
        ParseTiff(LibtiffImage(20, 18, 64, SAMPLEFORMAT_IEEEFP, 1, tiled, values), "a.tif");
    EXPECT_EQ(wide.Columns, 20);
    EXPECT_EQ(wide.Rows, 18);
    EXPECT_EQ(wide.Values, values);
    EXPECT_EQ(
        ParseTiff(LibtiffImage(20, 18, 32, SAMPLEFORMAT_IEEEFP, 1, tiled, values), "a.tif").Values,
        asFloats);
  }
  TArray2D ours(2, 3);
  ours.Values = {1, 2, 3, -4, 5, 6.5};
  EXPECT_EQ(ParseTiff(TiffBytes(ours), "a.tif"), ours);
}

TEST(TiffReader, RefusesWhatIsNotOneChannelOfFiniteFloats) {
  const std::vector<double> v(8 * 8 * 3, 1.0);
  std::vector<double> withNan(8 * 8, 2.0);
  withNan[3 * 8 + 5] = std::numeric_limits<double>::quiet_NaN();
  const std::string good = LibtiffImage(8, 8, 32, SAMPLEFORMAT_IEEEFP, 1, false, v);
  struct Row {
    const char* name;
    std::string file;
    const char* message;
  } rows[] = {
      {"integers", LibtiffImage(8, 8, 16, SAMPLEFORMAT_UINT, 1, false, v),
       "a.tif: the TIFF image holds 16-bit unsigned integer samples, not 32- or 64-bit"},
      {"colour", LibtiffImage(8, 8, 32, SAMPLEFORMAT_IEEEFP, 3, false, v),
       "a.tif: the TIFF image has 3 samples per pixel, not one"},
      {"nan", LibtiffImage(8, 8, 64, SAMPLEFORMAT_IEEEFP, 1, true, withNan),
       "a.tif: row 3, column 5: the value is not finite (nan)"},
      {"not tiff", "P5\n8 8\n", "a.tif: not a TIFF file, or a damaged one"},
      {"truncated", good.substr(0, 40), "a.tif: "},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string message = ErrorOf([&] { ParseTiff(row.file, "a.tif"); });
    EXPECT_EQ(message.rfind(row.message, 0), 0u) << message;
    EXPECT_EQ(message.find('\n'), std::string::npos);
  }
}

TEST(CsvReaders, ReadCellsInAnyOrderWithTheirAngles) {
  const TArray2D grid = ParseGridCsv(
      "\xEF\xBB\xBFix,iy,x,y,value\r\n# a comment\r\n1,0,9,9,2\r\n0,1,9,9,3.5\r\n\r\n"
      "0,0,9,9,1\r\n1,1,9,9,-4e-3\r\n2,0,9,9,5\r\n2,1,9,9,6\r\n",
      "g.csv");
  EXPECT_EQ(grid.Rows, 2);  // iy
  EXPECT_EQ(grid.Columns, 3);
  EXPECT_EQ(grid.Values, (std::vector<double>{1, 2, 5, 3.5, -4e-3, 6}));

  const TSinogramCsv s = ParseSinogramCsv(
      "view,angle,bin,t,value\n0,90,0,-1,1\n0,90,1,1,2\n1,-45.5,0,-1,3\n1,-45.5,1,1,4\n", "s.csv");
  EXPECT_EQ(s.Values.Rows, 2);
  EXPECT_EQ(s.Values.Values, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(s.Angles, (std::vector<double>{90, -45.5}));
}

TEST(CsvReaders, RefuseIncompleteOrInconsistentFilesNamingTheLine) {
  const std::string h = "ix,iy,x,y,value\n";
  struct Row {
    const char* name;
    std::string text;
    bool sinogram;
    const char* message;
  } rows[] = {
      {"missing cell", h + "0,0,0,0,1\n1,1,0,0,1\n", false,
       "g.csv: values are missing: the cells span 2 ix x 2 iy, but the file gives 2"},
      {"duplicate", h + "0,0,0,0,1\n0,0,0,0,2\n", false,
       "g.csv:3: ix 0, iy 0 was given before, on line 2"},
      {"nan value", h + "0,0,0,0,1\n0,1,0,0,nan\n", false,
       "g.csv:3: the value of ix 0, iy 1 is not finite (nan)"},
      {"fields", h + "0,0,0,1\n", false, "g.csv:2: expected 5 fields, not 4"},
      {"header", "a,b\n", false, "g.csv:1: expected the header \"ix,iy,x,y,value\""},
      {"negative index", h + "-1,0,0,0,1\n", false, "g.csv:2: bad ix '-1' (a whole number from 0)"},
      {"huge index", h + "2000000000,2000000000,0,0,1\n", false, "g.csv: values are missing"},
      {"empty", "\n# nothing\n", false, "g.csv: the file is empty"},
      {"two angles", "view,angle,bin,t,value\n0,1,0,0,1\n0,2,1,0,1\n", true,
       "g.csv:3: view 0 has the angle 1 on line 2, another here"},
      {"infinite angle", "view,angle,bin,t,value\n0,inf,0,0,1\n", true,
       "g.csv:2: the angle is not finite (inf)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string message = ErrorOf([&] {
      row.sinogram ? (void)ParseSinogramCsv(row.text, "g.csv")
                   : (void)ParseGridCsv(row.text, "g.csv");
    });
    EXPECT_EQ(message.rfind(row.message, 0), 0u) << message;
  }
}

TEST(AngleFile, ReadsOneAngleALineSkippingBlanksAndComments) {
  EXPECT_EQ(ParseAngles("# measured\n0\n\n  12.5 # after a pause\r\n-3e1\n360", "a.txt"),
            (std::vector<double>{0, 12.5, -30, 360}));
  struct Row {
    const char* text;
    const char* message;
  } rows[] = {
      {"1\n2 3\n", "a.txt:2: bad angle '2 3' (degrees, a number)"},
      {"1\nnan\n", "a.txt:2: the angle is not finite (nan)"},
      {"# none\n\n", "a.txt: no angle: expected one angle in degrees per line"},
      {"1,5\n", "a.txt:1: bad angle '1,5'"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ErrorOf([&] { ParseAngles(row.text, "a.txt"); }).rfind(row.message, 0), 0u)
        << row.text;
}

TEST(ArrayFiles, ReadingANamedFileNamesItWhenItFails) {
  EXPECT_EQ(ErrorOf([] { ReadImageFile("/nonexistent/x.npy"); }),
            "/nonexistent/x.npy: cannot read: No such file or directory");
  EXPECT_EQ(ErrorOf([] { ReadImageFile("/tmp"); }),
            "/tmp: not an image file: give a .npy, .tif, .tiff or .csv file");
  EXPECT_EQ(ErrorOf([] { ReadSinogramFile("/tmp/.csv"); }),
            "/tmp/.csv: not a sinogram file: give a .npy, .tif, .tiff or .csv file");
}

}  // namespace
}  // namespace quarvel
