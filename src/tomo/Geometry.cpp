#include "tomo/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <thread>
#include <utility>

#include "format/MessageFormat.h"

namespace quarvel {
namespace {

void CheckIntRange(const char* name, int value, int low, int high) {
  if (value < low || value > high)
    throw EInvalidGeometry(
        FormatFixedMessage("%s must be from %d to %d, not %d",
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

double TScanGeometry::AngleDegrees(int view) const {
  return Angles.empty() ? view * ArcDegrees / Views : Angles[std::size_t(view)];
}

const char* BeamName(TBeam beam) {
  switch (beam) {
    case TBeam::Parallel:
      return "parallel";
    case TBeam::FanFlat:
      return "fan-flat";
    case TBeam::FanArc:
      break;
  }
  return "fan-arc";
}

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

// With the default spacing 1 and offset 0 the sum and the product are exact, so the
// positions are the half-integers and integers they always were.
double TScanGeometry::BinCells(int bin) const {
  return (bin - (Detectors - 1) / 2.0 + Offset) * Spacing;
}

TScanGeometry MeasuredAngles(std::vector<double> angles, int detectors) {
  TScanGeometry geometry;
  geometry.Views = static_cast<int>(std::min<std::size_t>(angles.size(), 1u << 30));
  geometry.Angles = std::move(angles);
  geometry.Detectors = detectors;
  return geometry;
}

TArray2D::TArray2D(const TArrayView& view) : TArray2D(view.Rows, view.Columns) {
  for (int r = 0; r < Rows; ++r)
    for (int c = 0; c < Columns; ++c) At(r, c) = view.At(r, c);
}

void CheckImageSize(const TImageSize& size) {
  CheckIntRange("columns", size.Columns, 8, 4096);
  CheckIntRange("rows", size.Rows, 8, 4096);
}

double TScanGeometry::BinPosition(int bin) const { return BinCells(bin) * 19 / 127; }

void CheckGeometry(const TScanGeometry& geometry) {
  if (!geometry.Angles.empty()) {
    if (geometry.Angles.size() > 100000)
      throw EInvalidGeometry(FormatFixedMessage("angles must be from 1 to 100000, not %d",
                                                {static_cast<int64_t>(geometry.Angles.size())}));
    if (std::size_t(geometry.Views) != geometry.Angles.size())
      throw EInvalidGeometry(FormatFixedMessage(
          "views must equal the %d angles, not %d",
          {static_cast<int64_t>(geometry.Angles.size()), int64_t{geometry.Views}}));
    for (std::size_t k = 0; k < geometry.Angles.size(); ++k)
      if (!std::isfinite(geometry.Angles[k]))
        throw EInvalidGeometry(
            FormatFixedMessage("angle %d must be finite", {static_cast<int64_t>(k)}));
  }
  CheckIntRange("views", geometry.Views, 1, 100000);
  CheckIntRange("detectors", geometry.Detectors, 2, 10000);
  const double arc = geometry.ArcDegrees;
  if (geometry.Angles.empty() && !(arc > 0 && arc <= 360))
    throw EInvalidGeometry(
        FormatFixedMessage("arc must be greater than 0 and at most 360 degrees, not %g",
                           {static_cast<long double>(arc)}));
  if (!(geometry.Spacing > 0 && std::isfinite(geometry.Spacing)))
    throw EInvalidGeometry(
        FormatFixedMessage("detector spacing must be finite and greater than 0, not %g",
                           {static_cast<long double>(geometry.Spacing)}));
  if (!(std::fabs(geometry.Offset) <= geometry.Detectors))
    throw EInvalidGeometry(FormatFixedMessage(
        "detector offset must be at most the %d bins, not %g",
        {int64_t{geometry.Detectors}, static_cast<long double>(geometry.Offset)}));
}

}  // namespace quarvel
