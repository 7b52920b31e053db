// The export tool's contract as a user meets it: phantom files, the output kind, usage
// errors, and every kind of target (regular files, pipes, devices, sockets, standard
// output). Character devices are private nodes made with mknod in a temporary folder.

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>

#include "Process.h"

#ifndef QUARVEL_VIEW_PROGRAM
#error "QUARVEL_VIEW_PROGRAM must name the viewer"
#endif

namespace {

using Outcome = quarvel::testing::ProcessResult;

Outcome RunProgram(const QString& program, const QStringList& args,
                   const QStringList& environment = {}) {
  return quarvel::testing::RunProcess(program, args,
                                      quarvel::testing::EnvironmentWith(environment));
}

Outcome Export(const QStringList& args, const QStringList& environment = {}) {
  return RunProgram(QUARVEL_EXPORT_PROGRAM, args, environment);
}

// Through the shell, for redirections the test cannot make with QProcess.
Outcome Shell(const QString& command) {
  return RunProgram("/bin/sh", {"-c", command, QUARVEL_EXPORT_PROGRAM});
}

class ExportTarget : public ::testing::Test {
 protected:
  QTemporaryDir dir, inputs;
  QString Path(const QString& name) const { return dir.filePath(name); }
  QString Input(const QString& name, const std::string& text) const {
    QString path = inputs.filePath(name);
    std::ofstream(path.toStdString(), std::ios::binary) << text;
    return path;
  }
  QStringList Entries() const {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }
  static mode_t TypeOf(const QString& path) {
    struct stat s;
    return lstat(path.toStdString().c_str(), &s) == 0 ? (s.st_mode & S_IFMT) : 0;
  }
};

const QString kExample = QString(QUARVEL_DOCS_DIR) + "/phantom.csv";

TEST_F(ExportTarget, TheExamplePhantomGivesTheBuiltInOutputsByteForByte) {
  const QStringList cases[] = {
      {"points", "-"},
      {"points", "-", "--resolution", "256x256"},
      {"points", "-", "--resolution", "512x512"},
      {"projection", "-"},
      {"grid", "-", "--format", "csv"},
      {"grid", "-", "--format", "png"},
      {"window", "-", "--resolution", "512x512"},
      {"chart", "-", "--resolution", "256x256", "--size", "300x200"},
  };
  for (const QStringList& args : cases) {
    const Outcome builtIn = Export(args);
    const Outcome fromFile = Export(QStringList(args) << "--phantom" << kExample);
    ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err.toStdString();
    EXPECT_FALSE(builtIn.out.isEmpty());
    EXPECT_TRUE(builtIn.out == fromFile.out) << args.join(' ').toStdString();
  }
}

TEST_F(ExportTarget, ThePhantomDecidesTheNumbersWhateverTheLocale) {
  const QString one = Input("one.csv", "mx,dx,my,dy\n10.5,2.25,10.5,1.5\n");
  const QString withDisabled =
      Input("two.csv", "mx,dx,my,dy,enabled\n10.5,2.25,10.5,1.5,1\n3,1,3,1,false\n");
  const Outcome a = Export({"projection", "-", "--phantom", one});
  const Outcome b = Export({"projection", "-", "--phantom", withDisabled});
  const Outcome german =
      Export({"projection", "-", "--phantom", one}, {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8"});
  ASSERT_EQ(a.exitCode, 0) << a.err.toStdString();
  EXPECT_EQ(a.out, b.out);  // a disabled blob adds nothing
  EXPECT_EQ(a.out, german.out);
  EXPECT_NE(a.out, Export({"projection", "-"}).out);
  // The mean 10.5 lies halfway between columns 63 and 64, which hold the peak sum.
  EXPECT_TRUE(a.out.contains(
      "\n63,10.4251968503937,7.716080104030737\n64,10.5748031496063,7.716080104030737\n"));
}

TEST_F(ExportTarget, AnEmptyPhantomIsValidAndTheModelsOwnErrorExitsOne) {
  const QString empty = Input("empty.csv", "# nothing yet\nmx,dx,my,dy\n");
  const Outcome points = Export({"points", Path("p.csv"), "--phantom", empty});
  ASSERT_EQ(points.exitCode, 0) << points.err.toStdString();
  QFile f(Path("p.csv"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
  ASSERT_EQ(lines.size(), 129);
  EXPECT_EQ(lines[128], "127,20,0,sample");
  f.close();
  QFile::remove(Path("p.csv"));
  const Outcome fit =
      Export({"points", Path("p.csv"), "--phantom", empty, "--resolution", "512x512"});
  EXPECT_EQ(fit.exitCode, 1);
  EXPECT_EQ(fit.err.toStdString(),
            "quarvel-export: cannot resample to 512x512: two points share X = 1; X1 = 1; Y1 = 0; "
            "X2 = 1; Y2 = 4.2992125981467E-6\n");
  // A blob whose peak would overflow the grid (a denormal spread) is refused by the
  // reader, with its line and column, before the window's creation could fail on it.
  const QString overflow = Input("overflow.csv", "mx,dx,my,dy\n1,5e-324,1,1\n");
  const Outcome creation = Export({"grid", Path("g.png"), "--phantom", overflow});
  EXPECT_EQ(creation.exitCode, 2);
  EXPECT_EQ(creation.err.toStdString(),
            "quarvel-export: " + overflow.toStdString() +
                ":2:3: DX is too small: the blob's peak density would overflow a double (DX must "
                "be at least about 2.2e-309), not \"5e-324\"\n");
  EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(ExportTarget, EveryUsageErrorExitsTwoWithOneLineAndWritesNothing) {
  const QString bad = Input("bad.csv", "mx,dx,my,dy\n7,2,12,2\n9,-3,7,1\n");
  const QString missing = inputs.filePath("missing.csv");
  const struct {
    QStringList args;
    std::string message;
  } cases[] = {
      {{"points", "P.csv", "--bogus"}, "unknown option 'bogus' (see --help)"},
      {{"points", "P.csv", "--resolution"}, "missing value after '--resolution' (see --help)"},
      {{"points", "P.csv", "--phantom"}, "missing value after '--phantom' (see --help)"},
      {{"grid", "P.jpg"},
       "'P.jpg' ends in neither .png nor .csv: give --format (grid writes png or csv)"},
      {{"window", "P.txt"},
       "'P.txt' ends in neither .png nor .csv: give --format (window writes png)"},
      {{"grid", "-"}, "grid writes png or csv: give --format for '-'"},
      {{"grid", "P"}, "grid writes png or csv: give --format for 'P'"},
      {{"points", "P.png"}, "points writes csv, but 'P.png' ends in .png"},
      {{"window", "P.csv"}, "window writes png, but 'P.csv' ends in .csv"},
      {{"projection", "-", "--format", "png"}, "projection writes csv, not png"},
      {{"chart", "P.png", "--format", "csv"}, "'P.png' ends in .png, but the format is csv"},
      {{"grid", "P.csv", "--format", "png"}, "'P.csv' ends in .csv, but the format is png"},
      {{"grid", "P.png", "--format", "jpeg"}, "bad format 'jpeg' (png or csv)"},
      {{"window", "P.png", "--size", "100x100"}, "--size applies only to chart, not to window"},
      {{"grid", "P.csv", "--size", "100x100"}, "--size applies only to chart, not to grid"},
      {{"points", "P.csv", "--size", "651x302"}, "--size applies only to chart, not to points"},
      {{"points", "P.csv", "--phantom", bad},
       bad.toStdString() + ":3:3: DX must be finite and greater than 0, not \"-3\""},
      {{"points", "P.csv", "--phantom", missing},
       missing.toStdString() + ": cannot read: No such file or directory"},
      {{"points", "P.csv", "--phantom", inputs.path()},
       inputs.path().toStdString() + ": cannot read: Is a directory"},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QRegularExpression("^P"), Path("out"));
    const Outcome r = Export(args);
    std::string expected = c.message;
    for (std::size_t at; (at = expected.find("'P")) != std::string::npos;)
      expected.replace(at + 1, 1, Path("out").toStdString());
    EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
    EXPECT_EQ(r.err.toStdString(), "quarvel-export: " + expected + "\n");
    EXPECT_TRUE(r.out.isEmpty());
  }
  EXPECT_TRUE(Entries().isEmpty()) << Entries().join(' ').toStdString();
  // The explicit format takes any name that does not contradict it.
  EXPECT_EQ(Export({"points", Path("p.txt"), "--format", "csv"}).exitCode, 0);
  EXPECT_EQ(Export({"grid", Path("g"), "--format", "png"}).exitCode, 0);
  EXPECT_EQ(QFile(Path("g")).size() > 0 && QFile(Path("p.txt")).size() > 0, true);
}

TEST_F(ExportTarget, TheViewerRefusesABadPhantomBeforeItNeedsADisplay) {
  const QString bad = Input("bad.csv", "mx,dx,my\n");
  const Outcome r = RunProgram(QUARVEL_VIEW_PROGRAM, {"--phantom", bad},
                               {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err.toStdString(),
            "quarvel-view: " + bad.toStdString() +
                ":1:9: expected the header \"mx,dx,my,dy\" or \"mx,dx,my,dy,enabled\"\n");
  const Outcome noValue = RunProgram(QUARVEL_VIEW_PROGRAM, {"--phantom"},
                                     {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  EXPECT_EQ(noValue.exitCode, 2);
  EXPECT_EQ(noValue.err.toStdString(),
            "quarvel-view: missing value after '--phantom' (see --help)\n");
}

TEST_F(ExportTarget, BothCommandLinesAreWordedAlike) {
  const QString view = QUARVEL_VIEW_PROGRAM, tool = QUARVEL_EXPORT_PROGRAM;
  const QString missing = inputs.filePath("missing.csv");
  const std::string dashes = "': long options take two dashes, as in '-";
  const struct {
    QString program;
    QStringList args;
    int exitCode;
    std::string out;  // how standard output starts
    std::string err;
  } cases[] = {
      {tool, {"-help"}, 2, "", "quarvel-export: unknown option '-help" + dashes + "-help'"},
      {view,
       {"-phantom", "p.csv"},
       2,
       "",
       "quarvel-view: unknown option '-phantom" + dashes + "-phantom'"},
      {tool, {"points", "-", "--phantom", "-p.csv"}, 2, "", "quarvel-export: -p.csv: cannot read"},
      {tool, {"--help-all"}, 2, "", "quarvel-export: unknown option 'help-all' (see --help)\n"},
      {tool,
       {"--help", "--phantom", missing},
       0,
       "Usage: quarvel-export [options] <command> <file>\n",
       ""},
      {view, {"--phantom", missing, "--version"}, 0, "quarvel-view ", ""},
      {view, {"--help"}, 0, "Usage: quarvel-view [options]\n", ""},
  };
  for (const auto& c : cases) {
    const Outcome r = RunProgram(c.program, c.args, {"DISPLAY=", "WAYLAND_DISPLAY="});
    const std::string name = c.args.join(' ').toStdString();
    EXPECT_EQ(r.exitCode, c.exitCode) << name;
    EXPECT_TRUE(r.out.startsWith(c.out.c_str())) << name << ": " << r.out.toStdString();
    EXPECT_EQ(r.err.toStdString().substr(0, c.err.size()), c.err) << name;
    EXPECT_TRUE(c.err.empty() ? r.err.isEmpty() : r.err.count('\n') == 1) << name;
  }
}

TEST_F(ExportTarget, AnOutputThatIsThePhantomFileIsRefusedAndNothingIsWritten) {
  const std::string text = "mx,dx,my,dy\n7,2,12,2\n";
  std::ofstream(Path("my.csv").toStdString(), std::ios::binary) << text;
  ASSERT_EQ(symlink("my.csv", Path("link.csv").toStdString().c_str()), 0);
  ASSERT_EQ(link(Path("my.csv").toStdString().c_str(), Path("hard.csv").toStdString().c_str()), 0);
  // "$0" is the export tool, and "@" the temporary folder.
  const char* cases[][2] = {
      {"points '@my.csv' --phantom '@my.csv'", "'@my.csv'"},
      {"points '@link.csv' --phantom '@my.csv'", "'@link.csv'"},
      {"grid '@hard.csv' --phantom '@my.csv'", "'@hard.csv'"},
      {"points - --phantom '@my.csv' >> '@my.csv'", "standard output"},
      {"points '@my.csv' --phantom - < '@my.csv'", "'@my.csv'"},
  };
  const auto inFolder = [this](const char* named) {
    return QString(named).replace("@", dir.path() + "/");
  };
  for (const auto& [command, target] : cases) {
    const Outcome r = Shell("\"$0\" " + inFolder(command));
    EXPECT_EQ(r.exitCode, 2) << command;
    EXPECT_EQ(r.err, "quarvel-export: " + inFolder(target).toUtf8() +
                         " is the phantom file: it would be overwritten\n")
        << command;
  }
  std::ifstream in(Path("my.csv").toStdString(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), text);
  EXPECT_EQ(Entries(), (QStringList{"hard.csv", "link.csv", "my.csv"}));
}

TEST_F(ExportTarget, StandardStreams) {
  // A reader that leaves early ends the tool quietly, as SIGPIPE ends other tools.
  const Outcome cut = RunProgram(
      "/bin/bash", {"-c", "set -o pipefail; \"$0\" grid - --format csv | head -c 10 >/dev/null",
                    QUARVEL_EXPORT_PROGRAM});
  EXPECT_TRUE(cut.exitCode == 141 || cut.exitCode == 0) << cut.exitCode;
  EXPECT_EQ(cut.err.toStdString(), "");
  // The phantom from standard input, for both programs.
  const Outcome fromInput = Shell("\"$0\" projection - --phantom - < '" + kExample + "'");
  EXPECT_EQ(fromInput.exitCode, 0) << fromInput.err.toStdString();
  EXPECT_EQ(fromInput.out, Export({"projection", "-"}).out);
  const QString bad = Input("bad.csv", "mx,dx,my\n");
  const Outcome viewer =
      RunProgram("/bin/sh", {"-c", "\"$0\" --phantom - < '" + bad + "'", QUARVEL_VIEW_PROGRAM},
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "QT_QPA_PLATFORM="});
  EXPECT_EQ(viewer.exitCode, 2);
  EXPECT_EQ(viewer.err.toStdString(),
            "quarvel-view: standard input:1:9: expected the header \"mx,dx,my,dy\" or "
            "\"mx,dx,my,dy,enabled\"\n");
}

TEST_F(ExportTarget, RegularFilesAreReplacedWholeKeepingTheirPermissions) {
  const QString target = Path("p.csv");
  { std::ofstream(target.toStdString()) << "old"; }
  // Not set-user-ID and set-group-ID, though: the new file is the writer's.
  ASSERT_EQ(chmod(target.toStdString().c_str(), 06640), 0);
  struct stat before, after;
  stat(target.toStdString().c_str(), &before);
  ASSERT_EQ(Export({"points", target}).exitCode, 0);
  stat(target.toStdString().c_str(), &after);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old one
  EXPECT_TRUE(QFile(target).open(QIODevice::ReadOnly));
  // Through a symbolic link the linked file is replaced and the link stays.
  ASSERT_EQ(symlink("p.csv", Path("link.csv").toStdString().c_str()), 0);
  ASSERT_EQ(Export({"projection", Path("link.csv")}).exitCode, 0);
  EXPECT_EQ(TypeOf(Path("link.csv")), S_IFLNK);
  QFile linked(target);
  ASSERT_TRUE(linked.open(QIODevice::ReadOnly));
  EXPECT_TRUE(linked.readLine().startsWith("ix,x,sum"));
  // A link that names no file yet makes it, as the shell's ">" does.
  ASSERT_EQ(symlink("new.csv", Path("dangling.csv").toStdString().c_str()), 0);
  ASSERT_EQ(Export({"projection", Path("dangling.csv")}).exitCode, 0);
  EXPECT_EQ(TypeOf(Path("dangling.csv")), S_IFLNK);
  EXPECT_EQ(TypeOf(Path("new.csv")), S_IFREG);
  EXPECT_EQ(Entries(), (QStringList{"dangling.csv", "link.csv", "new.csv", "p.csv"}));
}

TEST_F(ExportTarget, OutputErrorsNameTheFileAndTheReasonAndLeaveNothing) {
  QDir(dir.path()).mkdir("folder");
  const struct {
    QStringList args;
    std::string message;
  } cases[] = {
      {{"points", Path("folder")},
       "cannot write " + Path("folder").toStdString() + ": Is a directory"},
      {{"points", Path("none/p.csv")},
       "cannot write " + Path("none/p.csv").toStdString() + ": No such file or directory"},
      {{"points", Path("folder/") + QString(300, 'x') + ".csv"},
       "cannot write " + (Path("folder/") + QString(300, 'x')).toStdString() +
           ".csv: File name too long"},
  };
  for (const auto& c : cases) {
    const Outcome r = Export(c.args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.toStdString(), "quarvel-export: " + c.message + "\n");
  }
  if (geteuid() != 0) {
    QDir(dir.path()).mkdir("locked");
    chmod(Path("locked").toStdString().c_str(), 0555);
    const Outcome r = Export({"points", Path("locked/p.csv")});
    EXPECT_EQ(r.err.toStdString(), "quarvel-export: cannot write " +
                                       Path("locked/p.csv").toStdString() +
                                       ": Permission denied\n");
    chmod(Path("locked").toStdString().c_str(), 0755);
    { std::ofstream(Path("readonly.csv").toStdString()) << "keep"; }
    chmod(Path("readonly.csv").toStdString().c_str(), 0444);
    const Outcome readOnly = Export({"points", Path("readonly.csv")});
    EXPECT_EQ(readOnly.err.toStdString(), "quarvel-export: cannot write " +
                                              Path("readonly.csv").toStdString() +
                                              ": Permission denied\n");
    EXPECT_EQ(QFile(Path("readonly.csv")).size(), 4);
  }
  EXPECT_EQ(
      QDir(Path("folder")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(),
      0);
}

TEST_F(ExportTarget, StandardOutputIsWrittenDirectlyAndChecked) {
  const Outcome closed = Shell("\"$0\" points - >&-");
  EXPECT_EQ(closed.exitCode, 1);
  EXPECT_EQ(closed.err.toStdString(),
            "quarvel-export: cannot write to standard output: Bad file descriptor\n");
  const Outcome piped = Shell("\"$0\" grid - --format csv | wc -l");
  EXPECT_EQ(piped.exitCode, 0);
  EXPECT_EQ(piped.out.trimmed(), "16385");
}

TEST_F(ExportTarget, AFifoIsWrittenInPlaceAndAReaderGoingAwayIsAnError) {
  const QString fifo = Path("pipe");
  ASSERT_EQ(mkfifo(fifo.toStdString().c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    std::ifstream in(fifo.toStdString(), std::ios::binary);
    received.assign(std::istreambuf_iterator<char>(in), {});
  });
  const Outcome r = Export({"grid", fifo, "--format", "csv"});
  reader.join();
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_EQ(received.substr(0, 16), "ix,iy,x,y,value\n");
  EXPECT_EQ(std::count(received.begin(), received.end(), '\n'), 1 + 128 * 128);
  EXPECT_EQ(TypeOf(fifo), S_IFIFO);
  // A reader that reads a little and leaves: the writer learns it from its write.
  std::thread leaver([&] {
    std::ifstream in(fifo.toStdString(), std::ios::binary);
    char some[10];
    in.read(some, sizeof some);
  });
  const Outcome broken = Export({"grid", fifo, "--format", "csv"});
  leaver.join();
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.err.toStdString(),
            "quarvel-export: cannot write " + fifo.toStdString() + ": Broken pipe\n");
  EXPECT_EQ(TypeOf(fifo), S_IFIFO);
}

TEST_F(ExportTarget, ASocketIsNeverReplaced) {
  const std::string path = Path("sock").toStdString();
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::copy(path.begin(), path.end(), address.sun_path);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const Outcome r = Export({"points", Path("sock")});
  close(fd);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err.toStdString(),
            "quarvel-export: cannot write " + path + ": No such device or address\n");
  EXPECT_EQ(TypeOf(Path("sock")), S_IFSOCK);
}

TEST_F(ExportTarget, CharacterDevicesAreWrittenInPlace) {
  if (geteuid() != 0) GTEST_SKIP() << "making private device nodes with mknod needs root";
  const QString null = Path("null"), full = Path("full");
  ASSERT_EQ(mknod(null.toStdString().c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
  ASSERT_EQ(mknod(full.toStdString().c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
  const Outcome toNull = Export({"chart", null, "--size", "200x100"});
  EXPECT_EQ(toNull.exitCode, 0) << toNull.err.toStdString();
  const Outcome toFull = Export({"points", full});
  EXPECT_EQ(toFull.exitCode, 1);
  EXPECT_EQ(toFull.err.toStdString(),
            "quarvel-export: cannot write " + full.toStdString() + ": No space left on device\n");
  const Outcome stdoutFull = Shell("\"$0\" projection - > '" + full + "'");
  EXPECT_EQ(stdoutFull.exitCode, 1);
  EXPECT_EQ(stdoutFull.err.toStdString(),
            "quarvel-export: cannot write to standard output: No space left on device\n");
  EXPECT_EQ(TypeOf(null), S_IFCHR);
  EXPECT_EQ(TypeOf(full), S_IFCHR);
  EXPECT_EQ(Entries(), (QStringList{"full", "null"}));
}

}  // namespace
