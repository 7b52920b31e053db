#pragma once
// What decides the view a chart shows, as a value the gestures record and restore: the
// axes' ranges and automatic flags, and the zoom's saved state. The view history
// (ViewHistory.h) holds pairs of these; going back applies one.

#include <array>

namespace quarvel {

// The values an axis had before the first zoom or pan.
struct TSavedAxisState {
  bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
  double Minimum = 0, Maximum = 0;
  friend bool operator==(const TSavedAxisState&, const TSavedAxisState&) = default;
};

// Everything that decides what the chart shows of its series: the top, left, right and
// bottom axes' ranges and automatic flags, and the zoom's saved state with its flags,
// so that going back to a view also brings back what an undo drag would restore.
struct TChartViewState {
  std::array<TSavedAxisState, 4> Axes;
  std::array<TSavedAxisState, 4> Saved;
  bool SavePending = true;
  bool ZoomedIn = false;
  friend bool operator==(const TChartViewState&, const TChartViewState&) = default;
};

}  // namespace quarvel
