// Fan beam beside parallel beam at the same sizes: the built-in phantom sampled at
// 256 x 256, 720 views over a full turn, 512 bins; the grid projection and FBP for the
// parallel, flat and arc geometries (beam 0, 1, 2), with every processor and with one
// thread (threads 0, 1). The fan's bins lie one pixel apart at the centre (the spacing
// (R + D) / R), as the parallel bins do, with the default R = D = 512.

#include <benchmark/benchmark.h>

#include <memory>

#include "tomo/FanBeam.h"
#include "tomo/Memory.h"

namespace {

using namespace quarvel;

const bool kMemoryAsInTheBench = (KeepFreedMemoryForReuse(), true);

constexpr int kSize = 256;

const TArray2D& Phantom() {
  static const TArray2D image = SamplePhantom(
      {TGauss3D(7.0, 2.0, 12.0, 2.0), TGauss3D(9.0, 3.0, 7.0, 1.0), TGauss3D(15.0, 1.0, 8.0, 3.0)},
      kSize);
  return image;
}

TScanGeometry Geometry(const benchmark::State& state) {
  TScanGeometry g;
  g.Views = 720;
  g.ArcDegrees = 360;
  g.Detectors = 512;
  g.Beam = static_cast<TBeam>(state.range(0));
  if (IsFan(g)) {
    const TFanFields fields = DefaultFanFields(g.Beam, {kSize, kSize});
    g.SourceDistance = fields.SourceDistance;
    g.DetectorDistance = fields.DetectorDistance;
    g.Spacing = fields.Spacing;
  }
  return g;
}

int Threads(const benchmark::State& state) { return static_cast<int>(state.range(1)); }

void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"beam", "threads"})->ArgsProduct({{0, 1, 2}, {0, 1}});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_Projection(benchmark::State& state) {
  const TScanGeometry g = Geometry(state);
  for (auto _ : state)
    benchmark::DoNotOptimize(ProjectGrid(Phantom(), g, {}, Threads(state)).Values.data());
}
BENCHMARK(BM_Projection)->Apply(Cases);

void BM_Fbp(benchmark::State& state) {
  const TScanGeometry g = Geometry(state);
  const TArray2D sinogram = ProjectGrid(Phantom(), g);
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructFbp(sinogram, g, {}, {kSize, kSize}, {}, Threads(state)).Values.data());
}
BENCHMARK(BM_Fbp)->Apply(Cases);

}  // namespace
