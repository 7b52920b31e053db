// The model's update cycle at each resolution, beside the straightforward cycle that
// evaluates every cell through BlobValue and probes every step of the crossing search.

#include <benchmark/benchmark.h>

#include <memory>

#include "StepwiseModel.h"
#include "model/ProjectionModel.h"

namespace {

using quarvel::TProjectionModel;

std::unique_ptr<TProjectionModel> Phantom(int resolution) {
  auto model = std::make_unique<TProjectionModel>();
  model->AdoptBlob(std::make_unique<quarvel::TGauss3D>(7.0, 2.0, 12.0, 2.0));
  model->AdoptBlob(std::make_unique<quarvel::TGauss3D>(9.0, 3.0, 7.0, 1.0));
  model->AdoptBlob(std::make_unique<quarvel::TGauss3D>(15.0, 1.0, 8.0, 3.0));
  model->Resolution = static_cast<uint8_t>(resolution);
  return model;
}

void BM_Cycle(benchmark::State& state) {
  auto model = Phantom(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    model->RecomputeModel();
    benchmark::DoNotOptimize(model->Points.data());
  }
}
BENCHMARK(BM_Cycle)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_CycleStepwise(benchmark::State& state) {
  auto model = Phantom(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    quarvel::testing::RecomputeStepwise(*model);
    benchmark::DoNotOptimize(model->Points.data());
  }
}
BENCHMARK(BM_CycleStepwise)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_Grid(benchmark::State& state) {
  auto model = Phantom(0);
  for (auto _ : state) {
    model->ResetGrid();
    for (int i = 0; i < model->BlobCount(); ++i) model->AddBlobToGrid(*model->BlobAt(i));
    benchmark::DoNotOptimize(model->GridMax);
  }
}
BENCHMARK(BM_Grid)->Unit(benchmark::kMicrosecond);

void BM_GridPointwise(benchmark::State& state) {
  auto model = Phantom(0);
  for (auto _ : state) {
    model->ResetGrid();
    for (int i = 0; i < model->BlobCount(); ++i)
      quarvel::testing::AddBlobToGridPointwise(*model, *model->BlobAt(i));
    benchmark::DoNotOptimize(model->GridMax);
  }
}
BENCHMARK(BM_GridPointwise)->Unit(benchmark::kMicrosecond);

// One search over the interval (1, 5) - (2, 3): about 72,000 steps probed one by one.
struct WideInterval {
  quarvel::TCubic fit1, fit2;
  WideInterval() {
    quarvel::FitCubic(fit1, 1, 5, 2, 3);
    quarvel::FitCubic(fit2, 2, 3, 1, 5);
  }
};

void BM_FindCrossing(benchmark::State& state) {
  const WideInterval w;
  for (auto _ : state) benchmark::DoNotOptimize(quarvel::SearchCrossing(w.fit1, w.fit2, 1, 2));
}
BENCHMARK(BM_FindCrossing)->Unit(benchmark::kMicrosecond);

void BM_FindCrossingStepwise(benchmark::State& state) {
  const WideInterval w;
  for (auto _ : state)
    benchmark::DoNotOptimize(quarvel::testing::SearchCrossingStepwise(w.fit1, w.fit2, 1, 2));
}
BENCHMARK(BM_FindCrossingStepwise)->Unit(benchmark::kMicrosecond);

}  // namespace
