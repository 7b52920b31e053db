#pragma once
// Writing an exported file, shared by the export tool and the window's save commands.
// A regular file (or a new one) is written under a temporary name beside it and renamed
// over the target when complete, so a failed write leaves neither a half-written file
// nor the temporary one; a replaced file keeps its permissions, and through a symbolic
// link the linked file is replaced. A target that exists and is not a regular file (a
// character device, a FIFO, a socket) is written in place, never replaced; a directory
// is an error. "-" is standard output, written directly.

#include <QByteArray>
#include <QString>

#include "base/Exception.h"

namespace quarvel {

// An output that could not be written. The message names the file and the operating
// system's reason from the failing call: "cannot write FILE: No space left on device",
// "cannot write to standard output: Bad file descriptor".
class EOutputError : public Exception {
 public:
  using Exception::Exception;
};

// Writes all of `bytes` to `path` ("-" for standard output), or raises EOutputError.
void WriteOutputFile(const QString& path, const QByteArray& bytes);

}  // namespace quarvel
