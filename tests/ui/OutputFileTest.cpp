// The writer where the file system shows its rules: symbolic links, the bits a replaced
// file keeps, and the temporary file when a signal ends the program in mid-write.

#include "ui/OutputFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
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
};

TEST_F(OutputFile, WritesThroughSymbolicLinksToTheFileTheyName) {
  // Each link dangles until it is written through; "chain" reaches new.csv through another.
  const struct {
    const char* link;
    QString linksTo;
    const char* written;
  } cases[] = {
      {"relative", "new.csv", "new.csv"},
      {"absolute", Path("absolute.csv"), "absolute.csv"},
      {"chain", "relative", "new.csv"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(symlink(c.linksTo.toStdString().c_str(), Path(c.link).toStdString().c_str()), 0);
    WriteOutputFile(Path(c.link), c.link);
    QFile written(Path(c.written));
    EXPECT_TRUE(written.open(QIODevice::ReadOnly) && written.readAll() == c.link) << c.link;
    EXPECT_TRUE(QFileInfo(Path(c.link)).isSymLink()) << c.link;
  }
  EXPECT_EQ(Entries(), (QStringList{"absolute", "absolute.csv", "chain", "new.csv", "relative"}));
  ASSERT_EQ(symlink("loop", Path("loop").toStdString().c_str()), 0);
  EXPECT_THROW(WriteOutputFile(Path("loop"), "x"), EOutputError);
}

TEST_F(OutputFile, AReplacedFileKeepsItsPermissionsButNotSetUserOrGroupId) {
  WriteOutputFile(Path("tool"), "old");
  ASSERT_EQ(chmod(Path("tool").toStdString().c_str(), 06751), 0);
  WriteOutputFile(Path("tool"), "new");
  struct stat s;
  ASSERT_EQ(stat(Path("tool").toStdString().c_str(), &s), 0);
  EXPECT_EQ(s.st_mode & 07777, 0751u);
}

// A child process writes a file large enough to take a while; once its temporary file
// shows, the signal ends it. The signal must end it, and nothing but the finished
// target may remain.
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
