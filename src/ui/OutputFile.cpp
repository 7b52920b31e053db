#include "ui/OutputFile.h"

#include <QSaveFile>

#include <cstdio>

namespace quarvel {

void WriteOutputFile(const QString& path, const QByteArray& bytes) {
  if (path == "-") {
    const auto size = static_cast<std::size_t>(bytes.size());
    if (std::fwrite(bytes.constData(), 1, size, stdout) != size || std::fflush(stdout) != 0)
      throw EOutputError("cannot write to standard output");
    return;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw EOutputError("cannot write " + path.toStdString() + ": " + file.errorString().toStdString());
}

}  // namespace quarvel
