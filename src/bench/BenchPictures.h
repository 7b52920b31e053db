#pragma once
// How the bench paints its arrays: cells as whole blocks of pixels (or, for an array
// larger than its box, the nearest cell of each pixel), the colour maps, the angle axis
// of the sinogram, the difference's scale, the blob handles and the readout texts.
// Everything is drawn through the program's own canvas.

#include <cstdint>
#include <functional>
#include <string>

#include "bench/BenchPhantom.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "tomo/Geometry.h"
#include "tomo/Metrics.h"
#include "ui/ColourMaps.h"

namespace quarvel {

// Where the cells of a Rows x Columns array lie in a picture. When the array fits the
// area, every cell is a k x k block (the same whole k across and down, as large as fits);
// along a side that does not fit, each pixel shows the cell its position falls in.
struct TPlacement {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Rows = 0;
  int Columns = 0;
  // The part of the array shown, in cells (zoomed in: less than the whole); a shown
  // part of 0 is the whole array.
  double FirstColumn = 0;
  double FirstRow = 0;
  double ColumnsShown = 0;
  double RowsShown = 0;

  // The cell under a pixel, or -1 outside the array.
  int ColumnAt(int x) const;
  int RowAt(int y) const;
  // The pixel of a (fractional) cell position; cell c's centre is at c.
  double XOfColumn(double column) const;
  double YOfRow(double row) const;
  // Cells per pixel along each side.
  double ColumnsPerPixel() const;
  double RowsPerPixel() const;
};

TPlacement PlaceArray(int rows, int columns, const TRect& area);

// The zoom and pan shared by the bench's four pictures: a magnification (1 to 16) and
// the centre of the part shown, as fractions of the array's width and height. The part
// shown always lies inside the array.
struct TView {
  double Zoom = 1;
  double CentreX = 0.5;
  double CentreY = 0.5;
  bool operator==(const TView&) const = default;
};
// The view zoomed by 2 per notch (+ in, - out) about the point at fractions (fx, fy) of
// the part shown, which stays where it is on the screen while the limits allow it.
TView Zoomed(const TView& view, double fx, double fy, int notches);
// The view panned by (dfx, dfy) of the part shown's width and height.
TView Panned(const TView& view, double dfx, double dfy);
// The placement's shown part for `view`.
TPlacement WithView(TPlacement placement, const TView& view);
// The array position (fractions of its width and height) under picture pixel (x, y), and
// the pixel of such a position.
std::pair<double, double> FractionAt(const TPlacement& placement, int x, int y);
TPoint PixelOfFraction(const TPlacement& placement, double fx, double fy);

// The phantom's green, as the main window paints its grid (black when nothing is enabled).
TRgb GreenColor(double value, double gridMax);
// The export's grey and diverging maps (see ColourMaps.h) as colours of the screen.
TRgb GreyColor(double value, double low, double high);
TRgb DivergingColor(double value, double limit);

// The largest |value| of the finite values (0 when there is none).
double LargestMagnitude(const TArray2D& array);
// The smallest and largest finite value, (inf, -inf) when there is none.
std::pair<double, double> ValueRange(const TArray2D& array);

// Paints the placed array, the colour of each pixel from its cell.
void PaintArray(TCanvas& canvas, const TPlacement& placement,
                const std::function<TRgb(int row, int column)>& color);

// Writes a label with its top-left corner at (x, y) in picture pixels; empty writes it
// on the canvas. (At a device pixel ratio above 1 the window writes labels itself, at the
// screen's resolution, over the picture.)
using TTextOut = std::function<void(int x, int y, const std::string& text)>;

// The sinogram's angle axis left of `placement`: a tick and a label ("45°") at views whose
// angles are round, at least 24 pixels apart, and the axis name "θ" above.
void PaintAngleAxis(TCanvas& canvas, const TPlacement& placement, const TScanGeometry& geometry,
                    const TTextOut& text = {});

// The difference's scale right of `placement`: a bar from +limit (top) to -limit (bottom)
// in the diverging map, labelled at both ends and at 0.
void PaintDivergingScale(TCanvas& canvas, const TPlacement& placement, double limit,
                         const TTextOut& text = {});

// The outline of a region of the placed array (Metrics.h): a rectangle round its cells,
// or the scanned disc's circle, dotted in yellow; nothing for the whole image.
void PaintRegion(TCanvas& canvas, const TPlacement& placement, const TRegion& region);

// A blob's handle: a 7 x 7 square outline centred on (x, y), white inside black.
void PaintHandle(TCanvas& canvas, int x, int y);
constexpr int kHandleRadius = 4;

// Where a blob's mean lies in the phantom's picture (grid cell units from the model's).
TPoint HandlePixel(const TPlacement& placement, const TPhantomBlob& blob);
// The enabled blob whose handle is under (x, y), or -1 (the last drawn wins); a handle
// outside the shown part is under no pixel.
int HandleAt(const TPlacement& placement, const TPhantom& phantom, int x, int y);

// Readouts, in the locale's separators.
std::string CellReadout(int ix, int iy, double value);
std::string SinogramReadout(const TScanGeometry& geometry, int view, int bin, double value);
std::string BlobReadout(int index, const TPhantomBlob& blob);

// The figures of a comparison with `digits` significant digits ("RMSE 0.01234    NRMSE
// 1.234    PSNR 36.71 dB    SSIM 0.9876"); 17 digits give every double back.
std::string FiguresText(const TImageMetrics& metrics, int digits);

// B's figures against the pinned A's: each of B's with A's beside it ("RMSE 0.01234 (A
// 0.01500)    …"), `digits` significant digits.
std::string CompareFiguresText(const TImageMetrics& b, const TImageMetrics& a, int digits);

// The progress of an iterative reconstruction: "3 / 10" and, once an iteration has
// taken time, the time left at the pace so far ("3 / 10, 7 s left"; minutes above 99 s).
std::string ProgressText(int done, int total, double elapsedSeconds);

// A number with three significant digits ("0.0123", "-1.5e-05") for scales and captions.
std::string ShortNumber(double value);

}  // namespace quarvel
