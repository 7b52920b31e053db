// The writer where the file system shows its rules: symbolic links, the bits a replaced
// file keeps, and the temporary file when a signal ends the program in mid-write.

#include "ui/OutputFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

namespace quarvel {
namespace {

class OutputFile : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const QString& name) const { return dir.filePath(name); }
  QStringList Entries() const {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
  }
  QByteArray Read(const QString& name) const {
    QFile f(Path(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
  }
  bool IsLink(const QString& name) const {
    struct stat s;
    return lstat(Path(name).toStdString().c_str(), &s) == 0 && S_ISLNK(s.st_mode);
  }
};

TEST_F(OutputFile, WritesThroughSymbolicLinksToTheFileTheyName) {
  const struct {
    const char* name;
    const char* link;
    QString linksTo;
    const char* written;  // the file that holds the bytes afterwards
  } cases[] = {
      {"dangling, relative", "new-link", "new.csv", "new.csv"},
      {"dangling, absolute", "absolute-link", Path("absolute.csv"), "absolute.csv"},
      {"to an existing file, through another link", "chain", "new-link", "new.csv"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(symlink(c.linksTo.toStdString().c_str(), Path(c.link).toStdString().c_str()), 0);
    const QByteArray bytes = QByteArray("written through ") + c.link;
    WriteOutputFile(Path(c.link), bytes);
    EXPECT_TRUE(IsLink(c.link)) << c.name;
    EXPECT_EQ(Read(c.written), bytes) << c.name;
  }
  EXPECT_EQ(Entries(),
            (QStringList{"absolute-link", "absolute.csv", "chain", "new-link", "new.csv"}));
  ASSERT_EQ(symlink("loop", Path("loop").toStdString().c_str()), 0);
  try {
    WriteOutputFile(Path("loop"), "x");
    ADD_FAILURE() << "a loop of links was written";
  } catch (const EOutputError& e) {
    EXPECT_EQ(e.Message(),
              "cannot write " + Path("loop").toStdString() + ": Too many levels of symbolic links");
  }
}

TEST_F(OutputFile, AReplacedFileKeepsItsPermissionsButNotSetUserOrGroupId) {
  const std::string path = Path("tool").toStdString();
  WriteOutputFile(Path("tool"), "old");
  ASSERT_EQ(chmod(path.c_str(), 06751), 0);
  WriteOutputFile(Path("tool"), "new");
  struct stat s;
  ASSERT_EQ(stat(path.c_str(), &s), 0);
  EXPECT_EQ(s.st_mode & 07777, 0751u);
  EXPECT_EQ(Read("tool"), "new");
}

// A child process writes a file large enough to take a while; once its temporary file
// shows, the signal ends it. The signal must end it (no other exit), and nothing but
// the finished target may remain.
TEST_F(OutputFile, AnEndingSignalRemovesTheTemporaryFile) {
  const QByteArray big(64 << 20, 'x');
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
      try {
        WriteOutputFile(Path("big.bin"), big);
      } catch (...) {
        _exit(3);
      }
      _exit(0);
    }
    bool seen = false;
    for (int i = 0; i < 20000 && !seen; ++i) {
      for (const QString& e : Entries()) seen = seen || e.startsWith('.');
      if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    kill(child, signal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(seen) << signal;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << ": " << status;
    const QStringList left = Entries();
    EXPECT_TRUE(left.isEmpty() || left == QStringList{"big.bin"}) << left.join(' ').toStdString();
    QFile::remove(Path("big.bin"));
  }
}

}  // namespace
}  // namespace quarvel
