// The tomography core's stages on the built-in phantom, 128 x 128 grid, 182 bins, at 180
// and at 3600 views: the grid and exact projectors, FBP, one SIRT iteration, the metrics,
// and the whole chain after one blob edit (the model's update cycle, the grid's
// sinogram, FBP, the metrics), each with the threads the machine has.

#include <benchmark/benchmark.h>

#include <memory>

#include "model/ProjectionModel.h"
#include "tomo/Study.h"

namespace {

using namespace quarvel;

std::unique_ptr<TProjectionModel> Phantom() {
  auto model = std::make_unique<TProjectionModel>();
  model->AdoptBlob(std::make_unique<TGauss3D>(7.0, 2.0, 12.0, 2.0));
  model->AdoptBlob(std::make_unique<TGauss3D>(9.0, 3.0, 7.0, 1.0));
  model->AdoptBlob(std::make_unique<TGauss3D>(15.0, 1.0, 8.0, 3.0));
  model->RecomputeModel();
  return model;
}

std::vector<TGauss3D> Blobs(const TProjectionModel& model) {
  std::vector<TGauss3D> blobs;
  for (int i = 0; i < model.BlobCount(); ++i) blobs.push_back(*model.BlobAt(i));
  return blobs;
}

TScanGeometry Geometry(const benchmark::State& state) {
  return {.Views = static_cast<int>(state.range(0)), .ArcDegrees = 180, .Detectors = 182};
}

void BM_GridProjector(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D image = GridImage(*model);
  for (auto _ : state) benchmark::DoNotOptimize(ProjectGrid(image, Geometry(state)).Values.data());
}
BENCHMARK(BM_GridProjector)->Arg(180)->Arg(3600)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExactProjector(benchmark::State& state) {
  const TPhantomDensity phantom(Blobs(*Phantom()));
  for (auto _ : state)
    benchmark::DoNotOptimize(ProjectExact(phantom, Geometry(state)).Values.data());
}
BENCHMARK(BM_ExactProjector)->Arg(180)->Arg(3600)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Fbp(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D sinogram = ProjectGrid(GridImage(*model), Geometry(state));
  for (auto _ : state)
    benchmark::DoNotOptimize(ReconstructFbp(sinogram, Geometry(state), {}).Values.data());
}
BENCHMARK(BM_Fbp)->Arg(180)->Arg(3600)->Unit(benchmark::kMillisecond)->UseRealTime();

// Grid projection and FBP together: the work the CT simulator's comparison times
// (bench/ctsim_compare.sh).
void BM_GridProjectionAndFbp(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D image = GridImage(*model);
  for (auto _ : state) {
    const TArray2D sinogram = ProjectGrid(image, Geometry(state));
    benchmark::DoNotOptimize(ReconstructFbp(sinogram, Geometry(state), {}).Values.data());
  }
}
BENCHMARK(BM_GridProjectionAndFbp)
    ->Arg(180)
    ->Arg(3600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// One SIRT iteration: the run of two iterations minus the run of one, so that the set-up
// (the row and column sums) drops out.
void BM_SirtIteration(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D sinogram = ProjectGrid(GridImage(*model), Geometry(state));
  TIterativeOptions options;
  options.Iterations = static_cast<int>(state.range(1));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructIterative(sinogram, Geometry(state), options).Values.data());
}
BENCHMARK(BM_SirtIteration)
    ->Args({180, 1})
    ->Args({180, 2})
    ->Args({3600, 1})
    ->Args({3600, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Metrics(benchmark::State& state) {
  const auto model = Phantom();
  const TScanGeometry g{.Views = 180};
  const TArray2D truth = GridImage(*model);
  const TArray2D reconstruction = ReconstructFbp(ProjectGrid(truth, g), g, {});
  for (auto _ : state) benchmark::DoNotOptimize(CompareImages(reconstruction, truth).Ssim);
}
BENCHMARK(BM_Metrics)->Unit(benchmark::kMillisecond)->UseRealTime();

// A blob moved, then everything that depends on it recomputed.
void BM_EditChain(benchmark::State& state) {
  const auto model = Phantom();
  TGauss3D* blob = model->BlobAt(1);
  double step = 0.01;
  for (auto _ : state) {
    blob->MX += step;
    step = -step;
    model->RecomputeModel();
    const TArray2D truth = GridImage(*model);
    const TArray2D reconstruction =
        ReconstructFbp(ProjectGrid(truth, Geometry(state)), Geometry(state), {});
    benchmark::DoNotOptimize(CompareImages(reconstruction, truth).Ssim);
  }
}
BENCHMARK(BM_EditChain)->Arg(180)->Arg(3600)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
