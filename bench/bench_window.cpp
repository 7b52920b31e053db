// The main window on the offscreen platform: creating it (three update cycles, or one
// for a phantom file's blobs) up to its first painted frame, and a resolution click up
// to the repainted window, with the process's peak memory.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTest>

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ui/MainFormUnit.h"

namespace {

using quarvel::TformMain;

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

void Click(QWidget* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

void BM_CreateToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    auto form = TformMain::Create(*quarvel::TApplication::Instance());
    form->show();
    form->repaint();  // paints every control now, the chart included
    benchmark::DoNotOptimize(form->chartMainControl->Surface().ScanLine(0));
    state.PauseTiming();
    form.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
  state.counters["peak_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_CreateToFirstFrame)->Unit(benchmark::kMillisecond);

// The window started with a phantom file of state.range(0) blobs (means and spreads
// spread evenly over the grid), up to its first painted frame: the blobs register
// and the update cycle runs once, so the time grows linearly with their number.
void BM_CreatePhantomToFirstFrame(benchmark::State& state) {
  std::vector<quarvel::TPhantomBlob> blobs;
  const int count = static_cast<int>(state.range(0));
  for (int i = 0; i < count; ++i)
    blobs.push_back({1 + 19.0 * (i % 37) / 36, 0.3 + 2.7 * (i % 11) / 10, 1 + 19.0 * (i % 41) / 40,
                     0.3 + 2.7 * (i % 13) / 12, true});
  for (auto _ : state) {
    auto form = TformMain::Create(*quarvel::TApplication::Instance(), blobs);
    form->show();
    form->repaint();
    benchmark::DoNotOptimize(form->chartMainControl->Surface().ScanLine(0));
    state.PauseTiming();
    form.reset();
    QApplication::processEvents();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_CreatePhantomToFirstFrame)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ResolutionClickToRepaint(benchmark::State& state) {
  auto form = TformMain::Create(*quarvel::TApplication::Instance());
  form->show();
  form->repaint();
  const int item = static_cast<int>(state.range(0));
  const int other = item == 0 ? 1 : 0;
  for (auto _ : state) {
    state.PauseTiming();
    Click(form->grpResolution->Button(other));
    form->repaint();
    state.ResumeTiming();
    Click(form->grpResolution->Button(item));
    form->repaint();
  }
  state.counters["peak_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_ResolutionClickToRepaint)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The chart's control repainting itself while its picture is current (a window
// uncovered), beside one plain copy of a frame of the same size, interleaved.
void BM_ChartControlRepaintFromBuffer(benchmark::State& state) {
  auto form = TformMain::Create(*quarvel::TApplication::Instance());
  form->show();
  if (!QTest::qWaitForWindowExposed(form.get())) state.SkipWithError("the window was not exposed");
  form->repaint();
  QWidget* control = form->chartMainControl;
  const std::size_t pixels = static_cast<std::size_t>(control->width()) * control->height();
  std::vector<uint32_t> from(pixels, 0xFF808080u), to(pixels);
  // The thread's processor time: waiting for the processor on a shared machine does
  // not count.
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e6 + t.tv_nsec * 1e-3;
  };
  double repaintUs = 0, copyUs = 0;
  for (auto _ : state) {
    const double start = now();
    control->repaint();
    const double middle = now();
    std::memcpy(to.data(), from.data(), pixels * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    const double end = now();
    repaintUs += middle - start;
    copyUs += end - middle;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["repaint_us"] = repaintUs / n;
  state.counters["copy_us"] = copyUs / n;
  state.counters["repaint/copy"] = repaintUs / copyUs;
}
BENCHMARK(BM_ChartControlRepaintFromBuffer)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // Process start to the first frame = the application object's start-up (measured
  // once here, it cannot be repeated in one process) + BM_CreateToFirstFrame.
  const auto start = std::chrono::steady_clock::now();
  quarvel::TApplication application(argc, argv);
  const auto ready = std::chrono::steady_clock::now();
  std::printf("application start-up: %.2f ms\n",
              std::chrono::duration<double, std::milli>(ready - start).count());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
