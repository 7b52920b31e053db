// A stop ends every stage within one piece of its work (a view, a row of a band, a piece
// of an exact ray), also inside a pass, counted without timing: the checks a stage makes
// are counted through the test hook, and the stop is requested at one of them.

#include <gtest/gtest.h>

#include <functional>
#include <stop_token>
#include <vector>

#include "tomo/FanBeam.h"
#include "tomo/Parallel.h"
#include "tomo/Projectors.h"
#include "tomo/Reconstruction.h"

namespace quarvel {
namespace {

// Counts the checks and requests the stop at check number StopAt (0: never).
struct TCheckCounter {
  static inline long Checks = 0;
  static inline long StopAt = 0;
  static inline std::stop_source Source;
  static void Check() {
    if (++Checks == StopAt) Source.request_stop();
  }
};

// Installs the counter for a scope, from a fresh count and stop source.
class CountChecks {
 public:
  explicit CountChecks(long stopAt) {
    TCheckCounter::Checks = 0;
    TCheckCounter::StopAt = stopAt;
    TCheckCounter::Source = std::stop_source();
    SetStopCheckForTesting(&TCheckCounter::Check);
  }
  ~CountChecks() { SetStopCheckForTesting(nullptr); }
  CountChecks(const CountChecks&) = delete;
  CountChecks& operator=(const CountChecks&) = delete;
};

TArray2D Ramp(int rows, int columns) {
  TArray2D a(rows, columns);
  for (std::size_t i = 0; i < a.Values.size(); ++i) a.Values[i] = double(i % 7);
  return a;
}

TIterativeOptions Once(TIterativeMethod method) {
  TIterativeOptions options;
  options.Method = method;
  options.Iterations = 1;
  return options;
}

TEST(Stop, EveryStageHearsItWithinOnePieceOfAPass) {
  constexpr int kViews = 12, kSide = 16;
  TScanGeometry parallel;
  parallel.Views = kViews;
  parallel.Detectors = 24;
  TScanGeometry fan = parallel;
  const TFanFields fields = DefaultFanFields(TBeam::FanFlat, {kSide, kSide});
  fan.Beam = TBeam::FanFlat;
  fan.ArcDegrees = 360;
  fan.SourceDistance = fields.SourceDistance;
  fan.DetectorDistance = fields.DetectorDistance;
  fan.Spacing = fields.Spacing;
  fan.Detectors = fields.Detectors;
  // One ray pair through a string of blobs: every ray's envelope has a piece per blob.
  TScanGeometry oneView;
  oneView.Views = 1;
  oneView.Detectors = 2;
  std::vector<TGauss3D> string;
  string.reserve(12);
  for (int i = 0; i < 12; ++i) string.emplace_back(TScanGeometry::kCentre, 0.3, 2 + 1.5 * i, 0.3);
  const TPhantomDensity density(string);
  const TImageSize size{kSide, kSide};
  const TArray2D image = Ramp(kSide, kSide);
  const TArray2D sinogram = Ramp(kViews, 24);
  const TArray2D fanSinogram = Ramp(kViews, fan.Detectors);
  // One iteration of `method` on `values` scanned in `g`.
  const auto iterate = [&](TIterativeMethod method, const TArray2D& values,
                           const TScanGeometry& g) {
    return [&, method](const std::stop_token& s) {
      ReconstructIterative(values, g, Once(method), size, s, 1);
    };
  };

  struct Case {
    const char* name;
    std::function<void(const std::stop_token&)> run;
    long fewestChecks;  // one per piece of each pass
  } cases[] = {
      {"grid projection, per view",
       [&](const std::stop_token& s) { ProjectGrid(image, parallel, s, 1); }, kViews},
      {"back-projection, per view",
       [&](const std::stop_token& s) { BackProject(sinogram, parallel, size, s, 1); }, kViews},
      {"exact projection, per view, ray and piece of a ray",
       [&](const std::stop_token& s) { ProjectExact(density, oneView, kSide, s, 1); },
       1 + 2 + 2 * 12},
      {"FBP, per pair of views filtered and per row of a band",
       [&](const std::stop_token& s) { ReconstructFbp(sinogram, parallel, {}, size, s, 1); },
       kViews / 2 + kSide},
      {"fan FBP, the same",
       [&](const std::stop_token& s) { ReconstructFbp(fanSinogram, fan, {}, size, s, 1); },
       kViews / 2 + kSide},
      {"SIRT, per view of its four passes", iterate(TIterativeMethod::Sirt, sinogram, parallel),
       4 * kViews},
      {"SART, per view of its weights and of its iteration",
       iterate(TIterativeMethod::Sart, sinogram, parallel), 2 * kViews},
      {"CGLS, per view of its three passes", iterate(TIterativeMethod::Cgls, sinogram, parallel),
       3 * kViews},
      {"fan SIRT, the same", iterate(TIterativeMethod::Sirt, fanSinogram, fan), 4 * kViews},
      {"fan CGLS, the same", iterate(TIterativeMethod::Cgls, fanSinogram, fan), 3 * kViews},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    long total = 0;
    {
      const CountChecks counter(0);
      c.run(TCheckCounter::Source.get_token());
      total = TCheckCounter::Checks;
    }
    EXPECT_GE(total, c.fewestChecks);
    // Stopped half-way, the stage leaves its loops at once: at most two more checks (the
    // loops around the one that heard it) and none of the remaining work.
    const long half = total / 2 + 1;
    const CountChecks counter(half);
    EXPECT_THROW(c.run(TCheckCounter::Source.get_token()), ECancelled);
    EXPECT_LE(TCheckCounter::Checks, half + 2);
  }
}

}  // namespace
}  // namespace quarvel
