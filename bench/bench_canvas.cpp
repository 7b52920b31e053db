// One chart frame's worth of drawing on the drawing surface, beside the same work
// through a plain toolkit painter into an image (no anti-aliasing), and the block copy
// of a finished frame.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QStaticText>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/QtRuntime.h"

namespace {

using namespace quarvel;

constexpr int kWidth = 651, kHeight = 302;

struct FrameWork {
  std::vector<TPoint> curve;  // 509 points across the plot
  std::vector<std::string> labels;
  FrameWork() {
    for (int i = 0; i < 509; ++i) {
      const double t = i / 508.0;
      curve.push_back({40 + static_cast<int>(t * 580),
                       270 - static_cast<int>(220 * std::exp(-std::pow((t - 0.7) * 4, 2)))});
    }
    for (int i = 0; i < 30; ++i) labels.push_back(std::to_string(i * 250) + (i % 3 ? ",5" : ""));
  }
};

const FrameWork& Work() {
  static const FrameWork work;
  return work;
}

void DrawFrame(TCanvas& c) {
  const FrameWork& w = Work();
  c.Brush().SetStyle(TBrushStyle::bsSolid);
  c.Brush().SetColor(0xC0C0C0);
  c.FillRect({0, 0, kWidth, kHeight});
  // 40 dotted grid lines.
  c.Pen().SetColor(clGray);
  c.Pen().SetStyle(TPenStyle::psDot);
  c.SetBkMode(TRANSPARENT);
  for (int i = 0; i < 20; ++i) {
    c.MoveTo(40, 20 + i * 13);
    c.LineTo(620, 20 + i * 13);
    c.MoveTo(40 + i * 29, 20);
    c.LineTo(40 + i * 29, 280);
  }
  // 600 one-pixel lines: the curve's 508 segments and 92 stems.
  c.Pen().SetStyle(TPenStyle::psSolid);
  c.Pen().SetColor(clRed);
  for (std::size_t i = 1; i < w.curve.size(); ++i) {
    c.MoveTo(w.curve[i - 1].X, w.curve[i - 1].Y);
    c.LineTo(w.curve[i].X, w.curve[i].Y);
  }
  c.Pen().SetColor(clBlue);
  for (int i = 0; i < 92; ++i) {
    c.MoveTo(w.curve[i * 5 + 1].X, w.curve[i * 5 + 1].Y);
    c.LineTo(w.curve[i * 5 + 1].X, 280);
  }
  // 509 markers of 3 x 3.
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clRed);
  for (const TPoint& p : w.curve) c.Rectangle(p.X - 1, p.Y - 1, p.X + 2, p.Y + 2);
  // 30 labels.
  c.Font().SetName("Arial");
  c.Font().SetSize(8);
  c.Font().SetColor(clBlack);
  c.SetBkMode(TRANSPARENT);
  for (int i = 0; i < 30; ++i) c.TextOut(5 + (i % 15) * 42, i < 15 ? 284 : 4, w.labels[i]);
}

void BM_FrameSurface(benchmark::State& state) {
  TBitmap bitmap(kWidth, kHeight);
  for (auto _ : state) {
    DrawFrame(bitmap.Canvas());
    benchmark::DoNotOptimize(bitmap.ScanLine(0));
  }
}
BENCHMARK(BM_FrameSurface)->Unit(benchmark::kMicrosecond);

// The same frame as fast as the toolkit's painter draws it: no anti-aliasing, the lines
// of each pen in one call, the texts laid out once.
void BM_FramePainterBaseline(benchmark::State& state) {
  const FrameWork& w = Work();
  QImage image(kWidth, kHeight, QImage::Format_RGB32);
  QFont font("Arial");
  font.setPixelSize(11);
  font.setStyleStrategy(QFont::NoAntialias);
  std::vector<QLine> grid;
  for (int i = 0; i < 20; ++i) {
    grid.emplace_back(40, 20 + i * 13, 620, 20 + i * 13);
    grid.emplace_back(40 + i * 29, 20, 40 + i * 29, 280);
  }
  std::vector<QPoint> curve;
  std::vector<QRect> markers;
  for (const TPoint& pt : w.curve) {
    curve.emplace_back(pt.X, pt.Y);
    markers.emplace_back(pt.X - 1, pt.Y - 1, 2, 2);  // outlined: one pixel wider and higher
  }
  std::vector<QRect> stems;  // vertical one-pixel lines, as one-pixel-wide rectangles
  for (int i = 0; i < 92; ++i) {
    const TPoint& pt = w.curve[i * 5 + 1];
    stems.emplace_back(QPoint(pt.X, std::min(pt.Y, 280)), QPoint(pt.X, std::max(pt.Y, 280)));
  }
  std::vector<std::pair<QPoint, QStaticText>> labels;
  for (int i = 0; i < 30; ++i) {
    labels.emplace_back(QPoint(5 + (i % 15) * 42, i < 15 ? 284 : 4),
                        QStaticText(QString::fromStdString(w.labels[i])));
    labels.back().second.prepare(QTransform(), font);
  }
  const QBrush grey(QColor(0xC0, 0xC0, 0xC0)), blue(Qt::blue), red(Qt::red);
  for (auto _ : state) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(0, 0, kWidth, kHeight, grey);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 0, Qt::DotLine));
    p.drawLines(grid.data(), static_cast<int>(grid.size()));
    p.setPen(QPen(Qt::red, 0));
    p.drawPolyline(curve.data(), static_cast<int>(curve.size()));
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRects(stems.data(), static_cast<int>(stems.size()));
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(red);
    p.drawRects(markers.data(), static_cast<int>(markers.size()));
    p.setFont(font);
    for (const auto& [at, text] : labels) p.drawStaticText(at, text);
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_FramePainterBaseline)->Unit(benchmark::kMicrosecond);

void BM_BufferCopy(benchmark::State& state) {
  TBitmap frame(kWidth, kHeight), window(kWidth, kHeight);
  DrawFrame(frame.Canvas());
  for (auto _ : state) {
    window.Canvas().Draw(0, 0, frame.Surface());
    benchmark::DoNotOptimize(window.ScanLine(0));
  }
}
BENCHMARK(BM_BufferCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
