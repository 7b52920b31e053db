// The JSON beside a sinogram: what it must record to rebuild the geometry exactly, and
// each kind of damaged file against its one line.

#include "io/Sidecar.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel {
namespace {

TEST(Sidecar, GivesBackTheGeometryItWasWrittenFrom) {
  TScanGeometry uniform;  // 180 views over 180 degrees: k * 1 degree, exactly
  uniform.Views = 7;
  uniform.ArcDegrees = 270;  // 270 / 7 is not exact: the list must still match the arc's
  uniform.Detectors = 40;
  uniform.Spacing = 0.75;
  uniform.Offset = -0.25;
  TScanGeometry measured = MeasuredAngles({3.5, -10, 0.1, 179.99999999999997}, 9);
  TScanGeometry fan;
  fan.Beam = TBeam::FanArc;
  fan.SourceDistance = 300;
  fan.DetectorDistance = 250.5;
  for (const TScanGeometry& g : {uniform, measured, fan}) {
    const TSinogramSidecar back = ParseSidecar(SidecarJson(g, {200, 100}), "s.npy.json");
    EXPECT_EQ(back.Geometry, g);
    EXPECT_EQ(back.Image, (TImageSize{200, 100}));
  }
  const std::string text = SidecarJson(uniform, {128, 128});
  for (const char* fact :
       {"\"kind\": \"sinogram\"", "\"layout\": \"[view][bin]\"", "\"beam\": \"parallel\"",
        "\"length\": \"pixel\"", "\"value\": \"line integral / pixel size\""})
    EXPECT_NE(text.find(fact), std::string::npos) << fact;
  EXPECT_EQ(SidecarPath("out/s.npy"), "out/s.npy.json");
}

TEST(Sidecar, RefusesDamagedFilesWithOneLine) {
  const std::string tail =
      R"("detectors": 4, "spacing": 1, "offset": 0, "image": {"columns": 8, "rows": 8}})";
  struct Row {
    const char* name;
    std::string text;
    const char* message;
  } rows[] = {
      {"not json", "{\"kind\": ", "s.json: not valid JSON: parse error at line 1, column 10"},
      {"array", "[1]", "s.json: not a JSON object"},
      {"kind", R"({"kind": "image"})", "s.json: \"kind\" must be \"sinogram\""},
      {"no angles", R"({"kind": "sinogram", "views": 2, )" + tail,
       "s.json: the key \"angles\" is missing"},
      {"count", R"({"kind": "sinogram", "views": 3, "angles": [0, 1], )" + tail,
       "s.json: \"views\" is 3, but 2 angles are listed"},
      {"string angle", R"({"kind": "sinogram", "views": 1, "angles": ["0"], )" + tail,
       "s.json: \"angles\" must be a number"},
      {"arc disagrees",
       R"({"kind": "sinogram", "views": 2, "angles": [0, 45], "arc": 180, )" + tail,
       "s.json: angle 1 is not that of the uniform arc"},
      {"detectors out of range",
       R"({"kind": "sinogram", "views": 1, "angles": [0], "detectors": 1, "spacing": 1, )"
       R"("offset": 0, "image": {"columns": 8, "rows": 8}})",
       "s.json: detectors must be from 2 to 10000, not 1"},
      {"fractional detectors",
       R"({"kind": "sinogram", "views": 1, "angles": [0], "detectors": 4.5, "spacing": 1, )"
       R"("offset": 0, "image": {"columns": 8, "rows": 8}})",
       "s.json: \"detectors\" must be a whole number"},
      {"image too small",
       R"({"kind": "sinogram", "views": 1, "angles": [0], "detectors": 4, "spacing": 1, )"
       R"("offset": 0, "image": {"columns": 8, "rows": 7}})",
       "s.json: rows must be from 8 to 4096, not 7"},
      {"beam", R"({"kind": "sinogram", "beam": "cone", "views": 1, "angles": [0], )" + tail,
       "s.json: \"beam\" must be \"parallel\", \"fan-flat\" or \"fan-arc\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string message = "(no error)";
    try {
      ParseSidecar(row.text, "s.json");
    } catch (const EArrayReadError& e) {
      message = e.Message();
    }
    EXPECT_EQ(message.rfind(row.message, 0), 0u) << message;
  }
}

}  // namespace
}  // namespace quarvel
