#pragma once
// The geometry of a sinogram written as NPY or TIFF, kept in a JSON file beside it: the
// data file's name with ".json" added ("s.npy" -> "s.npy.json"). The array files hold
// values only; with this file the sinogram can be reconstructed again, here or by
// another tool, without restating how it was scanned.
//
//   {
//     "kind": "sinogram",
//     "layout": "[view][bin]",
//     "beam": "parallel",               (or "fan-flat", "fan-arc")
//     "views": 180,
//     "angles": [0.0, 1.0, ...],        degrees, one per view (always written in full)
//     "arc": 180.0,                     only for the uniform k * arc / N
//     "detectors": 182,
//     "spacing": 1.0,                   pixels between bin centres
//     "offset": 0.0,                    the detector's centre offset in bins
//     "source_distance", "detector_distance": pixels, fan beams only
//     "image": {"columns": 128, "rows": 128},
//     "units": {"angle": "degree", "length": "pixel",
//               "value": "line integral / pixel size"}
//   }
//
// Numbers are written so that they read back as the same doubles. A reader ignores
// keys it does not know, so later fields can be added without breaking older files.

#include <string>
#include <string_view>

#include "io/ArrayReaders.h"
#include "tomo/Geometry.h"

namespace quarvel {

struct TSinogramSidecar {
  TScanGeometry Geometry;
  TImageSize Image;
};

// "FILE.json" for the data file FILE.
std::string SidecarPath(const std::string& dataPath);

// The JSON text above, ended by a newline.
std::string SidecarJson(const TScanGeometry& geometry, const TImageSize& image);

// The geometry and image size of a sidecar's text. A uniform file ("arc" given) comes
// back as the uniform geometry, whose angles must agree with the listed ones; any other
// keeps the listed angles. Raises EArrayReadError "NAME: reason" for text that is not
// JSON, a missing or mistyped key, a count that disagrees with the angles, or a value
// out of the geometry's range.
TSinogramSidecar ParseSidecar(std::string_view text, const std::string& name);

}  // namespace quarvel
