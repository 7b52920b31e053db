#pragma once
// Writing an exported file, shared by the export tool and the window's save commands.
// A regular file is written under a temporary name and renamed over the target when
// complete, so a failed write leaves no half-written file; "-" is standard output.

#include <QByteArray>
#include <QString>

#include "format/Exception.h"

namespace quarvel {

// An output that could not be written; the message names the file and the reason.
class EOutputError : public Exception {
 public:
  using Exception::Exception;
};

// Writes all of `bytes` to `path` ("-" for standard output), or raises EOutputError.
void WriteOutputFile(const QString& path, const QByteArray& bytes);

}  // namespace quarvel
