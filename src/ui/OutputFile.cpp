#include "ui/OutputFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/random.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ScopeExit.h"
#include "ui/CommandLine.h"

namespace quarvel {
namespace {

// `target` is the name as shown (cut beyond the path limit, see ShownValue).
[[noreturn]] void Fail(const std::string& target, int error) {
  throw EOutputError("cannot write " + target + ": " + std::strerror(error));
}

// Writes all bytes to an open descriptor; 0, or the errno of the failing call.
int WriteAll(int fd, std::string_view bytes) {
  const char* at = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, at, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    at += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

// A failed write inside a producer, carried out of it to the code that owns the file.
struct WriteFailed {
  int error;
};

class DescriptorSink final : public TOutputSink {
 public:
  explicit DescriptorSink(int fd) : fd_(fd) {}
  void Write(std::string_view bytes) override {
    if (const int error = WriteAll(fd_, bytes)) throw WriteFailed{error};
  }

 private:
  int fd_;
};

// Runs the producer into `fd`: 0, or the errno of the failing write. Whatever else the
// producer raises goes on to the caller.
int Produce(int fd, const TOutputProducer& produce) {
  DescriptorSink sink(fd);
  try {
    produce(sink);
  } catch (const WriteFailed& failed) {
    return failed.error;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// The temporary file and the signals that end the program while it exists. The
// handler may call only async-signal-safe functions, so the name (within its folder,
// whose descriptor is kept beside it) waits in a fixed buffer; it is set and cleared
// with the signals blocked, so that the handler never sees half a name, nor removes a
// name that another file has taken since.

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};
char gTemporary[NAME_MAX + 1];
int gTemporaryFolder = -1;
volatile std::sig_atomic_t gTemporaryLive = 0;

extern "C" void RemoveTemporaryAndEnd(int signal) {
  if (gTemporaryLive) ::unlinkat(gTemporaryFolder, gTemporary, 0);
  gTemporaryLive = 0;
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  ::sigaction(signal, &standard, nullptr);
  ::raise(signal);  // delivered, with the default action, once the handler returns
}

// While it lives the ending signals remove the temporary file it tracks; a signal the
// program ignores (as under nohup) stays ignored. The dispositions before it come back
// when it goes.
class TemporaryFileGuard {
 public:
  TemporaryFileGuard() {
    sigemptyset(&signals_);
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i) {
      ::sigaction(kEndingSignals[i], nullptr, &previous_[i]);
      if (previous_[i].sa_handler == SIG_IGN) continue;  // NOLINT: the C macro's cast
      struct sigaction ours {};
      ours.sa_handler = RemoveTemporaryAndEnd;
      sigemptyset(&ours.sa_mask);
      ::sigaction(kEndingSignals[i], &ours, nullptr);
      sigaddset(&signals_, kEndingSignals[i]);
    }
  }
  ~TemporaryFileGuard() {
    Untrack();
    for (std::size_t i = 0; i < kEndingSignals.size(); ++i)
      ::sigaction(kEndingSignals[i], &previous_[i], nullptr);
  }
  TemporaryFileGuard(const TemporaryFileGuard&) = delete;
  TemporaryFileGuard& operator=(const TemporaryFileGuard&) = delete;

  // A new file in `folder` (a descriptor) named `name` with its six trailing X replaced
  // by random letters, as mkstemp makes one, tracked from the moment it exists; -1 and
  // errno on failure.
  int Create(int folder, std::string& name) {
    if (name.size() >= sizeof gTemporary) {
      errno = ENAMETOOLONG;
      return -1;
    }
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
      unsigned char random[6];
      if (::getrandom(random, sizeof random, 0) != sizeof random) return -1;
      for (std::size_t i = 0; i < 6; ++i)
        name[name.size() - 6 + i] = kLetters[random[i] % (sizeof kLetters - 1)];
      Block();
      const int fd = ::openat(folder, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      const int error = errno;
      if (fd >= 0) {
        std::memcpy(gTemporary, name.c_str(), name.size() + 1);
        gTemporaryFolder = folder;
        gTemporaryLive = 1;
      }
      Unblock();
      errno = error;
      if (fd >= 0 || error != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
  }
  // Renames the tracked file to `target` in the same folder (0, or errno), or removes it
  // when `error` is set.
  int Finish(int folder, const std::string& name, const std::string& target, int error) {
    Block();
    if (error == 0 && ::renameat(folder, name.c_str(), folder, target.c_str()) != 0) error = errno;
    if (error != 0) ::unlinkat(folder, name.c_str(), 0);
    gTemporaryLive = 0;
    Unblock();
    return error;
  }

 private:
  void Untrack() {
    Block();
    gTemporaryLive = 0;
    Unblock();
  }
  void Block() { ::pthread_sigmask(SIG_BLOCK, &signals_, &mask_); }
  void Unblock() { ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr); }

  sigset_t signals_{};
  sigset_t mask_{};
  std::array<struct sigaction, kEndingSignals.size()> previous_{};
};

// ---------------------------------------------------------------------------

// Writes the producer's bytes to an open descriptor the caller keeps; standard output's
// buffer goes first. Standard output whose reader went away is EOutputClosed.
void WriteDescriptor(int fd, const std::string& shown, const TOutputProducer& produce) {
  int error = fd == STDOUT_FILENO && std::fflush(stdout) != 0 ? errno : 0;
  if (error == 0) error = Produce(fd, produce);
  if (error == 0) return;
  const std::string message = "cannot write " + shown + ": " + std::strerror(error);
  if (error == EPIPE && fd == STDOUT_FILENO) throw EOutputClosed(message);
  throw EOutputError(message);
}

// A target that is not a regular file (a character device, a FIFO, a socket) is
// written in place: replacing it would destroy it.
void WriteInPlace(const std::string& path, const std::string& shown,
                  const TOutputProducer& produce) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail(shown, errno);
  int error = 0;
  try {
    error = Produce(fd, produce);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (error != 0) {
    ::close(fd);
    Fail(shown, error);
  }
  if (::close(fd) != 0 && errno != EINTR) Fail(shown, errno);
}

// The rename is durable only once the folder that holds the name is on the disk too.
// A folder that cannot be opened for reading (mode -wx) leaves that to the system.
int SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  int error = ::fsync(fd) != 0 ? errno : 0;
  if (error == EINVAL) error = 0;  // a file system without syncing of folders
  ::close(fd);
  return error;
}

// A regular file is written under a temporary name beside it and renamed over it when
// complete, so that it is never seen half-written; on failure the temporary file goes.
// A new file gets the usual permissions (0666 less the umask), a replaced one keeps
// its, except set-user-ID and set-group-ID: the new file is the writer's.
void WriteAtomically(const std::string& target, const std::string& shown,
                     const struct stat* existing, const TOutputProducer& produce) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // The temporary name must fit where the target's name just fits.
  std::string temporary = "." + (base.size() > 200 ? std::string("quarvel") : base) + ".XXXXXX";
  const int folderFd =
      ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) Fail(shown, errno);
  const TScopeExit closeFolder([folderFd] { ::close(folderFd); });
  TemporaryFileGuard guard;
  const int fd = guard.Create(folderFd, temporary);
  if (fd < 0) Fail(shown, errno);
  int error = 0;
  mode_t mode;
  if (existing) {
    mode = existing->st_mode & 07777 & ~(S_ISUID | S_ISGID);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) error = errno;
  try {
    if (error == 0) error = Produce(fd, produce);
  } catch (...) {
    ::close(fd);
    guard.Finish(folderFd, temporary, base, ECANCELED);
    throw;
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  error = guard.Finish(folderFd, temporary, base, error);
  if (error == 0) error = SyncFolder(folder);
  if (error != 0) Fail(shown, error);
}

// The file a chain of symbolic links ends at, whether it exists or not: a relative link
// is read from the folder of the link. ELOOP after as many links as the system follows.
// A name on the way that stands for a descriptor ends the walk there.
std::string FollowLinks(std::string path, const std::string& shown) {
  for (int hops = 0; hops < 40; ++hops) {
    if (DescriptorOfName(path) >= 0) return path;
    struct stat s;
    if (::lstat(path.c_str(), &s) != 0 || !S_ISLNK(s.st_mode)) return path;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
    if (n < 0) Fail(shown, errno);
    link.resize(static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (link.empty() || link[0] == '/' || slash == std::string::npos) {
      path = link;
    } else {
      path.resize(slash + 1);
      path += link;
    }
  }
  Fail(shown, ELOOP);
}

}  // namespace

void WriteOutputFile(const QString& path, const QByteArray& bytes) {
  WriteOutputFile(path,
                  std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void WriteOutputFile(const QString& path, std::string_view bytes) {
  WriteOutputFile(path, [bytes](TOutputSink& sink) { sink.Write(bytes); });
}

void WriteOutputFile(const QString& path, const TOutputProducer& produce) {
  if (path == "-") {
    WriteDescriptor(STDOUT_FILENO, "to standard output", produce);
    return;
  }
  const std::string name = path.toStdString();
  if (name.empty()) throw EOutputError("the output file's name is empty");
  const std::string shown = ShownValue(name, kShownPathLength);
  // Through a symbolic link the file it names is written, not the link.
  const std::string file = FollowLinks(name, shown);
  if (const int fd = DescriptorOfName(file); fd >= 0) {
    if (::fcntl(fd, F_GETFL) == -1) Fail(shown, errno);
    WriteDescriptor(fd, shown, produce);
    return;
  }
  struct stat target;
  if (::stat(file.c_str(), &target) != 0) {
    if (errno != ENOENT) Fail(shown, errno);
    WriteAtomically(file, shown, nullptr, produce);
    return;
  }
  if (S_ISDIR(target.st_mode)) Fail(shown, EISDIR);
  if (!S_ISREG(target.st_mode)) {
    WriteInPlace(file, shown, produce);
    return;
  }
  // A file the user may not write is not replaced either, though its folder would allow it.
  if (::access(file.c_str(), W_OK) != 0) Fail(shown, errno);
  WriteAtomically(file, shown, &target, produce);
}

int DescriptorOfName(const std::string& name) {
  if (name == "/dev/stdin") return STDIN_FILENO;
  if (name == "/dev/stdout") return STDOUT_FILENO;
  if (name == "/dev/stderr") return STDERR_FILENO;
  const std::string ownFolder = "/proc/" + std::to_string(::getpid()) + "/fd/";
  for (const std::string& folder : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
                                    std::string("/proc/thread-self/fd/"), ownFolder}) {
    if (name.size() <= folder.size() || name.compare(0, folder.size(), folder) != 0) continue;
    int fd = -1;
    const char* digits = name.c_str() + folder.size();
    const char* end = name.c_str() + name.size();
    const auto [at, error] = std::from_chars(digits, end, fd);
    if (error == std::errc() && at == end && fd >= 0 && *digits != '+') return fd;
  }
  return -1;
}

TChunkedText::TChunkedText(TOutputSink& sink) : sink_(sink) { buffer_.reserve(kChunk + 256); }

TChunkedText& TChunkedText::operator<<(std::string_view text) {
  buffer_ += text;
  if (buffer_.size() >= kChunk) Finish();
  return *this;
}

TChunkedText& TChunkedText::operator<<(char c) {
  buffer_ += c;
  if (buffer_.size() >= kChunk) Finish();
  return *this;
}

TChunkedText& TChunkedText::operator<<(long long n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
}

void TChunkedText::Finish() {
  std::string chunk;
  chunk.swap(buffer_);
  sink_.Write(chunk);
  buffer_.swap(chunk);
  buffer_.clear();
}

bool OutputIsInput(const QString& output, const std::string& input) {
  struct stat in, out;
  const bool inRead =
      input == "-" ? ::fstat(STDIN_FILENO, &in) == 0 : ::stat(input.c_str(), &in) == 0;
  if (!inRead || !S_ISREG(in.st_mode)) return false;
  const bool outFound = output == "-" ? ::fstat(STDOUT_FILENO, &out) == 0
                                      : ::stat(output.toStdString().c_str(), &out) == 0;
  return outFound && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

}  // namespace quarvel
