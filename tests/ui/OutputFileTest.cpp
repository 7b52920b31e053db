// The writer's temporary file when a signal ends the program in mid-write.

#include "ui/OutputFile.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
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
