#include "ui/ExportView.h"

#include <QBuffer>

#include <charconv>
#include <memory>
#include <string>

#include "base/Exception.h"
#include "platform/BitmapHost.h"
#include "platform/window/Controls.h"
#include "ui/ProjectionView.h"

namespace quarvel {

std::string ShortestText(double v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

// The chart measures its axis labels with the pixel length of the previous paint, so
// the second paint is the lasting one.
QImage WindowPicture(TformMain& form) {
  form.show();
  form.grab();
  form.chartMain->InvalidateChart();
  return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The chart paints straight into the host's bitmap (no off-screen buffer of its own),
// and the picture handed back is that bitmap, owned by the image: a large chart is held
// once, not three times.
QImage ChartPicture(const TformMain& form, int width, int height) {
  auto host = std::make_unique<TBitmapHost>(width, height);
  {
    TChart chart(host.get());
    chart.ChartCanvas().SetBufferedMode(false);
    TLineSeries series;
    ConfigureProjectionChart(chart, series);
    series.AfterDrawValues = [&](TChartSeries* sender) {
      DrawStems(*sender, chart.ChartCanvas(), form.Resolution);
    };
    FeedProjectionChart(series, form);
    for (int paint = 0; paint < 2; ++paint) {
      chart.InvalidateChart();
      chart.HandlePaint();
    }
    series.SetParentChart(nullptr);
  }
  TBitmap& bitmap = host->Bitmap();
  uchar* pixels = reinterpret_cast<uchar*>(bitmap.ScanLine(0));
  const int w = bitmap.Width(), h = bitmap.Height();
  return QImage(
      pixels, w, h, w * 4, QImage::Format_RGB32,
      [](void* owner) { delete static_cast<TBitmapHost*>(owner); }, host.release());
}

QImage GridPicture(const TformMain& form) {
  TBitmap24 bitmap;
  bitmap.SetHeight(TProjectionModel::kGridSize);
  bitmap.SetWidth(TProjectionModel::kGridSize);
  PaintGridImage(form, bitmap);
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
  if (image.isNull()) throw Exception("not enough memory for the picture");
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* from = bitmap.ScanLine(y);
    uint8_t* to = image.scanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      to[3 * x] = from[3 * x + 2];
      to[3 * x + 1] = from[3 * x + 1];
      to[3 * x + 2] = from[3 * x];
    }
  }
  return image;
}

// The texts are built in strings, not string streams: a stream that cannot grow only
// sets a flag and goes on, which would cut the text short unnoticed; a string raises
// std::bad_alloc.

std::string PointsCsv(const TformMain& form) {
  std::string out = "index,x,y,kind\n";
  for (int i = 0; i < form.ResolutionPointCount(); ++i) {
    const bool inserted = form.IsInsertedPoint(i);
    out += std::to_string(i) + ',' + ShortestText(form.Points[i].X) + ',' +
           ShortestText(form.Points[i].Y) + ',' + (inserted ? "inserted" : "sample") + '\n';
  }
  return out;
}

std::string ProjectionCsv(const TformMain& form) {
  std::string out = "ix,x,sum\n";
  for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix)
    out += std::to_string(ix) + ',' + ShortestText(TProjectionModel::GridCoordinate(ix)) + ',' +
           ShortestText(form.Projection[ix]) + '\n';
  return out;
}

std::string GridCsv(const TformMain& form) {
  std::string out = "ix,iy,x,y,value\n";
  for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix)
    for (int iy = 0; iy < TProjectionModel::kGridSize; ++iy)
      out += std::to_string(ix) + ',' + std::to_string(iy) + ',' +
             ShortestText(TProjectionModel::GridCoordinate(ix)) + ',' +
             ShortestText(TProjectionModel::GridCoordinate(iy)) + ',' +
             ShortestText(form.Grid[ix][iy]) + '\n';
  return out;
}

QByteArray PngBytes(const QImage& image) {
  if (image.isNull()) throw Exception("not enough memory for the picture");
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG") || bytes.isEmpty())
    throw Exception("cannot encode the " + std::to_string(image.width()) + " x " +
                    std::to_string(image.height()) + " picture as PNG");
  return bytes;
}

std::string PngText(const QImage& image) {
  const QByteArray bytes = PngBytes(image);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray TextBytes(const std::string& text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace quarvel
