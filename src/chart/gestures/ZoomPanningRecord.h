#pragma once
// The two mouse drags of a chart (the zoom box and the pan track) and the mouse types
// the chart's gestures take. Pixels are the chart's client pixels, y downwards.

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

  // Starts a drag at (x, y): both corners there, in progress.
  void ActivateDrag(int x, int y) {
    StartX = EndX = x;
    StartY = EndY = y;
    InProgress = true;
  }
  // Orders the corners: Start becomes the upper left, End the lower right.
  void NormaliseBox() {
    if (EndX < StartX) std::swap(StartX, EndX);
    if (EndY < StartY) std::swap(StartY, EndY);
  }
};

}  // namespace quarvel
