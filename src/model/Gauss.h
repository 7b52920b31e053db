#pragma once
// One Gaussian blob of the phantom and the densities it is built from.
//
// A blob is a mean and a spread along X and along Y in model units (the grid spans
// 1 ... 20 on both axes). Its value at a point is the geometric mean of the two
// one-dimensional normal densities. All arithmetic runs in extended precision and is
// rounded to double where a value is returned; a zero spread raises a floating-point
// error (EInvalidOp or EZeroDivide).

#include <memory>

namespace quarvel {

class TGauss3D {
 public:
  TGauss3D(double mx, double dx, double my, double dy) : DX(dx), DY(dy), MX(mx), MY(my) {}

  // The blob's value at the model point (x, y): sqrt(density_y * density_x).
  double BlobValue(double x, double y) const;

  double DX;
  double DY;
  double MX;
  double MY;
  bool Enabled = true;
};

// The normal probability density with the given mean and standard deviation at x.
// The spread enters with its sign; x and mean are interchangeable.
double NormalDensity(double x, double mean, double spread);

// Whether a blob of this spread has a density beyond the double range at its mean, as
// NormalDensity computes it (a spread of about 1e-308 and less): the readers of blob
// lists refuse such a spread with a sentence.
bool PeakOverflows(double spread);

// The blob value from its two densities, exactly as BlobValue combines them.
double CombineDensities(double densityX, double densityY);

// Whoever keeps the blob list: the main window. It takes each new blob, appends it
// to its list and runs its update cycle.
class TBlobRegistry {
 public:
  virtual void RegisterBlob(std::unique_ptr<TGauss3D> blob) = 0;

 protected:
  ~TBlobRegistry() = default;
};

// The application's main-window reference as the model sees it; empty until a main
// window exists.
TBlobRegistry* MainBlobRegistry();
void SetMainBlobRegistry(TBlobRegistry* registry);

// Creates a blob. With a main window set, the blob is handed to it (which may run the
// update cycle, and may throw) and the result is empty; without one, the blob is only
// constructed and returned to its creator.
std::unique_ptr<TGauss3D> CreateBlob(double mx, double dx, double my, double dy);
// The same with the blob's Enabled flag set before it is handed over (a phantom file's
// blob that takes no part in the grid).
std::unique_ptr<TGauss3D> CreateBlob(double mx, double dx, double my, double dy, bool enabled);

}  // namespace quarvel
