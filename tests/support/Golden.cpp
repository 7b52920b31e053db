#include "Golden.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

#ifndef QUARVEL_GOLDEN_DIR
#error "QUARVEL_GOLDEN_DIR must name the golden pictures' folder"
#endif

namespace quarvel::testing {
namespace {

QString GoldenPath(const std::string& name) {
  return QString(QUARVEL_GOLDEN_DIR) + "/" + QString::fromStdString(name) + ".png";
}

bool UpdateMode() {
  const char* update = std::getenv("QUARVEL_UPDATE_GOLDEN");
  return update && std::string(update) == "1";
}

}  // namespace

QImage ToImage(const TBitmap& picture) {
  QImage image(picture.Width(), picture.Height(), QImage::Format_RGB32);
  for (int y = 0; y < picture.Height(); ++y)
    std::copy(picture.ScanLine(y), picture.ScanLine(y) + picture.Width(),
              reinterpret_cast<uint32_t*>(image.scanLine(y)));
  return image;
}

bool SavePng(const TBitmap& picture, const std::string& path) {
  return ToImage(picture).save(QString::fromStdString(path), "PNG");
}

QImage GoldenPicture(const std::string& name) {
  QImage golden;
  if (!golden.load(GoldenPath(name))) return {};
  return golden.convertToFormat(QImage::Format_RGB32);
}

std::string ComparePictures(const QImage& actualImage, const QImage& expectedImage,
                            const std::string& name) {
  const QImage actual = actualImage.convertToFormat(QImage::Format_RGB32);
  const QImage expected = expectedImage.convertToFormat(QImage::Format_RGB32);
  const QString outDir = QDir::currentPath() + "/golden-diff";
  const QString actualPath = outDir + "/" + QString::fromStdString(name) + ".actual.png";
  const QString diffPath = outDir + "/" + QString::fromStdString(name) + ".diff.png";
  QDir().mkpath(QFileInfo(actualPath).path());  // names may have a folder (toolkit/)
  if (expected.size() != actual.size()) {
    actual.save(actualPath, "PNG");
    return name + ": size differs: expected " + std::to_string(expected.width()) + "x" +
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
  return name + ": " + std::to_string(differing) + " pixels differ; actual picture in " +
         actualPath.toStdString() + ", differences in " + diffPath.toStdString();
}

std::string CompareWithGolden(const QImage& actual, const std::string& name) {
  return CompareWithGoldenFile(actual, GoldenPath(name), name);
}

std::string CompareWithGoldenFile(const QImage& actual, const QString& golden,
                                  const std::string& name) {
  if (UpdateMode()) {
    QDir().mkpath(QFileInfo(golden).path());
    if (!actual.convertToFormat(QImage::Format_RGB32).save(golden, "PNG"))
      return "could not write " + golden.toStdString();
    return "golden picture " + golden.toStdString() +
           " written (QUARVEL_UPDATE_GOLDEN=1): look at it, then run again without the variable";
  }
  QImage expected;
  if (expected.load(golden)) expected = expected.convertToFormat(QImage::Format_RGB32);
  if (expected.isNull())
    return "no golden picture " + golden.toStdString() + " (run with QUARVEL_UPDATE_GOLDEN=1)";
  const std::string difference = ComparePictures(actual, expected, name);
  return difference.empty() ? "" : difference + " (golden " + golden.toStdString() + ")";
}

std::string CompareWithGolden(const TBitmap& picture, const std::string& name) {
  return CompareWithGolden(ToImage(picture), name);
}

}  // namespace quarvel::testing
