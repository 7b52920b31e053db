#pragma once
// How far a reconstruction lies from the truth (the grid). Every figure takes the data
// range L = max - min of the truth.

#include "tomo/Geometry.h"

namespace quarvel {

struct TImageMetrics {
  double Rmse = 0;
  double Nrmse = 0;  // Rmse / L
  double Psnr = 0;   // 20 log10(L / Rmse); +inf when the images are equal
  double Ssim = 0;
};

// reconstruction - truth, cell by cell.
TArray2D DifferenceImage(const TArray2D& reconstruction, const TArray2D& truth);

// SSIM with a Gaussian window (sigma 1.5, radius 5, weights normalised), K1 = 0.01,
// K2 = 0.03, population covariances, averaged over the positions where the window lies
// inside the image. Uses the processors the system has; the result does not depend on
// their number.
double StructuralSimilarity(const TArray2D& a, const TArray2D& b, double dataRange);

TImageMetrics CompareImages(const TArray2D& reconstruction, const TArray2D& truth);

}  // namespace quarvel
