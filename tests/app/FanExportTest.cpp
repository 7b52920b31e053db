// The export tool in fan beam: a fan sinogram written with its JSON file reconstructs
// without restating its geometry and rebins to a parallel sinogram that the parallel
// reconstruction takes; every bad fan option is one line and exit 2.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

#include <charconv>
#include <string>

#include "Process.h"
#include "io/ArrayReaders.h"
#include "io/Sidecar.h"

namespace {

using namespace quarvel;
using Result = quarvel::testing::ProcessResult;

Result Export(const QStringList& args) {
  return quarvel::testing::RunProcess(QUARVEL_EXPORT_PROGRAM, args);
}

// The NRMSE of a metrics CSV (its second field on the second line).
double Nrmse(const QByteArray& csv) {
  const QByteArray field = csv.split('\n').value(1).split(',').value(1);
  double v = -1;
  std::from_chars(field.constData(), field.constData() + field.size(), v);
  return v;
}

class FanExport : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) { return dir.filePath(name); }
};

TEST_F(FanExport, ASinogramRoundTripsAndRebinsToParallel) {
  for (const char* beam : {"fan-flat", "fan-arc"}) {
    const QStringList scan = {
        "--geometry",          beam, "--views", "360", "--arc", "360", "--source-distance", "200",
        "--detector-distance", "100"};
    ASSERT_EQ(Export(QStringList{"sinogram", Path("f.npy")} + scan).exitCode, 0) << beam;
    const TSinogramSidecar sidecar =
        ParseSidecar(ReadFileBytes(Path("f.npy.json").toStdString()), "f.npy.json");
    EXPECT_EQ(sidecar.Geometry.SourceDistance, 200) << beam;
    EXPECT_EQ(sidecar.Geometry.DetectorDistance, 100) << beam;
    EXPECT_EQ(sidecar.Geometry.Spacing, 1.5) << beam;  // (R + D) / R: a pixel at the centre

    const Result direct = Export(QStringList{"metrics", "-"} + scan);
    const Result read = Export({"metrics", "-", "--sinogram", Path("f.npy")});
    ASSERT_EQ(read.exitCode, 0) << read.err.toStdString();
    EXPECT_EQ(read.out, direct.out) << beam;
    EXPECT_LE(Nrmse(direct.out), 0.01) << beam;

    const Result rebin = Export({"rebin", Path("p.npy"), "--sinogram", Path("f.npy")});
    ASSERT_EQ(rebin.exitCode, 0) << rebin.err.toStdString();
    const TSinogramSidecar parallel =
        ParseSidecar(ReadFileBytes(Path("p.npy.json").toStdString()), "p.npy.json");
    EXPECT_EQ(parallel.Geometry.Beam, TBeam::Parallel) << beam;
    const Result fromParallel = Export({"metrics", "-", "--sinogram", Path("p.npy")});
    ASSERT_EQ(fromParallel.exitCode, 0) << fromParallel.err.toStdString();
    EXPECT_LE(Nrmse(fromParallel.out), 0.015) << beam;
  }
}

TEST_F(FanExport, BadFanOptionsAreOneLineAndExit2) {
  ASSERT_EQ(Export({"sinogram", Path("s.npy")}).exitCode, 0);
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"sinogram", "P.csv", "--geometry", "cone"},
       "bad geometry 'cone' (parallel, fan-flat or fan-arc)"},
      {{"sinogram", "P.csv", "--source-distance", "300"},
       "--source-distance applies only to --geometry fan-flat or fan-arc"},
      {{"sinogram", "P.csv", "--geometry", "fan-arc", "--source-distance", "90"},
       "bad source-distance '90' (pixels, more than the image's half-diagonal 90.5097)"},
      {{"sinogram", "P.csv", "--geometry", "fan-flat", "--detector-distance", "-1"},
       "bad detector-distance '-1' (pixels, at least 0)"},
      {{"grid", "P.csv", "--geometry", "fan-flat"},
       "--geometry applies only to sinogram, reconstruction, difference and metrics, not to "
       "grid"},
      {{"rebin", "P.npy"}, "rebin needs --sinogram FILE (a fan sinogram)"},
      {{"rebin", "P.npy", "--sinogram", "S"},
       "rebin takes a fan sinogram: give --geometry fan-flat or fan-arc, or the file's JSON"},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QRegularExpression("^P"), Path("P"));
    args.replaceInStrings(QRegularExpression("^S$"), Path("s.npy"));
    const Result r = Export(args);
    EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
    EXPECT_EQ(r.err.toStdString(), "quarvel-export: " + std::string(c.message) + "\n");
    EXPECT_FALSE(QFile::exists(Path("P.npy")) || QFile::exists(Path("P.csv")));
  }
}

}  // namespace
