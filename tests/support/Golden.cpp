#include "Golden.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cstdlib>

#ifndef QUARVEL_GOLDEN_DIR
#error "QUARVEL_GOLDEN_DIR must name the golden pictures' folder"
#endif

namespace quarvel::testing {
namespace {

QImage ToImage(const TBitmap& picture) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.Height(); ++y)
    std::copy(picture.ScanLine(y), picture.ScanLine(y) + picture.Width(),
              reinterpret_cast<uint32_t*>(image.scanLine(y)));
  return image;
}

}  // namespace

bool SavePng(const TBitmap& picture, const std::string& path) {
  return ToImage(picture).save(QString::fromStdString(path), "PNG");
}

std::string CompareWithGolden(const TBitmap& picture, const std::string& name) {
  const QString golden = QString(QUARVEL_GOLDEN_DIR) + "/" + QString::fromStdString(name) + ".png";
  const QImage actual = ToImage(picture);
  const char* update = std::getenv("QUARVEL_UPDATE_GOLDEN");
  if (update && std::string(update) == "1") {
    QDir().mkpath(QFileInfo(golden).path());
    return actual.save(golden, "PNG") ? "" : "could not write " + golden.toStdString();
  }
  QImage expected;
  if (!expected.load(golden))
    return "no golden picture " + golden.toStdString() + " (run with QUARVEL_UPDATE_GOLDEN=1)";
  expected = expected.convertToFormat(QImage::Format_RGB32);

  const QString outDir = QDir::currentPath() + "/golden-diff";
  const QString actualPath = outDir + "/" + QString::fromStdString(name) + ".actual.png";
  const QString diffPath = outDir + "/" + QString::fromStdString(name) + ".diff.png";
  QDir().mkpath(QFileInfo(actualPath).path());  // names may have a folder (toolkit/)
  if (expected.size() != actual.size()) {
    actual.save(actualPath, "PNG");
    return "size differs: expected " + std::to_string(expected.width()) + "x" +
           std::to_string(expected.height()) + ", got " + std::to_string(actual.width()) + "x" +
           std::to_string(actual.height()) + "; actual picture in " + actualPath.toStdString();
  }
  int differing = 0;
  QImage diff(actual.size(), QImage::Format_RGB32);
  for (int y = 0; y < actual.height(); ++y) {
    const auto* a = reinterpret_cast<const QRgb*>(actual.constScanLine(y));
    const auto* e = reinterpret_cast<const QRgb*>(expected.constScanLine(y));
    auto* d = reinterpret_cast<QRgb*>(diff.scanLine(y));
    for (int x = 0; x < actual.width(); ++x) {
      if ((a[x] & 0xFFFFFF) != (e[x] & 0xFFFFFF)) {
        ++differing;
        d[x] = qRgb(255, 0, 0);
      } else {
        const int g = 192 + qGray(e[x]) / 4;
        d[x] = qRgb(g, g, g);
      }
    }
  }
  if (differing == 0) return "";
  actual.save(actualPath, "PNG");
  diff.save(diffPath, "PNG");
  return std::to_string(differing) + " pixels differ from " + golden.toStdString() +
         "; actual picture in " + actualPath.toStdString() + ", differences in " +
         diffPath.toStdString();
}

}  // namespace quarvel::testing
