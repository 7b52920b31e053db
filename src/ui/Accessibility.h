#pragma once
// What assistive technology hears about the main window: a name and a description
// for each control that shows or takes something, the chart's description following
// its points and visible ranges, and a Tab path that reaches every control that takes
// input (the close button, the resolution group, the blob table, the chart).

#include <string>

namespace quarvel {

class TformMain;

// "509 points; x 1 to 20; y 0.2 to 15.5": the point count and the visible ranges of
// the bottom and left axes, three significant digits in the locale's separators.
std::string ChartDescription(int points, double xMinimum, double xMaximum, double yMinimum,
                             double yMaximum);

// Names and describes the window's controls and lets the chart take focus by Tab and
// click; call once the controls exist.
void DescribeControls(TformMain& form);

// Sets the chart's description from what it shows now (after a paint); only a
// changed text is set, so assistive technology hears of changes only.
void UpdateChartDescription(TformMain& form);

}  // namespace quarvel
