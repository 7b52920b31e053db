#pragma once
// The scan of one view drawn over the phantom's picture: for a fan the source S, the two
// edge rays, the ray of one bin and the detector (a line for fan-flat, an arc for
// fan-arc); for parallel beam the edge rays, the bin's ray and the detector line.
//
// The geometry is pure arithmetic in picture pixels, as doubles that may lie far outside
// the picture (the source always lies beyond the image's circumscribed circle); the
// painter clips it. The bench shows it over the phantom shrunk to fit (ScanPlacement). Positions
// follow the core's conventions (tomo/FanBeam.h): pixel (ix, iy) at (ix, iy), y downwards as the
// picture shows the image, the centre c at
// ((C - 1) / 2, (R - 1) / 2). At view angle beta the central ray runs along
// e = (-sin beta, cos beta) and the source lies at c - R e: at beta = 0 straight above
// the centre, at 90 degrees right of it. The placement maps cells to picture pixels,
// zoom and pan included.

#include <vector>

#include "bench/BenchPictures.h"
#include "platform/Canvas.h"
#include "tomo/Geometry.h"

namespace quarvel {

struct TPointF {
  double X = 0;
  double Y = 0;
};

struct TBeamDrawing {
  bool Fan = false;
  TPointF Centre;
  TPointF Source;  // fan beam only
  // Each ray from where it starts (the source; in parallel beam the far side of the
  // image's circumscribed circle) to its bin on the detector.
  TPointF FirstStart, FirstEnd;  // bin 0
  TPointF LastStart, LastEnd;    // bin M - 1
  TPointF RayStart, RayEnd;      // the chosen bin
  // The detector from bin 0 to bin M - 1: its two ends for a line, a polyline for an arc.
  std::vector<TPointF> Detector;
};

// The drawing of view `view` and bin `bin` (both inside the geometry) over an image of the
// placement's rows and columns. Parallel beam puts the detector on the image's
// circumscribed circle, at c + r e + t a.
TBeamDrawing BeamDrawing(const TScanGeometry& geometry, int view, int bin,
                         const TPlacement& placement);

// Where the phantom's picture goes while a scan is drawn over it: the whole array (no
// zoom) shrunk about the centre of `picture`'s place so that the scan of every view fits
// there (the views turn about the centre, so one view's farthest point from it is every
// view's), with the largest scale that does, and never larger than `picture`'s own. With
// the default R the image takes about a quarter of its usual side.
TPlacement ScanPlacement(const TScanGeometry& geometry, const TPlacement& picture);

// Cuts the segment a-b to the rectangle [left, right] x [top, bottom]; false when no part
// of it lies inside (or a point is not finite).
bool ClipSegment(TPointF& a, TPointF& b, double left, double top, double right, double bottom);

// Paints the drawing clipped to `clip`: the edge rays and the detector in orange, the
// bin's ray in yellow, two pixels wide, and S as a filled square labelled "S" where it
// lies inside `clip`, else at the clip's edge on the way from the centre to S.
void PaintBeam(TCanvas& canvas, const TBeamDrawing& drawing, const TRect& clip,
               const TTextOut& text = {});

}  // namespace quarvel
