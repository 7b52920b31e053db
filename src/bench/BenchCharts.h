#pragma once
// The bench's plots: charts of the program's own engine, each on its own control, with
// the main window's mouse gestures (zoom, undo, pan, wheel, the view keys).

#include <memory>
#include <string>
#include <vector>

#include "chart/control/Chart.h"
#include "chart/series/Series.h"
#include "platform/window/Controls.h"

namespace quarvel {

class TBenchChart {
 public:
  // A chart titled `title` on a new control under `parent`, with one line series per
  // colour (no point marks), a white back wall, no legend, in 2D.
  TBenchChart(QWidget* parent, const std::string& title, const std::vector<TColor>& colors,
              const std::string& bottomTitle);
  ~TBenchChart();
  TBenchChart(const TBenchChart&) = delete;
  TBenchChart& operator=(const TBenchChart&) = delete;

  TChartControl* Control() const { return control_; }
  TChart& Chart() { return *chart_; }
  TLineSeries& Series(int index) { return *series_.at(static_cast<std::size_t>(index)); }
  int SeriesCount() const { return static_cast<int>(series_.size()); }
  void SetTitle(const std::string& title);
  // Replaces one series' points.
  void SetPoints(int series, const std::vector<double>& x, const std::vector<double>& y);
  // Appends a point to one series.
  void AddPoint(int series, double x, double y);

 private:
  TChartControl* control_;  // owned by its parent widget
  std::unique_ptr<TChart> chart_;
  std::vector<std::unique_ptr<TLineSeries>> series_;
};

}  // namespace quarvel
