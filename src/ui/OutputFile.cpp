#include "ui/OutputFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace quarvel {
namespace {

[[noreturn]] void Fail(const std::string& target, int error) {
  throw EOutputError("cannot write " + target + ": " + std::strerror(error));
}

// Writes all bytes to an open descriptor; 0, or the errno of the failing call.
int WriteAll(int fd, const QByteArray& bytes) {
  const char* at = bytes.constData();
  std::size_t left = static_cast<std::size_t>(bytes.size());
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

// ---------------------------------------------------------------------------
// The temporary file and the signals that end the program while it exists. The
// handler may call only async-signal-safe functions, so the name waits in a fixed
// buffer; it is set and cleared with the signals blocked, so that the handler never
// sees half a name, nor removes a name that another file has taken since.

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};
char gTemporary[PATH_MAX];
volatile std::sig_atomic_t gTemporaryLive = 0;

extern "C" void RemoveTemporaryAndEnd(int signal) {
  if (gTemporaryLive) ::unlink(gTemporary);
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

  // mkstemp on `name`, tracked from the moment the file exists; -1 and errno on failure.
  int Create(std::string& name) {
    if (name.size() >= sizeof gTemporary) {
      errno = ENAMETOOLONG;
      return -1;
    }
    Block();
    const int fd = ::mkstemp(name.data());
    const int error = errno;
    if (fd >= 0) {
      std::memcpy(gTemporary, name.c_str(), name.size() + 1);
      gTemporaryLive = 1;
    }
    Unblock();
    errno = error;
    return fd;
  }
  // Renames the tracked file to `target` (0, or errno), or removes it when `error` is set.
  int Finish(const std::string& name, const std::string& target, int error) {
    Block();
    if (error == 0 && ::rename(name.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) ::unlink(name.c_str());
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

// A target that is not a regular file (a character device, a FIFO, a socket) is
// written in place: replacing it would destroy it.
void WriteInPlace(const std::string& path, const QByteArray& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail(path, errno);
  const int error = WriteAll(fd, bytes);
  if (error != 0) {
    ::close(fd);
    Fail(path, error);
  }
  if (::close(fd) != 0 && errno != EINTR) Fail(path, errno);
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
                     const struct stat* existing, const QByteArray& bytes) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // The temporary name must fit where the target's name just fits.
  std::string temporary =
      folder + "." + (base.size() > 200 ? std::string("quarvel") : base) + ".XXXXXX";
  TemporaryFileGuard guard;
  const int fd = guard.Create(temporary);
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
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  error = guard.Finish(temporary, target, error);
  if (error == 0) error = SyncFolder(folder);
  if (error != 0) Fail(shown, error);
}

// The file a chain of symbolic links ends at, whether it exists or not: a relative link
// is read from the folder of the link. ELOOP after as many links as the system follows.
std::string FollowLinks(std::string path, const std::string& shown) {
  for (int hops = 0; hops < 40; ++hops) {
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
  if (path == "-") {
    // Anything buffered on the stream goes first; then the bytes straight to the descriptor.
    int error = std::fflush(stdout) != 0 ? errno : 0;
    if (error == 0) error = WriteAll(STDOUT_FILENO, bytes);
    const std::string message =
        std::string("cannot write to standard output: ") + (error != 0 ? std::strerror(error) : "");
    if (error == EPIPE) throw EOutputClosed(message);
    if (error != 0) throw EOutputError(message);
    return;
  }
  const std::string name = path.toStdString();
  if (name.empty()) Fail("''", ENOENT);
  // Through a symbolic link the file it names is written, not the link.
  const std::string file = FollowLinks(name, name);
  struct stat target;
  if (::stat(file.c_str(), &target) != 0) {
    if (errno != ENOENT) Fail(name, errno);
    WriteAtomically(file, name, nullptr, bytes);
    return;
  }
  if (S_ISDIR(target.st_mode)) Fail(name, EISDIR);
  if (!S_ISREG(target.st_mode)) {
    WriteInPlace(file, bytes);
    return;
  }
  // A file the user may not write is not replaced either, though its folder would allow it.
  if (::access(file.c_str(), W_OK) != 0) Fail(name, errno);
  WriteAtomically(file, name, &target, bytes);
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
