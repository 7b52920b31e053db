// The export tool on the user's own data: a sinogram written with its JSON file and read
// back reconstructs to the same figures as the scan itself, the array files of the grid
// hold the CSV's values, and every bad input is one line and exit 2 before any output.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

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

class UserData : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) { return dir.filePath(name); }
  void Write(const char* name, const std::string& text) {
    QFile f(Path(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.data(), qint64(text.size()));
  }
};

TEST_F(UserData, ASinogramAndItsJsonFileRoundTrip) {
  // A scan with every geometry field away from its default, written as NPY with its JSON.
  const QStringList scan = {
      "--grid-size",        "64",   "--views",           "50", "--arc", "360", "--detectors", "101",
      "--detector-spacing", "0.75", "--detector-offset", "0.5"};
  ASSERT_EQ(Export(QStringList{"sinogram", Path("s.npy")} + scan).exitCode, 0);
  const TSinogramSidecar sidecar =
      ParseSidecar(ReadFileBytes(Path("s.npy.json").toStdString()), "s.npy.json");
  EXPECT_EQ(sidecar.Geometry.Views, 50);
  EXPECT_EQ(sidecar.Geometry.ArcDegrees, 360);
  EXPECT_EQ(sidecar.Geometry.Spacing, 0.75);
  EXPECT_EQ(sidecar.Geometry.Offset, 0.5);
  EXPECT_EQ(sidecar.Image, (TImageSize{64, 64}));
  const TArray2D s = ReadSinogramFile(Path("s.npy").toStdString()).Values;
  EXPECT_EQ(s.Rows, 50);
  EXPECT_EQ(s.Columns, 101);

  // Without restating the geometry, the same figures as the scan's own study, for each
  // method and with the mask.
  for (const QStringList& method :
       {QStringList{}, QStringList{"--method", "sirt", "--iterations", "3", "--relaxation", "1.5"},
        QStringList{"--method", "cgls", "--iterations", "4"}, QStringList{"--mask", "circle"}}) {
    const Result direct = Export(QStringList{"metrics", "-"} + scan + method);
    const Result back = Export(QStringList{"metrics", "-", "--sinogram", Path("s.npy")} + method);
    EXPECT_EQ(direct.exitCode, 0) << direct.err.toStdString();
    EXPECT_EQ(back.out, direct.out) << method.join(' ').toStdString();
  }
  // Standard output gets no JSON file; the mask changes the figures.
  EXPECT_EQ(Export({"sinogram", "-", "--format", "npy"}).exitCode, 0);
  EXPECT_NE(Export({"metrics", "-", "--mask", "circle"}).out, Export({"metrics", "-"}).out);
}

TEST_F(UserData, GridArraysHoldTheCsvValuesAndTheHistoryOneRowAnIteration) {
  ASSERT_EQ(Export({"grid", Path("g.csv"), "--grid-size", "40"}).exitCode, 0);
  ASSERT_EQ(Export({"grid", Path("g.npy"), "--grid-size", "40"}).exitCode, 0);
  const TArray2D csv = ReadImageFile(Path("g.csv").toStdString());
  EXPECT_EQ(csv.Columns, 40);
  EXPECT_EQ(ReadImageFile(Path("g.npy").toStdString()), csv);
  // The image as the truth: a scan of it is compared with itself.
  const Result history =
      Export({"reconstruction", Path("r.npy"), "--image", Path("g.npy"), "--method", "sart",
              "--iterations", "3", "--nonnegative", "--history", Path("h.csv")});
  ASSERT_EQ(history.exitCode, 0) << history.err.toStdString();
  QFile h(Path("h.csv"));
  ASSERT_TRUE(h.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = h.readAll().trimmed().split('\n');
  ASSERT_EQ(lines.size(), 4);
  EXPECT_EQ(lines[0], "iteration,rmse,nrmse,psnr,ssim");
  EXPECT_TRUE(lines[3].startsWith("3,"));
  EXPECT_EQ(ReadImageFile(Path("r.npy").toStdString()).Columns, 40);
}

TEST_F(UserData, BadInputsAreOneLineAndExitTwoBeforeAnyOutput) {
  Write("a.txt", "0\n45 # degrees\n\n90\n");
  Write("bad.txt", "0\nten\n");
  Write("nan.csv", "ix,iy,x,y,value\n0,0,0,0,nan\n");
  Write("s.csv", "view,angle,bin,t,value\n0,0,0,0,1\n0,0,1,0,1\n1,9,0,0,1\n1,9,1,0,1\n");
  const struct {
    QStringList args;
    const char* message;
  } cases[] = {
      {{"metrics", "O", "--angles", "D/a.txt", "--views", "3"},
       "--angles and --views do not go together: the angles file gives the views"},
      {{"metrics", "O", "--angles", "D/bad.txt"},
       "D/bad.txt:2: bad angle 'ten' (degrees, a number)"},
      {{"metrics", "O", "--image", "D/nan.csv"},
       "D/nan.csv:2: the value of ix 0, iy 0 is not finite (nan)"},
      {{"metrics", "O", "--image", "D/none.npy"},
       "D/none.npy: cannot read: No such file or directory"},
      {{"metrics", "O", "--sinogram", "D/s.csv", "--angles", "D/a.txt"},
       "D/s.csv has 2 views (rows), but there are 3 angles"},
      {{"metrics", "O", "--sinogram", "D/s.csv", "--detectors", "3"},
       "D/s.csv has 2 bins a view, but --detectors is 3"},
      {{"metrics", "O", "--sinogram", "D/s.csv", "--photons", "9"},
       "--sinogram and --photons do not go together: a given sinogram is not scanned"},
      {{"metrics", "O", "--image", "D/s.csv", "--projector", "exact"},
       "--image is scanned by the grid projector, not by --projector exact"},
      {{"reconstruction", "D/s.csv", "--sinogram", "D/s.csv"},
       "'D/s.csv' is the sinogram file: it would be overwritten"},
      {{"sinogram", "O.npy", "--sinogram", "D/s.csv"},
       "--sinogram applies only to reconstruction, difference and metrics, not to sinogram"},
      {{"metrics", "O", "--method", "sirt", "--relaxation", "2"},
       "bad relaxation '2' (more than 0 and less than 2)"},
      {{"metrics", "O", "--method", "cgls", "--nonnegative"},
       "--nonnegative applies only to --method sirt or sart"},
      {{"metrics", "O", "--history", "D/h.csv"},
       "--history applies only to --method sirt, sart or cgls"},
      {{"reconstruction", "O.csv", "--mask", "circle"},
       "--mask applies only to difference and metrics, not to reconstruction"},
      {{"metrics", "O", "--mask", "square"}, "bad mask 'square' (circle or none)"},
      {{"metrics", "O", "--region", "1,2,3"},
       "bad region '1,2,3' (L,T,R,B: four whole numbers, the columns L to R-1 and rows T to B-1)"},
      {{"metrics", "O", "--region", "1,2,3,4,"},
       "bad region '1,2,3,4,' (L,T,R,B: four whole numbers, the columns L to R-1 and rows T to "
       "B-1)"},
      {{"metrics", "O", "--region", "0,0,129,10"},
       "bad region '0,0,129,10' (the rectangle must hold pixels of the 128 x 128 image, not "
       "left 0, top 0, right 129, bottom 10 (right and bottom excluded))"},
      {{"metrics", "O", "--region", "5,0,5,10", "--grid-size", "64"},
       "bad region '5,0,5,10' (the rectangle must hold pixels of the 64 x 64 image, not left 5, "
       "top 0, right 5, bottom 10 (right and bottom excluded))"},
      {{"metrics", "O", "--region", "0,0,8,8", "--mask", "circle"},
       "--region and --mask do not go together: each chooses the region"},
      {{"sinogram", "O.csv", "--region", "0,0,8,8"},
       "--region applies only to difference and metrics, not to sinogram"},
      {{"grid", "O.npy", "--grid-size", "4097"},
       "bad grid-size '4097' (a whole number from 8 to 4096)"},
      {{"chart", "O.png", "--grid-size", "64"},
       "--grid-size applies only to grid, sinogram, reconstruction, difference and metrics, not to "
       "chart"},
      {{"grid", "O.jpg", "--grid-size", "64"},
       "'O.jpg' ends in none of .png, .csv, .npy, .tif, .tiff: give --format (grid writes png, "
       "csv, npy or tiff)"},
  };
  const QString d = dir.path();
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QRegularExpression("^D/"), d + "/");
    args.replaceInStrings(QRegularExpression("^O"), d + "/out");
    const std::string shown = args.join(' ').toStdString();
    const Result r = Export(args);
    EXPECT_EQ(r.exitCode, 2) << shown;
    EXPECT_EQ(r.err.toStdString(), "quarvel-export: " +
                                       QString(c.message)
                                           .replace("D/", d + "/")
                                           .replace("'O", "'" + d + "/out")
                                           .toStdString() +
                                       "\n");
    EXPECT_EQ(QDir(d).entryList({"out*"}).size(), 0) << shown;
  }
}

}  // namespace
