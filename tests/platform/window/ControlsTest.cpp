// The windowing layer's controls, apart from any window of the program.

#include "platform/window/Application.h"
#include "platform/window/Controls.h"

#include <gtest/gtest.h>

#include <QAbstractButton>

#include <utility>
#include <vector>

namespace quarvel {
namespace {

TEST(PictureGeometry, RoundsTheRatioAndCoversTheControl) {
  const struct {
    const char* name;
    qreal ratio;
    int scale;
    QSize picture;  // of a 651 x 302 control
    QPoint pixel;   // under the logical position (100.5, 80.25)
  } rows[] = {
      {"ratio 1: the control's own pixels", 1.0, 1, {651, 302}, {101, 80}},
      {"1.25 rounds to 1: one picture pixel per device pixel", 1.25, 1, {814, 378}, {125, 100}},
      {"1.5 rounds to 2", 1.5, 2, {489, 227}, {75, 60}},
      {"1.75 rounds to 2", 1.75, 2, {570, 265}, {87, 70}},
      {"2: the logical picture, 2 x 2 blocks", 2.0, 2, {651, 302}, {100, 80}},
      {"2.5 rounds to 3 (halves up)", 2.5, 3, {543, 252}, {83, 66}},
      {"3: the logical picture, 3 x 3 blocks", 3.0, 3, {651, 302}, {100, 80}},
      {"below 1 still one device pixel each", 0.5, 1, {326, 151}, {50, 40}},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(PictureScale(r.ratio), r.scale) << r.name;
    EXPECT_EQ(PictureSize(QSize(651, 302), r.ratio), r.picture) << r.name;
    EXPECT_EQ(PicturePoint(QPointF(100.5, 80.25), r.ratio), r.pixel) << r.name;
  }
  EXPECT_EQ(PictureSize(QSize(0, 0), 2.0), QSize(0, 0));
}

TEST(WindowPlacement, KeepsTheDesignedPlaceOrMovesInsideTheScreen) {
  const QRect screen(0, 0, 960, 540);  // 1920 x 1080 at ratio 2, in device-independent pixels
  const struct {
    const char* name;
    QRect window;
    QRect available;
    QPoint placed;
  } rows[] = {
      {"fits: stays", {459, 122, 651, 482}, {0, 0, 1920, 1080}, {459, 122}},
      {"fits exactly at the corner", {309, 58, 651, 482}, screen, {309, 58}},
      {"over the right and bottom edges", {459, 122, 651, 482}, screen, {309, 58}},
      {"over the right edge only", {459, 10, 651, 482}, {0, 0, 1024, 768}, {373, 10}},
      {"before the left and top edges", {-40, -5, 651, 482}, screen, {0, 0}},
      {"a screen beside the primary one",
       {2000, 700, 651, 482},
       {1920, 0, 1280, 1024},
       {2000, 542}},
      {"below a panel", {459, 0, 651, 482}, {0, 24, 1920, 1056}, {459, 24}},
      {"wider and taller than the area: its top-left",
       {459, 122, 651, 482},
       {0, 0, 400, 300},
       {0, 0}},
  };
  for (const auto& r : rows) EXPECT_EQ(PlaceInside(r.window, r.available), r.placed) << r.name;
}

// The group says which item was clicked; choosing one from the program raises nothing.
TEST(RadioGroup, ClickPassesTheItemsIndex) {
  TRadioGroup group(nullptr, "Resolution", {"a", "b", "c"});
  std::vector<std::pair<QWidget*, int>> clicks;
  group.OnClick = [&](QWidget* sender, int index) { clicks.push_back({sender, index}); };
  group.SetItemIndex(1);
  EXPECT_TRUE(clicks.empty());
  for (int item : {2, 0, 0}) {
    static_cast<QAbstractButton*>(group.Button(item))->click();
    ASSERT_FALSE(clicks.empty()) << item;
    EXPECT_EQ(clicks.back(), (std::pair<QWidget*, int>{&group, item}));
    EXPECT_EQ(group.ItemIndex(), item);
  }
  EXPECT_EQ(clicks.size(), 3u);  // a click on the checked item is a click too
}

}  // namespace
}  // namespace quarvel
