// The golden comparator: equal pictures pass, a differing pixel fails with the file of
// the differences, and an update run writes the golden file and still fails.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>

#include "Golden.h"
#include "base/ScopeExit.h"

namespace quarvel {
namespace {

TEST(GoldenComparator, PassesOnEqualFailsOnADifferenceAndFailsAfterAnUpdate) {
  QTemporaryDir dir;
  const QString file = dir.filePath("picture.png");
  QImage picture(4, 3, QImage::Format_RGB32);
  picture.fill(qRgb(10, 20, 30));
  EXPECT_NE(testing::CompareWithGoldenFile(picture, file, "picture"), "");  // no file yet
  {
    setenv("QUARVEL_UPDATE_GOLDEN", "1", 1);
    TScopeExit clear([] { unsetenv("QUARVEL_UPDATE_GOLDEN"); });
    const std::string update = testing::CompareWithGoldenFile(picture, file, "picture");
    EXPECT_NE(update.find("written"), std::string::npos) << update;
  }
  EXPECT_EQ(testing::CompareWithGoldenFile(picture, file, "picture"), "");
  QImage changed = picture;
  changed.setPixel(2, 1, qRgb(10, 20, 31));
  const std::string difference = testing::ComparePictures(changed, picture, "changed");
  EXPECT_NE(difference.find("1 pixels differ"), std::string::npos) << difference;
  EXPECT_EQ(testing::ComparePictures(changed, changed.copy(0, 0, 4, 2), "cut").substr(0, 18),
            "cut: size differs:");
}

}  // namespace
}  // namespace quarvel
