// The window as a tool, through real events on the offscreen window: reset, the view
// history, Esc, the keys and the focus, the readouts, the menu, copy and save, the
// mouse-and-keys table, and the stems kept inside the plot.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <fstream>
#include <sstream>

#include "WindowTesting.h"
#include "format/NumberFormat.h"
#include "ui/ExportView.h"
#include "ui/MainFormUnit.h"
#include "ui/MouseAndKeys.h"
#include "ui/ProjectionView.h"

namespace quarvel {
namespace {

using testing::ClickRadio;

class WindowTools : public ::testing::Test {
 public:
  void SetUp() override {
    testing::ShownErrors().clear();
    form = TformMain::Create(*TApplication::Instance());
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    chart = form->chartMainControl;
    Settle();
    startUp = Ranges();
  }
  void TearDown() override {
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    form.reset();
  }
  TChart& Chart() { return *form->chartMain; }
  void Settle() {
    chart->repaint();
    Chart().InvalidateChart();
    chart->repaint();
  }
  std::vector<double> Ranges() {
    chart->repaint();
    std::vector<double> r;
    for (int i = 0; i < 4; ++i)
      r.insert(r.end(),
               {Chart().AxisList()[i]->EffectiveMinimum, Chart().AxisList()[i]->EffectiveMaximum});
    return r;
  }
  void LeftDrag(QPoint from, QPoint to) {
    QTest::mousePress(chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(chart, (from + to) / 2);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, to);
  }
  void RightDrag(QPoint from, QPoint to) {
    QTest::mousePress(chart, Qt::RightButton, {}, from);
    QTest::mouseMove(chart, (from + to) / 2);
    QTest::mouseMove(chart, to);
    QTest::mouseRelease(chart, Qt::RightButton, {}, to);
  }
  void Wheel(int notches) {
    for (int i = 0; i < std::abs(notches); ++i) {
      QWheelEvent e(QPointF(300, 150), chart->mapToGlobal(QPointF(300, 150)), QPoint(),
                    QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
      QApplication::sendEvent(chart, &e);
    }
  }
  void Key(int key, Qt::KeyboardModifiers mods = {}) {
    QTest::keyClick(chart, static_cast<Qt::Key>(key), mods);
  }
  QImage Shown() { return ImageOf(chart->Surface()).copy(); }

  std::unique_ptr<TformMain> form;
  TChartControl* chart = nullptr;
  std::vector<double> startUp;
};

TEST_F(WindowTools, ResetBringsBackTheStartUpView) {
  const struct {
    const char* name;
    std::function<void(WindowTools&)> gesture;
    std::function<void(WindowTools&)> reset;
  } cases[] = {
      {"wheel, Home", [](WindowTools& t) { t.Wheel(-3); },
       [](WindowTools& t) { t.Key(Qt::Key_Home); }},
      {"pan, double click",
       [](WindowTools& t) {
         t.RightDrag({300, 150}, {340, 120});
       },
       [](WindowTools& t) { QTest::mouseDClick(t.chart, Qt::LeftButton, {}, QPoint(250, 120)); }},
      {"nested zooms, menu",
       [](WindowTools& t) {
         t.LeftDrag({100, 60}, {400, 200});
         t.LeftDrag({150, 80}, {300, 180});
       },
       [](WindowTools& t) { t.form->actResetView->trigger(); }},
  };
  for (const auto& c : cases) {
    c.gesture(*this);
    ASSERT_NE(Ranges(), startUp) << c.name;
    c.reset(*this);
    EXPECT_EQ(Ranges(), startUp) << c.name;
    EXPECT_TRUE(Chart().SavePending()) << c.name;
    EXPECT_FALSE(Chart().ZoomBox.InProgress) << c.name;
  }
  EXPECT_TRUE(testing::ShownErrors().empty());
}

TEST_F(WindowTools, BackAndForwardByKeysWithMergedWheelNotches) {
  std::vector<std::vector<double>> views = {startUp};
  LeftDrag({100, 60}, {400, 200});
  views.push_back(Ranges());
  Wheel(-3);  // notches in a row: one step
  views.push_back(Ranges());
  RightDrag({300, 150}, {330, 130});
  views.push_back(Ranges());
  Key(Qt::Key_Plus);
  views.push_back(Ranges());
  Key(Qt::Key_Left);
  views.push_back(Ranges());
  const int backKeys[][2] = {{Qt::Key_Left, Qt::AltModifier}, {Qt::Key_Backspace, 0}};
  for (int i = static_cast<int>(views.size()) - 2; i >= 0; --i) {
    const auto& k = backKeys[i % 2];
    Key(k[0], Qt::KeyboardModifiers(k[1]));
    EXPECT_EQ(Ranges(), views[i]) << "back to " << i;
  }
  Key(Qt::Key_Backspace);  // nothing further back
  EXPECT_EQ(Ranges(), startUp);
  for (std::size_t i = 1; i < views.size(); ++i) {
    Key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(Ranges(), views[i]) << "forward to " << i;
  }
  // The menu offers Back and Forward as far as they go.
  QTest::mouseClick(chart, Qt::RightButton, {}, QPoint(300, 150));
  EXPECT_TRUE(form->actBack->isEnabled());
  EXPECT_FALSE(form->actForward->isEnabled());
}

TEST_F(WindowTools, EscDuringTheZoomDragCancelsIt) {
  const QImage before = Shown();
  QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(100, 60));
  QTest::mouseMove(chart, QPoint(400, 200));
  Key(Qt::Key_Escape);
  EXPECT_EQ(Shown(), before);  // the frame is erased
  QTest::mouseMove(chart, QPoint(420, 220));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(420, 220));
  EXPECT_EQ(Ranges(), startUp);
  EXPECT_FALSE(Chart().IsZoomedIn());
}

TEST_F(WindowTools, KeysZoomAndPanByExactAmounts) {
  chart->setFocus(Qt::MouseFocusReason);
  const TCustomChartAxis& h = Chart().BottomAxis();
  const TCustomChartAxis& v = Chart().LeftAxis();
  // The visible ranges at start-up (automatic, widened for the markers).
  const double a = h.EffectiveMinimum, b = h.EffectiveMaximum, c = v.EffectiveMinimum,
               d = v.EffectiveMaximum;
  Key(Qt::Key_Plus);
  EXPECT_DOUBLE_EQ(h.Minimum(), (a + b) / 2 - (b - a) / 2 / 1.25);
  EXPECT_DOUBLE_EQ(h.Maximum(), (a + b) / 2 + (b - a) / 2 / 1.25);
  EXPECT_DOUBLE_EQ(v.Maximum() - v.Minimum(), (d - c) / 1.25);
  Key(Qt::Key_Minus);  // without a paint between: from the range just set
  EXPECT_NEAR(h.Minimum(), a, 1e-12);
  EXPECT_NEAR(h.Maximum(), b, 1e-12);
  const double a2 = h.Minimum(), b2 = h.Maximum(), c2 = v.Minimum(), d2 = v.Maximum();
  Key(Qt::Key_Right);
  EXPECT_DOUBLE_EQ(h.Minimum(), a2 + (b2 - a2) / 10);
  EXPECT_DOUBLE_EQ(h.Maximum(), b2 + (b2 - a2) / 10);
  Key(Qt::Key_Down);
  EXPECT_DOUBLE_EQ(v.Minimum(), c2 - (d2 - c2) / 10);
  // Ctrl++ (Ctrl+Shift+= on a US keyboard: "+" with Ctrl and Shift, or "=" with them),
  // Ctrl+= and Ctrl+- zoom as + and - do; Alt++ does not.
  const struct {
    const char* name;
    int key;
    Qt::KeyboardModifiers mods;
    double factor;  // the new width over the old
  } rows[] = {
      {"Ctrl++", Qt::Key_Plus, Qt::ControlModifier, 1 / 1.25},
      {"Ctrl+Shift+plus", Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier, 1 / 1.25},
      {"Ctrl+Shift+=", Qt::Key_Equal, Qt::ControlModifier | Qt::ShiftModifier, 1 / 1.25},
      {"Ctrl+=", Qt::Key_Equal, Qt::ControlModifier, 1 / 1.25},
      {"Ctrl+-", Qt::Key_Minus, Qt::ControlModifier, 1.25},
      {"Alt++", Qt::Key_Plus, Qt::AltModifier, 1},
  };
  for (const auto& row : rows) {
    const double width = h.Maximum() - h.Minimum();
    Key(row.key, row.mods);
    EXPECT_NEAR((h.Maximum() - h.Minimum()) / width, row.factor, 1e-12) << row.name;
  }
}

TEST_F(WindowTools, FocusByTabAndClickFrameOnlyAfterKeyboard) {
  EXPECT_FALSE(chart->hasFocus());
  EXPECT_FALSE(chart->FocusFrameShown());
  form->listGausses->setFocus(Qt::OtherFocusReason);
  QTest::keyClick(form->listGausses, Qt::Key_Tab);
  EXPECT_TRUE(chart->hasFocus());  // after the table
  EXPECT_TRUE(chart->FocusFrameShown());
  const QImage framed = form->grab().toImage();
  EXPECT_EQ(ImageOf(chart->Surface()).copy(), Shown());  // the frame is not in the chart's picture
  form->listGausses->setFocus(Qt::OtherFocusReason);
  EXPECT_FALSE(chart->FocusFrameShown());
  QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(300, 150));
  EXPECT_TRUE(chart->hasFocus());
  EXPECT_FALSE(chart->FocusFrameShown());
  EXPECT_NE(form->grab().toImage(), framed);
  Key(Qt::Key_Home);  // a key on the chart is keyboard navigation
  EXPECT_TRUE(chart->FocusFrameShown());
}

TEST_F(WindowTools, ReadoutTexts) {
  TChart& c = Chart();
  const TLineSeries& s = *form->seriesMain;
  // A pixel away from the curve: the values under it, as many decimals as a pixel needs.
  const int x = c.PlotRect.Left + 20, y = c.PlotRect.Top + 10;
  const std::string pixel = form->ChartReadoutText(x, y);
  EXPECT_EQ(pixel, "x = " + FormatPattern("0.00", c.BottomAxis().PixelToValue(x)) +
                       "\ny = " + FormatPattern("0.00", c.LeftAxis().PixelToValue(y)));
  EXPECT_NE(form->ChartReadoutText(x + 1, y), pixel);
  // Near a point: the point.
  ClickRadio(form->grpResolution->Button(1));
  chart->repaint();
  EXPECT_EQ(form->ChartReadoutText(s.XPixelOfPoint(101), s.YPixelOfPoint(101) + 1),
            "point 101, inserted\nx = " + FormatGeneral(s.PointX(101)) +
                "\ny = " + FormatGeneral(s.PointY(101)));
  EXPECT_EQ(form->ChartReadoutText(s.XPixelOfPoint(100), s.YPixelOfPoint(100)).substr(0, 17),
            "point 100, sample");
  // Nothing outside the plot.
  EXPECT_EQ(form->ChartReadoutText(c.PlotRect.Left - 5, y), "");
  EXPECT_EQ(form->ChartReadoutText(x, c.PlotRect.Bottom + 3), "");
  // An image cell.
  EXPECT_EQ(form->GridReadoutText(53, 40),
            "cell (53, 40)\nx = " + FormatGeneral(TProjectionModel::GridCoordinate(53)) +
                "\ny = " + FormatGeneral(TProjectionModel::GridCoordinate(40)) +
                "\nvalue = " + FormatGeneral(form->Grid[53][40]));
  EXPECT_EQ(form->GridReadoutText(126, 3), "");  // beyond the box
  EXPECT_EQ(form->GridReadoutText(-1, 3), "");

  // German separators.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QEvent change(QEvent::LocaleChange);
  QApplication::sendEvent(form.get(), &change);
  const std::string german = form->ChartReadoutText(x, y);
  EXPECT_NE(german.find(','), std::string::npos) << german;
  EXPECT_EQ(german.find('.'), std::string::npos) << german;
  EXPECT_EQ(form->GridReadoutText(0, 0).find("x = 1\ny = 1\nvalue = "), 12u);
  EXPECT_NE(form->GridReadoutText(53, 40).find("value = 0,"), std::string::npos);
  QLocale::setDefault(QLocale::c());
  QApplication::sendEvent(form.get(), &change);
  EXPECT_EQ(form->ChartReadoutText(x, y), pixel);
}

TEST_F(WindowTools, ReadoutShowsOnlyWhereThereIsSomethingToRead) {
  // Whether the control showed a readout for a mouse resting there.
  auto rest = [](QWidget* w, QPoint p) {
    QHelpEvent e(QEvent::ToolTip, p, w->mapToGlobal(p));
    QApplication::sendEvent(w, &e);
    return e.isAccepted();
  };
  const QPoint inside(chart->width() / 2, chart->height() / 2);
  ASSERT_TRUE(rest(chart, inside));
  ASSERT_TRUE(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text().toStdString(), form->ChartReadoutText(inside.x(), inside.y()));
  QTest::mouseMove(chart, inside + QPoint(7, 0));  // it follows the mouse
  EXPECT_EQ(QToolTip::text().toStdString(), form->ChartReadoutText(inside.x() + 7, inside.y()));
  EXPECT_FALSE(rest(chart, QPoint(3, 3)));  // the bevel: nothing
  ASSERT_TRUE(rest(form->boxNormal, QPoint(10, 20)));
  EXPECT_EQ(QToolTip::text().toStdString(), form->GridReadoutText(10, 20));
  QToolTip::hideText();
}

TEST_F(WindowTools, RightClickOpensTheMenuOnlyWithoutMovement) {
  RightDrag({300, 150}, {320, 140});
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  QTest::mouseClick(chart, Qt::RightButton, {}, QPoint(300, 150));
  ASSERT_EQ(QApplication::activePopupWidget(), form->menuChart);
  QStringList items;
  for (QAction* a : form->menuChart->actions())
    if (!a->isSeparator()) items << a->text();
  EXPECT_EQ(items.join("|").toStdString(),
            "Reset view\tHome|Back\tAlt+Left|Forward\tAlt+Right|Copy image|Save image…|Save points "
            "as CSV…|Mouse and keys…");
  form->menuChart->close();
  // The menu key opens it too, over the middle of the chart.
  QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(0, 0),
                        chart->mapToGlobal(QPoint(0, 0)));
  QApplication::sendEvent(chart, &key);
  ASSERT_EQ(QApplication::activePopupWidget(), form->menuChart);
  EXPECT_TRUE(form->menuChart->geometry().contains(
      chart->mapToGlobal(QPoint(chart->width() / 2, chart->height() / 2)) + QPoint(2, 2)));
  form->menuChart->close();
  // So do the Menu key and Shift+F10 pressed on the focused chart.
  chart->setFocus(Qt::TabFocusReason);
  for (const auto& [menuKey, mods] :
       {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
        std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
    Key(menuKey, mods);
    ASSERT_EQ(QApplication::activePopupWidget(), form->menuChart) << menuKey;
    form->menuChart->close();
  }
  Key(Qt::Key_F10);  // F10 alone is no menu key
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
}

TEST_F(WindowTools, CopyPutsTheChartAsShownOnTheClipboard) {
  ClickRadio(form->grpResolution->Button(2));
  LeftDrag({100, 60}, {400, 200});
  chart->repaint();
  QGuiApplication::clipboard()->clear();
  QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
  const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(copied.isNull());
  EXPECT_EQ(copied, Shown());
  // During a zoom drag: the frame is not copied, and the drag is over.
  QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(100, 60));
  QTest::mouseMove(chart, QPoint(300, 200));
  EXPECT_NE(Shown(), copied);
  form->actCopyImage->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), copied);
  EXPECT_FALSE(Chart().ZoomBox.InProgress);
}

TEST_F(WindowTools, SaveWritesTheChartAndThePointsOrSaysWhyNot) {
  QTemporaryDir dir;
  ClickRadio(form->grpResolution->Button(1));
  LeftDrag({100, 60}, {400, 200});
  chart->repaint();
  QStringList offered;
  QString answer = dir.filePath("chart.png");
  form->AskSavePath = [&](const QString&, const QString& name, const QString&, const QString&) {
    offered << name;
    return answer;
  };
  QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
  QImage saved(answer);
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
            ImageOf(*Chart().ChartCanvas().Buffer()).copy());

  answer = dir.filePath("points.csv");
  form->actSavePoints->trigger();
  QFile csv(answer);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_EQ(csv.readAll().toStdString(), PointsCsv(*form));
  EXPECT_EQ(offered.join("|").toStdString(), "projection-256x256.png|points-256x256.csv");

  // A folder that is not there: one message naming the file; the window goes on.
  answer = dir.filePath("missing/chart.png");
  form->actSaveImage->trigger();
  ASSERT_EQ(testing::ShownErrors().size(), 1u);
  EXPECT_NE(testing::ShownErrors()[0].find(answer.toStdString()), std::string::npos)
      << testing::ShownErrors()[0];
  EXPECT_TRUE(form->isVisible());
  // Cancelling the dialog writes nothing and says nothing.
  answer.clear();
  form->actSavePoints->trigger();
  EXPECT_EQ(testing::ShownErrors().size(), 1u);
}

TEST_F(WindowTools, StemsStayInsideThePlotWhenZoomedOrPanned) {
  ClickRadio(form->grpResolution->Button(2));
  auto outside = [&] {
    chart->repaint();
    const TBitmap& s = chart->Surface();
    const TRect clip = StemClipRect(Chart().PlotRect), title = Chart().Title().TitleBlockRect;
    int blue = 0, stray = 0;  // the title is written in blue too
    for (int y = 0; y < s.Height(); ++y)
      for (int x = 0; x < s.Width(); ++x)
        if (ColorOfPixel(s.PixelAt(x, y)) == clBlue && !title.Contains(x, y))
          ++(clip.Contains(x, y) ? blue : stray);
    EXPECT_GT(blue, 0);
    return stray;
  };
  EXPECT_EQ(outside(), 0);
  LeftDrag({150, 100}, {400, 230});
  EXPECT_EQ(outside(), 0);
  RightDrag({300, 100}, {200, 60});  // the zero line far below the plot
  EXPECT_EQ(outside(), 0);
  Key(Qt::Key_Minus);
  Key(Qt::Key_Minus);
  EXPECT_EQ(outside(), 0);
}

TEST_F(WindowTools, MouseAndKeysListsTheReadmeTable) {
  form->actMouseAndKeys->trigger();
  ASSERT_TRUE(form->dialogMouseAndKeys);
  auto* table = form->dialogMouseAndKeys->findChild<QTableWidget*>("tableMouseAndKeys");
  ASSERT_NE(table, nullptr);
  const auto& rows = MouseAndKeysRows();
  ASSERT_EQ(table->rowCount(), static_cast<int>(rows.size()));
  std::ifstream readme(QUARVEL_SOURCE_DIR "/README.md");
  std::stringstream text;
  text << readme.rdbuf();
  for (int r = 0; r < table->rowCount(); ++r) {
    EXPECT_EQ(table->item(r, 0)->text().toStdString(), rows[r].Gesture);
    const std::string line = std::string("| ") + rows[r].Gesture + " | " + rows[r].Effect + " |";
    EXPECT_NE(text.str().find(line), std::string::npos) << "README lacks: " << line;
  }
  form->dialogMouseAndKeys->close();
}

// Without a window manager nothing gives the window back its activation when a dialog
// over it closes; the window's shortcuts work only in the active window.
TEST_F(WindowTools, ShortcutsWorkAfterADialogCloses) {
  auto copied = [this] {
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(form.get(), Qt::Key_C, Qt::ControlModifier);
    return !QGuiApplication::clipboard()->image().isNull();
  };
  auto closeWhenShown = [] {
    QTimer::singleShot(0, [] {
      if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
  };
  const struct {
    const char* name;
    std::function<void()> showAndClose;
  } dialogs[] = {
      {"mouse and keys",
       [this] {
         form->actMouseAndKeys->trigger();
         ASSERT_TRUE(QTest::qWaitForWindowActive(form->dialogMouseAndKeys));
         form->dialogMouseAndKeys->close();
       }},
      {"error message box",
       [&] {
         closeWhenShown();
         testing::MessageBoxReporter()("The chart has not been drawn yet");
       }},
      {"save dialog, cancelled",
       [&] {
         form->AskSavePath = [this, &closeWhenShown](const QString&, const QString&, const QString&,
                                                     const QString&) {
           QFileDialog dialog(form.get());
           closeWhenShown();
           dialog.exec();
           return QString();
         };
         form->actSaveImage->trigger();
       }},
  };
  for (const auto& d : dialogs) {
    d.showAndClose();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), form.get()) << d.name;
    EXPECT_TRUE(copied()) << d.name;
  }
}

TEST_F(WindowTools, CtrlQAndCtrlWClose) {
  for (int key : {Qt::Key_Q, Qt::Key_W}) {
    if (!form) {
      SetUp();
    }
    QTest::keyClick(form.get(), static_cast<Qt::Key>(key), Qt::ControlModifier);
    EXPECT_FALSE(form->isVisible()) << key;
    form.reset();
  }
}

}  // namespace
}  // namespace quarvel
