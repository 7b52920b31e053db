// The tomography core's stages on the built-in phantom, 128 x 128 grid, 182 bins, at 180
// and at 3600 views (and at 256^2 and 512^2, see the large cases below): the grid and exact
// projectors, FBP, one SIRT iteration, the metrics, and the whole chain after one blob edit (the
// model's update cycle, the grid's sinogram, FBP, the metrics). The second argument is the thread
// count: 0 for one per processor, 1 for one thread, whose CPU column is then the whole work's
// processor time. Freed memory is kept for reuse, as in the bench window (tomo/Memory.h).

#include <benchmark/benchmark.h>

#include <memory>

#include "model/ProjectionModel.h"
#include "tomo/Memory.h"
#include "tomo/Study.h"
#include "tomo/Wide.h"
#include "ui/GridImage.h"

namespace {

using namespace quarvel;

// The process keeps freed memory as the bench window does, which runs the chain on every
// edit.
const bool kMemoryAsInTheBench = (KeepFreedMemoryForReuse(), true);

std::unique_ptr<TProjectionModel> Phantom() {
  auto model = std::make_unique<TProjectionModel>();
  model->AdoptBlob(std::make_unique<TGauss3D>(7.0, 2.0, 12.0, 2.0));
  model->AdoptBlob(std::make_unique<TGauss3D>(9.0, 3.0, 7.0, 1.0));
  model->AdoptBlob(std::make_unique<TGauss3D>(15.0, 1.0, 8.0, 3.0));
  model->RecomputeModel();
  return model;
}

TScanGeometry Geometry(const benchmark::State& state) {
  return {.Views = static_cast<int>(state.range(0)), .ArcDegrees = 180, .Detectors = 182};
}

int Threads(const benchmark::State& state) { return static_cast<int>(state.range(1)); }

// Views 180 and 3600, each with every processor and with one thread.
void Cases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"views", "threads"})->ArgsProduct({{180, 3600}, {0, 1}});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_GridProjector(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D image = GridImage(*model);
  for (auto _ : state)
    benchmark::DoNotOptimize(ProjectGrid(image, Geometry(state), {}, Threads(state)).Values.data());
}
BENCHMARK(BM_GridProjector)->Apply(Cases);

void BM_ExactProjector(benchmark::State& state) {
  const TPhantomDensity phantom(ModelBlobs(*Phantom()));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ProjectExact(phantom, Geometry(state), 128, {}, Threads(state)).Values.data());
}
BENCHMARK(BM_ExactProjector)->Apply(Cases);

void BM_Fbp(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D sinogram = ProjectGrid(GridImage(*model), Geometry(state));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructFbp(sinogram, Geometry(state), {}, {}, {}, Threads(state)).Values.data());
}
BENCHMARK(BM_Fbp)->Apply(Cases);

// Grid projection and FBP together: the work the CT simulator's comparison times
// (bench/ctsim_compare.sh).
void BM_GridProjectionAndFbp(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D image = GridImage(*model);
  for (auto _ : state) {
    const TArray2D sinogram = ProjectGrid(image, Geometry(state), {}, Threads(state));
    benchmark::DoNotOptimize(
        ReconstructFbp(sinogram, Geometry(state), {}, {}, {}, Threads(state)).Values.data());
  }
}
BENCHMARK(BM_GridProjectionAndFbp)->Apply(Cases);

// SIRT with one and with two iterations: one iteration costs the difference (the set-up,
// the row and column sums, drops out).
void BM_Sirt(benchmark::State& state) {
  const auto model = Phantom();
  const TArray2D sinogram = ProjectGrid(GridImage(*model), Geometry(state));
  TIterativeOptions options;
  options.Iterations = static_cast<int>(state.range(2));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructIterative(sinogram, Geometry(state), options, {}, {}, Threads(state))
            .Values.data());
}
BENCHMARK(BM_Sirt)
    ->ArgNames({"views", "threads", "iterations"})
    ->ArgsProduct({{180, 3600}, {0, 1}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Metrics(benchmark::State& state) {
  const auto model = Phantom();
  const TScanGeometry g{.Views = 180};
  const TArray2D truth = GridImage(*model);
  const TArray2D reconstruction = ReconstructFbp(ProjectGrid(truth, g), g, {}, {});
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
    const TArray2D sinogram = ProjectGrid(truth, Geometry(state), {}, Threads(state));
    const TArray2D reconstruction =
        ReconstructFbp(sinogram, Geometry(state), {}, {}, {}, Threads(state));
    benchmark::DoNotOptimize(CompareImages(reconstruction, truth).Ssim);
  }
}
BENCHMARK(BM_EditChain)->Apply(Cases);

// The large cases: the phantom sampled at N x N, scanned at V views over a half turn by
// M = 1.4 N + 4 bins (363 for 256, 725 for 512), so that the detector spans the image's
// diagonal. Arguments: N, V, threads (0 for one per processor) and, for the iterative
// methods, the iterations: one iteration costs the difference between 2 and 1 (the
// set-up drops out).
struct TLarge {
  TArray2D Image;
  TScanGeometry Geometry;
  TArray2D Sinogram;
};

TLarge Large(const benchmark::State& state) {
  TLarge large;
  const int n = static_cast<int>(state.range(0));
  large.Image = SamplePhantom(ModelBlobs(*Phantom()), n);
  large.Geometry.Views = static_cast<int>(state.range(1));
  large.Geometry.Detectors = n == 256 ? 363 : n == 512 ? 725 : n * 14 / 10 + 4;
  large.Sinogram = ProjectGrid(large.Image, large.Geometry);
  return large;
}

TImageSize Size(const TLarge& large) { return {large.Image.Columns, large.Image.Rows}; }

void LargeCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "views", "threads"})->Args({256, 360, 0})->Args({256, 360, 1});
  b->Args({512, 720, 0})->Args({512, 720, 1});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void LargeIterativeCases(benchmark::internal::Benchmark* b) {
  b->ArgNames({"size", "views", "threads", "iterations"});
  for (int threads : {0, 1})
    for (int iterations : {1, 2})
      b->Args({256, 360, threads, iterations})->Args({512, 720, threads, iterations});
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

void BM_LargeGridProjection(benchmark::State& state) {
  const TLarge large = Large(state);
  const int threads = static_cast<int>(state.range(2));
  for (auto _ : state)
    benchmark::DoNotOptimize(ProjectGrid(large.Image, large.Geometry, {}, threads).Values.data());
}
BENCHMARK(BM_LargeGridProjection)->Apply(LargeCases);

// The back-projection's time per pixel and view is its time over N^2 V (the counter
// ns_per_pixel_view, on one thread in the rows with threads=1).
void BM_LargeBackProjection(benchmark::State& state) {
  const TLarge large = Large(state);
  const int threads = static_cast<int>(state.range(2));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        BackProject(large.Sinogram, large.Geometry, Size(large), {}, threads).Values.data());
  const double pixelViews = double(large.Image.Values.size()) * large.Geometry.Views;
  state.counters["ns_per_pixel_view"] =
      benchmark::Counter(pixelViews * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}
BENCHMARK(BM_LargeBackProjection)->Apply(LargeCases);

void BM_LargeFbp(benchmark::State& state) {
  const TLarge large = Large(state);
  const int threads = static_cast<int>(state.range(2));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructFbp(large.Sinogram, large.Geometry, {}, Size(large), {}, threads).Values.data());
}
BENCHMARK(BM_LargeFbp)->Apply(LargeCases);

void LargeIterative(benchmark::State& state, TIterativeMethod method) {
  const TLarge large = Large(state);
  TIterativeOptions options;
  options.Method = method;
  options.Iterations = static_cast<int>(state.range(3));
  const int threads = static_cast<int>(state.range(2));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        ReconstructIterative(large.Sinogram, large.Geometry, options, Size(large), {}, threads)
            .Values.data());
}

void BM_LargeSirt(benchmark::State& state) { LargeIterative(state, TIterativeMethod::Sirt); }
BENCHMARK(BM_LargeSirt)->Apply(LargeIterativeCases);

void BM_LargeCgls(benchmark::State& state) { LargeIterative(state, TIterativeMethod::Cgls); }
BENCHMARK(BM_LargeCgls)->Apply(LargeIterativeCases);

// The bench's edit chain at a grid size of its own: the phantom sampled at size x size,
// its grid sinogram (the views over a half turn, bins one pixel apart), FBP onto the same
// size and the metrics, after one blob moved; with every processor. 128^2 x 180 views x
// 182 bins is the bench's default, 256^2 x 360 x 363 four times its work.
// The fourth argument is the interpolation loops' lanes: 8 (AVX-512), 4 (AVX2) or 1 (the
// plain loops), each as wide as the processor allows; all give the same doubles, so the
// rows compare the widths in one sitting.
void BM_EditChainAtSize(benchmark::State& state) {
  auto blobs = ModelBlobs(*Phantom());
  const int size = static_cast<int>(state.range(0));
  const TScanGeometry geometry{.Views = static_cast<int>(state.range(1)),
                               .ArcDegrees = 180,
                               .Detectors = static_cast<int>(state.range(2))};
  const int lanes = static_cast<int>(state.range(3));
  wide::SetLevel(lanes >= 8   ? wide::TLevel::Eight
                 : lanes >= 4 ? wide::TLevel::Four
                              : wide::TLevel::Plain);
  double step = 0.01;
  for (auto _ : state) {
    blobs[1].MX += step;
    step = -step;
    const TArray2D truth = SamplePhantom(blobs, size);
    const TArray2D sinogram = ProjectGrid(truth, geometry, {}, 0);
    const TArray2D reconstruction = ReconstructFbp(sinogram, geometry, {}, {size, size}, {}, 0);
    benchmark::DoNotOptimize(CompareImages(reconstruction, truth).Ssim);
  }
  wide::Enable(true);
}
BENCHMARK(BM_EditChainAtSize)
    ->ArgNames({"size", "views", "bins", "lanes"})
    ->ArgsProduct({{128}, {180}, {182}, {8, 4, 1}})
    ->ArgsProduct({{256}, {360}, {363}, {8, 4, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
