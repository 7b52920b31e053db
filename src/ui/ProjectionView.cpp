#include "ui/ProjectionView.h"

#include <cmath>

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
  for (int i = 0; i < model.ResolutionPointCount(); ++i) series.AddPoint(model.Points[i].X, model.Points[i].Y, "", clAutoColor);
}

bool IsInsertedPoint(int resolution, int index) {
  if (resolution == 1) return index % 2 == 1;
  if (resolution == 2) return index % 4 != 0;
  return false;
}

void DrawStems(TChartSeries& series, TChartCanvas3D& canvas, int resolution) {
  for (int i = 0; i < series.PointCount(); ++i) {
    if (resolution == 0) return;
    if (!IsInsertedPoint(resolution, i)) continue;
    canvas.Pen().SetColor(clBlue);
    canvas.MovePenTo(series.XPixelOfPoint(i), series.YPixelOfValue(0.0));
    canvas.DrawLineTo(series.XPixelOfPoint(i), series.YPixelOfPoint(i));
  }
}

uint8_t GreenLevel(double v, double gridMax) {
  const long double level = RoundHalfEvenIntegral((Checked(v) / gridMax * 255).Value());
  if (level > 255) return 255;
  return static_cast<uint8_t>(static_cast<int64_t>(level) & 0xFF);
}

void PaintGridImage(const TProjectionModel& model, TBitmap24& bitmap) {
  for (int iy = 0; iy < TProjectionModel::kGridSize; ++iy) {
    uint8_t* row = bitmap.ScanLine(iy);
    for (int ix = 0; ix < TProjectionModel::kGridSize; ++ix) row[3 * ix + 1] = GreenLevel(model.Grid[ix][iy], model.GridMax);
  }
}

}  // namespace quarvel
