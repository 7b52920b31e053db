#pragma once
// The chart's pens, brush and 3D settings: framework objects with chart defaults whose
// change notification (OnChange) the owner connects to the chart's invalidation.

#include "platform/GraphicsObjects.h"

namespace quarvel {

// A framework pen with a Visible switch (False: nothing is drawn with it) and a
// SmallDots style (one-pixel alternate dots instead of the pen's style).
class TChartPen : public TPen {
 public:
  bool Visible() const { return visible_; }
  bool SmallDots() const { return smallDots_; }
  void SetVisible(bool v) { Set(visible_, v); }
  void SetSmallDots(bool v) { Set(smallDots_, v); }
  // From a chart pen also copies Visible and SmallDots; then colour, width, style, mode.
  void Assign(const TPen& source) override;

 protected:
  bool visible_ = true;
  bool smallDots_ = false;
};

// Title frame, minor grid.
class TChartHiddenPen : public TChartPen {
 public:
  TChartHiddenPen() { visible_ = false; }
};

// Axis grid: grey dots.
class TDottedGrayPen : public TChartPen {
 public:
  TDottedGrayPen() {
    SetColor(clGray);
    SetStyle(TPenStyle::psDot);
  }
};

// Ticks.
class TDarkGrayPen : public TChartPen {
 public:
  TDarkGrayPen() { SetColor(clGray); }
};

// Mark arrows.
class TChartArrowPen : public TChartPen {
 public:
  TChartArrowPen() { SetColor(clWhite); }
};

// Axis lines: two pixels wide.
class TChartAxisPen : public TChartPen {
 public:
  TChartAxisPen() { SetWidth(2); }
};

// A framework brush whose colour starts as clAutoColor (not set).
class TChartBrush : public TBrush {
 public:
  TChartBrush() : TBrush(clAutoColor) {}
};

// The published 3D settings: stored, not drawn. They keep their defaults and every
// change notifies the owner (the chart repaints), but no paint reads them: the chart
// projects nothing, in 2D or 3D.
class TView3DOptions : public TGraphicsObject {
 public:
  int Elevation() const { return elevation_; }
  int HorizOffset() const { return horizOffset_; }
  bool Orthogonal() const { return orthogonal_; }
  int Perspective() const { return perspective_; }
  int Rotation() const { return rotation_; }
  int Tilt() const { return tilt_; }
  int VertOffset() const { return vertOffset_; }
  int Zoom() const { return zoom_; }
  bool ZoomText() const { return zoomText_; }
  void SetElevation(int v) { Set(elevation_, v); }
  void SetHorizOffset(int v) { Set(horizOffset_, v); }
  void SetOrthogonal(bool v) { Set(orthogonal_, v); }
  void SetPerspective(int v) { Set(perspective_, v); }
  void SetRotation(int v) { Set(rotation_, v); }
  void SetTilt(int v) { Set(tilt_, v); }
  void SetVertOffset(int v) { Set(vertOffset_, v); }
  void SetZoom(int v) { Set(zoom_, v); }
  void SetZoomText(bool v) { Set(zoomText_, v); }
  // Tells the owner to repaint, as a changed setting does.
  void NotifyOwner() { Changed(); }

 private:
  int elevation_ = 345;
  int horizOffset_ = 0;
  bool orthogonal_ = true;
  int perspective_ = 15;
  int rotation_ = 345;
  int tilt_ = 0;
  int vertOffset_ = 0;
  int zoom_ = 100;
  bool zoomText_ = true;
};

}  // namespace quarvel
