// Throughput of the two number forms on the values the program prints: blob table
// entries through the general form, axis labels through "#,##0.###".

#include <benchmark/benchmark.h>

#include <vector>

#include "format/NumberFormat.h"

namespace {

const std::vector<double> kValues = {0.0,    7.0,   12.0,    2.5,  -1234.5678,
                                     0.0005, 15.54, 1.0 / 3, 1e-5, 123456.789};

void BM_FormatGeneral(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quarvel::FormatGeneral(kValues[i]));
    i = (i + 1) % kValues.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatGeneral);

void BM_FormatPattern(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quarvel::FormatPattern("#,##0.###", kValues[i]));
    i = (i + 1) % kValues.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatPattern);

}  // namespace
