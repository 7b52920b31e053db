#include "ui/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

// A regular file is written under a temporary name beside it and renamed over it when
// complete, so that it is never seen half-written; on failure the temporary file goes.
// A new file gets the usual permissions (0666 less the umask), a replaced one keeps its.
void WriteAtomically(const std::string& target, const std::string& shown,
                     const struct stat* existing, const QByteArray& bytes) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  // The temporary name must fit where the target's name just fits.
  std::string temporary =
      folder + "." + (base.size() > 200 ? std::string("quarvel") : base) + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) Fail(shown, errno);
  int error = 0;
  mode_t mode;
  if (existing) {
    mode = existing->st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) error = errno;
  if (error == 0) error = WriteAll(fd, bytes);
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temporary.c_str());
    Fail(shown, error);
  }
}

}  // namespace

void WriteOutputFile(const QString& path, const QByteArray& bytes) {
  if (path == "-") {
    // Anything buffered on the stream goes first; then the bytes straight to the descriptor.
    if (std::fflush(stdout) != 0)
      throw EOutputError(std::string("cannot write to standard output: ") + std::strerror(errno));
    const int error = WriteAll(STDOUT_FILENO, bytes);
    if (error != 0)
      throw EOutputError(std::string("cannot write to standard output: ") + std::strerror(error));
    return;
  }
  const std::string name = path.toStdString();
  if (name.empty()) Fail("''", ENOENT);
  struct stat target;
  if (::stat(name.c_str(), &target) != 0) {
    if (errno != ENOENT) Fail(name, errno);
    WriteAtomically(name, name, nullptr, bytes);
    return;
  }
  if (S_ISDIR(target.st_mode)) Fail(name, EISDIR);
  if (!S_ISREG(target.st_mode)) {
    WriteInPlace(name, bytes);
    return;
  }
  // A file the user may not write is not replaced either, though its folder would allow it.
  if (::access(name.c_str(), W_OK) != 0) Fail(name, errno);
  // Through a symbolic link the file it names is replaced, not the link.
  char resolved[PATH_MAX];
  const bool linked = ::realpath(name.c_str(), resolved) != nullptr;
  WriteAtomically(linked ? std::string(resolved) : name, name, &target, bytes);
}

}  // namespace quarvel
