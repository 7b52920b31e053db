// quarvel-export: renders and exports, without a display, exactly what the window
// computes and shows. The window's own code does the work: the main window is created
// offscreen (its three start-up blobs, then the chosen resolution through the radio
// group's handler), and each command reads or paints from it.

#include <QBuffer>
#include <QCommandLineParser>
#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/BitmapHost.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "ui/MainFormUnit.h"
#include "ui/ProjectionView.h"

namespace {

using namespace quarvel;

// A failure the user can mend: one line on standard error and a non-zero exit.
struct ExportError : std::runtime_error {
  ExportError(const std::string& message, int code) : std::runtime_error(message), exitCode(code) {}
  int exitCode;
};
constexpr int kUsageError = 2;
constexpr int kOutputError = 1;

// The shortest text that reads back to the same double.
std::string Shortest(double v) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  return std::string(buffer, end);
}

QImage ToImage(const TBitmap& bitmap) { return ImageOf(bitmap).copy(); }

// Writes all of `bytes` to `path` ("-" for standard output). A file is written under
// a temporary name and renamed when complete, so no half-written file is left.
void WriteOutput(const QString& path, const QByteArray& bytes) {
  if (path == "-") {
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout) != static_cast<std::size_t>(bytes.size()) ||
        std::fflush(stdout) != 0)
      throw ExportError("cannot write to standard output", kOutputError);
    return;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw ExportError("cannot write " + path.toStdString() + ": " + file.errorString().toStdString(), kOutputError);
}

QByteArray Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes;
}

int ParseResolution(const QString& text) {
  static const std::map<QString, int> kResolutions = {{"128x128", 0}, {"256x256", 1}, {"512x512", 2}};
  auto it = kResolutions.find(text);
  if (it == kResolutions.end())
    throw ExportError("bad resolution '" + text.toStdString() + "' (128x128, 256x256 or 512x512)", kUsageError);
  return it->second;
}

std::pair<int, int> ParseSize(const QString& text) {
  const QStringList parts = text.split('x');
  bool okW = false, okH = false;
  const int w = parts.size() == 2 ? parts[0].toInt(&okW) : 0, h = parts.size() == 2 ? parts[1].toInt(&okH) : 0;
  if (!okW || !okH || w < 1 || h < 1 || w > 8000 || h > 8000)
    throw ExportError("bad size '" + text.toStdString() + "' (WxH, each from 1 to 8000)", kUsageError);
  return {w, h};
}

// The window's picture once its layout has settled (the chart measures its axis labels
// with the pixel length of the previous paint, so the second paint is the lasting one).
QImage WindowPicture(TformMain& form) {
  form.show();
  form.grab();
  form.chartMain->InvalidateChart();
  return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage ChartPicture(TformMain& form, int width, int height) {
  TBitmapHost host(width, height);
  TChart chart(&host);
  TLineSeries series;
  ConfigureProjectionChart(chart, series);
  series.AfterDrawValues = [&](TChartSeries* sender) { DrawStems(*sender, chart.ChartCanvas(), form.Resolution); };
  FeedProjectionChart(series, form);
  for (int paint = 0; paint < 2; ++paint) {
    chart.InvalidateChart();
    chart.HandlePaint();
  }
  QImage image = ToImage(host.Bitmap());
  series.SetParentChart(nullptr);
  return image;
}

QImage GridPicture(const TformMain& form) {
  TBitmap24 bitmap;
  bitmap.SetHeight(TProjectionModel::kGridSize);
  bitmap.SetWidth(TProjectionModel::kGridSize);
  PaintGridImage(form, bitmap);
  QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
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

std::string PointsCsv(const TformMain& form) {
  std::ostringstream out;
  out << "index,x,y,kind\n";
  for (int i = 0; i < form.ResolutionPointCount(); ++i) {
    const bool inserted = IsInsertedPoint(form.Resolution, i);
    out << i << ',' << Shortest(form.Points[i].X) << ',' << Shortest(form.Points[i].Y) << ','
        << (inserted ? "inserted" : "sample") << '\n';
  }
  return out.str();
}

std::string ProjectionCsv(const TformMain& form) {
  std::ostringstream out;
  out << "ix,x,sum\n";
  for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix)
    out << ix << ',' << Shortest(TProjectionModel::GridCoordinate(ix)) << ',' << Shortest(form.Projection[ix]) << '\n';
  return out.str();
}

std::string GridCsv(const TformMain& form) {
  std::ostringstream out;
  out << "ix,iy,x,y,value\n";
  for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix)
    for (int iy = 0; iy < TProjectionModel::kGridSize; ++iy)
      out << ix << ',' << iy << ',' << Shortest(TProjectionModel::GridCoordinate(ix)) << ','
          << Shortest(TProjectionModel::GridCoordinate(iy)) << ',' << Shortest(form.Grid[ix][iy]) << '\n';
  return out.str();
}

QByteArray Bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

int Run(TApplication& application) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Exports what the Quarvel view window computes and shows.\n\n"
      "Commands:\n"
      "  window FILE.png       the whole window\n"
      "  chart FILE.png        the projection chart alone (--size WxH, default 651x302)\n"
      "  grid FILE.png         the density image, 128 x 128\n"
      "  grid FILE.csv         the grid cells: ix,iy,x,y,value\n"
      "  points FILE.csv       the resampled projection: index,x,y,kind\n"
      "  projection FILE.csv   the zero projection: ix,x,sum\n"
      "FILE may be - for standard output.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("command", "window, chart, grid, points or projection");
  parser.addPositionalArgument("file", "the output file, or - for standard output");
  const QCommandLineOption resolutionOption("resolution", "128x128, 256x256 or 512x512 (default 128x128).", "resolution", "128x128");
  const QCommandLineOption sizeOption("size", "The chart's size, WxH (default 651x302).", "size", "651x302");
  parser.addOption(resolutionOption);
  parser.addOption(sizeOption);
  parser.process(QCoreApplication::arguments());

  const QStringList args = parser.positionalArguments();
  if (args.size() != 2) throw ExportError("expected a command and a file (see --help)", kUsageError);
  const QString command = args[0], file = args[1];
  const bool csv = file.endsWith(".csv", Qt::CaseInsensitive);
  const int resolution = ParseResolution(parser.value(resolutionOption));
  const auto [width, height] = ParseSize(parser.value(sizeOption));
  if (command != "window" && command != "chart" && command != "grid" && command != "points" && command != "projection")
    throw ExportError("unknown command '" + command.toStdString() + "' (see --help)", kUsageError);

  auto form = TformMain::Create(application);
  if (resolution != 0) {
    form->grpResolution->SetItemIndex(resolution);
    form->grpResolutionClick(form->grpResolution);
  }

  if (command == "window") WriteOutput(file, Png(WindowPicture(*form)));
  else if (command == "chart") WriteOutput(file, Png(ChartPicture(*form, width, height)));
  else if (command == "grid") WriteOutput(file, csv ? Bytes(GridCsv(*form)) : Png(GridPicture(*form)));
  else if (command == "points") WriteOutput(file, Bytes(PointsCsv(*form)));
  else WriteOutput(file, Bytes(ProjectionCsv(*form)));
  return 0;
}

}  // namespace

// The toolkit's own notes (a missing runtime folder and the like) would add lines to
// the one-line error contract; only its critical messages are passed on.
void QuietToolkitMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "quarvel-export: %s\n", qPrintable(message));
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QuietToolkitMessages);
  try {
    TApplication application(argc, argv);
    QCoreApplication::setApplicationName("quarvel-export");
    QCoreApplication::setApplicationVersion(QUARVEL_VERSION);
    ReadLocaleSeparators();
    // Handler errors go to standard error here, never to a message box.
    std::string failure;
    application.ShowException = [&failure](const std::string& message) { failure = message; };
    const int code = Run(application);
    if (!failure.empty()) throw std::runtime_error(failure);
    return code;
  } catch (const ExportError& e) {
    std::fprintf(stderr, "quarvel-export: %s\n", e.what());
    return e.exitCode;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarvel-export: %s\n", e.what());
    return 1;
  }
}
