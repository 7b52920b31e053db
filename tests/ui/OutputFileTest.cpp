// The writer's temporary file when a signal ends the program in mid-write; outputs
// produced in pieces, names that stand for descriptors, and pictures without memory.

#include "ui/OutputFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <new>
#include <string>
#include <thread>

#include "base/Exception.h"
#include "ui/ExportView.h"
#include "ui/TomographyExport.h"

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

// A child process writes a file slowly, a piece a millisecond for about twenty seconds,
// so that the test sees its temporary file however busy the machine is (a file written
// at once could come and go before the parent looked); once it shows, the signal ends
// the child. The signal must end it, and nothing but the finished target may remain.
TEST_F(OutputFile, AnEndingSignalRemovesTheTemporaryFile) {
  const std::string piece(4096, 'x');
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (const int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
      try {
        WriteOutputFile(Path("big.bin"), [&](TOutputSink& sink) {
          for (int i = 0; i < 20000; ++i) {
            sink.Write(piece);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
        });
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

// Under nohup SIGHUP is ignored before the program starts: the writer leaves it so, and
// the hang-up during a write changes nothing (the file is written whole).
TEST_F(OutputFile, AnIgnoredSignalStaysIgnored) {
  const QByteArray big(64 << 20, 'x');
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGHUP, SIG_IGN);
    try {
      WriteOutputFile(Path("big.bin"), big);
      struct sigaction after {};
      ::sigaction(SIGHUP, nullptr, &after);
      _exit(after.sa_handler == SIG_IGN ? 0 : 4);  // NOLINT: the C macro's cast
    } catch (...) {
      _exit(3);
    }
  }
  bool seen = false;
  for (int i = 0; i < 20000 && !seen; ++i) {
    for (const QString& e : Entries()) seen = seen || e.startsWith('.');
    if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  kill(child, SIGHUP);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(QFileInfo(Path("big.bin")).size(), big.size());
  EXPECT_EQ(Entries(), QStringList{"big.bin"});
}

// A producer that fails halfway (as when memory runs out) replaces nothing and leaves no
// temporary file; one that succeeds writes every piece in order.
TEST_F(OutputFile, AProducerThatFailsReplacesNothing) {
  WriteOutputFile(Path("a.csv"), QByteArray("old\n"));
  EXPECT_THROW(WriteOutputFile(Path("a.csv"),
                               [](TOutputSink& sink) {
                                 sink.Write("new,");
                                 throw std::bad_alloc();
                               }),
               std::bad_alloc);
  QFile kept(Path("a.csv"));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "old\n");
  EXPECT_EQ(Entries(), QStringList{"a.csv"});
}

std::string FailureOf(const std::function<void()>& make) {
  try {
    make();
  } catch (const Exception& e) {
    return e.what();
  }
  return "no error";
}

// Under an address space cut to what is in use plus 2 MB, the 4 MB grey and 12 MB colour
// pictures of a 2048 x 2048 array cannot be had. Ends the process: 0 when both failed
// with the message that names the size.
[[noreturn, maybe_unused]] void PicturesUnderATightLimit() {
  const TArray2D array(2048, 2048);
  long pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  rlimit limit{};
  getrlimit(RLIMIT_AS, &limit);
  const rlim_t tight = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(2) << 20);
  limit.rlim_cur = limit.rlim_cur == RLIM_INFINITY ? tight : std::min(tight, limit.rlim_cur);
  if (pages <= 0 || setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
  const std::string grey = FailureOf([&] { GreyPicture(array); });
  const std::string diverging = FailureOf([&] { DivergingPicture(array); });
  std::fprintf(stderr, "%s\n%s\n", grey.c_str(), diverging.c_str());
  std::_Exit(
      grey == "not enough memory for a picture of 2048 x 2048 pixels" && diverging == grey ? 0 : 1);
}

// A picture whose pixels cannot be had is an error naming its size, never a write through
// the null image's scan lines; a null image handed to the encoder is one too. The limit
// is set in a process of its own, started afresh (a heap that earlier tests left with
// free blocks would give the picture its pixels without new address space), and not
// under a sanitizer, whose shadow memory takes the address space before main.
TEST(Pictures, WithoutMemoryThePictureIsAnError) {
  EXPECT_EQ(FailureOf([] { PngBytes(QImage()); }), "not enough memory for the picture");
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "no address-space limit under a sanitizer";
#else
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(PicturesUnderATightLimit(), ::testing::ExitedWithCode(0), "");
#endif
}

TEST_F(OutputFile, ChunkedTextArrivesWholeInMebibyteChunks) {
  struct Chunks final : TOutputSink {
    void Write(std::string_view bytes) override {
      sizes.push_back(bytes.size());
      text += bytes;
    }
    std::vector<std::size_t> sizes;
    std::string text;
  } sink;
  TChunkedText out(sink);
  std::string expected;
  for (int i = 0; i < 300000; ++i) {
    out << i << ',' << std::string_view("row") << '\n';
    expected += std::to_string(i) + ",row\n";
  }
  out.Finish();
  EXPECT_EQ(sink.text, expected);
  ASSERT_GE(sink.sizes.size(), 3u);
  for (std::size_t i = 0; i + 1 < sink.sizes.size(); ++i) {
    EXPECT_GE(sink.sizes[i], std::size_t(1) << 20);
    EXPECT_LT(sink.sizes[i], (std::size_t(1) << 20) + 64);
  }
}

TEST(DescriptorNames, StandForTheirDescriptors) {
  const std::string own = "/proc/" + std::to_string(getpid()) + "/fd/";
  const struct {
    std::string name;
    int fd;
  } cases[] = {
      {"/dev/stdout", 1},
      {"/dev/stderr", 2},
      {"/dev/stdin", 0},
      {"/dev/fd/3", 3},
      {"/proc/self/fd/12", 12},
      {"/proc/thread-self/fd/4", 4},
      {own + "5", 5},
      {"/proc/1/fd/5", getpid() == 1 ? 5 : -1},  // another process's descriptor
      {"/dev/fd/", -1},
      {"/dev/fd/3x", -1},
      {"/dev/fd/+3", -1},
      {"/dev/fd/-1", -1},
      {"/dev/fd/99999999999", -1},
      {"dev/stdout", -1},
      {"/dev/stdout/", -1},
      {"out.csv", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(DescriptorOfName(c.name), c.fd) << c.name;
}

// Written through the descriptor as it is open: appending where it appends.
TEST_F(OutputFile, ADescriptorNameAppendsWhereTheDescriptorAppends) {
  const std::string log = Path("log.csv").toStdString();
  WriteOutputFile(Path("log.csv"), QByteArray("first\n"));
  const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  WriteOutputFile(QString("/dev/fd/%1").arg(fd), QByteArray("second\n"));
  WriteOutputFile(QString("/proc/self/fd/%1").arg(fd), QByteArray("third\n"));
  ::close(fd);
  QFile file(Path("log.csv"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), "first\nsecond\nthird\n");
  EXPECT_EQ(Entries(), QStringList{"log.csv"});
}

}  // namespace
}  // namespace quarvel
