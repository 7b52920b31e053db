#pragma once
// The visible part of a line whose ends may lie far outside the picture: a point of the
// projection can map billions of pixels away in a deep zoom, beyond what integer pixels
// hold. The segment is cut to a rectangle in extended precision first; only the cut
// ends, a few pixels from the picture, become integer pixels.
//
// Pure: no chart, no canvas.

namespace quarvel {

// A point in unrounded pixels (x to the right, y downwards).
struct TPixelPoint {
  long double x = 0, y = 0;
};

// Cuts the segment from `a` to `b` to the rectangle left <= x <= right, top <= y <= bottom:
// false when no part of it lies inside (or an end is not a finite number), else true with
// `a` and `b` moved along the segment to the ends of the part inside (an end inside
// stays where it is). A segment of one point inside is kept.
bool ClipSegment(TPixelPoint& a, TPixelPoint& b, long double left, long double top,
                 long double right, long double bottom);

}  // namespace quarvel
