#pragma once
// Writing an exported file, shared by the export tool and the window's save commands.
// A regular file (or a new one) is written under a temporary name beside it, synced,
// and renamed over the target when complete, and then the folder is synced: a failed
// write leaves neither a half-written file nor the temporary one, and neither does an
// end by SIGINT, SIGTERM or SIGHUP while it is written (the temporary file is removed,
// then the signal ends the process as it would have). A replaced file keeps its
// permissions but not the set-user-ID and set-group-ID bits; as a new file, it belongs
// to the writer and is no longer linked with other names of the old one. A symbolic
// link is followed to the file it names, which is written even when it does not exist
// yet (as the shell's ">" does); the link stays. A target that exists and is not a
// regular file (a character device, a FIFO, a socket) is written in place, never
// replaced; a directory is an error. "-" is standard output, written directly, and so is
// a name of an open descriptor (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N):
// the descriptor is written as it was opened, so "> file" writes from its start and
// ">> file" appends. The temporary file is made in the target's folder through a
// descriptor of that folder, so that a target whose name is close to the system's path
// limit is written like any other.
//
// An output may be produced in pieces (a large CSV, chunk after chunk): the producer hands
// each piece to a sink, and a failure of the producer itself (say, std::bad_alloc) is
// treated as a failed write: nothing is replaced, and the producer's exception goes on.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "base/Exception.h"

namespace quarvel {

// An output that could not be written. The message names the file and the operating
// system's reason from the failing call: "cannot write FILE: No space left on device",
// "cannot write to standard output: Bad file descriptor".
class EOutputError : public Exception {
 public:
  using Exception::Exception;
};

// Standard output whose reader went away (a pipe closed early, as by "| head"): the
// caller decides whether that is an error at all.
class EOutputClosed : public EOutputError {
 public:
  using EOutputError::EOutputError;
};

// Where the pieces of an output go, in order. Write takes all of the bytes or raises
// EOutputError.
class TOutputSink {
 public:
  virtual void Write(std::string_view bytes) = 0;

 protected:
  ~TOutputSink() = default;
};

// Calls `produce` once with a sink whose bytes make up the output.
using TOutputProducer = std::function<void(TOutputSink&)>;

// Writes all of `bytes` to `path` ("-" for standard output), or raises EOutputError.
void WriteOutputFile(const QString& path, const QByteArray& bytes);
void WriteOutputFile(const QString& path, std::string_view bytes);
// Writes what `produce` hands its sink to `path`, under the same contract.
void WriteOutputFile(const QString& path, const TOutputProducer& produce);

// Text built in pieces and handed to a sink in chunks of about a mebibyte, so that a large
// text never needs memory of its own size. Finish hands over the rest; what is appended
// after a failure is dropped, as the failure has already been raised.
class TChunkedText {
 public:
  explicit TChunkedText(TOutputSink& sink);
  TChunkedText& operator<<(std::string_view text);
  TChunkedText& operator<<(char c);
  TChunkedText& operator<<(long long n);
  TChunkedText& operator<<(int n) { return *this << static_cast<long long>(n); }
  void Finish();

 private:
  static constexpr std::size_t kChunk = std::size_t(1) << 20;
  TOutputSink& sink_;
  std::string buffer_;
};

// The descriptor a name stands for: 0, 1 and 2 for /dev/stdin, /dev/stdout and
// /dev/stderr, N for /dev/fd/N, /proc/self/fd/N, /proc/thread-self/fd/N and
// /proc/<this process>/fd/N; -1 for any other name.
int DescriptorOfName(const std::string& name);

// Whether writing `output` would write into the regular file `input`, named directly,
// through a symbolic link, or by another hard link (the same device and inode). Either
// may be "-": standard output, standard input. False when either does not exist.
bool OutputIsInput(const QString& output, const std::string& input);

}  // namespace quarvel
