#pragma once
// The main window's projection chart configured by the window's own code, with the
// window's stem handler bound, drawn without a window (651 x 302 by default).

#include "MainChart.h"

namespace quarvel::testing {

struct WindowChart : MainChart {
  explicit WindowChart(int width = 651, int height = 302);

  // The radio group's index the stems follow: 0 draws none.
  int resolution = 0;
};

}  // namespace quarvel::testing
