// Whole pictures of the chart configured as the main window's, at the three
// resolutions of the projection, compared with the golden pictures.

#include <gtest/gtest.h>

#include "Golden.h"
#include "MainChart.h"
#include "ModelFixtures.h"

namespace quarvel {
namespace {

TEST(ChartPicture, ProjectionAtEachResolution) {
  const char* names[] = {"chart_128", "chart_256", "chart_512"};
  for (uint8_t resolution : {0, 1, 2}) {
    auto model = testing::StartUpPhantom(resolution);
    testing::MainChart view;
    view.resolution = resolution;
    view.Feed(model->Points);
    view.Redraw();
    EXPECT_EQ(testing::CompareWithGolden(view.host.Bitmap(), names[resolution]), "")
        << names[resolution];
  }
}

}  // namespace
}  // namespace quarvel
