// The projection chart (651 x 302, configured as the main window's) as the window paints
// it: the start-up phantom's resampled points with the window's own stem handler
// (`DrawStems`) bound to the series' after-draw event.
//
// BM_ChartSideBySide interleaves, in every iteration and in this order, the quantities
// the targets compare, so that a noisy machine slows all of them alike:
//   chart    a full repaint of the window's chart (509 points, 381 stems);
//   painter  the same picture drawn as fast as a plain toolkit painter can (see
//            PainterPicture);
//   floor    the physical floor of that picture: fill the frame with the background,
//            store the picture's non-background pixels, copy the frame;
//   pan      one pan step (a right-button mouse move of one pixel and the repaint) on a
//            second chart of the same kind;
//   buffer   a repaint from the buffer (nothing stale);
//   copy     one plain copy of a 651 x 302 frame.
// Its counters are the mean times (µs of the thread's processor time, so that time spent
// waiting for the processor on a shared machine does not count) and the ratios the
// targets are stated in.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QLine>
#include <QPainter>
#include <QStaticText>

#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "MainChart.h"
#include "ModelFixtures.h"
#include "format/NumberFormat.h"
#include "platform/QtRuntime.h"
#include "ui/ProjectionView.h"

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

// The window's chart at a resolution: its points and its stem handler.
struct WindowChart {
  explicit WindowChart(int atResolution) : resolution(atResolution) {
    view.series.AfterDrawValues = [this](TChartSeries* sender) {
      DrawStems(*sender, view.chart.ChartCanvas(), resolution);
    };
    view.Feed(testing::StartUpPhantom(atResolution)->Points);
    view.Redraw();
    view.Redraw();  // label widths settle after the first paint
  }
  ~WindowChart() { view.series.AfterDrawValues = nullptr; }
  const TBitmap& Picture() { return view.host.Bitmap(); }

  int resolution;
  testing::MainChart view;
};

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

// The chart's picture taken apart into what a plain painter needs to draw it (the same
// plot rectangle, tick and label positions, label texts, point and stem pixels, read from
// the painted chart), drawn as fast as the toolkit's painter can: no anti-aliasing, an
// image of the chart buffer's format (32-bit, opaque), texts laid out once
// (QStaticText), the lines of each pen in one drawLines call, solid areas filled with
// brushes made once.
struct PainterPicture {
  explicit PainterPicture(WindowChart& w)
      : image(w.view.host.Bitmap().Width(), w.view.host.Bitmap().Height(), QImage::Format_RGB32) {
    TChart& chart = w.view.chart;
    TLineSeries& series = w.view.series;
    plot = chart.PlotRect;
    background = QBrush(ToQColor(chart.Color()));
    shadow = QBrush(ToQColor(clBtnShadow));
    highlight = QBrush(ToQColor(clBtnHighlight));
    font.setFamily("Arial");
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    title.setPerformanceHint(QStaticText::AggressiveCaching);
    title.prepare(QTransform(), font);
    for (TCustomChartAxis* axis : {&chart.BottomAxis(), &chart.LeftAxis()}) {
      for (int p : axis->TickPositions()) {
        const double v = axis->PixelToValue(p);
        const QString text = QString::fromStdString(FormatPattern("#,##0.###", v));
        if (axis->IsHorizontal()) {
          grid.emplace_back(p, plot.Top, p, plot.Bottom);
          ticks.emplace_back(p, plot.Bottom + 2, p, plot.Bottom + 6);
          labels.push_back({QPoint(p, plot.Bottom + 7), QStaticText(text), true});
        } else {
          grid.emplace_back(plot.Left, p, plot.Right, p);
          ticks.emplace_back(plot.Left - 6, p, plot.Left - 2, p);
          labels.push_back({QPoint(plot.Left - 7, p - 6), QStaticText(text), false});
        }
      }
    }
    for (Label& l : labels) {
      l.text.setPerformanceHint(QStaticText::AggressiveCaching);
      l.text.prepare(QTransform(), font);
      const int width = static_cast<int>(l.text.size().width());
      l.at.rx() -= l.centred ? width / 2 : width;
    }
    titleAt = QPoint(image.width() / 2 - static_cast<int>(title.size().width()) / 2, 4);
    for (int i = 0; i < series.PointCount(); ++i)
      points.emplace_back(series.XPixelOfPoint(i), series.YPixelOfPoint(i));
    for (const QPoint& q : points) markers.emplace_back(q.x() - 1, q.y() - 1, 3, 3);
    for (int i = 0; i < series.PointCount(); ++i)
      if (TProjectionModel::IsInsertedPoint(w.resolution, i)) {
        const int foot = series.YPixelOfValue(0.0);
        stems.emplace_back(QPoint(points[i].x(), std::min(foot, points[i].y())),
                           QPoint(points[i].x(), std::max(foot, points[i].y())));
      }
  }

  void Draw() {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int w = image.width(), h = image.height();
    p.fillRect(0, 0, w, h, background);
    p.fillRect(0, 0, w - 1, 1, shadow);
    p.fillRect(0, 0, 1, h - 1, shadow);
    p.fillRect(w - 1, 0, 1, h, highlight);
    p.fillRect(0, h - 1, w, 1, highlight);
    p.setFont(font);
    p.setPen(Qt::blue);
    p.drawStaticText(titleAt, title);
    p.setPen(Qt::black);
    for (const Label& l : labels) p.drawStaticText(l.at, l.text);
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(plot.Left, plot.Top, plot.Right - plot.Left, plot.Bottom - plot.Top);
    // The two-pixel axis lines.
    p.fillRect(plot.Left - 1, plot.Bottom, plot.Right - plot.Left + 1, 2, black);
    p.fillRect(plot.Left - 2, plot.Top - 1, 2, plot.Bottom - plot.Top + 1, black);
    p.setPen(QPen(Qt::gray, 0));
    p.drawLines(ticks.data(), static_cast<int>(ticks.size()));
    p.setPen(QPen(Qt::gray, 0, Qt::DotLine));
    p.drawLines(grid.data(), static_cast<int>(grid.size()));
    p.setClipRect(plot.Left + 1, plot.Top + 1, plot.Right - plot.Left - 1,
                  plot.Bottom - plot.Top - 2);
    p.setPen(QPen(Qt::red, 0));
    p.drawPolyline(points.data(), static_cast<int>(points.size()));
    // The markers: their squares in one call, their centres in another.
    p.setPen(Qt::NoPen);
    p.setBrush(black);
    p.drawRects(markers.data(), static_cast<int>(markers.size()));
    p.setPen(QPen(Qt::red, 0));
    p.drawPoints(points.data(), static_cast<int>(points.size()));
    p.setClipping(false);
    // The stems are vertical one-pixel lines: as one-pixel-wide rectangles in one call
    // they cost a third of what the line stroker takes for them (drawLines).
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRects(stems.data(), static_cast<int>(stems.size()));
    p.end();
    benchmark::DoNotOptimize(image.constBits());
  }

  struct Label {
    QPoint at;  // the top-left corner of the text
    QStaticText text;
    bool centred;
  };
  QStaticText title{QString::fromUtf8("Нулевая проекция")};
  QPoint titleAt;
  QImage image;
  TRect plot;
  QBrush background, shadow, highlight, black{Qt::black}, blue{Qt::blue};
  QFont font;
  std::vector<QLine> grid, ticks;
  std::vector<QRect> markers, stems;
  std::vector<Label> labels;
  std::vector<QPoint> points;
};

// The least any renderer must do for this picture: every pixel of the frame written
// once with the background, every pixel that differs from it written once more, and
// the finished frame copied out.
struct FloorPicture {
  explicit FloorPicture(const TBitmap& picture)
      : width(picture.Width()),
        height(picture.Height()),
        frame(static_cast<std::size_t>(width) * height),
        shown(frame.size()) {
    background = picture.PixelAt(width / 2, 2);  // the panel's colour, above the title
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (picture.PixelAt(x, y) != background)
          ink.push_back({static_cast<uint32_t>(y * width + x), picture.PixelAt(x, y)});
  }
  void Draw() {
    std::fill(frame.begin(), frame.end(), background);
    for (const Ink& i : ink) frame[i.at] = i.pixel;
    std::memcpy(shown.data(), frame.data(), frame.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(shown.data());
  }
  struct Ink {
    uint32_t at;
    uint32_t pixel;
  };
  int width, height;
  std::vector<uint32_t> frame, shown;
  uint32_t background = 0;
  std::vector<Ink> ink;
};

double ThreadMicroseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e6 + t.tv_nsec * 1e-3;
}

struct Stopwatch {
  template <class F>
  void Time(F&& f) {
    const double start = ThreadMicroseconds();
    f();
    total += ThreadMicroseconds() - start;
  }
  double Mean(const benchmark::State& state) const {
    return total / static_cast<double>(state.iterations());
  }
  double total = 0;
};

void BM_ChartSideBySide(benchmark::State& state) {
  WindowChart full(2), pan(2);
  PainterPicture painter(full);
  FloorPicture floor(full.Picture());
  std::vector<uint32_t> copy(floor.frame.size());
  int x = 300, direction = 1;
  pan.view.chart.ChartMouseDown(TMouseButton::mbRight, 0, x, 150);
  Stopwatch chartTime, painterTime, floorTime, panTime, bufferTime, copyTime;
  for (auto _ : state) {
    chartTime.Time([&] { full.view.Redraw(); });
    painterTime.Time([&] { painter.Draw(); });
    floorTime.Time([&] { floor.Draw(); });
    panTime.Time([&] {
      if (x > 301 || x < 300) direction = -direction;
      x += direction;
      pan.view.chart.ChartMouseMove(0, x, 150);
      pan.view.chart.HandlePaint();
    });
    bufferTime.Time([&] { full.view.chart.HandlePaint(); });
    copyTime.Time([&] {
      std::memcpy(copy.data(), full.Picture().ScanLine(0), copy.size() * sizeof(uint32_t));
      benchmark::DoNotOptimize(copy.data());
    });
  }
  const double chart = chartTime.Mean(state), painterUs = painterTime.Mean(state),
               floorUs = floorTime.Mean(state);
  state.counters["chart_us"] = chart;
  state.counters["painter_us"] = painterUs;
  state.counters["floor_us"] = floorUs;
  state.counters["pan_us"] = panTime.Mean(state);
  state.counters["buffer_us"] = bufferTime.Mean(state);
  state.counters["copy_us"] = copyTime.Mean(state);
  state.counters["painter/chart"] = painterUs / chart;
  state.counters["chart/floor"] = chart / floorUs;
  state.counters["pan/chart"] = panTime.Mean(state) / chart;
  state.counters["buffer/copy"] = bufferTime.Mean(state) / copyTime.Mean(state);
  state.counters["ink_pixels"] = static_cast<double>(floor.ink.size());
}
BENCHMARK(BM_ChartSideBySide)->Unit(benchmark::kMicrosecond);

// A full repaint of the window's chart at each resolution, stems included.
void BM_ChartFullRepaint(benchmark::State& state) {
  WindowChart w(static_cast<int>(state.range(0)));
  for (auto _ : state) w.view.Redraw();
}
BENCHMARK(BM_ChartFullRepaint)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void BM_ChartRepaintFromBuffer(benchmark::State& state) {
  WindowChart w(2);
  for (auto _ : state) w.view.chart.HandlePaint();
}
BENCHMARK(BM_ChartRepaintFromBuffer)->Unit(benchmark::kMicrosecond);

// One pan step: a right-button mouse move of one pixel, then the full repaint.
void BM_PanStep(benchmark::State& state) {
  WindowChart w(2);
  int x = 300, direction = 1;
  w.view.chart.ChartMouseDown(TMouseButton::mbRight, 0, x, 150);
  for (auto _ : state) {
    if (x > 400 || x < 200) direction = -direction;
    x += direction;
    w.view.chart.ChartMouseMove(0, x, 150);
    w.view.chart.HandlePaint();
  }
}
BENCHMARK(BM_PanStep)->Unit(benchmark::kMicrosecond);

// How the cost grows with the number of points: a line with markers (no stems: the
// window never shows more than 509 points), painted at 1,000 and at n points in turn;
// `us_per_point` is the difference per added point.
void BM_ChartGrowth(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  testing::MainChart small, large;
  small.Feed(Curve(1000));
  large.Feed(Curve(n));
  for (testing::MainChart* v : {&small, &large}) {
    v->Redraw();
    v->Redraw();
  }
  Stopwatch smallTime, largeTime;
  for (auto _ : state) {
    smallTime.Time([&] { small.Redraw(); });
    largeTime.Time([&] { large.Redraw(); });
  }
  state.counters["1000_us"] = smallTime.Mean(state);
  state.counters["n_us"] = largeTime.Mean(state);
  state.counters["us_per_point"] = (largeTime.Mean(state) - smallTime.Mean(state)) / (n - 1000);
}
BENCHMARK(BM_ChartGrowth)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
