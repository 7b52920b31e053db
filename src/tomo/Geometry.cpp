#include "tomo/Geometry.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <thread>

#include "format/MessageFormat.h"

namespace quarvel {
namespace {

void CheckIntRange(const char* name, int value, int low, int high) {
  if (value < low || value > high)
    throw EInvalidGeometry(
        FormatMessage("%s must be from %d to %d, not %d",
                      {std::string(name), int64_t{low}, int64_t{high}, int64_t{value}}));
}

}  // namespace

ECancelled::ECancelled() : Exception("The computation was cancelled") {}

int ResolveThreadCount(int threads) {
  if (threads > 0) return threads;
  const unsigned processors = std::thread::hardware_concurrency();
  return processors == 0 ? 1 : static_cast<int>(processors);
}

double TScanGeometry::Step() { return 19.0 / 127.0; }

double TScanGeometry::AngleDegrees(int view) const { return view * ArcDegrees / Views; }

double TScanGeometry::AngleRadians(int view) const {
  return AngleDegrees(view) * (std::numbers::pi / 180);
}

// The multiples of 90 degrees come out exact, so that the rays of 0 and 90 degrees run
// exactly along the grid's columns and rows; elsewhere the angle is reduced to the first
// half turn in degrees (exact: fmod is) before it is turned into radians.
double TScanGeometry::Cos(int view) const {
  const double degrees = std::fmod(AngleDegrees(view), 360.0);
  if (degrees == 0) return 1;
  if (degrees == 90 || degrees == 270) return 0;
  if (degrees == 180) return -1;
  return std::cos(degrees * (std::numbers::pi / 180));
}

double TScanGeometry::Sin(int view) const {
  const double degrees = std::fmod(AngleDegrees(view), 360.0);
  if (degrees == 0 || degrees == 180) return 0;
  if (degrees == 90) return 1;
  if (degrees == 270) return -1;
  return std::sin(degrees * (std::numbers::pi / 180));
}

double TScanGeometry::BinCells(int bin) const { return bin - (Detectors - 1) / 2.0; }

double TScanGeometry::BinPosition(int bin) const { return BinCells(bin) * 19 / 127; }

void CheckGeometry(const TScanGeometry& geometry) {
  CheckIntRange("views", geometry.Views, 1, 100000);
  CheckIntRange("detectors", geometry.Detectors, 2, 10000);
  const double arc = geometry.ArcDegrees;
  if (!(arc > 0 && arc <= 360))
    throw EInvalidGeometry(
        FormatMessage("arc must be greater than 0 and at most 360 degrees, not %g",
                      {static_cast<long double>(arc)}));
}

}  // namespace quarvel
