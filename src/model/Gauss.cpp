#include "model/Gauss.h"

#include "base/Exception.h"
#include "model/CheckedFloat.h"

namespace quarvel {
namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559005768L;
TBlobRegistry* gMainRegistry = nullptr;

}  // namespace

double NormalDensity(double x, double mean, double spread) {
  const Checked d = Checked(x) - mean;
  const Checked e = -(d * d) / (Checked(spread) * spread * 2);
  return (Exp(e) / (Sqrt(kTwoPi) * spread)).ToDouble();
}

bool PeakOverflows(double spread) {
  try {
    NormalDensity(0.0, 0.0, spread);
    return false;
  } catch (const EOverflow&) {
    return true;
  }
}

double CombineDensities(double densityX, double densityY) {
  return Sqrt(Checked(densityY) * densityX).ToDouble();
}

double TGauss3D::BlobValue(double x, double y) const {
  const double px = NormalDensity(x, MX, DX);
  const double py = NormalDensity(y, MY, DY);
  return CombineDensities(px, py);
}

TBlobRegistry* MainBlobRegistry() { return gMainRegistry; }
void SetMainBlobRegistry(TBlobRegistry* registry) { gMainRegistry = registry; }

std::unique_ptr<TGauss3D> CreateBlob(double mx, double dx, double my, double dy) {
  return CreateBlob(mx, dx, my, dy, true);
}

std::unique_ptr<TGauss3D> CreateBlob(double mx, double dx, double my, double dy, bool enabled) {
  auto blob = std::make_unique<TGauss3D>(mx, dx, my, dy);
  blob->Enabled = enabled;
  if (gMainRegistry) {
    gMainRegistry->RegisterBlob(std::move(blob));
    return nullptr;
  }
  return blob;
}

}  // namespace quarvel
