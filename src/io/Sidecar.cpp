#include "io/Sidecar.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace quarvel {
namespace {

using Json = nlohmann::ordered_json;

constexpr TBeam kBeams[] = {TBeam::Parallel, TBeam::FanFlat, TBeam::FanArc};

[[noreturn]] void Fail(const std::string& name, const std::string& reason) {
  throw EArrayReadError(name + ": " + reason);
}

const Json& Member(const Json& object, const char* key, const std::string& name) {
  const auto it = object.find(key);
  if (it == object.end()) Fail(name, std::string("the key \"") + key + "\" is missing");
  return *it;
}

double Number(const Json& value, const char* key, const std::string& name) {
  // NaN and the infinities cannot be written in JSON: every number read is finite.
  if (!value.is_number()) Fail(name, std::string("\"") + key + "\" must be a number");
  return value.get<double>();
}

int WholeNumber(const Json& value, const char* key, const std::string& name) {
  if (!value.is_number_integer() ||
      (value.is_number_unsigned() &&
       value.get<std::uint64_t>() > std::uint64_t(std::numeric_limits<int>::max())) ||
      (!value.is_number_unsigned() &&
       (value.get<std::int64_t>() < std::numeric_limits<int>::min() ||
        value.get<std::int64_t>() > std::numeric_limits<int>::max())))
    Fail(name, std::string("\"") + key + "\" must be a whole number");
  return value.get<int>();
}

}  // namespace

std::string SidecarPath(const std::string& dataPath) { return dataPath + ".json"; }

std::string SidecarJson(const TScanGeometry& geometry, const TImageSize& image) {
  Json json;
  json["kind"] = "sinogram";
  json["layout"] = "[view][bin]";
  json["beam"] = BeamName(geometry.Beam);
  json["views"] = geometry.Views;
  std::vector<double> angles(std::size_t(geometry.Views));
  for (int view = 0; view < geometry.Views; ++view)
    angles[std::size_t(view)] = geometry.AngleDegrees(view);
  json["angles"] = angles;
  if (geometry.Uniform()) json["arc"] = geometry.ArcDegrees;
  json["detectors"] = geometry.Detectors;
  json["spacing"] = geometry.Spacing;
  json["offset"] = geometry.Offset;
  if (geometry.Beam != TBeam::Parallel) {
    json["source_distance"] = geometry.SourceDistance;
    json["detector_distance"] = geometry.DetectorDistance;
  }
  json["image"] = {{"columns", image.Columns}, {"rows", image.Rows}};
  json["units"] = {
      {"angle", "degree"}, {"length", "pixel"}, {"value", "line integral / pixel size"}};
  return json.dump(2) + "\n";
}

TSinogramSidecar ParseSidecar(std::string_view text, const std::string& name) {
  Json json;
  try {
    json = Json::parse(text.begin(), text.end());
  } catch (const Json::exception& e) {
    // The library's text after its "[json.exception.parse_error.101] " tag.
    std::string reason = e.what();
    const std::size_t tag = reason.find("] ");
    if (tag != std::string::npos) reason.erase(0, tag + 2);
    Fail(name, "not valid JSON: " + reason);
  }
  if (!json.is_object()) Fail(name, "not a JSON object");
  const Json& kind = Member(json, "kind", name);
  if (!kind.is_string() || kind.get<std::string>() != "sinogram")
    Fail(name, "\"kind\" must be \"sinogram\"");

  TSinogramSidecar sidecar;
  TScanGeometry& g = sidecar.Geometry;
  if (const auto beam = json.find("beam"); beam != json.end()) {
    bool known = false;
    for (const TBeam value : kBeams)
      if (beam->is_string() && beam->get<std::string>() == BeamName(value)) {
        g.Beam = value;
        known = true;
      }
    if (!known) Fail(name, "\"beam\" must be \"parallel\", \"fan-flat\" or \"fan-arc\"");
  }
  const Json& angles = Member(json, "angles", name);
  if (!angles.is_array() || angles.empty())
    Fail(name, "\"angles\" must be a list of at least one angle in degrees");
  std::vector<double> listed;
  listed.reserve(angles.size());
  for (const Json& a : angles) listed.push_back(Number(a, "angles", name));
  const int views = WholeNumber(Member(json, "views", name), "views", name);
  if (std::size_t(views) != listed.size() || views < 1)
    Fail(name, "\"views\" is " + std::to_string(views) + ", but " + std::to_string(listed.size()) +
                   " angles are listed");
  g.Detectors = WholeNumber(Member(json, "detectors", name), "detectors", name);
  g.Spacing = Number(Member(json, "spacing", name), "spacing", name);
  g.Offset = Number(Member(json, "offset", name), "offset", name);
  if (g.Beam != TBeam::Parallel) {
    g.SourceDistance = Number(Member(json, "source_distance", name), "source_distance", name);
    g.DetectorDistance = Number(Member(json, "detector_distance", name), "detector_distance", name);
  }
  if (const auto arc = json.find("arc"); arc != json.end()) {
    g.Views = views;
    g.ArcDegrees = Number(*arc, "arc", name);
    // The list must be the one the arc gives: a file edited by hand in one place only
    // would otherwise be reconstructed with angles it does not state.
    for (int view = 0; view < views; ++view)
      if (g.AngleDegrees(view) != listed[std::size_t(view)])
        Fail(name, "angle " + std::to_string(view) + " is not that of the uniform arc " +
                       "(remove \"arc\" to use the listed angles)");
  } else {
    g.Views = views;
    g.Angles = std::move(listed);
  }
  const Json& image = Member(json, "image", name);
  if (!image.is_object()) Fail(name, "\"image\" must be an object of columns and rows");
  sidecar.Image.Columns = WholeNumber(Member(image, "columns", name), "columns", name);
  sidecar.Image.Rows = WholeNumber(Member(image, "rows", name), "rows", name);
  try {
    CheckGeometry(g);
    CheckImageSize(sidecar.Image);
  } catch (const EInvalidGeometry& e) {
    Fail(name, e.Message());
  }
  return sidecar;
}

}  // namespace quarvel
