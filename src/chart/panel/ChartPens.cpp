#include "chart/panel/ChartPens.h"

namespace quarvel {

void TChartPen::Assign(const TPen& source) {
  if (const auto* chartPen = dynamic_cast<const TChartPen*>(&source)) {
    SetVisible(chartPen->visible_);
    SetSmallDots(chartPen->smallDots_);
  }
  TPen::Assign(source);
}

}  // namespace quarvel
