#pragma once
// The framework control that something draws itself on (the chart, here): its client
// size, a surface of its own, and whole-control invalidation. A window widget and a
// plain bitmap (for drawing without a window) both provide it.

#include "platform/Canvas.h"

namespace quarvel {

// The framework control a chart sits on.
class TChartHost {
 public:
  virtual ~TChartHost() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // The control's own surface (where a paint's result goes).
  virtual TCanvas* OwnSurface() = 0;
  // Requests a paint of the whole control later.
  virtual void Invalidate() = 0;
  // The own surface was drawn on outside a paint (a zoom box): show it as it is,
  // without asking the owner to paint.
  virtual void ShowSurface() {}
  // Shows the cursor with this id over the control (0: the default cursor).
  virtual void ShowCursor(int) {}
  // Where the texts of a paint of the own surface go instead of into its pixels, asked
  // at the start of each such paint (the texts of the paint before are then dropped);
  // none draws them into the pixels.
  virtual TTextSink PaintTextSink() { return {}; }
  // Whether the control sits in a parent window (a bitmap host stands for one).
  virtual bool HasParentWindow() const { return true; }
};

}  // namespace quarvel
