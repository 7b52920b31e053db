// Benchmark entry for programs that draw text: a headless GUI application object at
// 96 DPI with no device scaling exists for the whole run.

#include <benchmark/benchmark.h>

#include "platform/QtRuntime.h"

int main(int argc, char** argv) {
  quarvel::HeadlessToolkit toolkit;
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
