#include "ui/ProjectionView.h"

#include <cmath>
#include <vector>

#include "chart/axes/PixelRounding.h"
#include "model/CheckedFloat.h"

namespace quarvel {

void ConfigureProjectionChart(TChart& chart, TLineSeries& series) {
  chart.BackWall().Brush().SetColor(clWhite);
  chart.BackWall().Brush().SetStyle(TBrushStyle::bsClear);
  chart.Title().SetText({"Нулевая проекция"});
  chart.SetLegendVisible(false);
  chart.SetView3D(false);
  chart.SetBevelInner(TBevelCut::bvLowered);
  chart.SetBevelOuter(TBevelCut::bvNone);

  series.SetSeriesColor(clRed);
  series.SetMarksVisible(false);
  series.MarksArrowLength = 8;
  series.Pointer().SetVisible(true);
  series.Pointer().SetStyle(TSeriesPointerStyle::psRectangle);
  series.Pointer().SetHorizSize(1);
  series.Pointer().SetVertSize(1);
  series.Pointer().SetInflateMargins(true);
  series.XValues->SetOrder(TChartListOrder::loAscending);
  series.YValues->SetOrder(TChartListOrder::loNone);
  series.SetParentChart(&chart);
}

void FeedProjectionChart(TLineSeries& series, const TProjectionModel& model) {
  series.RemoveAllPoints();
  for (int i = 0; i < model.ResolutionPointCount(); ++i)
    series.AddPoint(model.Points[i].X, model.Points[i].Y, "", clAutoColor);
}

TRect StemClipRect(const TRect& plotRect) {
  // PlotRect's right and bottom are its last column and row (the frame's).
  return {plotRect.Left, plotRect.Top, plotRect.Right + 1, plotRect.Bottom + 2};
}

void DrawStems(TChartSeries& series, TChartCanvas3D& canvas, int resolution) {
  if (resolution == 0 || series.PointCount() == 0 || !series.ParentChart()) return;
  // The series has removed its own clip before raising the event; none is left after.
  canvas.ClipToRect(StemClipRect(series.ParentChart()->PlotRect));
  // The mapping is a pure function of the axes, which stay as they are within the
  // handler: the foot of every stem and each point's column are mapped once. The stems
  // go to the canvas together, which draws them faster than one at a time.
  const int foot = series.YPixelOfValue(0.0);
  std::vector<TColumnLine> stems;
  stems.reserve(static_cast<std::size_t>(series.PointCount()));
  for (int i = 0; i < series.PointCount(); ++i)
    if (TProjectionModel::IsInsertedPoint(resolution, i))
      stems.push_back({series.XPixelOfPoint(i), foot, series.YPixelOfPoint(i)});
  if (!stems.empty()) {
    canvas.Pen().SetColor(clBlue);
    canvas.DrawColumnLines(stems.data(), static_cast<int>(stems.size()));
  }
  canvas.RemoveClip();
}

uint8_t GreenLevel(double v, double gridMax) {
  const long double level = RoundHalfEvenIntegral((Checked(v) / gridMax * 255).Value());
  if (level > 255) return 255;
  return static_cast<uint8_t>(static_cast<int64_t>(level) & 0xFF);
}

void PaintGridImage(const TProjectionModel& model, TBitmap24& bitmap) {
  // Every cell is 0 when no enabled blob reaches a grid point: there is no level to
  // scale to, and the image is black as for no blob at all.
  const bool black = !(model.GridMax > 0);
  for (int iy = 0; iy < TProjectionModel::kGridSize; ++iy) {
    uint8_t* row = bitmap.ScanLine(iy);
    for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix)
      row[3 * ix + 1] = black ? 0 : GreenLevel(model.Grid[ix][iy], model.GridMax);
  }
}

}  // namespace quarvel
