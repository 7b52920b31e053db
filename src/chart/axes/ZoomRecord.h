#pragma once
// The two mouse drags of a chart: the zoom box and the pan track.

#include <utility>

namespace quarvel {

enum class TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held with a mouse event, and the double-click flag.
enum TShiftFlag : unsigned {
  ssShift = 1,
  ssAlt = 2,
  ssCtrl = 4,
  ssLeft = 8,
  ssRight = 16,
  ssMiddle = 32,
  ssDouble = 64
};
using TShiftState = unsigned;

struct TZoomPanningRecord {
  bool InProgress = false;
  int StartX = 0, StartY = 0;
  // The zoom box's moving corner; the pan track's previous mouse position.
  int EndX = 0, EndY = 0;

  void ActivateDrag(int x, int y) {
    StartX = EndX = x;
    StartY = EndY = y;
    InProgress = true;
  }
  void NormaliseBox() {
    if (EndX < StartX) std::swap(StartX, EndX);
    if (EndY < StartY) std::swap(StartY, EndY);
  }
};

}  // namespace quarvel
