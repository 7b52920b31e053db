// The export tool's tomography commands as a user runs them, and their array files: NPY
// and TIFF read back by the formats' definitions, the sinogram against the zero
// projection, the files against the CSV, the usage errors.

#include <gtest/gtest.h>
#include <tiffio.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "Process.h"
#include "io/ArrayFiles.h"

namespace {

using namespace quarvel;

using Result = quarvel::testing::ProcessResult;

Result Export(const QStringList& args) {
  return quarvel::testing::RunProcess(QUARVEL_EXPORT_PROGRAM, args);
}

double Number(const QByteArray& text) {
  double v = 0;
  std::from_chars(text.constData(), text.constData() + text.size(), v);
  return v;
}

// The data rows of a CSV text, split into fields.
QList<QList<QByteArray>> Rows(const QByteArray& csv, const char* header) {
  QList<QByteArray> lines = csv.trimmed().split('\n');
  EXPECT_EQ(lines.takeFirst(), header);
  QList<QList<QByteArray>> rows;
  for (const QByteArray& line : lines) rows.append(line.split(','));
  return rows;
}

TArray2D Array(int rows, int columns, const std::vector<double>& values) {
  TArray2D a(rows, columns);
  a.Values = values;
  return a;
}

// A TIFF file's size, sample layout and float samples, read back by libtiff.
struct TiffImage {
  std::uint32_t width = 0, length = 0;
  std::uint16_t bits = 0, samples = 0, format = 0, photometric = 0;
  std::vector<float> values;
};

TiffImage ReadTiff(const std::string& bytes) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("a.tif").toStdString();
  std::ofstream(path, std::ios::binary) << bytes;
  TiffImage t;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return t;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &t.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &t.length);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &t.bits);
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &t.samples);
  TIFFGetField(tiff, TIFFTAG_SAMPLEFORMAT, &t.format);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &t.photometric);
  t.values.resize(std::size_t(t.width) * t.length);
  for (std::uint32_t r = 0; r < t.length && t.bits == 32 && t.samples == 1; ++r)
    TIFFReadScanline(tiff, t.values.data() + std::size_t(r) * t.width, r, 0);
  TIFFClose(tiff);
  return t;
}

class TomographyExport : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) { return dir.filePath(name); }
};

TEST(NpyFile, HeaderAndValuesFollowTheFormat) {
  const std::string bytes = NpyBytes(Array(2, 3, {1, -2, 0.5, 0, 3, -0.0}));
  // The magic, version 1.0, the header's length (118) and the header, padded with spaces
  // so that the data starts at 128, a multiple of 64.
  const std::string dictionary = "{'descr': '<f8', 'fortran_order': False, 'shape': (2, 3), }";
  EXPECT_EQ(bytes.substr(0, 128), std::string("\x93NUMPY\x01\x00\x76\x00", 10) + dictionary +
                                      std::string(58, ' ') + "\n");
  // IEEE 754 doubles, least significant byte first, row after row.
  const std::string expected = std::string("\0\0\0\0\0\0\xf0\x3f", 8) +  // 1
                               std::string("\0\0\0\0\0\0\0\xc0", 8) +    // -2
                               std::string("\0\0\0\0\0\0\xe0\x3f", 8) +  // 0.5
                               std::string(8, '\0') +                    // 0
                               std::string("\0\0\0\0\0\0\x08\x40", 8) +  // 3
                               std::string("\0\0\0\0\0\0\0\x80", 8);     // -0
  EXPECT_EQ(bytes.substr(128), expected);
}

TEST(TiffFile, HoldsOneChannelOfFloatSamples) {
  // Many rows and an odd width: several strips, read back in order.
  TArray2D strips(300, 257);
  std::vector<float> stripValues;
  for (std::size_t i = 0; i < strips.Values.size(); ++i) {
    strips.Values[i] = double(i) * 0.1;
    stripValues.push_back(float(double(i) * 0.1));
  }
  const double huge = 1e40, tiny = 1e-300, max = std::numeric_limits<double>::max();
  const struct {
    const char* name;
    TArray2D array;
    std::vector<float> expected;
  } cases[] = {
      {"small values", Array(2, 3, {1, -2, 0.5, 0, 3, 0.1}), {1, -2, 0.5, 0, 3, 0.1f}},
      {"beyond the float range",
       Array(1, 4, {huge, -huge, tiny, max}),
       {INFINITY, -INFINITY, 0, INFINITY}},
      {"several strips", strips, stripValues},
  };
  for (const auto& c : cases) {
    const TiffImage image = ReadTiff(TiffBytes(c.array));
    EXPECT_EQ(image.width, std::uint32_t(c.array.Columns)) << c.name;
    EXPECT_EQ(image.length, std::uint32_t(c.array.Rows)) << c.name;
    EXPECT_EQ(std::tuple(image.bits, image.samples, image.format),
              std::tuple(32, 1, SAMPLEFORMAT_IEEEFP))
        << c.name;
    // A viewer shows the smallest value black.
    EXPECT_EQ(image.photometric, PHOTOMETRIC_MINISBLACK) << c.name;
    EXPECT_EQ(image.values, c.expected) << c.name;
  }
  EXPECT_THROW(TiffBytes(TArray2D(0, 5)), EArrayFileError);
}

// For even M, bin (M - 128) / 2 + ix of the 0 degree view is the zero projection's sum
// ix, to the last bit (the same shortest text), and the bins beside it are 0.
TEST_F(TomographyExport, ZeroDegreeRowIsTheZeroProjection) {
  QFile phantom(Path("p.csv"));
  ASSERT_TRUE(phantom.open(QIODevice::WriteOnly));
  phantom.write("mx,dx,my,dy,enabled\n10,2,9,3,1\n4,1,4,1,0\n15,0.5,16,1.5,1\n");
  phantom.close();
  const struct {
    const char* name;
    QStringList phantom;
    int detectors;
  } cases[] = {{"built-in, 182 bins", {}, 182},
               {"built-in, 130 bins", {}, 130},
               {"phantom file", {"--phantom", Path("p.csv")}, 182}};
  for (const auto& c : cases) {
    const Result projection = Export(QStringList{"projection", "-"} + c.phantom);
    const Result sinogram = Export(QStringList{"sinogram", "-", "--format", "csv", "--views", "2",
                                               "--detectors", QString::number(c.detectors)} +
                                   c.phantom);
    ASSERT_EQ(sinogram.exitCode, 0) << c.name << sinogram.err.toStdString();
    const auto sums = Rows(projection.out, "ix,x,sum");
    const auto rows = Rows(sinogram.out, "view,angle,bin,t,value");
    ASSERT_EQ(rows.size(), 2 * c.detectors) << c.name;
    const int offset = (c.detectors - 128) / 2;
    for (int bin = 0; bin < c.detectors; ++bin) {
      const auto& row = rows[bin];
      EXPECT_EQ(row[0] + row[1] + row[2], "00" + QByteArray::number(bin)) << c.name;
      EXPECT_NEAR(Number(row[3]), (bin - (c.detectors - 1) / 2.0) * 19 / 127, 1e-12) << c.name;
      const bool inside = bin >= offset && bin < offset + 128;
      EXPECT_EQ(row[4], inside ? sums[bin - offset][2] : "0") << c.name << " bin " << bin;
    }
    EXPECT_EQ(rows[c.detectors][1], "90") << c.name;
  }
}

// The NPY and TIFF files hold the CSV's values ([iy][ix]); the grey picture maps the
// smallest value to black and the largest to white, the difference map the largest
// magnitude to pure red or blue; the metrics' RMSE is that of the difference.
TEST_F(TomographyExport, FilesHoldTheValuesOfTheCsv) {
  for (const char* command : {"reconstruction", "difference"}) {
    const Result csv = Export({command, "-", "--format", "csv", "--views", "60"});
    const Result npy = Export({command, "-", "--format", "npy", "--views", "60"});
    ASSERT_EQ(Export({command, Path("a.tif"), "--views", "60"}).exitCode, 0);
    ASSERT_EQ(Export({command, Path("a.png"), "--views", "60"}).exitCode, 0);
    TArray2D image(128, 128);
    for (const auto& row : Rows(csv.out, "ix,iy,x,y,value"))
      image.At(row[1].toInt(), row[0].toInt()) = Number(row[4]);
    QFile tiff(Path("a.tif"));
    ASSERT_TRUE(tiff.open(QIODevice::ReadOnly));
    EXPECT_EQ(npy.out.toStdString(), NpyBytes(image)) << command;
    EXPECT_EQ(tiff.readAll().toStdString(), TiffBytes(image)) << command;

    const auto [low, high] = std::minmax_element(image.Values.begin(), image.Values.end());
    const auto at = [&](auto it) {
      return QPoint(int(it - image.Values.begin()) % 128, int(it - image.Values.begin()) / 128);
    };
    const QImage png(Path("a.png"));
    if (std::strcmp(command, "reconstruction") == 0) {
      EXPECT_EQ(png.pixel(at(low)), qRgb(0, 0, 0));
      EXPECT_EQ(png.pixel(at(high)), qRgb(255, 255, 255));
      continue;
    }
    const bool redEnd = -*low < *high;
    EXPECT_EQ(png.pixel(at(redEnd ? high : low)), redEnd ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    double squares = 0;
    for (const double v : image.Values) squares += v * v;
    const auto metrics =
        Rows(Export({"metrics", "-", "--views", "60"}).out, "rmse,nrmse,psnr,ssim");
    ASSERT_EQ(metrics.size(), 1);
    ASSERT_EQ(metrics[0].size(), 4);
    EXPECT_NEAR(Number(metrics[0][0]), std::sqrt(squares / (128 * 128)), 1e-12);
  }
}

TEST_F(TomographyExport, UsageErrorsComputeAndWriteNothing) {
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"sinogram", "P", "--views", "0"}, "bad views '0' (a whole number from 1 to 100000)"},
      {{"sinogram", "P", "--views", "100001"},
       "bad views '100001' (a whole number from 1 to 100000)"},
      {{"sinogram", "P", "--arc", "360.001"},
       "bad arc '360.001' (degrees, more than 0 and at most 360)"},
      {{"sinogram", "P", "--detectors", "1"}, "bad detectors '1' (a whole number from 2 to 10000)"},
      {{"sinogram", "P", "--projector", "fan"}, "bad projector 'fan' (grid or exact)"},
      {{"sinogram", "P", "--seed", "1"}, "--seed applies only with --photons"},
      {{"metrics", "P", "--method", "art"}, "bad method 'art' (fbp, sirt, sart or cgls)"},
      {{"metrics", "P", "--filter", "parzen"},
       "bad filter 'parzen' (ram-lak, shepp-logan, cosine, hamming or hann)"},
      {{"metrics", "P", "--method", "sart", "--iterations", "0"},
       "bad iterations '0' (a whole number from 1 to 100000)"},
      {{"metrics", "P", "--iterations", "5"},
       "--iterations applies only to --method sirt, sart or cgls, not to fbp"},
      {{"metrics", "P", "--method", "sirt", "--cutoff", "0.5"},
       "--cutoff applies only to --method fbp, not to sirt"},
      {{"sinogram", "P", "--method", "fbp"},
       "--method applies only to reconstruction, difference and metrics, not to sinogram"},
      {{"grid", "P", "--views", "3"},
       "--views applies only to sinogram, reconstruction, difference and metrics, not to grid"},
      {{"sinogram", "P", "--size", "3x3"}, "--size applies only to chart, not to sinogram"},
      {{"metrics", "P", "--resolution", "256x256"},
       "--resolution applies only to window, chart, grid, points and projection, not to metrics"},
      {{"reconstruction", "P.png", "--format", "jpeg"},
       "bad format 'jpeg' (png, csv, npy or tiff)"},
      {{"difference", "P.jpg"},
       "'P.jpg' ends in none of .png, .csv, .npy, .tif, .tiff: give --format (difference writes "
       "png, csv, npy or tiff)"},
      {{"sinogram", "P"}, "sinogram writes png, csv, npy or tiff: give --format for 'P'"},
      {{"metrics", "P.tif"}, "metrics writes csv, but 'P.tif' ends in .tif"},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QRegularExpression("^P"), Path("P"));
    const Result r = Export(args);
    const std::string shown = args.join(' ').toStdString();
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_EQ(r.err.toStdString(),
              "quarvel-export: " + QString(c.message).replace("'P", "'" + Path("P")).toStdString() +
                  "\n");
    EXPECT_TRUE(r.out.isEmpty()) << shown;
    EXPECT_TRUE(dir.isValid() && QDir(dir.path()).isEmpty()) << shown;
  }
}

}  // namespace
