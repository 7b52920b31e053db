// One grid projection and FBP of the built-in phantom, as a process of its own, for the
// side-by-side comparison with the CT simulator (bench/ctsim_compare.sh):
//   tomo_chain VIEWS [THREADS [parallel|fan-arc|fan-flat]]
// 128 x 128 grid; parallel: 182 bins over a half turn; a fan: a full turn with the fan's
// default source, detector and bins (R = D = 256; 188 arc bins, 196 flat ones). Prints
// the reconstruction's NRMSE.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tomo/FanBeam.h"
#include "tomo/Projectors.h"
#include "tomo/Study.h"

using namespace quarvel;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tomo_chain VIEWS [THREADS [parallel|fan-arc|fan-flat]]\n");
    return 2;
  }
  TScanGeometry geometry{.Views = std::atoi(argv[1]), .ArcDegrees = 180, .Detectors = 182};
  if (argc > 3 && std::strcmp(argv[3], "parallel") != 0) {
    geometry.Beam = std::strcmp(argv[3], "fan-flat") == 0 ? TBeam::FanFlat : TBeam::FanArc;
    const TFanFields fields = DefaultFanFields(geometry.Beam, {128, 128});
    geometry.ArcDegrees = 360;
    geometry.Detectors = fields.Detectors;
    geometry.Spacing = fields.Spacing;
    geometry.SourceDistance = fields.SourceDistance;
    geometry.DetectorDistance = fields.DetectorDistance;
  }
  const int threads = argc > 2 ? std::atoi(argv[2]) : 0;
  // The viewer's grid of its three blobs, bit for bit.
  const TArray2D truth =
      SamplePhantom({{7.0, 2.0, 12.0, 2.0}, {9.0, 3.0, 7.0, 1.0}, {15.0, 1.0, 8.0, 3.0}});
  const TArray2D sinogram = ProjectGrid(truth, geometry, {}, threads);
  const TArray2D image = ReconstructFbp(sinogram, geometry, {}, {}, {}, threads);
  std::printf("%.6g\n", CompareImages(image, truth).Nrmse);
  return 0;
}
