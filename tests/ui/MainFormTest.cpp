#include "ui/MainFormUnit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "Golden.h"
#include "WindowTesting.h"
#include "base/Exception.h"
#include "format/NumberFormat.h"

namespace quarvel {
namespace {

using testing::ClickRadio;

// The main window as the program creates it, shown on the offscreen platform.
class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ShownErrors().clear();
    form = TformMain::Create(*TApplication::Instance());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override { form.reset(); }

  // The whole client area as the window paints it.
  std::unique_ptr<TBitmap> Picture() {
    const QImage image = form->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto b = std::make_unique<TBitmap>(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
      std::copy_n(reinterpret_cast<const uint32_t*>(image.constScanLine(y)), image.width(),
                  b->ScanLine(y));
    return b;
  }
  int StemCount() {
    // Blue pixels below the title are stem pixels.
    int columns = 0;
    const TBitmap& s = form->chartMainControl->Surface();
    for (int x = 0; x < s.Width(); ++x)
      for (int y = form->chartMain->PlotRect.Top; y < s.Height(); ++y)
        if (ColorOfPixel(s.PixelAt(x, y)) == clBlue) {
          ++columns;
          break;
        }
    return columns;
  }

  std::unique_ptr<TformMain> form;
};

TEST_F(MainWindow, StartUpTableAndCycles) {
  EXPECT_EQ(form->UpdateCycles, 3);
  EXPECT_EQ(form->windowTitle().toStdString(), "Quarvel view");
  EXPECT_EQ(form->width(), 651);
  EXPECT_EQ(form->height(), 482);
  ASSERT_EQ(form->listGausses->RowCount(), 3);
  const char* expected[3][4] = {{"7", "2", "12", "2"}, {"9", "3", "7", "1"}, {"15", "1", "8", "3"}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 4; ++c)
      EXPECT_EQ(form->listGausses->Cell(r, c), expected[r][c]) << r << "," << c;
  EXPECT_EQ(form->seriesMain->PointCount(), 128);
}

TEST_F(MainWindow, OpensAtItsDesignedPosition) { EXPECT_EQ(form->pos(), QPoint(459, 122)); }

TEST_F(MainWindow, LayoutOfTheControls) {
  const struct {
    QWidget* widget;
    QRect geometry;
  } cases[] = {
      {form->panelTop, {0, 0, 651, 29}},
      {form->Panel1, {588, 0, 63, 29}},
      {form->btnClose, {11, 4, 49, 22}},
      {form->Panel2, {0, 29, 651, 148}},
      {form->panelNormal, {4, 8, 128, 128}},
      {form->boxNormal, {1, 1, 126, 126}},
      {form->grpResolution, {148, 8, 128, 128}},
      {form->Panel3, {284, 12, 256, 128}},
      {form->listGausses, {1, 1, 254, 126}},
      {form->Splitter1, {0, 177, 651, 3}},
      {form->chartMainControl, {0, 180, 651, 302}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.widget->geometry(), c.geometry) << c.widget->objectName().toStdString();
}

// Compiled in, so it shows from the build folder as well as installed.
TEST_F(MainWindow, ShowsTheProgramIcon) {
  const QIcon icon = form->windowIcon();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{48, 48}, {256, 256}}));
}

TEST_F(MainWindow, SplitterMovesTheBoundaryAndResizingRealigns) {
  QTest::mousePress(form->Splitter1, Qt::LeftButton, {}, QPoint(300, 1));
  QTest::mouseMove(form->Splitter1, QPoint(300, -39));
  QTest::mouseRelease(form->Splitter1, Qt::LeftButton, {}, QPoint(300, -39));
  EXPECT_EQ(form->Panel2->height(), 108);
  EXPECT_EQ(form->Splitter1->y(), 137);
  EXPECT_EQ(form->chartMainControl->geometry(), QRect(0, 140, 651, 342));
  form->resize(800, 600);
  QApplication::processEvents();
  EXPECT_EQ(form->chartMainControl->geometry(), QRect(0, 140, 800, 460));
  EXPECT_EQ(form->Panel1->geometry(), QRect(737, 0, 63, 29));  // right-aligned
  EXPECT_EQ(form->btnClose->geometry(), QRect(11, 4, 49, 22));
}

TEST_F(MainWindow, ResolutionClicksRefillTheChart) {
  const struct {
    const char* name;
    int item, points, stems;
  } cases[] = {{"256: a stem at every inserted point", 1, 255, 127},
               {"512: three stems in four points", 2, 509, 381},
               {"back to 128: no stem", 0, 128, 0}};
  for (const auto& c : cases) {
    ClickRadio(form->grpResolution->Button(c.item));
    EXPECT_EQ(form->Resolution, c.item) << c.name;
    EXPECT_EQ(form->seriesMain->PointCount(), c.points) << c.name;
    form->chartMainControl->repaint();
    EXPECT_EQ(StemCount(), c.stems) << c.name;
    EXPECT_EQ(form->listGausses->RowCount(), 3) << c.name;
  }
}

TEST_F(MainWindow, GridImageFollowsTheGreenLevels) {
  form->boxNormal->repaint();
  const QImage image = form->boxNormal->grab().toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(image.size(), QSize(126, 126));
  for (int iy = 0; iy < 126; ++iy)
    for (int ix = 0; ix < 126; ++ix) {
      const QRgb p = image.pixel(ix, iy);
      ASSERT_EQ(qGreen(p), form->GreenLevel(form->Grid[ix][iy])) << ix << "," << iy;
      ASSERT_EQ(qRed(p) + qBlue(p), 0);
    }
  EXPECT_EQ(form->GreenLevel(form->GridMax), 255);
  EXPECT_EQ(form->GreenLevel(form->Grid[53][40]), 255);
  EXPECT_EQ(form->GreenLevel(form->GridMax / 2), 128);  // 127.5 to the even integer
  EXPECT_EQ(form->GreenLevel(form->GridMax / 4), 64);   // 63.75
  EXPECT_EQ(form->GreenLevel(form->Grid[0][0]), 0);
}

TEST_F(MainWindow, FailingCycleIsShownAndTheProgramGoesOn) {
  const int points = form->seriesMain->PointCount();
  // A blob with a zero spread makes the next cycle fail with a floating-point error.
  form->AdoptBlob(std::make_unique<TGauss3D>(5, 0, 5, 1));
  ClickRadio(form->grpResolution->Button(1));
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  EXPECT_EQ(testing::ShownErrors()[0], "Floating point division by zero");
  EXPECT_EQ(form->seriesMain->PointCount(), points);  // the chart keeps its points
  EXPECT_TRUE(form->listGausses->updatesEnabled());   // the bulk update was ended
  EXPECT_EQ(form->listGausses->RowCount(), 3);        // rows filled before the error stay
  EXPECT_TRUE(form->isVisible());
}

// The application's own reporter: a real message box with the text, closed here.
TEST_F(MainWindow, FailureInAHandlerShowsAMessageBox) {
  TApplication& app = *TApplication::Instance();
  const auto recorder = app.ShowException;
  app.ShowException = testing::MessageBoxReporter();
  const QString displayName = QGuiApplication::applicationDisplayName();
  QGuiApplication::setApplicationDisplayName("Quarvel view");  // as the programs set it
  std::string text, title;
  int looks = 0;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box) {
      text = box->text().toStdString();
      title = box->windowTitle().toStdString();
      box->done(QMessageBox::Ok);
    }
    if (box || ++looks > 500) watcher.stop();
  });
  watcher.start(10);
  form->AdoptBlob(std::make_unique<TGauss3D>(5, 0, 5, 1));
  ClickRadio(form->grpResolution->Button(2));  // returns once the box is closed
  app.ShowException = recorder;
  QGuiApplication::setApplicationDisplayName(displayName);
  EXPECT_EQ(text, "Floating point division by zero");
  EXPECT_EQ(title, "Quarvel view");
  EXPECT_TRUE(testing::ShownErrors().empty());  // the recorder was not used
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(MainWindow, LocaleChangeRereadsTheSeparators) {
  form->AdoptBlob(std::make_unique<TGauss3D>(2.5, 1, 3, 1));
  form->RecomputeAll();
  EXPECT_EQ(form->listGausses->Cell(3, 0), "2.5");
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QEvent change(QEvent::LocaleChange);
  QApplication::sendEvent(form.get(), &change);
  EXPECT_EQ(DecimalSeparator(), ",");
  EXPECT_EQ(ThousandsSeparator(), ".");
  EXPECT_EQ(form->listGausses->Cell(3, 0), "2,5");
  QLocale::setDefault(QLocale::c());
  QApplication::sendEvent(form.get(), &change);
  EXPECT_EQ(form->listGausses->Cell(3, 0), "2.5");
}

// The window with a table row that fails to fill, once.
class FailingRowWindow : public TformMain {
 public:
  void FillBlobRow(TListRow& row, const TGauss3D& blob) override {
    if (failAt-- == 0) throw EConvertError("Row cannot be filled");
    TformMain::FillBlobRow(row, blob);
  }
  int failAt = -1;
};

// A locale change refills the table in one bulk update; a row failing in the middle of
// it is shown as any handler's error, and the table is out of bulk update.
TEST(MainWindowTable, RowFailingOnALocaleChangeLeavesTheTableUsable) {
  testing::ShownErrors().clear();
  FailingRowWindow form;
  for (double mx : {2.5, 7.0, 9.0}) form.AdoptBlob(std::make_unique<TGauss3D>(mx, 1, 3, 1));
  form.RecomputeAll();
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  form.failAt = 1;
  QEvent change(QEvent::LocaleChange);
  QApplication::sendEvent(&form, &change);
  EXPECT_EQ(testing::ShownErrors(), std::vector<std::string>{"Row cannot be filled"});
  EXPECT_TRUE(form.listGausses->updatesEnabled());
  EXPECT_EQ(form.listGausses->RowCount(), 2);  // the row filled, and the one that failed
  // The next change fills it whole; its bulk update ends as well (none was left open).
  QApplication::sendEvent(&form, &change);
  EXPECT_TRUE(form.listGausses->updatesEnabled());
  ASSERT_EQ(form.listGausses->RowCount(), 3);
  EXPECT_EQ(form.listGausses->Cell(1, 0), "7");
  EXPECT_EQ(form.listGausses->Cell(2, 0), "9");
}

TEST_F(MainWindow, CloseButtonClosesAndFreesTheBlobs) {
  QTest::mouseClick(form->btnClose, Qt::LeftButton);
  EXPECT_FALSE(form->isVisible());
  form.reset();
  EXPECT_EQ(MainBlobRegistry(), nullptr);
}

TEST_F(MainWindow, DestroyingFreesEveryBlob) {
  form->FormDestroy(form.get());
  EXPECT_EQ(form->Blobs, nullptr);
  EXPECT_EQ(form->BlobCount(), 0);
}

// Real mouse events on the chart's control: zoom, keep the zoom across a resolution
// change, undo it, pan, and scroll with the wheel.
TEST_F(MainWindow, MouseZoomPanAndWheel) {
  QWidget* chart = form->chartMainControl;
  TChart& c = *form->chartMain;
  const double left = c.BottomAxis().PixelToValue(100), right = c.BottomAxis().PixelToValue(200);
  QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(100, 80));
  QTest::mouseMove(chart, QPoint(150, 120));
  QTest::mouseMove(chart, QPoint(200, 160));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(200, 160));
  EXPECT_TRUE(c.IsZoomedIn());
  EXPECT_EQ(c.BottomAxis().Minimum(), left);
  EXPECT_EQ(c.BottomAxis().Maximum(), right);

  ClickRadio(form->grpResolution->Button(2));  // the zoom stays
  EXPECT_EQ(form->seriesMain->PointCount(), 509);
  EXPECT_EQ(c.BottomAxis().Minimum(), left);

  QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(200, 160));
  QTest::mouseMove(chart, QPoint(100, 80));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(100, 80));
  chart->repaint();
  EXPECT_FALSE(c.IsZoomedIn());
  EXPECT_TRUE(c.BottomAxis().Automatic());
  EXPECT_DOUBLE_EQ(c.BottomAxis().Minimum(), 1.0);  // the whole new projection
  EXPECT_DOUBLE_EQ(c.BottomAxis().Maximum(), 20.0);

  QTest::mousePress(chart, Qt::RightButton, {}, QPoint(300, 150));
  QTest::mouseMove(chart, QPoint(310, 150));
  QTest::mouseRelease(chart, Qt::RightButton, {}, QPoint(310, 150));
  EXPECT_LT(c.BottomAxis().Minimum(), 1.0);

  const double top = c.LeftAxis().Maximum(), bottom = c.LeftAxis().Minimum();
  QWheelEvent notch(QPointF(300, 150), chart->mapToGlobal(QPointF(300, 150)), QPoint(),
                    QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(chart, &notch);
  EXPECT_DOUBLE_EQ(c.LeftAxis().Maximum(), top + (top - bottom) * 0.03);
  // Touchpad deltas add up to whole notches.
  QWheelEvent fine(QPointF(300, 150), chart->mapToGlobal(QPointF(300, 150)), QPoint(),
                   QPoint(0, 60), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  const double afterOne = c.LeftAxis().Maximum();
  QApplication::sendEvent(chart, &fine);
  EXPECT_EQ(c.LeftAxis().Maximum(), afterOne);
  QApplication::sendEvent(chart, &fine);
  EXPECT_LT(c.LeftAxis().Maximum(), afterOne);
  EXPECT_TRUE(testing::ShownErrors().empty());
}

// Opened and closed a hundred times in one process: under the sanitizer build the leak
// checker at exit finds nothing left behind, and the main-window reference is cleared.
TEST(MainWindowLifetime, OpenAndCloseAHundredTimes) {
  for (int i = 0; i < 100; ++i) {
    auto form = TformMain::Create(*TApplication::Instance());
    form->show();
    form->repaint();
    ClickRadio(form->grpResolution->Button(i % 3));
    form->close();
    form.reset();
    QApplication::processEvents();
    ASSERT_EQ(MainBlobRegistry(), nullptr);
    ASSERT_EQ(TApplication::Instance()->MainForm(), nullptr);
  }
}

// The first frame the user sees: the chart's first paint measures its left labels
// before its axes have pixels, so its left margin is wider than in the settled
// pictures below, which a second paint gives.
TEST_F(MainWindow, GoldenPictureOfTheStartUpFrame) {
  EXPECT_EQ(testing::CompareWithGolden(*Picture(), "toolkit/window_startup"), "");
}

TEST_F(MainWindow, GoldenPictureAtEachResolution) {
  const char* names[] = {"toolkit/window_128", "toolkit/window_256", "toolkit/window_512"};
  for (int item : {0, 1, 2}) {
    ClickRadio(form->grpResolution->Button(item));
    form->repaint();
    EXPECT_EQ(testing::CompareWithGolden(*Picture(), names[item]), "") << names[item];
  }
}

}  // namespace
}  // namespace quarvel
