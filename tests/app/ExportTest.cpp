// The export tool as a user runs it: a separate process, its exit codes, messages and
// files.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <charconv>
#include <string>

#include "Golden.h"
#include "Process.h"

#ifndef QUARVEL_EXPORT_PROGRAM
#error "QUARVEL_EXPORT_PROGRAM must name the export tool"
#endif

namespace {

using Result = quarvel::testing::ProcessResult;

Result Export(const QStringList& args) {
  return quarvel::testing::RunProcess(QUARVEL_EXPORT_PROGRAM, args);
}

class ExportTool : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) { return dir.filePath(name); }
};

TEST_F(ExportTool, WindowEqualsTheGoldenPicture) {
  const char* resolutions[] = {"128x128", "256x256", "512x512"};
  const char* goldens[] = {"toolkit/window_128", "toolkit/window_256", "toolkit/window_512"};
  for (int i = 0; i < 3; ++i) {
    const Result r = Export({"window", Path("w.png"), "--resolution", resolutions[i]});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(quarvel::testing::CompareWithGolden(QImage(Path("w.png")), goldens[i]), "")
        << resolutions[i];
  }
}

TEST_F(ExportTool, PicturesHaveTheirSizes) {
  const struct {
    QStringList args;
    QSize size;
  } cases[] = {
      {{"chart", "PATH"}, {651, 302}},
      {{"chart", "PATH", "--size", "1x1"}, {1, 1}},
      {{"chart", "PATH", "--size", "300x200", "--resolution", "512x512"}, {300, 200}},
      {{"grid", "PATH"}, {128, 128}},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings("PATH", Path("p.png"));
    const Result r = Export(args);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QImage(Path("p.png")).size(), c.size) << args.join(' ').toStdString();
  }
  const QImage grid(Path("p.png"));
  EXPECT_EQ(qGreen(grid.pixel(53, 40)), 255);
  EXPECT_EQ(qRed(grid.pixel(53, 40)) + qBlue(grid.pixel(53, 40)), 0);
}

TEST_F(ExportTool, TablesAsCsv) {
  const struct {
    const char* name;
    QStringList args;
    const char* header;
    int rows;
  } cases[] = {
      {"the points at 128", {"points", "-"}, "index,x,y,kind", 128},
      {"the points at 256", {"points", "-", "--resolution", "256x256"}, "index,x,y,kind", 255},
      {"the points at 512", {"points", "-", "--resolution", "512x512"}, "index,x,y,kind", 509},
      {"the projection", {"projection", "-"}, "ix,x,sum", 128},
      {"the grid as a table", {"grid", "-", "--format", "csv"}, "ix,iy,x,y,value", 128 * 128},
      {"the grid as a picture", {"grid", "-", "--format", "png"}, "", 0},
  };
  for (const auto& c : cases) {
    const Result r = Export(c.args);
    ASSERT_EQ(r.exitCode, 0) << c.name << ": " << r.err.toStdString();
    if (c.rows == 0) {
      EXPECT_TRUE(r.out.startsWith("\x89PNG")) << c.name;
      continue;
    }
    const QList<QByteArray> lines = r.out.trimmed().split('\n');
    EXPECT_EQ(lines[0].toStdString(), c.header) << c.name;
    EXPECT_EQ(lines.size() - 1, c.rows) << c.name;
  }
  const Result grid = Export({"grid", Path("g.csv")});
  ASSERT_EQ(grid.exitCode, 0);
  QFile f(Path("g.csv"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
  EXPECT_EQ(lines[0], "ix,iy,x,y,value");
  EXPECT_EQ(lines.size(), 1 + 128 * 128);
}

TEST_F(ExportTool, NumbersReadBackExactly) {
  const Result r = Export({"points", "-", "--resolution", "256x256"});
  const QList<QByteArray> lines = r.out.trimmed().split('\n');
  // Point 1 is the first inserted point, near (1.07341, 1.76197).
  const QList<QByteArray> fields = lines[2].split(',');
  ASSERT_EQ(fields.size(), 4);
  EXPECT_EQ(fields[3], "inserted");
  double x = 0;
  std::from_chars(fields[1].constData(), fields[1].constData() + fields[1].size(), x);
  EXPECT_NEAR(x, 1.07341, 1e-5);
  EXPECT_EQ(lines[1], "0,1,1.7012315236006417,sample");
}

TEST_F(ExportTool, ErrorsAreOneClearLineAndLeaveNoFile) {
  QDir(dir.path()).mkdir("existing-folder");
  const struct {
    QStringList args;
    int code;
    const char* message;
  } cases[] = {
      {{"bogus", "PATH"}, 2, "quarvel-export: unknown command 'bogus' (see --help)\n"},
      {{"points", "PATH", "--resolution", "300x300"},
       2,
       "quarvel-export: bad resolution '300x300' (128x128, 256x256 or 512x512)\n"},
      {{"chart", "PATH", "--size", "0x10"},
       2,
       "quarvel-export: bad size '0x10' (WxH, each from 1 to 8000)\n"},
      {{"chart", "PATH", "--size", "8001x10"},
       2,
       "quarvel-export: bad size '8001x10' (WxH, each from 1 to 8000)\n"},
      {{"chart"}, 2, "quarvel-export: expected a command and a file (see --help)\n"},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings("PATH", Path("out.png"));
    const Result r = Export(args);
    EXPECT_EQ(r.exitCode, c.code) << args.join(' ').toStdString();
    EXPECT_EQ(r.err.toStdString(), c.message);
    EXPECT_FALSE(QFile::exists(Path("out.png")));
  }
  const Result unwritable = Export({"points", Path("existing-folder")});
  EXPECT_EQ(unwritable.exitCode, 1);
  EXPECT_TRUE(unwritable.err.startsWith("quarvel-export: cannot write "));
  EXPECT_EQ(unwritable.err.count('\n'), 1);
  const Result missingFolder = Export({"points", Path("no/such/folder.csv")});
  EXPECT_EQ(missingFolder.exitCode, 1);
  // Nothing but the folder made above is left behind.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"existing-folder"});
}

TEST_F(ExportTool, HelpAndVersion) {
  const Result help = Export({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: quarvel-export [options] <command> <file>\n"));
  EXPECT_TRUE(help.out.contains("points <file>"));
  const Result version = Export({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(version.out.startsWith("quarvel-export "));
}

}  // namespace
