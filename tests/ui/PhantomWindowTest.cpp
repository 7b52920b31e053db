// The window started with a phantom file's blobs instead of the built-in three.

#include <gtest/gtest.h>

#include <QTest>

#include "WindowTesting.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"

namespace quarvel {
namespace {

class PhantomWindow : public ::testing::Test {
 protected:
  void SetUp() override { testing::ShownErrors().clear(); }
  void Open(std::vector<TPhantomBlob> phantom) {
    form = TformMain::Create(*TApplication::Instance(), std::move(phantom));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  std::unique_ptr<TformMain> form;
};

TEST_F(PhantomWindow, TheFileBlobsFillTheTableInOneCycle) {
  Open({{2.5, 1.0, 3.0, 0.5, true},
        {10.0, 4.0, 10.0, 4.0, false},
        {18.0, 0.75, 1.5, 2.0, true},
        {11, 1, 11, 1, true}});
  EXPECT_EQ(form->UpdateCycles, 1);
  ASSERT_EQ(form->listGausses->RowCount(), 4);
  const char* expected[4][4] = {{"2.5", "1", "3", "0.5"},
                                {"10", "4", "10", "4"},
                                {"18", "0.75", "1.5", "2"},
                                {"11", "1", "11", "1"}};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(form->listGausses->Cell(r, c), expected[r][c]) << r << "," << c;
  EXPECT_FALSE(form->BlobAt(1)->Enabled);
  // The disabled blob is listed but takes no part in the grid: at its mean (index 60
  // is near 10) only the enabled neighbours' tails remain.
  TProjectionModel enabledOnly;
  enabledOnly.ResetGrid();
  for (int i : {0, 2, 3}) enabledOnly.AddBlobToGrid(*form->BlobAt(i));
  EXPECT_EQ(form->Grid[60][60], enabledOnly.Grid[60][60]);
  EXPECT_EQ(form->GridMax, enabledOnly.GridMax);
  EXPECT_EQ(form->seriesMain->PointCount(), 128);
  EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(PhantomWindow, AnEmptyPhantomStillRunsTheCycleAndTheFitErrorIsShown) {
  Open({});
  EXPECT_EQ(form->UpdateCycles, 1);
  EXPECT_EQ(form->listGausses->RowCount(), 0);
  EXPECT_EQ(form->GridMax, -1.0);
  EXPECT_EQ(form->seriesMain->PointCount(), 128);
  form->boxNormal->repaint();  // paints black, raises nothing
  EXPECT_TRUE(testing::ShownErrors().empty());
  // At 512x512 the second pass meets two points with the same X: the fit error.
  testing::ClickRadio(form->grpResolution->Button(2));
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  EXPECT_EQ(testing::ShownErrors()[0].substr(0, 69),
            "Cannot resample to 512x512: two points share X = 1.\r\nX1 = 1\r\nY1 = 0\r\n");
  EXPECT_TRUE(testing::ShownErrors()[0].ends_with("\r\n128x128 and 256x256 still work."));
  EXPECT_EQ(form->seriesMain->PointCount(), 128);  // the chart keeps its points
  testing::ClickRadio(form->grpResolution->Button(1));
  EXPECT_EQ(form->seriesMain->PointCount(), 255);
}

TEST_F(PhantomWindow, AGridThatNoBlobReachesIsBlack) {
  // Too narrow to reach a grid point (the nearest row lies 51 spreads from its mean),
  // and too far away: every cell is 0, and there is no level to scale the green to.
  Open({{1, 1e-3, 1.5, 1e-3, true}, {1e6, 1, 10, 1, true}});
  EXPECT_EQ(form->GridMax, 0.0);
  form->boxNormal->repaint();
  EXPECT_TRUE(testing::ShownErrors().empty());
  const QImage grid = GridPicture(*form);
  QImage black(grid.size(), grid.format());
  black.fill(Qt::black);
  EXPECT_EQ(grid, black);
}

TEST_F(PhantomWindow, AnErrorWhileCreatingTheBlobsIsShownAndTheWindowGoesOn) {
  // A spread so small that the peak density, at the grid coordinate 1, overflows a double.
  Open({{7, 2, 12, 2, true}, {9, 3, 1, 5e-324, true}, {15, 1, 8, 3, true}});
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  EXPECT_EQ(testing::ShownErrors()[0], "Floating point overflow");
  // Every blob registered; the one cycle stopped at the failing blob.
  EXPECT_EQ(form->BlobCount(), 3);
  EXPECT_TRUE(form->isVisible());
}

}  // namespace
}  // namespace quarvel
