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
// replaced; a directory is an error. "-" is standard output, written directly.

#include <QByteArray>
#include <QString>

#include <string>

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

// Writes all of `bytes` to `path` ("-" for standard output), or raises EOutputError.
void WriteOutputFile(const QString& path, const QByteArray& bytes);

// Whether writing `output` would write into the regular file `input`, named directly,
// through a symbolic link, or by another hard link (the same device and inode). Either
// may be "-": standard output, standard input. False when either does not exist.
bool OutputIsInput(const QString& output, const std::string& input);

}  // namespace quarvel
