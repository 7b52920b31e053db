#pragma once
// How far a reconstruction lies from the truth, over the whole image or a region of it.
//
// A region is the whole image (the default), the disc every view of a parallel scan sees
// (the pixels whose centres lie within (min(C, R) - 1) / 2 of the image's centre
// ((C - 1) / 2, (R - 1) / 2), C columns and R rows), or a rectangle of pixels. The figures
// over a region take only its pixels: the data range L = max - min of the truth there,
// the squared differences there, and SSIM averaged over the window positions whose
// centre lies there (a window may reach pixels outside the region: it is the statistic
// around each counted pixel). The difference image keeps the size of the inputs and holds
// 0 outside the region. Over the whole image every figure and the difference are those of
// the plain comparison, bit for bit.

#include "tomo/Geometry.h"

namespace quarvel {

struct TImageMetrics {
  double Rmse = 0;
  double Nrmse = 0;  // Rmse / L
  double Psnr = 0;   // 20 log10(L / Rmse); +inf when the images are equal
  double Ssim = 0;   // NaN when no window position lies in the region
  friend bool operator==(const TImageMetrics&, const TImageMetrics&) = default;
};

struct TRegion {
  enum class TShape { Whole, Circle, Rectangle };
  TShape Shape = TShape::Whole;
  // Rectangle: the columns [Left, Right) and rows [Top, Bottom) of pixels.
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  static TRegion Whole() { return {}; }
  static TRegion Circle() { return {TShape::Circle}; }
  static TRegion Rectangle(int left, int top, int right, int bottom) {
    return {TShape::Rectangle, left, top, right, bottom};
  }
  // Whether pixel (ix, iy) of an image of `columns` x `rows` lies in the region. The
  // circle's test is exact: (2 ix - (C - 1))^2 + (2 iy - (R - 1))^2 <= (min(C, R) - 1)^2
  // in whole numbers.
  bool Contains(int ix, int iy, int columns, int rows) const;
  friend bool operator==(const TRegion&, const TRegion&) = default;
};

// Raises EInvalidStudyValue unless the region holds at least one pixel of an image of
// `columns` x `rows`: a rectangle must lie inside the image (0 <= Left < Right <= C,
// 0 <= Top < Bottom <= R).
void CheckRegion(const TRegion& region, int columns, int rows);

// reconstruction - truth, pixel by pixel, 0 outside the region. Raises
// EInvalidStudyValue for images of different sizes or a region CheckRegion refuses.
TArray2D DifferenceImage(const TArrayView& reconstruction, const TArrayView& truth,
                         const TRegion& region = {});

// SSIM with a Gaussian window (sigma 1.5, radius 5, weights normalised), K1 = 0.01,
// K2 = 0.03, population covariances, averaged over the positions where the window lies
// inside the image and whose centre lies in the region (NaN if there is none). Uses the
// processors the system has; the result does not depend on their number. Raises
// EInvalidStudyValue for images under 11 x 11.
double StructuralSimilarity(const TArrayView& a, const TArrayView& b, double dataRange,
                            const TRegion& region = {});

// Every figure of TImageMetrics over the region (see above); SSIM is NaN for images
// under 11 x 11.
TImageMetrics CompareImages(const TArrayView& reconstruction, const TArrayView& truth,
                            const TRegion& region = {});

}  // namespace quarvel
