#include "bench/BenchPictures.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "bench/BenchStudy.h"
#include "format/NumberFormat.h"
#include "model/ProjectionModel.h"
#include "platform/Bitmap24.h"
#include "ui/ProjectionView.h"

namespace quarvel {

namespace {

int Cell(int offset, int extent, int cells) {
  if (offset < 0 || offset >= extent || extent <= 0) return -1;
  return static_cast<int>(static_cast<long long>(offset) * cells / extent);
}

TColor RgbColor(uint8_t r, uint8_t g, uint8_t b) {
  return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}

}  // namespace

namespace {

// The cell under an offset into a shown part of `shown` cells from `first` (the whole
// array by the integer rule above, so that an unzoomed picture is as it always was).
int ShownCell(int offset, int extent, int cells, double first, double shown) {
  if (shown <= 0 || (first == 0 && shown == cells)) return Cell(offset, extent, cells);
  if (offset < 0 || offset >= extent || extent <= 0) return -1;
  const int c = static_cast<int>(std::floor(first + (offset + 0.5) * shown / extent));
  return c >= 0 && c < cells ? c : -1;
}

double Shown(double shown, int cells) { return shown > 0 ? shown : cells; }

bool Inside(const TPlacement& p, const TPoint& at) {
  return at.X >= p.Left && at.X < p.Left + p.Width && at.Y >= p.Top && at.Y < p.Top + p.Height;
}

TView Clamped(TView v) {
  v.Zoom = std::clamp(v.Zoom, 1.0, 16.0);
  const double half = 0.5 / v.Zoom;
  v.CentreX = std::clamp(v.CentreX, half, 1 - half);
  v.CentreY = std::clamp(v.CentreY, half, 1 - half);
  return v;
}

}  // namespace

int TPlacement::ColumnAt(int x) const {
  return ShownCell(x - Left, Width, Columns, FirstColumn, ColumnsShown);
}
int TPlacement::RowAt(int y) const { return ShownCell(y - Top, Height, Rows, FirstRow, RowsShown); }
double TPlacement::ColumnsPerPixel() const {
  return Width > 0 ? Shown(ColumnsShown, Columns) / Width : 0;
}
double TPlacement::RowsPerPixel() const { return Height > 0 ? Shown(RowsShown, Rows) / Height : 0; }
double TPlacement::XOfColumn(double column) const {
  return Left + (column + 0.5 - FirstColumn) * Width / std::max(1.0, Shown(ColumnsShown, Columns));
}
double TPlacement::YOfRow(double row) const {
  return Top + (row + 0.5 - FirstRow) * Height / std::max(1.0, Shown(RowsShown, Rows));
}

namespace {

constexpr double kGridStep = 19.0 / 127.0;  // model units from one cell to the next

// The fractional cell at a picture position along one side, and back.
double CellAt(double position, int first, int extent, int cells, double firstCell, double shown) {
  return firstCell + (position - first) * Shown(shown, cells) / std::max(1, extent) - 0.5;
}

}  // namespace

double ModelXAt(const TPlacement& p, double x) {
  return TProjectionModel::GridCoordinate(0) +
         kGridStep * CellAt(x, p.Left, p.Width, p.Columns, p.FirstColumn, p.ColumnsShown);
}
double ModelYAt(const TPlacement& p, double y) {
  return TProjectionModel::GridCoordinate(0) +
         kGridStep * CellAt(y, p.Top, p.Height, p.Rows, p.FirstRow, p.RowsShown);
}
double XOfModel(const TPlacement& p, double modelX) {
  return p.XOfColumn((modelX - TProjectionModel::GridCoordinate(0)) / kGridStep);
}
double YOfModel(const TPlacement& p, double modelY) {
  return p.YOfRow((modelY - TProjectionModel::GridCoordinate(0)) / kGridStep);
}

std::vector<double> RoundTicks(double from, double to, double pixelsPerUnit, double gap) {
  if (!(pixelsPerUnit > 0) || !std::isfinite(pixelsPerUnit) || !std::isfinite(from) ||
      !std::isfinite(to))
    return {};
  const double least = std::max(gap, 1.0) / pixelsPerUnit;
  double decade = std::pow(10.0, std::floor(std::log10(least)));
  double step = decade;
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * decade >= least * (1 - 1e-12)) {
      step = m * decade;
      break;
    }
  const double low = std::min(from, to), high = std::max(from, to);
  std::vector<double> ticks;
  const double first = std::ceil(low / step - 1e-9), last = std::floor(high / step + 1e-9);
  for (double k = first; k <= last && ticks.size() < 1000; ++k)
    ticks.push_back(k == 0 ? 0.0 : k * step);
  return ticks;
}

TView Zoomed(const TView& view, double fx, double fy, int notches) {
  TView v = view;
  v.Zoom = std::clamp(view.Zoom * std::exp2(std::clamp(notches, -8, 8)), 1.0, 16.0);
  // The array point under (fx, fy) before and after stays put.
  const double x = view.CentreX + (fx - 0.5) / view.Zoom;
  const double y = view.CentreY + (fy - 0.5) / view.Zoom;
  v.CentreX = x - (fx - 0.5) / v.Zoom;
  v.CentreY = y - (fy - 0.5) / v.Zoom;
  return Clamped(v);
}

TView Panned(const TView& view, double dfx, double dfy) {
  TView v = view;
  v.CentreX += dfx / view.Zoom;
  v.CentreY += dfy / view.Zoom;
  return Clamped(v);
}

TPlacement WithView(TPlacement p, const TView& view) {
  if (view.Zoom <= 1) return p;
  p.ColumnsShown = p.Columns / view.Zoom;
  p.RowsShown = p.Rows / view.Zoom;
  p.FirstColumn = (view.CentreX - 0.5 / view.Zoom) * p.Columns;
  p.FirstRow = (view.CentreY - 0.5 / view.Zoom) * p.Rows;
  return p;
}

std::pair<double, double> FractionAt(const TPlacement& p, int x, int y) {
  const double columns = Shown(p.ColumnsShown, p.Columns), rows = Shown(p.RowsShown, p.Rows);
  const double fx = p.Width > 0 && p.Columns > 0
                        ? (p.FirstColumn + (x - p.Left + 0.5) * columns / p.Width) / p.Columns
                        : 0;
  const double fy =
      p.Height > 0 && p.Rows > 0 ? (p.FirstRow + (y - p.Top + 0.5) * rows / p.Height) / p.Rows : 0;
  return {fx, fy};
}

TPoint PixelOfFraction(const TPlacement& p, double fx, double fy) {
  return {static_cast<int>(std::floor(p.XOfColumn(fx * p.Columns - 0.5))),
          static_cast<int>(std::floor(p.YOfRow(fy * p.Rows - 0.5)))};
}

TPlacement PlaceArray(int rows, int columns, const TRect& area) {
  TPlacement p;
  p.Left = area.Left;
  p.Top = area.Top;
  p.Rows = rows;
  p.Columns = columns;
  if (rows <= 0 || columns <= 0 || area.IsEmpty()) return p;
  const int k = std::max(1, std::min(area.Width() / columns, area.Height() / rows));
  p.Width = columns <= area.Width() ? columns * k : area.Width();
  p.Height = rows <= area.Height() ? rows * k : area.Height();
  return p;
}

std::optional<TProfilePick> PickAt(const TPlacement& placement, const TProfilePick& current, int x,
                                   int y) {
  const int column = placement.ColumnAt(x), row = placement.RowAt(y);
  if (column < 0 || row < 0) return std::nullopt;
  return TProfilePick{column, row, current.AlongColumn};
}

TProfile ProfileOf(const TProfilePick& pick, const TArray2D& truth, const TArray2D& reconstruction,
                   bool pixels) {
  TProfile profile;
  const int count = pick.AlongColumn ? truth.Rows : truth.Columns;
  for (int i = 0; i < count; ++i) {
    const int row = pick.AlongColumn ? i : pick.Row, column = pick.AlongColumn ? pick.Column : i;
    profile.Position.push_back(pixels ? i : TProjectionModel::GridCoordinate(i));
    profile.Truth.push_back(truth.At(row, column));
    profile.Reconstruction.push_back(reconstruction.At(row, column));
  }
  const int through = pick.AlongColumn ? pick.Column : pick.Row;
  if (pixels) {
    profile.Title = std::string(pick.AlongColumn ? "Column " : "Row ") + std::to_string(through) +
                    ": image green, reconstruction red";
    profile.Axis = pick.AlongColumn ? "row" : "column";
    return profile;
  }
  profile.Title = std::string(pick.AlongColumn ? "Column " : "Row ") + std::to_string(through) +
                  (pick.AlongColumn ? " (x = " : " (y = ") +
                  ShortNumber(TProjectionModel::GridCoordinate(through)) +
                  "): phantom green, reconstruction red";
  profile.Axis = pick.AlongColumn ? "y" : "x";
  return profile;
}

int ProfileLinePixel(const TPlacement& placement, const TProfilePick& pick) {
  return static_cast<int>(
      std::floor(pick.AlongColumn ? placement.XOfColumn(pick.Column) : placement.YOfRow(pick.Row)));
}

TRgb GreenColor(double value, double gridMax) {
  if (!(gridMax > 0)) return {};
  return {0, GreenLevel(value, gridMax), 0};
}

TRgb GreyColor(double value, double low, double high) {
  const uint8_t level = GreyLevel(value, low, high);
  return {level, level, level};
}

TRgb DivergingColor(double value, double limit) { return DivergingRgb(value, limit); }

TWindowLevel WindowOver(double low, double high) { return {high - low, low / 2 + high / 2}; }

TWindowLevel DraggedWindow(const TWindowLevel& start, int dx, int dy, double range) {
  const double step = std::isfinite(range) && range > 0 ? range / 256 : 1.0 / 256;
  return {std::max(step, start.Width + dx * step), start.Level + dy * step};
}

uint8_t WindowedLevel(double value, const TWindowLevel& window) {
  return GreyLevel(value, window.Low(), window.High());
}

double LargestMagnitude(const TArray2D& array) { return DivergingReach(array); }

std::pair<double, double> ValueRange(const TArray2D& array) { return FiniteRange(array); }

void PaintArray(TCanvas& canvas, const TPlacement& placement,
                const std::function<TRgb(int row, int column)>& color) {
  if (placement.Width <= 0 || placement.Height <= 0) return;
  TBitmap24 bitmap;
  bitmap.SetHeight(placement.Height);
  bitmap.SetWidth(placement.Width);
  std::vector<int> columns(static_cast<std::size_t>(placement.Width));
  for (int x = 0; x < placement.Width; ++x)
    columns[static_cast<std::size_t>(x)] = placement.ColumnAt(placement.Left + x);
  for (int y = 0; y < placement.Height; ++y) {
    const int row = placement.RowAt(placement.Top + y);
    uint8_t* line = bitmap.ScanLine(y);
    for (int x = 0; x < placement.Width; ++x) {
      const int column = columns[static_cast<std::size_t>(x)];
      const TRgb c = row >= 0 && column >= 0 ? color(row, column) : TRgb{};
      line[3 * x] = c.B;
      line[3 * x + 1] = c.G;
      line[3 * x + 2] = c.R;
    }
  }
  bitmap.DrawOn(canvas, placement.Left, placement.Top);
}

std::string FiguresText(const TImageMetrics& m, int digits) {
  // Not a number and the infinities in words (FigureText), never "nan" or "-nan".
  auto n = [digits](double v) {
    return std::isfinite(v) ? QString::number(v, 'g', digits).toStdString() : FigureText(v);
  };
  return "RMSE " + n(m.Rmse) + "    NRMSE " + n(m.Nrmse) + "    PSNR " + n(m.Psnr) +
         " dB    SSIM " + n(m.Ssim);
}

std::string CompareFiguresText(const TImageMetrics& b, const TImageMetrics& a, int digits) {
  // Not a number and the infinities in words (FigureText), never "nan" or "-nan".
  auto n = [digits](double v) {
    return std::isfinite(v) ? QString::number(v, 'g', digits).toStdString() : FigureText(v);
  };
  auto pair = [&](double vb, double va) { return n(vb) + " (A " + n(va) + ")"; };
  return "RMSE " + pair(b.Rmse, a.Rmse) + "    NRMSE " + pair(b.Nrmse, a.Nrmse) + "    PSNR " +
         n(b.Psnr) + " dB (A " + n(a.Psnr) + ")    SSIM " + pair(b.Ssim, a.Ssim);
}

std::string ProgressText(int done, int total, double elapsedSeconds) {
  std::string text = std::to_string(done) + " / " + std::to_string(total);
  if (done <= 0 || done >= total || !(elapsedSeconds > 0)) return text;
  const double left = elapsedSeconds / done * (total - done);
  if (left < 99.5) return text + ", " + std::to_string(std::lround(left)) + " s left";
  return text + ", " + std::to_string(std::lround(left / 60)) + " min left";
}

std::string ShortNumber(double value) { return QString::number(value, 'g', 3).toStdString(); }

void PaintAngleAxis(TCanvas& canvas, const TPlacement& placement, const TScanGeometry& geometry,
                    const TTextOut& text) {
  const TTextOut write =
      text ? text : [&canvas](int x, int y, const std::string& t) { canvas.TextOut(x, y, t); };
  if (placement.Height <= 0 || geometry.Views <= 0) return;
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Pen().SetColor(clWindowText);
  canvas.Font().SetColor(clWindowText);
  const int textHeight = canvas.TextExtent("0").Height;
  // The smallest round step whose labels lie at least 24 pixels apart.
  const double pixelsPerDegree = placement.Height / geometry.ArcDegrees;
  double step = 360;
  for (double candidate : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 45.0, 90.0, 180.0})
    if (candidate * pixelsPerDegree >= 24) {
      step = candidate;
      break;
    }
  const double degreesPerView = geometry.ArcDegrees / geometry.Views;
  for (double angle = 0; angle < geometry.ArcDegrees - 1e-9; angle += step) {
    // The view whose angle is nearest, placed at the centre of its row.
    const int view =
        std::min(geometry.Views - 1, static_cast<int>(std::lround(angle / degreesPerView)));
    const int y = static_cast<int>(std::lround(placement.YOfRow(view)));
    if (y < placement.Top || y > placement.Top + placement.Height) continue;  // zoomed out of sight
    canvas.MoveTo(placement.Left - 4, y);
    canvas.LineTo(placement.Left, y);
    const std::string label = ShortNumber(geometry.AngleDegrees(view)) + "°";
    const int width = canvas.TextExtent(label).Width;
    write(placement.Left - 6 - width, y - textHeight / 2, label);
  }
  write(placement.Left - 6 - canvas.TextExtent("θ").Width,
        std::max(0, placement.Top - textHeight - 2), "θ");
}

namespace {

std::string TickLabel(double value) { return QString::number(value, 'g', 6).toStdString(); }

// One axis of a picture: the values from Low to High over its length, PerUnit pixels to a
// unit, and the pixel a value lands on.
struct TAxisSpan {
  double Low, High, PerUnit;
  std::function<double(double)> At;
};

// Ticks and labels under the picture (x) and left of it (y), and the axes' names.
void PaintAxes(TCanvas& canvas, const TPlacement& p, const TTextOut& write, int textHeight,
               const TAxisSpan& xs, const TAxisSpan& ys) {
  const int bottom = p.Top + p.Height;
  for (const double v : RoundTicks(xs.Low, xs.High, xs.PerUnit, 30)) {
    const int x = static_cast<int>(std::floor(xs.At(v)));
    if (x < p.Left || x >= p.Left + p.Width) continue;
    canvas.MoveTo(x, bottom);
    canvas.LineTo(x, bottom + 3);
    const std::string label = TickLabel(v);
    write(x - canvas.TextExtent(label).Width / 2, bottom + 3, label);
  }
  for (const double v : RoundTicks(ys.Low, ys.High, ys.PerUnit, 30)) {
    const int y = static_cast<int>(std::floor(ys.At(v)));
    if (y < p.Top || y >= bottom) continue;
    canvas.MoveTo(p.Left - 4, y);
    canvas.LineTo(p.Left, y);
    const std::string label = TickLabel(v);
    write(p.Left - 6 - canvas.TextExtent(label).Width, y - textHeight / 2, label);
  }
  write(p.Left - 6 - canvas.TextExtent("y").Width, std::max(0, p.Top - textHeight - 2), "y");
  write(p.Left - 6 - canvas.TextExtent("x").Width, bottom + 3, "x");
}

}  // namespace

void PaintGridAxes(TCanvas& canvas, const TPlacement& p, const TTextOut& text, bool pixels) {
  const TTextOut write =
      text ? text : [&canvas](int x, int y, const std::string& t) { canvas.TextOut(x, y, t); };
  if (p.Width <= 0 || p.Height <= 0) return;
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Pen().SetColor(clWindowText);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Font().SetColor(clWindowText);
  const int textHeight = canvas.TextExtent("0").Height;
  const double columns = Shown(p.ColumnsShown, p.Columns), rows = Shown(p.RowsShown, p.Rows);
  if (pixels) {  // an image's axes: the pixels' indices, ticked at the pixels' centres
    const double first = p.FirstColumn, firstRow = p.FirstRow;
    PaintAxes(canvas, p, write, textHeight,
              {first - 0.5, first + columns - 0.5, p.Width / columns,
               [&p](double c) { return p.XOfColumn(c); }},
              {firstRow - 0.5, firstRow + rows - 0.5, p.Height / rows,
               [&p](double r) { return p.YOfRow(r); }});
    return;
  }
  PaintAxes(canvas, p, write, textHeight,
            {ModelXAt(p, p.Left), ModelXAt(p, p.Left + p.Width), p.Width / (columns * kGridStep),
             [&p](double m) { return XOfModel(p, m); }},
            {ModelYAt(p, p.Top), ModelYAt(p, p.Top + p.Height), p.Height / (rows * kGridStep),
             [&p](double m) { return YOfModel(p, m); }});
}

void PaintBinAxis(TCanvas& canvas, const TPlacement& p, const TTextOut& text) {
  const TTextOut write =
      text ? text : [&canvas](int x, int y, const std::string& t) { canvas.TextOut(x, y, t); };
  if (p.Width <= 0 || p.Height <= 0 || p.Columns <= 0) return;
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Pen().SetColor(clWindowText);
  canvas.Pen().SetStyle(TPenStyle::psSolid);
  canvas.Font().SetColor(clWindowText);
  const int bottom = p.Top + p.Height;
  const double shown = Shown(p.ColumnsShown, p.Columns);
  const double first = p.FirstColumn - 0.5;  // the bin at the picture's left edge
  for (const double bin : RoundTicks(first, first + shown, p.Width / shown, 30)) {
    if (bin < 0 || bin > p.Columns - 1) continue;
    const int x = static_cast<int>(std::floor(p.XOfColumn(bin)));
    if (x < p.Left || x >= p.Left + p.Width) continue;
    canvas.MoveTo(x, bottom);
    canvas.LineTo(x, bottom + 3);
    const std::string label = TickLabel(bin);
    write(x - canvas.TextExtent(label).Width / 2, bottom + 3, label);
  }
  write(p.Left - 6 - canvas.TextExtent("bin").Width, bottom + 3, "bin");
}

namespace {

// A scale's strip, 10 pixels wide and 6 right of the picture, row y in the colour
// colorAt(y); the pen, brush and font are then set for its labels. The labels' left edge.
int PaintScaleStrip(TCanvas& canvas, const TPlacement& placement,
                    const std::function<TRgb(int y)>& colorAt) {
  const int left = placement.Left + placement.Width + 6, width = 10;
  for (int y = 0; y < placement.Height; ++y) {
    const TRgb c = colorAt(y);
    canvas.Pen().SetColor(RgbColor(c.R, c.G, c.B));
    canvas.MoveTo(left, placement.Top + y);
    canvas.LineTo(left + width, placement.Top + y);
  }
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Font().SetColor(clWindowText);
  return left + width + 3;
}

}  // namespace

void PaintDivergingScale(TCanvas& canvas, const TPlacement& placement, double limit,
                         const TTextOut& text) {
  const TTextOut write =
      text ? text : [&canvas](int x, int y, const std::string& t) { canvas.TextOut(x, y, t); };
  if (placement.Height <= 1) return;
  const int x = PaintScaleStrip(canvas, placement, [&](int y) {
    return DivergingColor(limit * (1 - 2.0 * y / (placement.Height - 1)), limit);
  });
  const int textHeight = canvas.TextExtent("0").Height;
  write(x, placement.Top, "+" + ShortNumber(limit));
  write(x, placement.Top + (placement.Height - textHeight) / 2, "0");
  write(x, placement.Top + placement.Height - textHeight, "-" + ShortNumber(limit));
}

void PaintColourBar(TCanvas& canvas, const TPlacement& placement, double low, double high,
                    const std::function<TRgb(double value)>& color, const TTextOut& text) {
  const TTextOut write =
      text ? text : [&canvas](int x, int y, const std::string& t) { canvas.TextOut(x, y, t); };
  if (placement.Height <= 1) return;
  const int x = PaintScaleStrip(canvas, placement, [&](int y) {
    // The ends are the window's own ends, not their interpolation.
    const double v = high - (high - low) * y / (placement.Height - 1);
    return color(y == 0 ? high : y == placement.Height - 1 ? low : v);
  });
  const int textHeight = canvas.TextExtent("0").Height;
  auto n = [](double v) {
    return std::isfinite(v) ? QString::number(v, 'g', kScreenDigits).toStdString() : FigureText(v);
  };
  write(x, placement.Top, n(high));
  write(x, placement.Top + placement.Height - textHeight, n(low));
}

void PaintRegion(TCanvas& canvas, const TPlacement& p, const TRegion& region) {
  std::vector<TPoint> points;
  const auto at = [&p](double column, double row) {
    return TPoint{static_cast<int>(std::floor(p.XOfColumn(column))),
                  static_cast<int>(std::floor(p.YOfRow(row)))};
  };
  if (region.Shape == TRegion::TShape::Rectangle) {
    // Round the cells: from the first cell's outer edge to the last's.
    const double l = region.Left - 0.5, t = region.Top - 0.5;
    const double r = region.Right - 0.5, b = region.Bottom - 0.5;
    points = {at(l, t), at(r, t), at(r, b), at(l, b), at(l, t)};
  } else if (region.Shape == TRegion::TShape::Circle) {
    const double cx = (p.Columns - 1) / 2.0, cy = (p.Rows - 1) / 2.0;
    const double radius = (std::min(p.Columns, p.Rows) - 1) / 2.0;
    constexpr int kSteps = 96;
    for (int i = 0; i <= kSteps; ++i) {
      const double a = 2 * std::numbers::pi * i / kSteps;
      points.push_back(at(cx + radius * std::cos(a), cy + radius * std::sin(a)));
    }
  }
  if (points.empty()) return;
  canvas.Pen().SetColor(clYellow);
  canvas.Pen().SetStyle(TPenStyle::psDot);
  canvas.Polyline(points.data(), static_cast<int>(points.size()));
  canvas.Pen().SetStyle(TPenStyle::psSolid);
}

void PaintHandle(TCanvas& canvas, int x, int y) {
  canvas.Brush().SetStyle(TBrushStyle::bsClear);
  canvas.Pen().SetColor(clBlack);
  canvas.Rectangle(x - kHandleRadius, y - kHandleRadius, x + kHandleRadius + 1,
                   y + kHandleRadius + 1);
  canvas.Pen().SetColor(clWhite);
  canvas.Rectangle(x - kHandleRadius + 1, y - kHandleRadius + 1, x + kHandleRadius,
                   y + kHandleRadius);
}

TPoint HandlePixel(const TPlacement& placement, const TPhantomBlob& blob) {
  return {static_cast<int>(std::floor(XOfModel(placement, blob.MX))),
          static_cast<int>(std::floor(YOfModel(placement, blob.MY)))};
}

int HandleAt(const TPlacement& placement, const TPhantom& phantom, int x, int y) {
  for (int i = static_cast<int>(phantom.size()) - 1; i >= 0; --i) {
    const TPhantomBlob& blob = phantom[static_cast<std::size_t>(i)];
    if (!blob.Enabled || !std::isfinite(blob.MX) || !std::isfinite(blob.MY)) continue;
    const TPoint p = HandlePixel(placement, blob);
    if (!Inside(placement, p)) continue;
    if (std::abs(p.X - x) <= kHandleRadius && std::abs(p.Y - y) <= kHandleRadius) return i;
  }
  return -1;
}

std::string CellReadout(int ix, int iy, double value, bool pixels) {
  const std::string cell = "cell (" + std::to_string(ix) + ", " + std::to_string(iy) + ")";
  const std::string shown = "\nvalue = " + FormatGeneral(value, kScreenDigits);
  if (pixels) return cell + shown;
  return cell + "\nx = " + FormatGeneral(TProjectionModel::GridCoordinate(ix), kScreenDigits) +
         "\ny = " + FormatGeneral(TProjectionModel::GridCoordinate(iy), kScreenDigits) + shown;
}

std::string SinogramReadout(const TScanGeometry& geometry, int view, int bin, double value,
                            bool pixels) {
  return "view " + std::to_string(view) + ", angle " +
         FormatGeneral(geometry.AngleDegrees(view), kScreenDigits) + "°\nbin " +
         std::to_string(bin) + ", t = " +
         (pixels ? FormatGeneral(geometry.BinCells(bin), kScreenDigits) + " pixels"
                 : FormatGeneral(geometry.BinPosition(bin), kScreenDigits)) +
         "\nvalue = " + FormatGeneral(value, kScreenDigits);
}

std::string BlobReadout(int index, const TPhantomBlob& blob) {
  return "blob " + std::to_string(index + 1) + "\nMX = " + FormatGeneral(blob.MX) +
         ", DX = " + FormatGeneral(blob.DX) + "\nMY = " + FormatGeneral(blob.MY) +
         ", DY = " + FormatGeneral(blob.DY);
}

}  // namespace quarvel
