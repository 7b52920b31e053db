// The projection chart (651 x 302, configured as the main window's) painted in full
// and from its buffer, with 509 points and with more points to see how the cost grows,
// beside a plain toolkit painter drawing comparable primitives in the same run.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <vector>

#include "MainChart.h"
#include "ModelFixtures.h"
#include "platform/QtRuntime.h"

namespace {

using namespace quarvel;

std::vector<TProjectionPoint> Curve(int count) {
  std::vector<TProjectionPoint> points;
  for (int i = 0; i < count; ++i) {
    const double x = 1 + 19.0 * i / (count - 1);
    points.push_back({x, 8 + 7 * std::sin(x / 2) + 0.5 * std::cos(3 * x)});
  }
  return points;
}

void BM_ChartFullRepaint(benchmark::State& state) {
  testing::MainChart view;
  if (state.range(0) == 509) view.Feed(testing::StartUpPhantom(2)->Points);
  else view.Feed(Curve(static_cast<int>(state.range(0))));
  view.Redraw();
  view.Redraw();  // label widths settle after the first paint
  for (auto _ : state) view.Redraw();
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ChartFullRepaint)->Arg(128)->Arg(509)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond)->Complexity(benchmark::oN);

void BM_ChartRepaintFromBuffer(benchmark::State& state) {
  testing::MainChart view;
  view.Feed(testing::StartUpPhantom(2)->Points);
  view.Redraw();
  for (auto _ : state) view.chart.HandlePaint();
}
BENCHMARK(BM_ChartRepaintFromBuffer)->Unit(benchmark::kMicrosecond);

// One pan step: a right-button mouse move of one pixel, then the full repaint.
void BM_PanStep(benchmark::State& state) {
  testing::MainChart view;
  view.Feed(testing::StartUpPhantom(2)->Points);
  view.Redraw();
  view.Redraw();
  int x = 300, direction = 1;
  view.chart.ChartMouseDown(TMouseButton::mbRight, 0, x, 150);
  for (auto _ : state) {
    if (x > 400 || x < 200) direction = -direction;
    x += direction;
    view.chart.ChartMouseMove(0, x, 150);
    view.chart.HandlePaint();
  }
}
BENCHMARK(BM_PanStep)->Unit(benchmark::kMicrosecond);

// The same kind of picture through a plain painter: background, frame, 40 grid lines,
// 30 labels, the 508 segments and 509 outlined markers.
void BM_ChartPainterBaseline(benchmark::State& state) {
  const std::vector<TProjectionPoint> points = testing::StartUpPhantom(2)->Points;
  QImage image(651, 302, QImage::Format_RGB32);
  QFont font("Arial");
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::NoAntialias);
  std::vector<QPoint> pixels;
  for (const auto& p : points) pixels.emplace_back(41 + static_cast<int>((p.X - 1) / 19 * 588), 270 - static_cast<int>(p.Y * 15));
  for (auto _ : state) {
    QPainter p(&image);
    p.fillRect(0, 0, 651, 302, QColor(0xC0, 0xC0, 0xC0));
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(41, 29, 589, 243);
    p.setPen(QPen(Qt::gray, 0, Qt::DotLine));
    for (int i = 0; i < 20; ++i) {
      p.drawLine(41 + i * 29, 29, 41 + i * 29, 272);
      p.drawLine(41, 29 + i * 12, 630, 29 + i * 12);
    }
    p.setFont(font);
    p.setPen(Qt::black);
    for (int i = 0; i < 30; ++i) p.drawText(5 + (i % 15) * 40, i < 15 ? 285 : 40 + i * 7, QString::number(i * 2));
    p.setPen(QPen(Qt::red, 0));
    p.drawPolyline(pixels.data(), static_cast<int>(pixels.size()));
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::red);
    for (const QPoint& q : pixels) p.drawRect(q.x() - 1, q.y() - 1, 2, 2);
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_ChartPainterBaseline)->Unit(benchmark::kMicrosecond);

}  // namespace
