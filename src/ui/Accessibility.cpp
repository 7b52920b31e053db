#include "ui/Accessibility.h"

#include <QString>

#include "format/NumberFormat.h"
#include "ui/MainFormUnit.h"

namespace quarvel {

std::string ChartDescription(int points, double xMinimum, double xMaximum, double yMinimum,
                             double yMaximum) {
  const auto range = [](const char* axis, double from, double to) {
    return std::string(axis) + " " + FormatGeneral(from, 3) + " to " + FormatGeneral(to, 3);
  };
  return std::to_string(points) + (points == 1 ? " point; " : " points; ") +
         range("x", xMinimum, xMaximum) + "; " + range("y", yMinimum, yMaximum);
}

void DescribeControls(TformMain& form) {
  const auto describe = [](QWidget* widget, const char* name, const char* description) {
    widget->setAccessibleName(name);
    widget->setAccessibleDescription(description);
  };
  describe(form.btnClose, "Close", "Closes the window and ends the program");
  describe(form.grpResolution, "Resolution",
           "The points of the zero projection chart: 128, 255 or 509");
  describe(form.boxNormal, "Density grid image",
           "The phantom's 128 by 128 density grid in shades of green, brighter where denser");
  describe(form.listGausses, "Blob table",
           "The phantom's blobs, one a row: mean and spread along X (MX, DX) and along Y (MY, DY)");
  describe(form.chartMainControl, "Zero projection chart", "");
  if (form.chartMainControl->focusPolicy() == Qt::NoFocus)
    form.chartMainControl->setFocusPolicy(Qt::StrongFocus);
  UpdateChartDescription(form);
}

void UpdateChartDescription(TformMain& form) {
  TChart& chart = *form.chartMain;
  const QString text = QString::fromStdString(ChartDescription(
      form.seriesMain->PointCount(), chart.BottomAxis().Minimum(), chart.BottomAxis().Maximum(),
      chart.LeftAxis().Minimum(), chart.LeftAxis().Maximum()));
  if (form.chartMainControl->accessibleDescription() != text)
    form.chartMainControl->setAccessibleDescription(text);
}

}  // namespace quarvel
