#pragma once
// How the window shows the model, as pieces the window and the export tool share: the
// projection chart's configuration, its feed, the stems over it, and the grid image.

#include <cstdint>

#include "chart/control/Chart.h"
#include "chart/series/Series.h"
#include "model/ProjectionModel.h"
#include "platform/Bitmap24.h"

namespace quarvel {

// The chart's layout properties: lowered inner bevel, the title "Нулевая проекция",
// no legend, 2D, a clear white back wall; the series red with 3 x 3 rectangle
// pointers, attached to the chart.
void ConfigureProjectionChart(TChart& chart, TLineSeries& series);

// Replaces the series' points with the model's first ResolutionPointCount points.
void FeedProjectionChart(TLineSeries& series, const TProjectionModel& model);

// The rectangle the stems are clipped to (half-open): the plotting rectangle with its
// frame, and one row more at the bottom. The value 0 lies just under the plot for this
// projection (its smallest value is above 0), so the stems start on the row under the
// frame; that row stays, so the start-up pictures keep their stems' feet, while a zoomed
// or panned chart draws no stem over the labels, the title or the bevel.
TRect StemClipRect(const TRect& plotRect);

// Blue stems from the value 0 to every point the resampling inserted, clipped to
// StemClipRect of the chart's plotting rectangle.
void DrawStems(TChartSeries& series, TChartCanvas3D& canvas, int resolution);

// The green level of a cell: v / gridMax * 255 rounded half to even, at most 255.
// Raises a floating-point error for gridMax 0.
uint8_t GreenLevel(double v, double gridMax);

// Writes the green bytes of all 128 x 128 pixels (row iy, column ix = Grid[ix][iy]);
// all 0 when GridMax is not above 0 (no enabled blob, or none reaching a grid point).
void PaintGridImage(const TProjectionModel& model, TBitmap24& bitmap);

}  // namespace quarvel
