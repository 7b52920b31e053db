// What assistive technology finds in the main window, read through the toolkit's
// accessibility interfaces, and the keyboard-only path through its controls.

#include "ui/Accessibility.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QTest>

#include <set>

#include "WindowTesting.h"
#include "format/NumberFormat.h"
#include "ui/MainFormUnit.h"

namespace quarvel {
namespace {

TEST(ChartDescription, CountsPointsAndNamesTheVisibleRanges) {
  const struct {
    const char* name;
    int points;
    double x0, x1, y0, y1;
    const char* expected;
  } rows[] = {
      {"start-up ranges", 128, 1.0, 20.0, 0.17346, 15.5012,
       "128 points; x 1 to 20; y 0.173 to 15.5"},
      {"one point", 1, 2.0, 2.0, 3.0, 3.0, "1 point; x 2 to 2; y 3 to 3"},
      {"no points", 0, 0.0, 0.0, 0.0, 0.0, "0 points; x 0 to 0; y 0 to 0"},
      {"a zoom straddling zero", 509, -0.5, 3.25, -1234.5, 0.0001234,
       "509 points; x -0.5 to 3.25; y -1.23E3 to 0.000123"},
      {"three digits round", 255, 9.9999, 10.05, 0.0, 99.95,
       "255 points; x 10 to 10.1; y 0 to 100"},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ChartDescription(r.points, r.x0, r.x1, r.y0, r.y1), r.expected) << r.name;

  SetNumberSeparators(",", ".");
  EXPECT_EQ(ChartDescription(3, 1.5, 2.0, 0.25, 1.0), "3 points; x 1,5 to 2; y 0,25 to 1");
  SetNumberSeparators(".", ",");
}

class AccessibleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form = testing::ShowMainWindow();
    ASSERT_TRUE(form);
  }
  static QString Text(QWidget* widget, QAccessible::Text what) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(what) : QString("(no accessible interface)");
  }
  QString ChartDescriptionNow() {
    form->chartMainControl->repaint();
    return Text(form->chartMainControl, QAccessible::Description);
  }
  std::unique_ptr<TformMain> form;
};

TEST_F(AccessibleWindow, ControlsHaveNamesAndDescriptions) {
  const struct {
    QWidget* widget;
    const char* name;
    const char* describes;  // a word of the description
  } rows[] = {
      {form->chartMainControl, "Zero projection chart", "points"},
      {form->boxNormal, "Density grid image", "128 by 128"},
      {form->listGausses, "Blob table", "MX"},
      {form->grpResolution, "Resolution", "509"},
      {form->btnClose, "Close", "Closes"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Text(r.widget, QAccessible::Name).toStdString(), r.name);
    EXPECT_TRUE(Text(r.widget, QAccessible::Description).contains(r.describes))
        << r.name << ": " << Text(r.widget, QAccessible::Description).toStdString();
  }
  // The radio buttons and the table's columns speak for themselves.
  EXPECT_EQ(Text(form->grpResolution->Button(2), QAccessible::Name).toStdString(), "512x512");
}

TEST_F(AccessibleWindow, ChartDescriptionFollowsResolutionAndZoom) {
  TChart& c = *form->chartMain;
  const auto expected = [&c](int points) {
    return QString::fromStdString(ChartDescription(points, c.BottomAxis().Minimum(),
                                                   c.BottomAxis().Maximum(), c.LeftAxis().Minimum(),
                                                   c.LeftAxis().Maximum()));
  };
  QString text = ChartDescriptionNow();
  EXPECT_TRUE(text.startsWith("128 points; x 1 to 20; y ")) << text.toStdString();
  EXPECT_EQ(text, expected(128));

  testing::ClickRadio(form->grpResolution->Button(2));
  text = ChartDescriptionNow();
  EXPECT_TRUE(text.startsWith("509 points; x 1 to 20; y ")) << text.toStdString();

  QWidget* chart = form->chartMainControl;
  QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(100, 80));
  QTest::mouseMove(chart, QPoint(200, 160));
  QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(200, 160));
  ASSERT_TRUE(c.IsZoomedIn());
  text = ChartDescriptionNow();
  EXPECT_EQ(text, expected(509));
  EXPECT_FALSE(text.contains("x 1 to 20")) << text.toStdString();
}

TEST_F(AccessibleWindow, TabReachesEveryControlInOrder) {
  QApplication::setActiveWindow(form.get());
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  form->btnClose->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(QApplication::focusWidget(), form->btnClose);
  std::vector<QWidget*> path = {form->btnClose};
  for (int i = 0; i < 10 && (path.size() == 1 || path.back() != form->btnClose); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    path.push_back(QApplication::focusWidget());
  }
  // Close, the checked radio button, the table, the chart, and round to Close again.
  const std::vector<QWidget*> expected = {form->btnClose, form->grpResolution->Button(0),
                                          form->listGausses, form->chartMainControl,
                                          form->btnClose};
  EXPECT_EQ(path, expected);
}

}  // namespace
}  // namespace quarvel
